// The "Program" tab as a user drives it: the parameter lists and their stored values, names
// typed into the grid, programs dragged onto each other, the zone labels dragged, "<<" and the
// "Zone n" captions.
#include "edit/program_tab.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>
#include <cstring>
#include <functional>
#include <map>

#include "app/main_form.h"
#include "bank/bank.h"
#include "edit/program_edit.h"
#include "edit/sellect_form.h"
#include "gui_test_support.h"
#include "platform/codepage.h"

using namespace qbank::gui;

namespace {

void set_name(char* field, const char* text) {
  std::memset(field, 0, qbank::name_size);
  std::memcpy(field, text, std::strlen(text));
}

int stored(const qbank::blend& b, const QString& field) {
  if (field == "porta_time") return b.porta_time;
  if (field == "auto_sample_offset_time_base") return b.auto_sample_offset_time_base;
  if (field == "delay_time") return b.delay_time;
  if (field == "osc_mode") return b.osc_mode;
  if (field == "attack") return b.attack;
  if (field == "pg_transpose") return b.pg_transpose;
  if (field == "qs_porta_offset") return b.qs_porta_offset;
  if (field == "lfo_waveform") return b.lfo_waveform;
  return -1;
}

// Sends one mouse event to `target` at `at` (target coordinates), as a drag produces them.
void mouse(QWidget* target, QEvent::Type type, QPoint at) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

// Answers the next operation dialog by clicking the button of `result`; `seen` receives the
// dialog's texts.
void answer_operation(int result, QStringList* seen) {
  auto* poll = new QTimer;
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, result, seen] {
    auto* dialog = qobject_cast<TSellectForm*>(QApplication::activeModalWidget());
    if (!dialog) return;
    poll->stop();
    poll->deleteLater();
    if (seen) {
      *seen << dialog->windowTitle();
      for (auto* label : dialog->findChildren<QLabel*>()) *seen << label->text();
      for (int r : {5, 6, 7, 2}) *seen << dialog->button(r)->text();
      // A second dialog is not opened while this one is.
      *seen << QString::number(TSellectForm::choose(nullptr, "a", "b"));
    }
    dialog->button(result)->click();
  });
  poll->start();
}

}  // namespace

