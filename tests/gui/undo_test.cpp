// Undo and redo of the main bank from the Edit menu: menu commands as steps named after their
// captions, the bank byte for byte after each undo and redo, the greyed items, a new history
// after a clear, and the program tab's edits recorded through record_edit.
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QUndoStack>
#include <QtTest>
#include <cstring>
#include <memory>
#include <string>

#include "app/grid_view.h"
#include "app/main_form.h"
#include "bank/bank.h"
#include "bank/script_file.h"
#include "edit/program_tab.h"
#include "gui_test_support.h"
#include "manager/bank_manager_page.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

using namespace qbank::gui;

namespace {

// Every image byte and every file-list text of the bank.
struct snapshot {
  std::unique_ptr<qbank::bank_image> image;
  std::string texts;

  explicit snapshot(const qbank::bank& b) : image(std::make_unique<qbank::bank_image>(b.image())) {
    for (int n = 0; n < qbank::multisample_count; ++n)
      for (int j = 0; j < qbank::slots_per_multisample; ++j) {
        texts.append(b.file(n, j));
        texts.push_back('\n');
      }
  }
  bool operator==(const snapshot& other) const {
    return std::memcmp(image.get(), other.image.get(), sizeof(qbank::bank_image)) == 0 &&
           texts == other.texts;
  }
};

bool bank_is(TForm1& form, const snapshot& expected) {
  return snapshot(form.main_bank()) == expected;
}

void set_up_programs(qbank::bank& b) {
  for (int i = 0; i < 5; ++i) {
    b.program(i).zones[0].multisample = static_cast<std::uint16_t>(i + 1);
    b.program(i).pg_transpose = static_cast<std::uint8_t>(20 + i);
    b.program(i).lfo_speed = static_cast<std::uint8_t>(i);
    b.set_file(i + 1, 40, "C:\\Lib\\ms" + std::to_string(i) + ".wav");
  }
}

const QString transpose_up = QStringLiteral("Transpose all used Programs with one Octave Up");

}  // namespace

