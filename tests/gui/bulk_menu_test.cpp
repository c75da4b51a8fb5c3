// The bulk, silence and duplicate commands from the window's menus: enabled, wired to the
// current program and multisample, the two range dialogs, and the reports they open.
#include "edit/bulk_menu.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <cstring>
#include <filesystem>

#include "app/instrument_export_form.h"
#include "app/main_form.h"
#include "app/report_form.h"
#include "bank/bank.h"
#include "edit/range_dialogs.h"
#include "gui_test_support.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

using namespace qbank::gui;

namespace {

const std::string blank_name = "- - -           ";

void set_name(char* field, const char* text) {
  std::memset(field, 0, qbank::name_size);
  std::memcpy(field, text, std::strlen(text));
}

// Runs `drive` on the modal range dialog once the command has opened it.
template <typename Dialog, typename Drive>
void when_dialog_opens(Drive drive) {
  QTimer::singleShot(0, [drive] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    drive(*dialog);
  });
}

}  // namespace

class bulk_menu_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void commands_of_these_tools_are_enabled() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    for (const char* caption : {"Export All Program Names to Text File...",
                                "Reset Old (-64) Zone Transpose Values",
                                "Reset OLD Program Transpose Value (-24), and set to +/-0",
                                "Remove UNUSED Multisamples...",
                                "Save ALL Used Multisamples Names To Multisamples Folders",
                                "Check end of WAV files for silence and report rezult",
                                "+/-   0 samples  /  -90.0dB...",
                                "+/- 60 samples  /  -54.7dB...",
                                "+/- 100 samples  /  -50.3dB...",
                                "Up",
                                "Down",
                                "Fix LFO speed",
                                "Fix in QS2 mode Mono Hold da e OFF",
                                "Fix 2234-2261 i 2374-2393 Release Curve and time",
                                "Test for Dublicated Samples..",
                                duplicate_content_caption,
                                "Remove Dublicated Multisamples...",
                                "Remove Selected Program...",
                                "Remove Multiple Programs...",
                                "Remove Selected Multisample...",
                                "Remove Multiple Multisamples...",
                                "Where is used this multisample?"}) {
      QAction* item = form.action(QString::fromLatin1(caption));
      QVERIFY2(item && item->isEnabled(), caption);
      QVERIFY2(std::find(form.pending_items().begin(), form.pending_items().end(),
                         QString::fromLatin1(caption)) == form.pending_items().end(),
               caption);
    }
    QVERIFY(form.context_menu(QStringLiteral("StringGridBlends"))
                ->actions()
                .contains(form.action(QStringLiteral("Remove Multiple Programs..."))));
    QVERIFY(form.context_menu(QStringLiteral("StringGridMultisamples"))
                ->actions()
                .contains(form.action(QStringLiteral("Where is used this multisample?"))));
  }

  void remove_selected_program_acts_on_the_current_one() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    set_name(form.main_bank().program(4).name, "Strings");
    set_name(form.main_bank().program(5).name, "Brass");
    form.main_bank().set_loaded_file_name("/lib/Live.qbb");
    form.StringGridBlends->selectRow(4);
    answers.answers = {false, true};
    form.action(QStringLiteral("Remove Selected Program..."))->trigger();
    QCOMPARE(form.main_bank().program_name_text(4), std::string("Strings"));
    form.action(QStringLiteral("Remove Selected Program..."))->trigger();
    QCOMPARE(answers.boxes,
             QStringList({"[Remove Program] Are You Sure ?", "[Remove Program] Are You Sure ?"}));
    QCOMPARE(form.main_bank().program_name_text(4), blank_name);
    QCOMPARE(form.main_bank().program_name_text(5), std::string("Brass"));
    QCOMPARE(form.StringGridBlends->model()->index(4, 1).data().toString(),
             QString::fromStdString(blank_name));
    QVERIFY(form.windowTitle().endsWith(QStringLiteral("/ No loaded bank! *")));
  }

  void program_range_dialog_keeps_its_fields_ordered_and_removes() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    for (int i = 9; i <= 13; ++i) set_name(form.main_bank().program(i).name, "Keep");
    form.StringGridBlends->selectRow(11);
    answers.answers = {true};
    when_dialog_opens<TDeleteMultiProgramForm>([](TDeleteMultiProgramForm& d) {
      QCOMPARE(d.windowTitle(), QStringLiteral("Remove Multiple Programs"));
      QCOMPARE(d.from_field()->value(), 11);
      QCOMPARE(d.to_field()->value(), 11);
      QCOMPARE(d.from_field()->minimum(), 0);
      QCOMPARE(d.to_field()->maximum(), 9998);
      d.from_field()->setValue(13);  // From above To moves To along
      QCOMPARE(d.to_field()->value(), 13);
      d.to_field()->setValue(10);  // To below From moves From along
      QCOMPARE(d.from_field()->value(), 10);
      d.to_field()->setValue(12);
      QCOMPARE(d.remove_button()->text(), QStringLiteral("Remove..."));
      d.remove_button()->click();
    });
    form.action(QStringLiteral("Remove Multiple Programs..."))->trigger();
    QCOMPARE(answers.boxes, QStringList({"[Remove Multiple Programs] Are You Sure ?"}));
    QCOMPARE(form.main_bank().program_name_text(9), std::string("Keep"));
    for (int i = 10; i <= 12; ++i) QCOMPARE(form.main_bank().program_name_text(i), blank_name);
    QCOMPARE(form.main_bank().program_name_text(13), std::string("Keep"));
    QVERIFY(QApplication::activeModalWidget() == nullptr);

    // Cancel asks nothing and changes nothing.
    when_dialog_opens<TDeleteMultiProgramForm>(
        [](TDeleteMultiProgramForm& d) { d.cancel_button()->click(); });
    form.action(QStringLiteral("Remove Multiple Programs..."))->trigger();
    QCOMPARE(answers.boxes.size(), 1);
    QCOMPARE(form.main_bank().program_name_text(13), std::string("Keep"));
  }

  void multisample_range_dialog_stops_at_2047() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    for (int m : {2046, 2047, 2048}) form.main_bank().set_file(m, 0, "D:\\a.wav");
    form.StringGridMultisamples->selectRow(4999);  // MS5000
    QCOMPARE(form.current_multisample(), 5000);
    answers.answers = {true};
    when_dialog_opens<TDeleteMultipleMultisampleForm>([](TDeleteMultipleMultisampleForm& d) {
      QCOMPARE(d.windowTitle(), QStringLiteral("Remove Multisamples"));
      QCOMPARE(d.from_field()->value(), 2047);
      QCOMPARE(d.to_field()->maximum(), 2047);
      QCOMPARE(d.from_field()->minimum(), 1);
      d.to_field()->setValue(3000);
      QCOMPARE(d.to_field()->value(), 2047);
      d.from_field()->setValue(2047);
      d.remove_button()->click();
    });
    form.action(QStringLiteral("Remove Multiple Multisamples..."))->trigger();
    QCOMPARE(answers.boxes, QStringList({"[Remove Multiple Multisamples] Are You Sure ?"}));
    QVERIFY(form.main_bank().multisample_has_files(2046));
    QVERIFY(!form.main_bank().multisample_has_files(2047));
    QVERIFY(form.main_bank().multisample_has_files(2048));
  }

  void where_used_and_removal_of_the_current_multisample() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    set_name(form.main_bank().program(7).name, "Pad");
    form.main_bank().program(7).release_zone.multisample = 3;
    form.main_bank().set_file(3, 0, "D:\\a.wav");
    form.StringGridMultisamples->selectRow(2);  // MS0003
    {
      testing::report_reader reports(form);
      form.action(QStringLiteral("Where is used this multisample?"))->trigger();
      QCOMPARE(reports.titles, QStringList({"Report: Multisample in programs"}));
      QCOMPARE(reports.texts,
               QStringList({"Multisample [3] is used in 1 programs:\nProgram: 0007: Pad"}));
    }
    answers.answers = {true};
    form.action(QStringLiteral("Remove Selected Multisample..."))->trigger();
    QCOMPARE(answers.boxes.last(), QStringLiteral("[Remove Multisample] Are You Sure ?"));
    QVERIFY(!form.main_bank().multisample_has_files(3));
    QCOMPARE(int(form.main_bank().program(7).release_zone.multisample), 3);
  }

  void unused_duplicates_and_fixes_from_the_menus() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    qbank::bank& b = form.main_bank();
    for (int m : {4, 6, 8}) b.set_file(m, 1, "D:\\same.wav");
    b.program(0).zones[0].multisample = 4;
    b.program(1).zones[0].multisample = 6;
    set_name(b.multisample(8).name, "Spare");
    answers.default_answer = true;
    testing::report_reader reports(form);
    form.action(QStringLiteral("Test for Dublicated Samples.."))->trigger();
    form.action(QStringLiteral("Remove Dublicated Multisamples..."))->trigger();
    QCOMPARE(int(b.program(1).zones[0].multisample), 4);
    form.action(QStringLiteral("Remove UNUSED Multisamples..."))->trigger();
    form.action(QStringLiteral("Fix LFO speed"))->trigger();
    QCOMPARE(reports.titles, QStringList({"Report: Check for DUPLICATED samples!",
                                          "Report: Remove DUPLICATED samples!"}));
    QVERIFY(reports.texts[1].contains(
        QStringLiteral("      Zone VZ00: multisample is reassigned: MS0006 -> MS0004")));
    QCOMPARE(answers.boxes.mid(2),
             QStringList({"[Remove UNUSED Multisamples] Are You Sure ?",
                          "[Remove UNUSED Multisamples...] No UNUSED multisamples found!",
                          "[Info] Fixed LFO in 9999 programs"}));
    QVERIFY(!b.multisample_has_files(8));
    QVERIFY(form.host().progress_window() == nullptr);

    form.main_bank().program(2).pg_transpose = 0;
    form.action(QStringLiteral("Reset OLD Program Transpose Value (-24), and set to +/-0"))
        ->trigger();
    QCOMPARE(int(form.main_bank().program(2).pg_transpose), 24);
  }

  void silence_commands_follow_the_fade_check_mark() {
    qbank::testing::temp_dir dir;
    std::vector<std::int16_t> s(1500, 9000);
    s.insert(s.end(), 500, 0);
    const auto wav = dir / "a.wav";
    qbank::testing::write_wav_with_sndfile(wav, 1, 48000, s);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.main_bank().set_file(1, 0, wav.string());
    {
      testing::report_reader reports(form);
      form.action(QStringLiteral("Check end of WAV files for silence and report rezult"))
          ->trigger();
      QCOMPARE(reports.titles, QStringList({"Report: Scan Report"}));
      QVERIFY(reports.texts[0].contains(
          QStringLiteral("Treshold value:  +/-60     Removed: 808 bytes,      In Fades: 192 "
                         "bytes.")));
    }
    QAction* fade = form.action(QString::fromLatin1(fade_option_caption));
    fade->trigger();
    QVERIFY(!fade->isChecked());
    answers.answers = {true, true};
    form.action(QStringLiteral("+/- 60 samples  /  -54.7dB..."))->trigger();
    QCOMPARE(answers.boxes.last(),
             QStringLiteral("[Sample Editor] Null samples: 500 samples = 1 000 bytes.\n"
                            "Total samples in fades: 0 samples = 0 bytes."));
    QCOMPARE(std::filesystem::file_size(wav), std::uintmax_t(44 + 3000));
  }

  void program_names_go_to_the_chosen_file() {
    qbank::testing::temp_dir dir;
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    answers.files = {dir / "names.txt"};
    form.action(QStringLiteral("Export All Program Names to Text File..."))->trigger();
    QCOMPARE(answers.titles, QStringList({"Save all Program Nmaes as TEXT file!"}));
    QCOMPARE(answers.filters,
             QStringList({"Quorvatek Samplers Program Names Text File (*.[tT][xX][tT])"}));
    QVERIFY(answers.errors.isEmpty());
    QVERIFY(std::filesystem::file_size(dir / "names.txt") > 300000);
  }

  // The current program from the programs grid's menu, then every used one from the File menu;
  // the files on disk and the report say the same.
  void programs_go_out_as_instruments() {
    qbank::testing::temp_dir dir;
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    qbank::testing::write_file(dir / "C3.wav",
                               qbank::testing::wav_bytes(1, std::vector<std::int16_t>(96, 7)));
    for (int p : {2, 5}) {
      set_name(form.main_bank().program(p).name, p == 2 ? "Piano" : "Organ");
      form.main_bank().program(p).zones[0].multisample = 9;
    }
    form.main_bank().set_file(9, 60, qbank::stored_path(dir / "C3.wav"));
    form.StringGridBlends->selectRow(2);
    testing::report_reader reports(form);
    answers.files = {dir / "out"};
    when_dialog_opens<instrument_export_form>([](instrument_export_form& d) {
      QVERIFY(!d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
      for (QPushButton* b : d.findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("Browse...")) b->click();
      d.format_box->setCurrentIndex(1);
      d.copy_box->setChecked(true);
      d.accept();
    });
    form.action(QStringLiteral("Export Program as Instrument (SFZ, DecentSampler)..."))->trigger();
    const std::filesystem::path preset = dir / "out" / "2 Piano.dspreset";
    QVERIFY(qbank::testing::file_text(preset).find("path=\"2 Piano/C3.wav\" rootNote=\"60\"") !=
            std::string::npos);
    QCOMPARE(qbank::testing::file_text(dir / "out" / "2 Piano" / "C3.wav"),
             qbank::testing::file_text(dir / "C3.wav"));
    QTRY_COMPARE(reports.titles, QStringList({"Report: Exported Instruments"}));
    QVERIFY2(reports.texts[0].contains(QString::fromStdString(qbank::path_to_utf8(preset))),
             qPrintable(reports.texts[0]));

    when_dialog_opens<instrument_export_form>([&](instrument_export_form& d) {
      d.folder_edit->setText(QString::fromStdString(qbank::path_to_utf8(dir / "all")));
      d.accept();
    });
    form.action(QStringLiteral("Export ALL Used Programs as Instruments..."))->trigger();
    QTRY_COMPARE(reports.titles,
                 QStringList({"Report: Exported Instruments", "Report: Exported Instruments"}));
    QVERIFY(std::filesystem::exists(dir / "all" / "2 Piano.sfz"));
    QVERIFY(qbank::testing::file_text(dir / "all" / "5 Organ.sfz").find("sample=../C3.wav") !=
            std::string::npos);
    QVERIFY(answers.errors.isEmpty());
  }
};

QTEST_MAIN(bulk_menu_test)
#include "bulk_menu_test.moc"
