// What the window tells the user: the find line over the programs and multisamples grids.
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <cstring>

#include "app/find_bar.h"
#include "app/main_form.h"
#include "bank/bank.h"
#include "edit/program_tab.h"
#include "gui_test_support.h"

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

  void find_with_no_match_keeps_the_selection() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(form.program_finder()->line(), QStringLiteral("zzz"));
    QVERIFY(form.program_finder()->matches().empty());
    QCOMPARE(selected_rows(form.StringGridBlends), QList<int>{0});
    QTest::keyClick(form.program_finder()->line(), Qt::Key_Return);
    QCOMPARE(form.current_program(), 0);
  }
};

QTEST_MAIN(window_feedback_test)
#include "window_feedback_test.moc"
