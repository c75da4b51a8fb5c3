// The progress and report windows behind qbank::host, and the real message boxes' answers.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/dialogs.h"
#include "app/gui_host.h"
#include "gui_test_support.h"

using namespace qbank::gui;

class progress_report_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void calls_without_a_window_create_nothing() {
    testing::scripted_dialogs answers;
    gui_host host(answers, nullptr);
    host.progress_set_percent(50);
    host.progress_set_title("x");
    host.progress_set_text("y");
    host.progress_hide();
    host.report_hide();
    QVERIFY(host.progress_window() == nullptr);
    QVERIFY(host.report_window() == nullptr);
  }

  void gauge_colour_and_cancel_by_kind_data() {
    QTest::addColumn<char>("kind");
    QTest::addColumn<bool>("with_flag");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("reading, no flag: cyan, Cancel disabled") << 'r' << false << QColor(0, 255, 255);
    QTest::newRow("writing with flag: red, Cancel enabled") << 'w' << true << QColor(255, 0, 0);
    QTest::newRow("search: green") << 'c' << false << QColor(0, 192, 0);
    QTest::newRow("validation: green") << 'l' << false << QColor(0, 192, 0);
  }
  void gauge_colour_and_cancel_by_kind() {
    QFETCH(char, kind);
    QFETCH(bool, with_flag);
    QFETCH(QColor, colour);
    testing::scripted_dialogs answers;
    gui_host host(answers, nullptr);
    std::int32_t flag = 0;
    host.progress_show(kind, with_flag ? &flag : nullptr);
    TProgressForm* window = host.progress_window();
    QVERIFY(window != nullptr);
    QCOMPARE(window->windowTitle(), QStringLiteral("Please wait..."));
    QCOMPARE(window->title(), QStringLiteral("Progress..."));
    QCOMPARE(window->text(), QString());
    QCOMPARE(window->size(), QSize(360, 97));
    QCOMPARE(window->gauge_color(), colour);
    QCOMPARE(window->cancel_button()->isEnabled(), with_flag);
    host.progress_hide();
    QVERIFY(host.progress_window() == nullptr);
  }

  void cancel_sets_the_flag_and_leaves_the_window_open() {
    testing::scripted_dialogs answers;
    gui_host host(answers, nullptr);
    std::int32_t flag = 0;
    host.progress_show('w', &flag);
    TProgressForm* window = host.progress_window();
    QTest::mouseClick(window->cancel_button(), Qt::LeftButton);
    QTest::mouseClick(window->cancel_button(), Qt::LeftButton);
    QCOMPARE(flag, 1);
    QVERIFY(host.progress_window() == window);
    QVERIFY(window->isVisible());
    // Escape and closing do not remove it either; only progress_hide does.
    window->close();
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(window->isVisible());
    host.progress_hide();
    QVERIFY(host.progress_window() == nullptr);
  }

  void a_second_show_keeps_the_first_callers_window() {
    testing::scripted_dialogs answers;
    gui_host host(answers, nullptr);
    host.progress_show('r');
    host.progress_set_title("Reading QSP file...");
    TProgressForm* first = host.progress_window();
    std::int32_t flag = 0;
    host.progress_show('w', &flag);
    QVERIFY(host.progress_window() == first);
    QCOMPARE(first->gauge_color(), QColor(0, 255, 255));
    QVERIFY(!first->cancel_button()->isEnabled());
    QCOMPARE(first->title(), QStringLiteral("Reading QSP file..."));
    host.progress_set_percent(40);
    host.progress_set_percent(40);
    host.progress_set_percent(200);
    QCOMPARE(int(first->last_percent()), 100);
    host.progress_hide();
  }

  void report_shows_its_lines_modally() {
    testing::scripted_dialogs answers;
    gui_host host(answers, nullptr);
    QString seen_title, seen_text;
    bool read_only = false, no_wrap = false;
    QSize size;
    QTimer::singleShot(0, [&] {
      TFormReport* report = host.report_window();
      QVERIFY(report && report->isModal());
      seen_title = report->windowTitle();
      seen_text = report->text_box()->toPlainText();
      read_only = report->text_box()->isReadOnly();
      no_wrap = report->text_box()->lineWrapMode() == QPlainTextEdit::NoWrap;
      size = report->size();
      report->close();
    });
    host.report_show("Report: Missing Files", {"Missing 2 WAV files!!!", "1. Missing file: a.wav"});
    host.report_hide();
    QVERIFY(host.report_window() == nullptr);
    QCOMPARE(seen_title, QStringLiteral("Report: Missing Files"));
    QCOMPARE(seen_text, QStringLiteral("Missing 2 WAV files!!!\n1. Missing file: a.wav"));
    QVERIFY(read_only);
    QVERIFY(no_wrap);
    QCOMPARE(size, QSize(546, 529));
  }

  void empty_report_has_an_empty_text_box() {
    testing::scripted_dialogs answers;
    gui_host host(answers, nullptr);
    QString seen_title = QStringLiteral("unset"), seen_text = QStringLiteral("unset");
    QTimer::singleShot(0, [&] {
      seen_title = host.report_window()->windowTitle();
      seen_text = host.report_window()->text_box()->toPlainText();
      host.report_window()->close();
    });
    qbank::show_report(host, "Report: Scan Report", {});
    QCOMPARE(seen_title, QStringLiteral("Report: Scan Report"));
    QCOMPARE(seen_text, QString());
  }

  // The real boxes: exact text and caption, no icon; closing a question counts as No.
  void real_boxes_answer_as_clicked_data() {
    QTest::addColumn<int>("button");  // 0 Yes, 1 No, 2 close with Escape
    QTest::addColumn<bool>("answer");
    QTest::newRow("Yes") << 0 << true;
    QTest::newRow("No") << 1 << false;
    QTest::newRow("closed") << 2 << false;
  }
  void real_boxes_answer_as_clicked() {
    QFETCH(int, button);
    QFETCH(bool, answer);
    qt_dialogs real(nullptr);
    QString text, caption;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box);
      text = box->text();
      caption = box->windowTitle();
      QCOMPARE(box->icon(), QMessageBox::NoIcon);
      if (button == 0) box->button(QMessageBox::Yes)->click();
      if (button == 1) box->button(QMessageBox::No)->click();
      if (button == 2) QTest::keyClick(box, Qt::Key_Escape);
    });
    QCOMPARE(real.ask(QStringLiteral("Are You Sure ?"), QStringLiteral("Clear ALL")), answer);
    QCOMPARE(text, QStringLiteral("Are You Sure ?"));
    QCOMPARE(caption, QStringLiteral("Clear ALL"));
  }

  void filters_match_the_extension_in_any_case() {
    const QString filter =
        dialog_filter(QStringLiteral("Quorvatek Samplers SCRIPT file"), QStringLiteral("qbs"));
    QCOMPARE(filter, QStringLiteral("Quorvatek Samplers SCRIPT file (*.[qQ][bB][sS])"));
    const QRegularExpression pattern(
        QRegularExpression::wildcardToRegularExpression(QStringLiteral("*.[qQ][bB][sS]")));
    for (const char* name : {"Demo.qbs", "DEMO.QBS", "demo.Qbs", "x.qBs"})
      QVERIFY2(pattern.match(QString::fromLatin1(name)).hasMatch(), name);
    QVERIFY(!pattern.match(QStringLiteral("demo.qbb")).hasMatch());
  }
};

QTEST_MAIN(progress_report_test)
#include "progress_report_test.moc"
