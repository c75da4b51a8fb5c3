// What the window tells the user: the find line over the programs and multisamples grids, and
// the status bar's line about the last command.
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <cstring>

#include "app/find_bar.h"
#include "app/main_form.h"
#include "bank/bank.h"
#include "demo/demo_library.h"
#include "edit/program_tab.h"
#include "gui_test_support.h"
#include "manager/bank_manager_page.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

using namespace qbank::gui;

namespace {

void set_name(char* field, const char* text) {
  std::memset(field, 0, qbank::name_size);
  std::memcpy(field, text, std::strlen(text));
}

QList<int> selected_rows(const QTableView* grid) {
  QList<int> rows;
  for (const QModelIndex& index : grid->selectionModel()->selectedRows()) rows << index.row();
  std::sort(rows.begin(), rows.end());
  return rows;
}

// A window over a fresh demo library, its reports read and closed as they open.
struct demo_window {
  qbank::testing::temp_dir dir;
  qbank::demo_library demo = write(dir);
  testing::scripted_dialogs answers;
  TForm1 form{&answers};
  testing::report_reader reports{form};

  static qbank::demo_library write(const qbank::testing::temp_dir& dir) {
    qbank::testing::recording_host quiet;
    return qbank::write_demo_library(dir.path(), quiet);
  }
};

}  // namespace

