// The "Bank Manager" tab driven as a user would: context menus that load the manager bank and
// the second-generation bank, the transfer buttons with their enable rule and row moves, the
// sound import, and the WAV exports with their refusals.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <cstring>

#include "app/grid_view.h"
#include "app/main_form.h"
#include "bank/bank.h"
#include "bank/script_file.h"
#include "gui_test_support.h"
#include "manager/bank_manager_page.h"
#include "manager/s2_bank.h"
#include "platform/file_io.h"
#include "support/recording_host.h"
#include "support/s2_file_builder.h"
#include "support/temp_dir.h"

using namespace qbank::gui;

namespace {

void set_name(char* field, const char* text) {
  std::memset(field, ' ', qbank::name_size);
  std::memcpy(field, text, std::strlen(text));
}

QString cell(QTableView* grid, int row) {
  return grid->model()->index(row, 1).data().toString();
}

QStringList captions(const QMenu* menu) {
  QStringList list;
  for (const QAction* item : menu->actions())
    if (!item->isSeparator()) list << item->text() + (item->isEnabled() ? "" : " (off)");
  return list;
}

// A source script: programs 0..19 named P0..P19, program 3 playing multisample 7.
std::filesystem::path source_script(const qbank::testing::temp_dir& dir) {
  qbank::bank b;
  for (int p = 0; p < 20; ++p) set_name(b.program(p).name, ("P" + std::to_string(p)).c_str());
  b.program(3).zones[0].multisample = 7;
  set_name(b.multisample(7).name, "Strings");
  b.set_file(7, 60, "D:\\Lib\\Str\\C4.wav");
  qbank::testing::recording_host h;
  save_script(b, dir / "source.qbs", h);
  return dir / "source.qbs";
}

void select_range(QTableView* grid, int top, int bottom) {
  QItemSelection range(grid->model()->index(top, 0), grid->model()->index(bottom, 1));
  grid->selectionModel()->setCurrentIndex(grid->model()->index(bottom, 1),
                                          QItemSelectionModel::NoUpdate);
  grid->selectionModel()->select(range,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace

class bank_manager_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void menus_are_enabled() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QCOMPARE(captions(form.context_menu("StringGridBlendsMNG")),
             QStringList({"Clear Bank Manager",
                          "Open Sampler Script File (Version 1, 2 / 128 programs)...",
                          "Open Sampler Script File (Version 3 / 256 programs)...",
                          "Open Sampler Script File (Version 4 / 999 programs)...",
                          "Open Sampler Script File (Version 5 / 9999 programs)...",
                          "Open Scampler Script File (Version 6 / 9999 PG / 1000 MS)...",
                          "Load Bank in BANK Manager..."}));
    QCOMPARE(captions(form.context_menu("StringGridS2Sounds")),
             QStringList({"Clear S2 Bank", "Open Sampler 2 Bank..."}));
    QCOMPARE(captions(form.context_menu("StringGridBlendsORG")),
             QStringList({"Remove Selected Program"}));
    QVERIFY(form.action("Export ALL Samples From Loaded Bank File...")->isEnabled());
    QVERIFY(form.action("Export Selected Multisample WAV Files...")->isEnabled());
    QAbstractItemModelTester tester(form.StringGridS2Sounds->model());
    QCOMPARE(form.StringGridS2Sounds->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("Sound Name"));
  }

  void load_transfer_and_button_rules() {
    qbank::testing::temp_dir dir;
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.PageControl1->setCurrentIndex(bank_manager_tab);
    bank_manager_page& page = *form.manager_page();
    QCOMPARE(page.ButtonExecuteMoveOneDown->text(),
             QStringLiteral("<< Execute <<\nMove 1 Line Down"));

    // A cancelled dialog changes nothing; the script opens into the manager bank only.
    set_name(form.manager_bank().program(0).name, "Kept");
    form.action("Load Bank in BANK Manager...")->trigger();
    QCOMPARE(answers.titles.last(), QStringLiteral("Read Quorvatek Sampler BANK file!"));
    QCOMPARE(cell(form.StringGridBlendsMNG, 0).trimmed(), QStringLiteral("Kept"));
    answers.files = {source_script(dir)};
    form.action("Open Scampler Script File (Version 6 / 9999 PG / 1000 MS)...")->trigger();
    QVERIFY2(answers.errors.isEmpty(), qPrintable(answers.errors.join('\n')));
    QCOMPARE(answers.titles.last(), QStringLiteral("Open Quorvatek Samplers SCRIPT file!"));
    QCOMPARE(cell(form.StringGridBlendsMNG, 3).trimmed(), QStringLiteral("P3"));
    QCOMPARE(cell(form.StringGridBlendsORG, 3).trimmed(), QStringLiteral("- - -"));

    // One row selected: execute and move-one-line on, move-multiple off.
    QVERIFY(page.ButtonExecute->isEnabled());
    QVERIFY(!page.ButtonExecuteMoveMultiple->isEnabled());
    select_row(form.StringGridBlendsORG, 10);
    select_row(form.StringGridBlendsMNG, 3);
    QTest::mouseClick(page.ButtonExecute, Qt::LeftButton);
    QCOMPARE(cell(form.StringGridBlendsORG, 10).trimmed(), QStringLiteral("P3"));
    const int placed = form.main_bank().program(10).zones[0].multisample;
    QVERIFY(placed != 0);
    QCOMPARE(form.main_bank().file(placed, 60), std::string_view("D:\\Lib\\Str\\C4.wav"));

    QTest::mouseClick(page.ButtonExecuteMoveOneDown, Qt::LeftButton);
    QCOMPARE(current_row(form.StringGridBlendsORG), 11);
    QCOMPARE(current_row(form.StringGridBlendsMNG), 4);
    QCOMPARE(form.current_program(), 11);

    // A range: the buttons swap, and the range goes to consecutive main programs.
    select_range(form.StringGridBlendsMNG, 5, 8);
    QVERIFY(!page.ButtonExecute->isEnabled());
    QVERIFY(!page.ButtonExecuteMoveOneDown->isEnabled());
    QVERIFY(page.ButtonExecuteMoveMultiple->isEnabled());
    QTest::mouseClick(page.ButtonExecuteMoveMultiple, Qt::LeftButton);
    QCOMPARE(cell(form.StringGridBlendsORG, 11).trimmed(), QStringLiteral("P5"));
    QCOMPARE(cell(form.StringGridBlendsORG, 14).trimmed(), QStringLiteral("P8"));
    QCOMPARE(current_row(form.StringGridBlendsORG), 15);
    QCOMPARE(current_row(form.StringGridBlendsMNG), 9);

    // The last positions refuse.
    select_row(form.StringGridBlendsORG, 9997);
    select_row(form.StringGridBlendsMNG, 0);
    QTest::mouseClick(page.ButtonExecuteMoveOneDown, Qt::LeftButton);
    QCOMPARE(answers.boxes.last(),
             QStringLiteral("[Bank Manager] Not possible!\nThis is last program position!"));

    // Remove Selected Program on the main list, then Clear Bank Manager.
    select_row(form.StringGridBlendsORG, 10);
    form.action("Remove Selected Program")->trigger();
    QCOMPARE(cell(form.StringGridBlendsORG, 10).trimmed(), QStringLiteral("- - -"));
    form.action("Clear Bank Manager")->trigger();
    QCOMPARE(cell(form.StringGridBlendsMNG, 3).trimmed(), QStringLiteral("- - -"));
  }

  // With nothing to copy from, the transfer buttons and the sound import are off and say why,
  // until their source bank holds a file that loaded; a load that fails leaves them off.
  void buttons_wait_for_a_loaded_source() {
    qbank::testing::temp_dir dir;
    const std::string junk = "not a bank";
    qbank::write_whole_file(dir / "junk.qbb", junk.data(), junk.size());
    qbank::testing::s2_file_builder s2(4);
    s2.write(dir / "s2.qbb");
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.PageControl1->setCurrentIndex(bank_manager_tab);
    bank_manager_page& page = *form.manager_page();
    QPushButton* const transfers[] = {page.ButtonExecute, page.ButtonExecuteMoveOneDown,
                                      page.ButtonExecuteMoveMultiple};
    const auto states = [&] {
      QStringList s;
      for (QPushButton* b : {transfers[0], transfers[1], transfers[2], page.ButtonSampler2Sound})
        s << (b->isEnabled() ? "on" : "off") + QStringLiteral(" ") + b->toolTip();
      return s;
    };
    const QString no_bank2 =
        "off Load a script or bank file into BANK 2 first (pop-up menu of its list).";
    const QString no_s2 =
        "off Open a Sampler 2 bank first (pop-up menu of the Sampler 2 Sounds list).";
    const QStringList at_start{no_bank2, no_bank2, no_bank2, no_s2};
    QCOMPARE(states(), at_start);
    set_name(form.main_bank().program(0).name, "Mine");
    for (QPushButton* b : {transfers[0], transfers[1], page.ButtonSampler2Sound})
      QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(cell(form.StringGridBlendsORG, 0).trimmed(), QStringLiteral("Mine"));

    answers.files = {dir / "junk.qbb"};
    form.action("Load Bank in BANK Manager...")->trigger();
    answers.files = {dir / "junk.qbb"};
    form.action("Open Sampler 2 Bank...")->trigger();
    QVERIFY(answers.files.empty());
    QCOMPARE(states(), at_start);

    answers.files = {source_script(dir), dir / "s2.qbb"};
    form.action("Open Scampler Script File (Version 6 / 9999 PG / 1000 MS)...")->trigger();
    form.action("Open Sampler 2 Bank...")->trigger();
    QCOMPARE(states(),
             QStringList({"on Select one program in BANK 2", "on Select one program in BANK 2",
                          "off Select several programs in BANK 2", "on "}));

    form.action("Clear Bank Manager")->trigger();
    form.action("Clear S2 Bank")->trigger();
    QCOMPARE(states(), at_start);
  }

  void second_generation_bank_and_import() {
    qbank::testing::temp_dir dir;
    qbank::testing::s2_file_builder f(4);
    set_name(f.image().sounds[7].name, "Grand Piano");
    f.image().sounds[7].zones[0] = {5, 100, 0, 127, 0, 127, 64};
    set_name(f.image().multisamples[5].name, "Piano MS");
    f.set_name(5, 0, "D:\\Lib\\Piano\\C3.wav");
    f.write(dir / "s2.qbb");
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.PageControl1->setCurrentIndex(bank_manager_tab);

    answers.files = {dir / "s2.qbb"};
    form.action("Open Sampler 2 Bank...")->trigger();
    QCOMPARE(answers.titles.last(), QStringLiteral("Read Quorvatek Sampler 2 BANK file!"));
    QCOMPARE(answers.boxes, QStringList({"[Info] Bank loading OK!"}));
    QCOMPARE(cell(form.StringGridS2Sounds, 7), QStringLiteral("Grand Piano     "));

    select_row(form.StringGridBlendsORG, 100);
    select_range(form.StringGridS2Sounds, 6, 7);
    QTest::mouseClick(form.manager_page()->ButtonSampler2Sound, Qt::LeftButton);
    QCOMPARE(cell(form.StringGridBlendsORG, 7), QStringLiteral("Grand Piano     "));
    QCOMPARE(cell(form.StringGridBlendsORG, 100).trimmed(), QStringLiteral("- - -"));
    QCOMPARE(form.main_bank().file(5, 0), std::string_view("D:\\Lib\\Piano\\C3.wav"));
    QCOMPARE(current_row(form.StringGridS2Sounds), 8);
    QCOMPARE(current_row(form.StringGridBlendsORG), 8);

    form.action("Clear S2 Bank")->trigger();
    QCOMPARE(cell(form.StringGridS2Sounds, 7), QStringLiteral("- - -           "));
  }

  void exports_from_the_window() {
    qbank::testing::temp_dir dir;
    std::vector<std::uint8_t> audio(4 * 512, 0x00);
    qbank::write_whole_file(dir / "b.qbb", audio.data(), audio.size());
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    std::filesystem::create_directory(dir / "out");
    QStringList folder_titles;
    form.manager_page()->set_folder_chooser(
        [&](std::string_view title, std::string_view) -> std::optional<std::filesystem::path> {
          folder_titles << QString::fromUtf8(title.data(), qsizetype(title.size()));
          return dir / "out";
        });
    qbank::bank& b = form.main_bank();
    b.set_file(1, 0, "D:\\Lib\\a.wav");
    b.multisample(1).slots[0] = {1, 2};
    set_name(b.multisample(1).name, "Alpha");
    b.set_loaded_file_name((dir / "b.qbb").string());
    // The report window is modal: close it once it shows.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
      if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    closer.start(20);
    form.action("Export Selected Multisample WAV Files...")->trigger();
    closer.stop();
    QVERIFY2(answers.errors.isEmpty(), qPrintable(answers.errors.join('\n')));
    QCOMPARE(folder_titles, QStringList({"Sellect Path For Multisample WAV Files Export..."}));
    QCOMPARE(std::filesystem::file_size(dir / "out" / "a.wav"), std::uintmax_t{44 + 1024});
    QVERIFY(std::filesystem::exists(dir / "out" / "Alpha           .msn"));

    // Loading into the manager bank forgets the loaded bank file: the exports refuse.
    form.action("Clear Bank Manager")->trigger();
    answers.boxes.clear();
    form.action("Export ALL Samples From Loaded Bank File...")->trigger();
    QCOMPARE(answers.boxes, QStringList({"[Error!] Not loaded VALID BANK FILE!"}));
  }
};

QTEST_MAIN(bank_manager_test)
#include "bank_manager_test.moc"
