// The main window: its state right after start, the refresh, the menus and the file commands
// driven as a user would, with the dialogs answered by the test.
#include "app/main_form.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <cstring>
#include <filesystem>

#include "app/grid_models.h"
#include "bank/bank.h"
#include "bank/script_file.h"
#include "demo/demo_library.h"
#include "edit/program_tab.h"
#include "gui_test_support.h"
#include "support/cli_runner.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

using namespace qbank::gui;

namespace {

const QString no_bank_title =
    QStringLiteral("Quorvatek Samplers Bank Manager - Version: 3.54 / No loaded bank!");

void set_name(char* field, const char* text) {
  std::memset(field, 0, qbank::name_size);
  std::memcpy(field, text, std::strlen(text));
}

QStringList captions(const QMenu* menu) {
  QStringList list;
  for (const QAction* item : menu->actions())
    if (!item->isSeparator()) list << item->text();
  return list;
}

}  // namespace

class main_form_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void window_right_after_start() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QCOMPARE(form.windowTitle(), no_bank_title);
    // It opens at its smallest size (it grows from there).
    QCOMPARE(form.centralWidget()->size(), QSize(918, 657));
    QStringList tabs;
    for (int i = 0; i < form.PageControl1->count(); ++i) tabs << form.PageControl1->tabText(i);
    QCOMPARE(tabs,
             QStringList({"Program", "Multisamples", "Bank Manager", "SD Card Write Assistant"}));

    QAbstractItemModel* programs = form.StringGridBlends->model();
    QCOMPARE(programs->rowCount(), 9999);
    QCOMPARE(programs->headerData(0, Qt::Horizontal).toString(), QStringLiteral("MIDI Num"));
    QCOMPARE(programs->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Program Name"));
    QCOMPARE(programs->index(9998, 0).data().toString(), QStringLiteral("9998"));
    for (int row = 0; row < programs->rowCount(); ++row)
      QCOMPARE(programs->index(row, 1).data().toString().trimmed(), QStringLiteral("- - -"));
    QAbstractItemModel* multisamples = form.StringGridMultisamples->model();
    QCOMPARE(multisamples->index(0, 0).data().toString(), QStringLiteral("MS0001"));
    QCOMPARE(multisamples->index(9998, 0).data().toString(), QStringLiteral("MS9999"));

    const auto& zones = form.programs()->zone_lists();
    for (QComboBox* box : zones) {
      QVERIFY(box->model() == zones[0]->model());  // one model for all fourteen
      QCOMPARE(box->count(), 10000);
      QCOMPARE(box->currentIndex(), 0);
      QCOMPARE(box->currentText(), QStringLiteral("No Multisample"));
    }
    QCOMPARE(zones[0]->itemText(9999).trimmed(), QStringLiteral("MS9999 - - -"));
    QCOMPARE(form.current_program(), 0);
    QCOMPARE(form.current_multisample(), 1);
  }

  void every_model_passes_the_model_tester() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
    for (QTableView* grid :
         {form.StringGridBlends, form.StringGridMultisamples, form.StringGridFiles,
          form.StringGridBlendsORG, form.StringGridBlendsMNG, form.StringGridS2Sounds})
      testers.push_back(std::make_unique<QAbstractItemModelTester>(
          grid->model(), QAbstractItemModelTester::FailureReportingMode::QtTest));
    testers.push_back(std::make_unique<QAbstractItemModelTester>(
        form.zone_lists_model(), QAbstractItemModelTester::FailureReportingMode::QtTest));
    set_name(form.main_bank().multisample(7).name, "Strings");
    set_name(form.main_bank().program(3).name, "Pad");
    form.refresh();
  }

  void clear_all_asks_first_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("No changes nothing") << false;
    QTest::newRow("Yes empties the bank and the title") << true;
  }
  void clear_all_asks_first() {
    QFETCH(bool, yes);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    set_name(form.main_bank().program(0).name, "Grand Piano");
    form.main_bank().set_loaded_file_name("/lib/My Bank.qbs");
    form.refresh();
    QCOMPARE(form.windowTitle(),
             QStringLiteral("Quorvatek Samplers Bank Manager - Version: 3.54 / My Bank.qbs"));
    answers.answers = {yes};
    form.action(QStringLiteral("Clear ALL..."))->trigger();
    QCOMPARE(answers.boxes, QStringList({"[Clear ALL] Are You Sure ?"}));
    const QString name = form.StringGridBlends->model()->index(0, 1).data().toString().trimmed();
    QCOMPARE(name, yes ? QStringLiteral("- - -") : QStringLiteral("Grand Piano"));
    QCOMPARE(form.windowTitle() == no_bank_title, yes);
  }

  void both_program_grids_follow_the_visible_one() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.StringGridBlends->setCurrentIndex(form.StringGridBlends->model()->index(41, 1));
    QCOMPARE(form.current_program(), 41);
    form.PageControl1->setCurrentIndex(bank_manager_tab);
    QCOMPARE(form.StringGridBlendsORG->currentIndex().row(), 41);
    form.StringGridBlendsORG->setCurrentIndex(form.StringGridBlendsORG->model()->index(7, 1));
    QCOMPARE(form.current_program(), 7);
    form.PageControl1->setCurrentIndex(0);
    QCOMPARE(form.StringGridBlends->currentIndex().row(), 7);
    QCOMPARE(form.current_program(), 7);
  }

  // A new multisample name reaches all fourteen lists, and only its entry is signalled.
  void renamed_multisample_updates_only_its_zone_entry() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QSignalSpy changed(form.zone_lists_model(), &QAbstractItemModel::dataChanged);
    set_name(form.main_bank().multisample(5).name, "Choir Aah");
    form.main_bank().program(0).zones[2].multisample = 5;
    form.refresh();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex().row(), 5);
    QCOMPARE(changed[0][1].toModelIndex().row(), 5);
    for (QComboBox* box : form.programs()->zone_lists()) {
      QCOMPARE(box->itemText(5), QStringLiteral("MS0005 Choir Aah"));
      QCOMPARE(box->itemText(0), QStringLiteral("No Multisample"));
    }
    QCOMPARE(form.programs()->zone_lists()[2]->currentText(), QStringLiteral("MS0005 Choir Aah"));
    changed.clear();
    form.refresh();
    QCOMPARE(changed.count(), 0);
  }

  void changed_lists_store_into_the_current_program() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.StringGridBlends->setCurrentIndex(form.StringGridBlends->model()->index(12, 1));
    QComboBox* porta = form.programs()->parameter_list("porta_time");
    QVERIFY(porta);
    porta->setCurrentIndex(2);
    Q_EMIT porta->activated(2);  // below 5 is stored as 5
    QCOMPARE(int(form.main_bank().program(12).porta_time), 5);
    QComboBox* release = form.programs()->parameter_list("release");
    Q_EMIT release->activated(3999);
    QCOMPARE(int(form.main_bank().program(12).release), 3999);
    QComboBox* zone = form.programs()->zone_lists()[9];
    zone->setCurrentIndex(321);
    Q_EMIT zone->activated(321);
    QCOMPARE(int(form.main_bank().program(12).release_zone.multisample), 321);
    QCOMPARE(int(form.main_bank().program(0).release_zone.multisample), 0);
  }

  void menus_carry_their_captions_in_order() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    const QList<QAction*> menus = form.menuBar()->actions();
    QCOMPARE(menus.size(), 5);
    QCOMPARE(
        captions(menus[0]->menu()),
        QStringList(
            {"Clear ALL...",
             "Open Sampler Script File (Version 1, 2 / 128 programs)...",
             "Open Sampler Script File (Version 3 / 256 programs)...",
             "Open Sampler Script File (Version 4 / 999 programs)...",
             "Open Sampler Script File (Version 5 / 9999 programs)...",
             "Open Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)...",
             "Open Recent",
             "Save",
             "Save Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)...",
             "Read Current Program Parameters from file...",
             "Save Current Program Parameters to file...",
             "Import Instrument (SFZ, SF2, DecentSampler, Bitwig, WAV folder)...",
             "Read System /Global/ Settings from file...",
             "Save System /Global/ Settings to file...",
             "Open Sampler Bank File (Version 2, 3, 4, 5 or 6 )...",
             "Save Sampler Bank File (Version 6 / 9999 PG / 10000 MS) and split to 4GB toms...",
             "Export All Program Names to Text File...",
             "Export ALL Samples From Loaded Bank File...",
             "Export ALL Used Programs as Instruments...",
             "Exit"}));
    QCOMPARE(captions(menus[1]->menu()),
             QStringList({"Undo", "Redo", "Find...", "Rename", "Calculate bank SIZE  (Version 6)",
                          "Reset Invalid Parameters", "Remove UNUSED Multisamples..."}));
    QCOMPARE(captions(form.context_menu(QStringLiteral("StringGridBlendsMNG"))).at(5),
             QStringLiteral("Open Scampler Script File (Version 6 / 9999 PG / 1000 MS)..."));
    QVERIFY(form.action(QStringLiteral("Clear ALL..."))->isEnabled());
    QVERIFY(
        !form.action(QStringLiteral("Read Current Program Parameters from file..."))->isEnabled());
    QVERIFY(form.action(QStringLiteral("Apply 2ms Fade Out AFTER point of removing silence"))
                ->isChecked());
    QVERIFY(form.action(QStringLiteral("0"))->isChecked());
    QVERIFY(form.action(QStringLiteral("Note NUMBER from 000 to 127 ( XXX)"))->isChecked());
  }

  void show_note_number_names_the_slots() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QAbstractItemModel* slots = form.StringGridFiles->model();
    QCOMPARE(slots->index(61, 0).data().toString(), QStringLiteral("61"));
    form.action(QStringLiteral("Show Note Number"))->trigger();
    QCOMPARE(slots->index(61, 0).data().toString(), QStringLiteral("C#5"));
    QCOMPARE(slots->index(127, 0).data().toString(), QStringLiteral("G 10"));
  }

  // An unreadable file stops the command before the bank is reset; the window stays usable.
  void failed_open_keeps_the_bank_and_shows_the_error() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    set_name(form.main_bank().program(0).name, "Keep Me");
    form.main_bank().set_loaded_file_name("/lib/Keep.qbs");
    qbank::testing::temp_dir dir;
    answers.files = {dir / "missing.qbs"};
    form.action(QStringLiteral("Open Sampler Script File (Version 5 / 9999 programs)..."))
        ->trigger();
    QCOMPARE(answers.titles, QStringList({"Open Quorvatek Samplers SCRIPT file!"}));
    QCOMPARE(answers.errors.size(), 1);
    QVERIFY(answers.errors[0].contains(QStringLiteral("missing.qbs")));
    QVERIFY(form.host().progress_window() == nullptr);
    QCOMPARE(form.main_bank().program_name_text(0).substr(0, 7), std::string("Keep Me"));
    QVERIFY(form.windowTitle().contains(QStringLiteral("/ Keep.qbs")));
    // A version-6 script through the version 1, 2 item fails half way: its error is shown and
    // nothing of it is mixed into the bank.
    {
      qbank::bank other;
      set_name(other.program(0).name, "Other");
      qbank::testing::recording_host quiet;
      qbank::save_script(other, dir / "six.qbs", quiet);
    }
    answers.files = {dir / "six.qbs"};
    form.action(QStringLiteral("Open Sampler Script File (Version 1, 2 / 128 programs)..."))
        ->trigger();
    QCOMPARE(answers.errors.size(), 2);
    QCOMPARE(form.main_bank().program_name_text(0).substr(0, 7), std::string("Keep Me"));
    QCOMPARE(form.StringGridBlends->model()->index(0, 1).data().toString(),
             QStringLiteral("Keep Me"));
    QVERIFY(form.windowTitle().contains(QStringLiteral("/ Keep.qbs")));
    // Cancelling a dialog changes nothing either.
    form.action(QStringLiteral("Open Sampler Bank File (Version 2, 3, 4, 5 or 6 )..."))->trigger();
    QCOMPARE(answers.errors.size(), 2);
    QVERIFY(form.windowTitle().contains(QStringLiteral("/ Keep.qbs")));
  }

  // Unsaved changes are never lost without a question: closing, opening and clearing ask
  // "Save changes to NAME?"; Save writes the script, Discard goes on, Cancel stops.
  void unsaved_changes_are_asked_for_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("answer");
    for (const char* how : {"close", "open", "clear"}) {
      QTest::newRow(qPrintable(QStringLiteral("%1, Save").arg(how)))
          << how << int(save_answer::save);
      QTest::newRow(qPrintable(QStringLiteral("%1, Discard").arg(how)))
          << how << int(save_answer::discard);
      QTest::newRow(qPrintable(QStringLiteral("%1, Cancel").arg(how)))
          << how << int(save_answer::cancel);
    }
  }
  void unsaved_changes_are_asked_for() {
    QFETCH(QString, how);
    QFETCH(int, answer);
    qbank::testing::temp_dir dir;
    qbank::testing::recording_host quiet;
    {
      qbank::bank other;
      set_name(other.program(0).name, "Other");
      qbank::save_script(other, dir / "other.qbs", quiet);
      qbank::save_script(qbank::bank(), dir / "mine.qbs", quiet);
    }
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.show();
    answers.files = {dir / "mine.qbs"};
    form.action(QStringLiteral(
                    "Open Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)..."))
        ->trigger();
    QVERIFY(form.windowTitle().endsWith(QStringLiteral("/ mine.qbs")));
    set_name(form.main_bank().program(0).name, "Edited");
    form.record_edit(QStringLiteral("Rename Program"));
    QVERIFY(form.windowTitle().endsWith(QStringLiteral("/ mine.qbs *")));

    answers.save_answers = {save_answer(answer)};
    answers.answers = {true};  // "Are You Sure ?" of the clear
    answers.files = {dir / "other.qbs"};
    bool closed = false;
    if (how == QLatin1String("close"))
      closed = form.close();
    else if (how == QLatin1String("open"))
      form.action(QStringLiteral("Open Sampler Script File (Version 6 / 9999 programs / 10000 "
                                 "multisamples)..."))
          ->trigger();
    else
      form.action(QStringLiteral("Clear ALL..."))->trigger();
    QCOMPARE(answers.save_questions, QStringList({"Save changes to mine.qbs?"}));
    // Save wrote the edit into the script it came from; the others left it as it was.
    const auto saved = qbank::testing::read_script(dir / "mine.qbs");
    QCOMPARE(saved->program_name_text(0).substr(0, 6),
             std::string(answer == int(save_answer::save) ? "Edited" : "- - - "));
    const bool went_on = answer != int(save_answer::cancel);
    if (how == QLatin1String("close")) QCOMPARE(closed, went_on);
    const std::string now = form.main_bank().program_name_text(0).substr(0, 6);
    if (how == QLatin1String("open")) QCOMPARE(now, std::string(went_on ? "Other" : "Edited"));
    if (how == QLatin1String("clear")) QCOMPARE(now, std::string(went_on ? "- - - " : "Edited"));
    // Cancel keeps the mark, and so does a window closed on Discard; saved or replaced, the
    // bank is clean.
    const bool marked =
        !went_on || (how == QLatin1String("close") && answer == int(save_answer::discard));
    QCOMPARE(form.windowTitle().endsWith(QStringLiteral(" *")), marked);
  }

  // Work not saved survives a crash: the recovery script is written a moment after a change,
  // the next start offers it back, and a clean exit removes it.
  void recovery_script_brings_back_unsaved_work() {
    qbank::testing::temp_dir dir;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.path().string()));
    qputenv("QBANK_RECOVERY_INTERVAL_MS", "50");
    std::filesystem::path script;
    {
      testing::scripted_dialogs answers;
      TForm1 crashed(&answers);
      crashed.start_recovery();
      QVERIFY(answers.boxes.isEmpty());  // nothing to offer at a first start
      set_name(crashed.main_bank().program(0).name, "Unsaved");
      crashed.record_edit(QStringLiteral("Rename Program"));
      const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
      script = std::filesystem::path(folder.toStdString()) / "recovery.qbs";
      QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(script), 5000);
      QCOMPARE(qbank::testing::read_script(script)->program_name_text(0).substr(0, 7),
               std::string("Unsaved"));
      // Destroyed without a close: the process ended the hard way.
    }
    testing::scripted_dialogs answers;
    answers.answers = {true};
    TForm1 next(&answers);
    next.show();
    next.start_recovery();
    QCOMPARE(answers.boxes.size(), 1);
    QVERIFY(answers.boxes[0].startsWith(
        QStringLiteral("[Question] The bank manager did not end normally last time.")));
    QCOMPARE(next.main_bank().program_name_text(0).substr(0, 7), std::string("Unsaved"));
    QVERIFY(next.windowTitle().endsWith(QStringLiteral(" *")));
    // A clean exit (the changes discarded) leaves nothing to offer.
    QVERIFY(next.close());
    QVERIFY(!std::filesystem::exists(script));
    qunsetenv("QBANK_RECOVERY_INTERVAL_MS");
    qunsetenv("XDG_DATA_HOME");
  }

  // The demo library through the menus: open its script, build the bank, read it back.
  void demo_library_open_build_and_reopen() {
    qbank::testing::temp_dir dir;
    qbank::testing::recording_host quiet;
    const qbank::demo_library demo = qbank::write_demo_library(dir.path(), quiet);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);

    answers.files = {demo.script};
    form.action(QStringLiteral(
                    "Open Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)..."))
        ->trigger();
    QVERIFY2(answers.errors.isEmpty(), qPrintable(answers.errors.join('\n')));
    QCOMPARE(form.windowTitle(),
             QStringLiteral("Quorvatek Samplers Bank Manager - Version: 3.54 / Demo.qbs"));
    QStringList names;
    for (int p = 0; p < 8; ++p)
      names << form.StringGridBlends->model()->index(p, 1).data().toString();
    QVERIFY(names[0].trimmed() != QStringLiteral("- - -"));
    const QString first_zone = form.programs()->zone_lists()[0]->currentText();
    QVERIFY(first_zone != QStringLiteral("No Multisample"));

    const auto bank_file = dir / "Built.qbb";
    answers.files = {bank_file};
    form
        .action(QStringLiteral(
            "Save Sampler Bank File (Version 6 / 9999 PG / 10000 MS) and split to 4GB toms..."))
        ->trigger();
    QVERIFY2(answers.errors.isEmpty(), qPrintable(answers.errors.join('\n')));
    QCOMPARE(answers.titles.last(),
             QStringLiteral("Save all data as Quorvatek Samplers BANK file!"));
    QVERIFY(std::filesystem::exists(bank_file));
    QVERIFY(std::filesystem::exists(dir / "Built.QBS"));

    answers.answers = {true};
    form.action(QStringLiteral("Clear ALL..."))->trigger();
    QCOMPARE(form.StringGridBlends->model()->index(0, 1).data().toString().trimmed(),
             QStringLiteral("- - -"));

    answers.files = {bank_file};
    form.action(QStringLiteral("Open Sampler Bank File (Version 2, 3, 4, 5 or 6 )..."))->trigger();
    QVERIFY2(answers.errors.isEmpty(), qPrintable(answers.errors.join('\n')));
    QCOMPARE(answers.titles.last(), QStringLiteral("Read Quorvatek Samplers BANK file!"));
    QCOMPARE(form.windowTitle(),
             QStringLiteral("Quorvatek Samplers Bank Manager - Version: 3.54 / Built.qbb"));
    for (int p = 0; p < 8; ++p)
      QCOMPARE(form.StringGridBlends->model()->index(p, 1).data().toString(), names[p]);
    QCOMPARE(form.programs()->zone_lists()[0]->currentText(), first_zone);
    QVERIFY(form.host().progress_window() == nullptr);
  }

  void system_settings_round_trip_and_reform() {
    qbank::testing::temp_dir dir;
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.main_bank().globals().bytes[100] = 0x5a;
    answers.files = {dir / "sys.qsp"};
    form.action(QStringLiteral("Save System /Global/ Settings to file..."))->trigger();
    form.main_bank().globals().bytes[100] = 0;
    answers.files = {dir / "sys.qsp"};
    form.action(QStringLiteral("Read System /Global/ Settings from file..."))->trigger();
    QVERIFY2(answers.errors.isEmpty(), qPrintable(answers.errors.join('\n')));
    QCOMPARE(int(form.main_bank().globals().bytes[100]), 0x5a);
    QCOMPARE(answers.titles[0],
             QStringLiteral("Save Quorvatek Samplers System Parameters to file!"));

    form.main_bank().set_loaded_file_name("/lib/Demo.qbs");
    form.action(QStringLiteral("Reform loaded script file to bank file"))->trigger();
    // The settings read is a change not yet saved: the title carries the mark after the name.
    QCOMPARE(form.windowTitle(),
             QStringLiteral("Quorvatek Samplers Bank Manager - Version: 3.54 / Demo.QBB *"));
  }
};

QTEST_MAIN(main_form_test)
#include "main_form_test.moc"
