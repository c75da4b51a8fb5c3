// What the window remembers from one run to the next: its size and place, the player's
// settings, the folder of each kind of file, and File, "Open Recent".
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <cstring>
#include <fstream>

#include "app/dialogs.h"
#include "app/main_form.h"
#include "app/settings.h"
#include "audio/my_wave_plot.h"
#include "audio/player_tab.h"
#include "bank/bank.h"
#include "bank/script_file.h"
#include "gui_test_support.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

using namespace qbank::gui;

namespace {

void set_name(char* field, const char* text) {
  std::memset(field, 0, qbank::name_size);
  std::memcpy(field, text, std::strlen(text));
}

// A layout-5 script (9999 programs, 2048 multisamples, empty slots) whose program 0 is `name`.
void write_version5_script(const std::filesystem::path& path, const char* name) {
  std::string bytes(2048 + 9999 * 512 + 2048 * 256, '\0');
  std::memcpy(bytes.data() + 2048, name, std::strlen(name));
  for (int line = 0; line < 2048 * 128; ++line) bytes += "- - -\r\n";
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

QStringList captions(const QMenu* menu) {
  QStringList list;
  for (const QAction* item : menu->actions())
    if (!item->isSeparator()) list << item->text() + (item->isEnabled() ? "" : " (greyed)");
  return list;
}

QMenu* recent_menu(TForm1& form) {
  for (QAction* item : form.menuBar()->actions().first()->menu()->actions())
    if (item->menu() && item->text() == QLatin1String("Open Recent")) return item->menu();
  return nullptr;
}

QString entry(int n, const std::filesystem::path& path) {
  return QStringLiteral("&%1 %2  (%3)")
      .arg(n)
      .arg(QString::fromStdString(path.filename().string()),
           QString::fromStdString(path.parent_path().string()));
}

const QString open_v5 = QStringLiteral("Open Sampler Script File (Version 5 / 9999 programs)...");
const QString open_v6 =
    QStringLiteral("Open Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)...");

}  // namespace

class window_settings_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { clear_recent_files(); }

  void size_place_and_player_come_back() {
    {
      testing::scripted_dialogs answers;
      TForm1 form(&answers);
      form.show();
      form.setGeometry(QRect(40, 50, 1000, 720));
      form.player()->RadioButtonAudioFromWAV->setChecked(true);
      form.player()->SpinZoomUp->click();
      form.player()->SpinZoomUp->click();
      QVERIFY(form.close());
    }
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.show();
    QCOMPARE(form.geometry().size(), QSize(1000, 720));
    QVERIFY(form.player()->RadioButtonAudioFromWAV->isChecked());
    QCOMPARE(form.player()->plot->zoom_level(), 2);
    QCOMPARE(form.player()->LabelZoom->text(), form.player()->plot->zoom_text());
  }

  // The real file dialogs, answered by the test: each kind of file has its own last folder.
  void file_dialogs_open_in_the_last_folder_of_their_kind() {
    qbank::testing::temp_dir dir;
    std::filesystem::create_directories(dir / "scripts");
    std::filesystem::create_directories(dir / "banks");
    std::ofstream(dir / "scripts" / "a.qbs") << "x";
    std::ofstream(dir / "banks" / "b.qbb") << "x";
    QStringList opened_in;
    std::filesystem::path answer;
    QTimer answering;
    answering.setInterval(10);
    connect(&answering, &QTimer::timeout, [&] {
      QFileDialog* dialog = nullptr;
      for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible()) continue;
        // The dialog may not have seen the file yet and says so: it is asked again.
        if (auto* box = qobject_cast<QMessageBox*>(window)) box->reject();
        if (auto* file_dialog = qobject_cast<QFileDialog*>(window)) dialog = file_dialog;
      }
      if (!dialog) return;
      const QString folder = QDir(dialog->directory()).canonicalPath();
      if (dialog->property("seen").isNull()) opened_in << folder;
      dialog->setProperty("seen", true);
      // Typed, as a user does: the dialog takes a typed name whatever its list shows yet.
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
          ->setText(QString::fromStdString(answer.string()));
      QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    answering.start();
    QWidget owner;
    qt_dialogs real(&owner);
    const QString scripts = dialog_filter(QStringLiteral("SCRIPT"), QStringLiteral("qbs"));
    const QString banks = dialog_filter(QStringLiteral("BANK"), QStringLiteral("qbb"));
    // The dialogs name folders with Qt's '/' on every system.
    const QString script_folder =
        QDir::fromNativeSeparators(QString::fromStdString((dir / "scripts").string()));
    const QString bank_folder =
        QDir::fromNativeSeparators(QString::fromStdString((dir / "banks").string()));

    answer = dir / "scripts" / "a.qbs";
    QCOMPARE(real.choose_open_file(QStringLiteral("open"), scripts), answer);
    answer = dir / "banks" / "b.qbb";
    QCOMPARE(real.choose_open_file(QStringLiteral("open"), banks), answer);
    answer = dir / "scripts" / "c.qbs";
    QCOMPARE(real.choose_save_file(QStringLiteral("save"), scripts), answer);
    QCOMPARE(opened_in.last(), script_folder);
    answer = dir / "banks" / "b.qbb";
    QCOMPARE(real.choose_open_file(QStringLiteral("open"), banks), answer);
    QCOMPARE(opened_in.last(), bank_folder);
  }