class window_feedback_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void find_selects_matching_rows_data() {
    QTest::addColumn<bool>("multisamples");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QList<int>>("next");  // current row after each Enter
    QTest::newRow("program name, any case")
        << false << "pad" << QList<int>{3, 40, 200} << QList<int>{40, 200, 3};
    QTest::newRow("program number") << false << "40" << QList<int>{40} << QList<int>{40};
    QTest::newRow("program name holding digits")
        << false << "9" << QList<int>{9, 200} << QList<int>{200, 9};
    QTest::newRow("multisample name") << true << "STRING" << QList<int>{6, 99} << QList<int>{99, 6};
    QTest::newRow("multisample number") << true << "100" << QList<int>{99} << QList<int>{99};
    QTest::newRow("no match keeps the row") << false << "zzz" << QList<int>{0} << QList<int>{0};
  }
  void find_selects_matching_rows() {
    QFETCH(bool, multisamples);
    QFETCH(QString, typed);
    QFETCH(QList<int>, rows);
    QFETCH(QList<int>, next);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    qbank::bank& b = form.main_bank();
    set_name(b.program(3).name, "Warm Pad");
    set_name(b.program(40).name, "PADS");
    set_name(b.program(200).name, "Pad 9");
    set_name(b.multisample(7).name, "Strings");
    set_name(b.multisample(100).name, "Solo string");
    form.refresh();
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    if (multisamples) form.PageControl1->setCurrentIndex(1);
    QTableView* grid = multisamples ? form.StringGridMultisamples : form.StringGridBlends;
    find_bar* bar = multisamples ? form.multisample_finder() : form.program_finder();
    QVERIFY(!bar->isVisible());

    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->isVisible());
    QVERIFY(bar->line()->hasFocus());
    QTest::keyClicks(bar->line(), typed);
    QCOMPARE(selected_rows(grid), rows);
    QCOMPARE(grid->currentIndex().row(), rows.front());
    // The window follows the found row: the program tab shows that program.
    if (!multisamples)
      QCOMPARE(form.current_program(), rows.front());
    else
      QCOMPARE(form.current_multisample(), rows.front() + 1);
    for (int row : next) {
      QTest::keyClick(bar->line(), Qt::Key_Return);
      QCOMPARE(grid->currentIndex().row(), row);
    }
    // F3 goes on from the grid too; Escape closes the line and the grid has the focus again.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_F3);
    QCOMPARE(grid->currentIndex().row(), next.size() > 1 ? next.front() : rows.front());
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClick(bar->line(), Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QVERIFY(grid->hasFocus());
    // Nothing was filtered out: every row keeps its place.
    QCOMPARE(grid->model()->rowCount(),
             multisamples ? qbank::multisample_count - 1 : qbank::program_count);
  }

  // One window through a day's commands; each leaves its result in the status bar.
  void status_bar_shows_each_command_result() {
    demo_window w;
    auto& [dir, demo, answers, form, reports] = w;
    form.show();
    const int width = form.width();
    const QString open_script = QStringLiteral(
        "Open Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)...");
    struct step {
      const char* name;
      std::function<void()> run;
      QString status;  // the whole text, or its start when it ends with "..."
    };
    auto menu = [&form](const QString& caption) {
      return [&form, caption] { form.action(caption)->trigger(); };
    };
    auto with_file = [&answers](std::filesystem::path file, std::function<void()> run) {
      return [&answers, file, run] {
        answers.files = {file};
        run();
      };
    };
    const step steps[] = {
        {"open", with_file(demo.script, menu(open_script)), "Opened Demo.qbs"},
        {"save script",
         with_file(dir / "Copy.qbs",
                   menu(QStringLiteral("Save Sampler Script File (Version 6 / 9999 programs / "
                                       "10000 multisamples)..."))),
         "Saved Copy.qbs"},
        {"build",
         with_file(dir / "Built.qbb",
                   menu(QStringLiteral("Save Sampler Bank File (Version 6 / 9999 PG / 10000 MS) "
                                       "and split to 4GB toms..."))),
         "Built Built.qbb. This cannot be undone."},
        {"open bank",
         with_file(dir / "Built.qbb",
                   menu(QStringLiteral("Open Sampler Bank File (Version 2, 3, 4, 5 or 6 )..."))),
         "Opened Built.qbb"},
        {"export",
         [&] {
           std::filesystem::create_directory(dir / "out");
           answers.folders = {QString::fromStdString((dir / "out").string())};
           form.action(QStringLiteral("Export Selected Multisample WAV Files..."))->trigger();
         },
         "Exported 13 files"},
        {"a message", menu(QStringLiteral("Calculate bank SIZE  (Version 6)")),
         "Estimated Bank Size in Version 5 is: ..."},
        {"a change with a message", menu(QStringLiteral("Up")), "Transposed 7 programs"},
        {"undo", [&form] { form.undo_action()->trigger(); },
         "Undid Transpose all used Programs with one Octave Up"},
        {"redo", [&form] { form.redo_action()->trigger(); },
         "Redid Transpose all used Programs with one Octave Up"},
        {"placement",
         [&] {
           answers.file_lists = {std::vector{dir / "Lead 048.wav", dir / "Lead.wav"}};
           form.action(QStringLiteral("Add MULTIPLE WAV files - to AUTO position by NAME..."))
               ->trigger();
         },
         "Placed 1 of 2 files"},
        {"transfer",
         [&] {
           answers.files = {demo.script};
           form.action(QStringLiteral("Open Scampler Script File (Version 6 / 9999 PG / 1000 "
                                      "MS)..."))
               ->trigger();
           QTest::mouseClick(form.manager_page()->ButtonExecute, Qt::LeftButton);
         },
         "Transferred 1 program"},
        {"a change without a message", menu(QStringLiteral("Clear ALL...")), "Done: Clear ALL"},
        {"cancelled", menu(QStringLiteral("Save System /Global/ Settings to file...")),
         "Save System /Global/ Settings to file: nothing changed"},
        {"failure", with_file(dir / "none.qbs", menu(open_script)), "Failed: ..."},
    };
    answers.default_answer = true;
    for (const step& s : steps) {
      s.run();
      const QString shown = form.status_text();
      if (s.status.endsWith(QStringLiteral("...")))
        QVERIFY2(shown.startsWith(s.status.chopped(3)), qPrintable(s.name + (": " + shown)));
      else
        QVERIFY2(shown == s.status, qPrintable(s.name + (": " + shown)));
      QVERIFY(form.statusBar()->isVisible());
    }
    // A long result is cut at the window's edge; the window keeps its width.
    QCOMPARE(form.width(), width);
  }

  // Commands that change files on disk say, in the window only, that no undo brings them back:
  // in their first question, else in their first report, else in the status bar.
  void file_changing_commands_say_they_cannot_be_undone_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("where");  // "question", "report" or "status"
    QTest::addColumn<bool>("told");
    QTest::newRow("silence trim") << "+/- 60 samples  /  -54.7dB..."
                                  << "question" << true;
    QTest::newRow("library export") << "Export ALL Samples From Loaded Bank File..."
                                    << "question" << true;
    QTest::newRow("marker files") << "Save ALL Used Multisamples Names To Multisamples Folders"
                                  << "report" << true;
    QTest::newRow("build") << "Save Sampler Bank File (Version 6 / 9999 PG / 10000 MS) and split "
                              "to 4GB toms..."
                           << "status" << true;
    QTest::newRow("an undoable removal") << "Remove UNUSED Multisamples..."
                                         << "question" << false;
  }
  void file_changing_commands_say_they_cannot_be_undone() {
    QFETCH(QString, caption);
    QFETCH(QString, where);
    QFETCH(bool, told);
    demo_window w;
    auto& [dir, demo, answers, form, reports] = w;
    answers.files = {demo.script, dir / "Built.qbb", dir / "Built.qbb"};
    form.action(QStringLiteral(
                    "Open Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)..."))
        ->trigger();
    if (caption.startsWith(QStringLiteral("Export"))) {
      form.action(QStringLiteral("Save Sampler Bank File (Version 6 / 9999 PG / 10000 MS) and "
                                 "split to 4GB toms..."))
          ->trigger();
      form.action(QStringLiteral("Open Sampler Bank File (Version 2, 3, 4, 5 or 6 )..."))
          ->trigger();
    }
    answers.boxes.clear();
    reports.texts.clear();
    answers.default_answer = false;  // every question answered No: nothing is changed
    form.action(caption)->trigger();
    const QString note = QStringLiteral("This cannot be undone.");
    QString said;
    if (where == QStringLiteral("question")) {
      QVERIFY(!answers.boxes.isEmpty());
      said = answers.boxes.front();
    } else if (where == QStringLiteral("report")) {
      QVERIFY(!reports.texts.isEmpty());
      said = reports.texts.front();
    } else {
      said = form.status_text();
    }
    QVERIFY2(said.endsWith(note) == told,
             qPrintable(said + answers.boxes.join('|') + reports.texts.join('|')));
    // Said once: the status bar does not repeat a question's or a report's note.
    if (where != QStringLiteral("status")) QVERIFY(!form.status_text().endsWith(note));
  }
};

QTEST_MAIN(window_feedback_test)
#include "window_feedback_test.moc"