class program_tab_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() { qbank::set_active_codepage(0); }

  void lists_hold_their_entries_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("mode") << "osc_mode" << 20 << "Normal POLY"
                          << "Electric Accordeon";
    QTest::newRow("time base") << "auto_sample_offset_time_base" << 100 << "000 ms"
                               << "990 ms";
    QTest::newRow("portamento time") << "porta_time" << 256 << "000 ms"
                                     << "255 ms";
    QTest::newRow("delay time") << "delay_time" << 453 << "0"
                                << "452";
    QTest::newRow("attack") << "attack" << 4000 << "0000 ms"
                            << "3999 ms";
    QTest::newRow("program transpose") << "pg_transpose" << 49 << "-24"
                                       << "+24";
    QTest::newRow("velo to portamento") << "velo_to_porta" << 128 << "OFF"
                                        << "127";
    QTest::newRow("QS porta offset") << "qs_porta_offset" << 33 << "OFF"
                                     << "32";
    QTest::newRow("sample start offset") << "sample_offset" << 21 << "0"
                                         << "20";
    QTest::newRow("waveform") << "lfo_waveform" << 5 << "Triangle"
                              << "Square";
    QTest::newRow("aftertouch") << "at_mode" << 3 << "OFF"
                                << "MOD";
    QTest::newRow("pitch bend") << "pb_range" << 3 << "+/- 0"
                                << "+/- 2";
    QTest::newRow("delay mix") << "delay_mix" << 128 << "0"
                               << "127";
  }
  void lists_hold_their_entries() {
    QFETCH(QString, field);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QComboBox* list = form.programs()->parameter_list(field.toStdString());
    QVERIFY(list);
    QCOMPARE(list->count(), count);
    QCOMPARE(list->itemText(0), first);
    QCOMPARE(list->itemText(count - 1), last);
  }

  void chosen_entries_store_their_values_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("shown");
    QTest::newRow("portamento below 5 ms stores 5") << "porta_time" << 2 << 5 << 5;
    QTest::newRow("portamento 100 ms") << "porta_time" << 100 << 100 << 100;
    QTest::newRow("time base 000 ms stores 100") << "auto_sample_offset_time_base" << 0 << 100 << 1;
    QTest::newRow("time base 360 ms stores 3600")
        << "auto_sample_offset_time_base" << 36 << 3600 << 36;
    QTest::newRow("delay time 0 stores 1") << "delay_time" << 0 << 1 << 1;
    QTest::newRow("mode") << "osc_mode" << 19 << 19 << 19;
    QTest::newRow("attack, two bytes") << "attack" << 3999 << 3999 << 3999;
    QTest::newRow("transpose 0 semitones") << "pg_transpose" << 24 << 24 << 24;
    QTest::newRow("QS porta offset") << "qs_porta_offset" << 32 << 32 << 32;
    QTest::newRow("waveform") << "lfo_waveform" << 4 << 4 << 4;
  }
  void chosen_entries_store_their_values() {
    QFETCH(QString, field);
    QFETCH(int, chosen);
    QFETCH(int, value);
    QFETCH(int, shown);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.StringGridBlends->setCurrentIndex(form.StringGridBlends->model()->index(7, 1));
    const qbank::blend before = form.main_bank().program(6);
    QComboBox* list = form.programs()->parameter_list(field.toStdString());
    list->setCurrentIndex(chosen);
    Q_EMIT list->activated(chosen);
    QCOMPARE(stored(form.main_bank().program(7), field), value);
    QCOMPARE(list->currentIndex(), shown);
    form.refresh();
    QCOMPARE(list->currentIndex(), shown);
    // Only the current program changed.
    QVERIFY(std::memcmp(&form.main_bank().program(6), &before, sizeof before) == 0);
  }

  void names_typed_into_the_grid_data() {
    QTest::addColumn<int>("codepage");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("refused");
    QTest::newRow("plain, zero padded")
        << 1252 << "Pad" << QByteArray("Pad\0\0\0\0\0\0\0\0\0\0\0\0\0", 16) << false;
    QTest::newRow("cut to 16") << 1252 << "Grand Piano Concert" << QByteArray("Grand Piano Conc")
                               << false;
    QTest::newRow("accents in 1252") << 1252 << QString::fromUtf8("Café Noël")
                                     << QByteArray("Caf\xE9 No\xEBl\0\0\0\0\0\0\0", 16) << false;
    QTest::newRow("Cyrillic in 1251")
        << 1251 << QString::fromUtf8("Скрипка")
        << QByteArray("\xD1\xEA\xF0\xE8\xEF\xEA\xE0\0\0\0\0\0\0\0\0\0", 16) << false;
    QTest::newRow("empty becomes the marker")
        << 1252 << "" << QByteArray("- - -\0\0\0\0\0\0\0\0\0\0\0", 16) << false;
    QTest::newRow("Cyrillic refused in 1252")
        << 1252 << QString::fromUtf8("Скрипка") << QByteArray("Keep\0\0\0\0\0\0\0\0\0\0\0\0", 16)
        << true;
  }
  void names_typed_into_the_grid() {
    QFETCH(int, codepage);
    QFETCH(QString, typed);
    QFETCH(QByteArray, name);
    QFETCH(bool, refused);
    qbank::set_active_codepage(codepage);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QAbstractItemModelTester tester(form.StringGridBlends->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    set_name(form.main_bank().program(3).name, "Keep");
    form.refresh();
    form.show();
    QTableView* grid = form.StringGridBlends;
    const QModelIndex cell = grid->model()->index(3, 1);
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto* editor = grid->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("Keep"));
    QCOMPARE(editor->maxLength(), 16);
    editor->clear();
    // A name typed beyond the editor's 16 characters is cut by the store as well.
    editor->setMaxLength(32767);
    editor->setText(typed);
    // Enter in the editor: the delegate commits the text and closes the editor.
    QAbstractItemDelegate* delegate = grid->itemDelegateForColumn(1);
    Q_EMIT delegate->commitData(editor);
    Q_EMIT delegate->closeEditor(editor);
    QCOMPARE(QByteArray(form.main_bank().program(3).name, 16), name);
    QCOMPARE(answers.boxes.size(), refused ? 1 : 0);
    if (refused) QVERIFY(answers.boxes[0].startsWith(QStringLiteral("[Error] The text")));
    QCOMPARE(grid->model()->index(3, 1).data().toString(),
             QString::fromStdString(qbank::to_utf8(form.main_bank().program_name_text(3))));
  }

  // Row 5 of the original grid (program 4) dragged onto row 2 (program 1).
  void programs_dragged_onto_each_other_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("move") << 5 << QList<int>{0, 4, 1, 2, 3, 5};
    QTest::newRow("swap") << 6 << QList<int>{0, 4, 2, 3, 1, 5};
    QTest::newRow("copy") << 7 << QList<int>{0, 4, 2, 3, 4, 5};
    QTest::newRow("cancel") << 2 << QList<int>{0, 1, 2, 3, 4, 5};
  }
  void programs_dragged_onto_each_other() {
    QFETCH(int, choice);
    QFETCH(QList<int>, order);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    for (int i = 0; i < 6; ++i) {
      set_name(form.main_bank().program(i).name, qPrintable(QStringLiteral("Prog %1").arg(i)));
      form.main_bank().program(i).zones[0].multisample = static_cast<std::uint16_t>(10 + i);
    }
    form.refresh();
    form.show();
    QTableView* grid = form.StringGridBlends;
    QWidget* viewport = grid->viewport();
    const QPoint from = grid->visualRect(grid->model()->index(4, 0)).center();
    const QPoint to = grid->visualRect(grid->model()->index(1, 0)).center();
    QStringList seen;
    answer_operation(choice, &seen);
    mouse(viewport, QEvent::MouseButtonPress, from);
    mouse(viewport, QEvent::MouseMove, (from + to) / 2);
    mouse(viewport, QEvent::MouseMove, to);
    mouse(viewport, QEvent::MouseButtonRelease, to);
    QCOMPARE(seen, QStringList({"Operation sellector...", "[004] - Prog 4", "V", "[001] - Prog 1",
                                "Move:   [004]  to  [001]", "Swap:   [004]  with  [001]",
                                "Copy:   [004]  to  [001]", "Cancel", "2"}));
    QList<int> now;
    for (int i = 0; i < 6; ++i) {
      now << form.main_bank().program(i).zones[0].multisample - 10;
      QCOMPARE(grid->model()->index(i, 1).data().toString(),
               QStringLiteral("Prog %1").arg(now.last()));
      QCOMPARE(grid->model()->index(i, 0).data().toString(), QString::asprintf("%04d", i));
    }
    QCOMPARE(now, order);
  }

  // Each pointer event while the button is down is one step, whatever the distance.
  void zone_labels_step_once_per_event() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.show();
    program_tab* tab = form.programs();
    QLabel* low = tab->zone_label(1);  // velo_low of zone 1
    QCOMPARE(low->text(), QStringLiteral("000"));
    mouse(low, QEvent::MouseButtonPress, QPoint(5, 5));
    mouse(low, QEvent::MouseMove, QPoint(5, -400));  // far up, one event
    QCOMPARE(int(form.main_bank().program(0).zones[0].velo_low), 1);
    QCOMPARE(low->text(), QStringLiteral("001"));
    mouse(low, QEvent::MouseMove, QPoint(50, -400));  // sideways only
    mouse(low, QEvent::MouseMove, QPoint(5, -399));   // down
    mouse(low, QEvent::MouseMove, QPoint(5, -398));   // down at 0: stays
    QCOMPARE(int(form.main_bank().program(0).zones[0].velo_low), 0);
    mouse(low, QEvent::MouseButtonRelease, QPoint(5, -398));
    mouse(low, QEvent::MouseMove, QPoint(5, -900));  // no drag after release
    QCOMPARE(int(form.main_bank().program(0).zones[0].velo_low), 0);

    QLabel* high = tab->zone_label(10);  // velo_high of zone 1, 127
    mouse(high, QEvent::MouseButtonPress, QPoint(5, 5));
    mouse(high, QEvent::MouseMove, QPoint(5, 0));
    QCOMPARE(int(form.main_bank().program(0).zones[0].velo_high), 127);
    mouse(high, QEvent::MouseButtonRelease, QPoint(5, 0));

    QLabel* transpose = tab->zone_label(72);  // mod zone 1
    mouse(transpose, QEvent::MouseButtonPress, QPoint(5, 5));
    mouse(transpose, QEvent::MouseMove, QPoint(5, 20));
    mouse(transpose, QEvent::MouseButtonRelease, QPoint(5, 20));
    QCOMPARE(int(form.main_bank().program(0).mod_zones[0].transpose), 63);
    QCOMPARE(transpose->text(), QStringLiteral("-1"));

    // The bars follow the bytes; a window turned upside down has no width.
    qbank::zone& z = form.main_bank().program(0).zones[2];
    z.key_low = 10;
    z.key_high = 74;
    form.refresh();
    QCOMPARE(program_tab::bar_width(tab->key_bar(2)), 64 * (tab->key_bar(2)->width() - 2) / 128);
    z.key_low = 100;
    z.key_high = 20;
    form.refresh();
    QCOMPARE(program_tab::bar_width(tab->key_bar(2)), 0);
    QCOMPARE(tab->zone_label(22)->text(), QStringLiteral("100"));
    QCOMPARE(tab->zone_label(32)->text(), QStringLiteral("020"));
  }

  // A click on a value box takes the keys typed after it: they never reach the programs grid,
  // which would take them as a new name for the current program.
  void keys_typed_into_a_value_box_stay_there() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    set_name(form.main_bank().program(0).name, "Keep");
    form.refresh();
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.StringGridBlends->setCurrentIndex(form.StringGridBlends->model()->index(0, 1));
    form.StringGridBlends->setFocus();
    QLabel* low = form.programs()->zone_label(1);
    QTest::mouseClick(low, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(low));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("55"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QByteArray(form.main_bank().program(0).name, 4), QByteArray("Keep"));
    QVERIFY(!form.StringGridBlends->viewport()->findChild<QLineEdit*>());
    // The box took the value typed into it.
    QCOMPARE(int(form.main_bank().program(0).zones[0].velo_low), 55);
    QCOMPARE(low->text(), QStringLiteral("055"));
  }

  // The keyboard and the wheel on a value box: steps, typed values, Escape.
  void value_boxes_take_keys_and_the_wheel_data() {
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("keys");  // "U" up, "D" down, "P" page up, "N" page down,
                                        // "W" wheel up, "E" Enter, "X" Escape, else typed
    QTest::addColumn<QString>("shown");
    QTest::newRow("up twice, page up") << 1 << "UUP"
                                       << "012";
    QTest::newRow("down at 0 stays") << 1 << "D"
                                     << "000";
    QTest::newRow("page down from 127") << 10 << "N"
                                        << "117";
    QTest::newRow("wheel up") << 1 << "W"
                              << "001";
    QTest::newRow("typed and entered") << 20 << "64E"
                                       << "064";
    QTest::newRow("typed past the range is not stored") << 20 << "200E"
                                                        << "000";
    QTest::newRow("Escape gives back the stored value") << 20 << "64X"
                                                        << "000";
    QTest::newRow("a signed transpose") << 72 << "-12E"
                                        << "-12";
  }
  void value_boxes_take_keys_and_the_wheel() {
    QFETCH(int, tag);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.show();
    QLabel* box = form.programs()->zone_label(tag);
    QTest::mouseClick(box, Qt::LeftButton);
    for (const QChar c : keys) {
      const std::map<QChar, Qt::Key> named = {{'U', Qt::Key_Up},     {'D', Qt::Key_Down},
                                              {'P', Qt::Key_PageUp}, {'N', Qt::Key_PageDown},
                                              {'E', Qt::Key_Return}, {'X', Qt::Key_Escape}};
      if (c == QLatin1Char('W')) {
        QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
      } else if (named.count(c)) {
        QTest::keyClick(box, named.at(c));
      } else {
        QTest::keyClicks(box, QString(c));
      }
    }
    QCOMPARE(box->text(), shown);
    QCOMPARE(QString::fromStdString(qbank::zone_label_text(form.main_bank().program(0), tag)),
             shown);
  }

  void copy_zone_one_name() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.StringGridBlends->setCurrentIndex(form.StringGridBlends->model()->index(2, 1));
    QPushButton* button = form.programs()->copy_name_button();
    QVERIFY(button->isEnabled());
    QCOMPARE(button->toolTip(), QStringLiteral("Copy Zone 1 multisample name to program name"));
    const QString before = form.StringGridBlends->model()->index(2, 1).data().toString();
    button->click();  // no multisample in zone 1: nothing
    QCOMPARE(form.StringGridBlends->model()->index(2, 1).data().toString(), before);
    set_name(form.main_bank().multisample(42).name, "Choir Aah");
    form.main_bank().program(2).zones[0].multisample = 42;
    form.refresh();
    button->click();
    QCOMPARE(form.StringGridBlends->model()->index(2, 1).data().toString(),
             QStringLiteral("Choir Aah"));
  }

  void zone_caption_takes_the_next_multisample_data() {
    QTest::addColumn<int>("previous");
    QTest::addColumn<int>("expected");
    QTest::newRow("after multisample 17") << 17 << 18;
    QTest::newRow("No Multisample: nothing") << 0 << 5;
    QTest::newRow("after the last, 9999: nothing") << 9999 << 5;
  }
  void zone_caption_takes_the_next_multisample() {
    QFETCH(int, previous);
    QFETCH(int, expected);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.main_bank().program(0).zones[1].multisample = static_cast<std::uint16_t>(previous);
    form.main_bank().program(0).zones[2].multisample = 5;
    form.refresh();
    form.show();
    QLabel* caption = form.programs()->zone_caption(3);
    QCOMPARE(caption->text(), QStringLiteral("Zone 3"));
    QTest::mouseClick(caption, Qt::LeftButton);
    QCOMPARE(int(form.main_bank().program(0).zones[2].multisample), expected);
    QCOMPARE(form.programs()->zone_lists()[2]->currentIndex(), expected);
  }
};

QTEST_MAIN(program_tab_test)
#include "program_tab_test.moc"