class undo_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void edit_menu_starts_with_greyed_undo_and_redo() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QMenu* edit = form.menuBar()->actions().at(1)->menu();
    QCOMPARE(edit->actions().at(0), form.undo_action());
    QCOMPARE(edit->actions().at(1), form.redo_action());
    QCOMPARE(form.undo_action()->text(), QStringLiteral("Undo"));
    QCOMPARE(form.redo_action()->text(), QStringLiteral("Redo"));
    QVERIFY(!form.undo_action()->isEnabled());
    QVERIFY(!form.redo_action()->isEnabled());
    QCOMPARE(form.undo_action()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    QCOMPARE(form.redo_action()->shortcuts(),
             QList<QKeySequence>({QKeySequence(QStringLiteral("Ctrl+Shift+Z")),
                                  QKeySequence(QStringLiteral("Ctrl+Y"))}));
  }

  void menu_commands_undo_and_redo_byte_for_byte() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    set_up_programs(form.main_bank());
    form.record_edit(QStringLiteral("set-up"));
    form.history()->clear();
    const snapshot start(form.main_bank());

    form.action(QStringLiteral("Fix LFO speed"))->trigger();
    const snapshot fixed(form.main_bank());
    QVERIFY(!(fixed == start));
    QCOMPARE(form.undo_action()->text(), QStringLiteral("Undo Fix LFO speed"));
    QVERIFY(form.undo_action()->isEnabled());
    QVERIFY(!form.redo_action()->isEnabled());

    form.action(QStringLiteral("Up"))->trigger();
    const snapshot raised(form.main_bank());
    QVERIFY(!(raised == fixed));
    QCOMPARE(form.undo_action()->text(), QStringLiteral("Undo ") + transpose_up);

    form.undo_action()->trigger();
    QVERIFY(bank_is(form, fixed));
    QCOMPARE(form.undo_action()->text(), QStringLiteral("Undo Fix LFO speed"));
    QCOMPARE(form.redo_action()->text(), QStringLiteral("Redo ") + transpose_up);
    form.undo_action()->trigger();
    QVERIFY(bank_is(form, start));
    QVERIFY(!form.undo_action()->isEnabled());
    QCOMPARE(form.undo_action()->text(), QStringLiteral("Undo"));
    form.redo_action()->trigger();
    QVERIFY(bank_is(form, fixed));
    form.redo_action()->trigger();
    QVERIFY(bank_is(form, raised));
    QVERIFY(!form.redo_action()->isEnabled());
    // The grid shows the restored bank: the window was refreshed.
    form.undo_action()->trigger();
    form.undo_action()->trigger();
    QCOMPARE(form.main_bank().program(0).lfo_speed, 0);

    // A command after an undo ends what could be redone; one that changes nothing is no step.
    form.redo_action()->trigger();
    form.action(QStringLiteral("Down"))->trigger();
    QVERIFY(!form.redo_action()->isEnabled());
    QCOMPARE(form.history()->count(), 2);
    form.action(QStringLiteral("Calculate bank SIZE  (Version 6)"))->trigger();
    QCOMPARE(form.history()->count(), 2);
    QVERIFY(!form.redo_action()->isEnabled());
    form.undo_action()->trigger();
    QVERIFY(bank_is(form, fixed));

    // A clear starts a new history; a clear that is refused keeps it.
    answers.answers = {false, true};
    form.action(QStringLiteral("Clear ALL..."))->trigger();
    QCOMPARE(form.history()->count(), 2);
    form.action(QStringLiteral("Clear ALL..."))->trigger();
    QCOMPARE(form.history()->count(), 0);
    QVERIFY(!form.undo_action()->isEnabled());

    // So does an open; an open that is cancelled keeps the history.
    qbank::testing::temp_dir dir;
    qbank::testing::recording_host h;
    set_up_programs(form.main_bank());
    qbank::save_script(form.main_bank(), dir / "a.qbs", h);
    form.action(QStringLiteral("Fix LFO speed"))->trigger();
    const int steps = form.history()->count();
    QVERIFY(steps > 0);
    const QString open_script = QStringLiteral(
        "Open Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)...");
    form.action(open_script)->trigger();
    QCOMPARE(form.history()->count(), steps);
    answers.files = {dir / "a.qbs"};
    form.action(open_script)->trigger();
    QVERIFY2(answers.errors.isEmpty(), qPrintable(answers.errors.join('\n')));
    QCOMPARE(form.history()->count(), 0);
  }

  void a_transfer_is_one_step_named_after_its_button() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.PageControl1->setCurrentIndex(bank_manager_tab);
    set_up_programs(form.manager_bank());
    bank_manager_page& page = *form.manager_page();
    const snapshot start(form.main_bank());
    select_row(form.StringGridBlendsORG, 10);
    select_row(form.StringGridBlendsMNG, 3);
    // The button waits for a loaded manager bank; this one was filled in place.
    page.ButtonExecuteMoveOneDown->setEnabled(true);
    page.ButtonExecuteMoveOneDown->click();
    QVERIFY(form.main_bank().program(10).zones[0].multisample != 0);
    QCOMPARE(form.undo_action()->text(), QStringLiteral("Undo << Execute << Move 1 Line Down"));
    form.undo_action()->trigger();
    QVERIFY(bank_is(form, start));
  }

  void the_oldest_steps_go_past_the_memory_limit() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    // Every program is used, so each octave move changes all 9999 (about 5 MB a step).
    for (int i = 0; i < qbank::program_count; ++i)
      form.main_bank().program(i).zones[0].multisample = 1;
    form.record_edit(QStringLiteral("set-up"));
    form.history()->clear();
    const snapshot start(form.main_bank());
    constexpr int steps = 16;
    for (int k = 0; k < steps; ++k)
      form.action(QString::fromLatin1(k % 2 ? "Down" : "Up"))->trigger();
    const int kept = form.history()->count();
    QVERIFY(kept < steps);
    QVERIFY(kept >= 10);
    while (form.undo_action()->isEnabled()) form.undo_action()->trigger();
    // Back to the bank after the dropped steps: the start, or one octave up.
    const bool odd = (steps - kept) % 2 == 1;
    QCOMPARE(form.main_bank().program(7).pg_transpose,
             start.image->blends[7].pg_transpose + (odd ? 12 : 0));
    if (!odd) QVERIFY(bank_is(form, start));
    while (form.redo_action()->isEnabled()) form.redo_action()->trigger();
    QVERIFY(bank_is(form, start));
  }

  void program_tab_edits_are_recorded_and_a_gesture_is_one_step() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    const snapshot start(form.main_bank());
    // One drag: three changes, one step.
    for (int attack : {5, 9, 12}) {
      form.main_bank().program(0).attack = static_cast<std::uint8_t>(attack);
      form.record_edit(QStringLiteral("Attack"), 1);
    }
    QCOMPARE(form.history()->count(), 1);
    QCOMPARE(form.undo_action()->text(), QStringLiteral("Undo Attack"));
    const snapshot dragged(form.main_bank());
    // A change nobody recorded becomes its own step before the next command.
    form.main_bank().program(1).release = 3;
    form.action(QStringLiteral("Fix LFO speed"))->trigger();
    QCOMPARE(form.history()->count(), 3);
    form.undo_action()->trigger();
    QCOMPARE(form.undo_action()->text(), QStringLiteral("Undo Edit"));
    form.undo_action()->trigger();
    QVERIFY(bank_is(form, dragged));
    form.undo_action()->trigger();
    QVERIFY(bank_is(form, start));
    // A drag that ends where it began leaves no step.
    form.history()->clear();
    form.main_bank().program(0).attack = 7;
    form.record_edit(QStringLiteral("Attack"), 2);
    form.main_bank().program(0).attack = start.image->blends[0].attack;
    form.record_edit(QStringLiteral("Attack"), 2);
    QCOMPARE(form.history()->count(), 0);
  }

  // The Program tab's own controls: a drag over a value box is one step, a list choice another,
  // each named after what it changed.
  void program_tab_controls_name_their_steps() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.show();
    const snapshot start(form.main_bank());
    QLabel* low = form.programs()->zone_label(1);  // velo_low of zone 1
    const auto mouse = [low](QEvent::Type type, QPoint at) {
      const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
      const Qt::MouseButtons held =
          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
      QMouseEvent event(type, QPointF(at), QPointF(low->mapToGlobal(at)), button, held,
                        Qt::NoModifier);
      QApplication::sendEvent(low, &event);
    };
    mouse(QEvent::MouseButtonPress, QPoint(5, 5));
    for (int y : {0, -5, -10}) mouse(QEvent::MouseMove, QPoint(5, y));
    mouse(QEvent::MouseButtonRelease, QPoint(5, -10));
    QCOMPARE(int(form.main_bank().program(0).zones[0].velo_low), 3);
    QCOMPARE(form.history()->count(), 1);
    QCOMPARE(form.undo_action()->text(), QStringLiteral("Undo Change Zone Value"));
    const snapshot dragged(form.main_bank());

    QComboBox* speed = form.programs()->parameter_list("lfo_speed");
    QVERIFY(speed);
    speed->setCurrentIndex(10);
    Q_EMIT speed->activated(10);
    QCOMPARE(form.history()->count(), 2);
    QCOMPARE(form.undo_action()->text(), QStringLiteral("Undo Change LFO Speed"));
    form.undo_action()->trigger();
    QVERIFY(bank_is(form, dragged));
    QCOMPARE(speed->currentIndex(), 64);
    form.undo_action()->trigger();
    QVERIFY(bank_is(form, start));
    QCOMPARE(low->text(), QStringLiteral("000"));
  }
};

QTEST_MAIN(undo_test)
#include "undo_test.moc"
