// The window from the keyboard: the shortcuts shown in the menus do what their items do, and
// Tab and Shift+Tab move through the controls without being caught in a grid.
#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <cstring>
#include <functional>

#include "app/main_form.h"
#include "bank/bank.h"
#include "bank/script_file.h"
#include "gui_test_support.h"
#include "support/cli_runner.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

using namespace qbank::gui;

namespace {

void set_name(char* field, const char* text) {
  std::memset(field, 0, qbank::name_size);
  std::memcpy(field, text, std::strlen(text));
}

void show_active(TForm1& form) {
  form.show();
  QApplication::setActiveWindow(&form);
  QVERIFY(QTest::qWaitForWindowActive(&form));
}

const QString script_save_title =
    QStringLiteral("Save all data as Quorvatek Samplers SCRIPT file!");

}  // namespace

class window_keyboard_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void shortcuts_run_their_items() {
    qbank::testing::temp_dir dir;
    const auto script = dir / "Loaded.qbs";
    qbank::testing::recording_host quiet;
    qbank::save_script(qbank::bank(), script, quiet);
    struct shortcut_case {
      const char* name;
      QString item;  // the menu item that shows the shortcut
      QKeySequence keys;
      std::function<void(TForm1&)> before;  // on a window with an empty bank, shown
      std::function<void(TForm1&, testing::scripted_dialogs&)> after;
    };
    auto open_loaded = [&script](TForm1& form) {
      form.main_bank().set_loaded_file_name(script.string());
      set_name(form.main_bank().program(0).name, "Edited");
    };
    auto type_name = [](TForm1& form, QTableView* grid) {
      auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
      QVERIFY2(editor && grid->isAncestorOf(editor), "no name editor in the grid");
      editor->selectAll();
      QTest::keyClicks(editor, QStringLiteral("Piano"));
      QTest::keyClick(editor, Qt::Key_Return);
      QApplication::processEvents();  // the editor commits once the key is handled
      Q_UNUSED(form);
    };
    const shortcut_case cases[] = {
        {"Ctrl+O opens a script",
         QStringLiteral(
             "Open Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)..."),
         QKeySequence(Qt::CTRL | Qt::Key_O), [](TForm1&) {},
         [](TForm1&, testing::scripted_dialogs& answers) {
           QCOMPARE(answers.titles, QStringList({"Open Quorvatek Samplers SCRIPT file!"}));
         }},
        {"Ctrl+S without a script asks where", QStringLiteral("Save"),
         QKeySequence(Qt::CTRL | Qt::Key_S), [](TForm1&) {},
         [](TForm1&, testing::scripted_dialogs& answers) {
           QCOMPARE(answers.titles, QStringList({script_save_title}));
         }},
        {"Ctrl+S saves to the loaded script", QStringLiteral("Save"),
         QKeySequence(Qt::CTRL | Qt::Key_S), open_loaded,
         [&script](TForm1& form, testing::scripted_dialogs& answers) {
           QVERIFY(answers.titles.isEmpty());
           QCOMPARE(qbank::testing::read_script(script)->program_name_text(0).substr(0, 6),
                    std::string("Edited"));
           QVERIFY(!form.windowTitle().endsWith(QStringLiteral(" *")));
         }},
        {"Ctrl+Shift+S asks where even with a script",
         QStringLiteral(
             "Save Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)..."),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), open_loaded,
         [](TForm1&, testing::scripted_dialogs& answers) {
           QCOMPARE(answers.titles, QStringList({script_save_title}));
         }},
        {"Ctrl+B builds",
         QStringLiteral(
             "Save Sampler Bank File (Version 6 / 9999 PG / 10000 MS) and split to 4GB toms..."),
         QKeySequence(Qt::CTRL | Qt::Key_B), [](TForm1&) {},
         [](TForm1&, testing::scripted_dialogs& answers) {
           QCOMPARE(answers.titles,
                    QStringList({"Save all data as Quorvatek Samplers BANK file!"}));
         }},
        {"F2 renames the current program", QStringLiteral("Rename"), QKeySequence(Qt::Key_F2),
         [](TForm1& form) { form.StringGridBlends->selectRow(3); },
         [type_name](TForm1& form, testing::scripted_dialogs&) {
           type_name(form, form.StringGridBlends);
           QCOMPARE(form.main_bank().program_name_text(3).substr(0, 5), std::string("Piano"));
         }},
        {"F2 renames the current multisample", QStringLiteral("Rename"), QKeySequence(Qt::Key_F2),
         [](TForm1& form) {
           form.PageControl1->setCurrentIndex(1);
           form.StringGridMultisamples->selectRow(4);
         },
         [type_name](TForm1& form, testing::scripted_dialogs&) {
           type_name(form, form.StringGridMultisamples);
           QCOMPARE(form.main_bank().multisample_name_text(5).substr(0, 5), std::string("Piano"));
         }},
        {"Delete removes the selected slots", QStringLiteral("Remove sellected file/s"),
         QKeySequence(Qt::Key_Delete),
         [](TForm1& form) {
           form.PageControl1->setCurrentIndex(1);
           for (int j = 10; j <= 12; ++j) form.main_bank().set_file(1, j, "D:\\f.wav");
           form.refresh();
           QTableView* grid = form.StringGridFiles;
           grid->selectionModel()->select(
               QItemSelection(grid->model()->index(11, 0), grid->model()->index(12, 2)),
               QItemSelectionModel::ClearAndSelect);
           grid->setFocus();
         },
         [](TForm1& form, testing::scripted_dialogs&) {
           QVERIFY(!form.main_bank().slot_is_empty(1, 10));
           QVERIFY(form.main_bank().slot_is_empty(1, 11));
           QVERIFY(form.main_bank().slot_is_empty(1, 12));
         }},
        {"Ctrl+Z undoes", QStringLiteral("Undo Rename Program"), QKeySequence(Qt::CTRL | Qt::Key_Z),
         [](TForm1& form) {
           set_name(form.main_bank().program(0).name, "Edited");
           form.record_edit(QStringLiteral("Rename Program"));
         },
         [](TForm1& form, testing::scripted_dialogs&) {
           QCOMPARE(form.main_bank().program_name_text(0).substr(0, 5), std::string("- - -"));
         }},
    };
    for (const shortcut_case& c : cases) {
      testing::scripted_dialogs answers;
      TForm1 form(&answers);
      show_active(form);
      c.before(form);
      QAction* item = form.action(c.item);
      if (!item && c.item.startsWith(QLatin1String("Undo"))) item = form.undo_action();
      QVERIFY2(item, c.name);
      QVERIFY2(item->shortcuts().contains(c.keys), c.name);  // the menu shows it
      QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &form;
      QTest::keyClick(target, Qt::Key(c.keys[0].key()), c.keys[0].keyboardModifiers());
      qInfo("%s", c.name);
      c.after(form, answers);
      if (QTest::currentTestFailed()) return;
    }
  }

  // A name typed but not yet entered when the window is closed is a change like any other:
  // the save question is asked, and Save keeps it.
  void a_name_being_typed_is_not_lost_on_close() {
    qbank::testing::temp_dir dir;
    const auto script = dir / "Loaded.qbs";
    qbank::testing::recording_host quiet;
    qbank::save_script(qbank::bank(), script, quiet);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.main_bank().set_loaded_file_name(script.string());
    show_active(form);
    form.StringGridBlends->setFocus();
    QTest::keyClick(form.StringGridBlends, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Typed"));
    answers.save_answers = {save_answer::save};
    QVERIFY(form.close());
    QCOMPARE(answers.save_questions, QStringList({"Save changes to Loaded.qbs?"}));
    QCOMPARE(qbank::testing::read_script(script)->program_name_text(0).substr(0, 5),
             std::string("Typed"));
  }

  // From the first control of each tab, Tab goes through every control once around, grids
  // included, and out of each grid at the next press; Shift+Tab does the same backwards.
  void tab_moves_through_the_grids_and_out_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<bool>("backwards");
    for (const auto& [name, tab] :
         {std::pair{"Program", 0}, std::pair{"Multisamples", 1}, std::pair{"Bank Manager", 2}}) {
      QTest::newRow(qPrintable(QStringLiteral("%1, Tab").arg(name))) << tab << false;
      QTest::newRow(qPrintable(QStringLiteral("%1, Shift+Tab").arg(name))) << tab << true;
    }
  }
  void tab_moves_through_the_grids_and_out() {
    QFETCH(int, tab);
    QFETCH(bool, backwards);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    show_active(form);
    form.PageControl1->setCurrentIndex(tab);
    QWidget* page = form.PageControl1->widget(tab);
    QList<QTableView*> grids;
    for (QTableView* grid : page->findChildren<QTableView*>())
      if (grid->isVisible()) grids << grid;
    QVERIFY(!grids.isEmpty());
    grids.first()->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), grids.first());
    QList<QWidget*> visited{grids.first()};
    for (int press = 0; press < 400; ++press) {
      QWidget* from = QApplication::focusWidget();
      QTest::keyClick(from, Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
      QWidget* to = QApplication::focusWidget();
      QVERIFY2(to != from, qPrintable(QStringLiteral("Tab stays in %1").arg(from->objectName())));
      if (to == grids.first()) break;
      visited << to;
    }
    QCOMPARE(QApplication::focusWidget(), grids.first());  // once around
    for (QTableView* grid : grids) QVERIFY2(visited.contains(grid), qPrintable(grid->objectName()));
  }
};

QTEST_MAIN(window_keyboard_test)
#include "window_keyboard_test.moc"