  void recent_files_open_as_they_were_opened() {
    qbank::testing::temp_dir dir;
    write_version5_script(dir / "five.qbs", "Five");
    {
      qbank::bank six;
      set_name(six.program(0).name, "Six");
      qbank::testing::recording_host quiet;
      qbank::save_script(six, dir / "six.qbs", quiet);
    }
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QMenu* recent = recent_menu(form);
    QVERIFY(recent);
    QCOMPARE(captions(recent), QStringList({"Clear Recent (greyed)"}));
    QVERIFY(!recent->menuAction()->isEnabled());

    answers.files = {dir / "five.qbs"};
    form.action(open_v5)->trigger();
    answers.files = {dir / "six.qbs"};
    form.action(open_v6)->trigger();
    QVERIFY2(answers.errors.isEmpty(), qPrintable(answers.errors.join('\n')));
    QCOMPARE(captions(recent),
             QStringList({entry(1, dir / "six.qbs"), entry(2, dir / "five.qbs"), "Clear Recent"}));

    // The layout-5 script opens as layout 5 again (its notice shows), and moves up.
    answers.boxes.clear();
    recent->actions().at(1)->trigger();
    QVERIFY2(answers.errors.isEmpty(), qPrintable(answers.errors.join('\n')));
    QCOMPARE(form.main_bank().program_name_text(0).substr(0, 4), std::string("Five"));
    QCOMPARE(answers.boxes.size(), 1);
    QVERIFY(answers.boxes[0].startsWith(QStringLiteral("[Info]")));
    QCOMPARE(captions(recent).first(), entry(1, dir / "five.qbs"));

    // Unsaved changes are asked for first; Cancel keeps them.
    set_name(form.main_bank().program(0).name, "Edited");
    form.record_edit(QStringLiteral("Rename Program"));
    answers.save_answers = {save_answer::cancel};
    recent->actions().at(1)->trigger();
    QCOMPARE(answers.save_questions, QStringList({"Save changes to five.qbs?"}));
    QCOMPARE(form.main_bank().program_name_text(0).substr(0, 6), std::string("Edited"));

    // Eight at most, the oldest dropped.
    for (int i = 0; i < 9; ++i) {
      const auto copy = dir / QStringLiteral("copy%1.qbs").arg(i).toStdString();
      std::filesystem::copy_file(dir / "six.qbs", copy);
      answers.files = {copy};
      form.action(open_v6)->trigger();
    }
    QStringList expected;
    for (int i = 8; i >= 1; --i)
      expected << entry(9 - i, dir / QStringLiteral("copy%1.qbs").arg(i).toStdString());
    expected << QStringLiteral("Clear Recent");
    QCOMPARE(captions(recent), expected);

    // A file no longer there is reported, taken off the list, and the bank stays.
    std::filesystem::remove(dir / "copy5.qbs");
    answers.boxes.clear();
    answers.save_questions.clear();
    recent->actions().at(3)->trigger();
    QCOMPARE(answers.boxes,
             QStringList({QStringLiteral("[Open Recent] %1 is not there any more; it was taken off "
                                         "the recent files.")
                              .arg(QString::fromStdString((dir / "copy5.qbs").string()))}));
    QVERIFY(answers.save_questions.isEmpty());
    QCOMPARE(captions(recent).size(), 8);
    QVERIFY(!captions(recent).contains(entry(4, dir / "copy5.qbs")));
    QVERIFY(form.windowTitle().endsWith(QStringLiteral("/ copy8.qbs")));

    // Clear Recent empties it, for the next run too.
    recent->actions().last()->trigger();
    QCOMPARE(captions(recent), QStringList({"Clear Recent (greyed)"}));
    TForm1 next(&answers);
    QCOMPARE(captions(recent_menu(next)), QStringList({"Clear Recent (greyed)"}));
  }
};

QTEST_MAIN(window_settings_test)
#include "window_settings_test.moc"
