// The player on a machine without any audio output: the list holds only the default entry and
// playing says why it cannot in a "Wave Error" box.
#include <QApplication>
#include <QAudioDevice>
#include <QComboBox>
#include <QMediaDevices>
#include <QRadioButton>
#include <QtTest>

#include "app/grid_view.h"
#include "app/main_form.h"
#include "audio/my_wave_plot.h"
#include "audio/player_tab.h"
#include "audio/wave_player.h"
#include "bank/bank.h"
#include "gui_test_support.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

using namespace qbank::gui;

class player_no_device_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void play_shows_a_wave_error() {
    QVERIFY(QMediaDevices::audioOutputs().isEmpty());
    qbank::testing::temp_dir dir;
    std::vector<std::int16_t> samples(4800, 1000);
    qbank::testing::write_wav_with_sndfile(dir / "a.wav", 1, 48000, samples);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.show();
    QCOMPARE(form.ComboBoxAudioOut->count(), 1);
    QCOMPARE(form.ComboBoxAudioOut->itemText(0), QStringLiteral("DEFAULT WAVE OUT DEVICE"));
    player_tab& player = *form.player();
    form.main_bank().set_file(1, 0, (dir / "a.wav").string());
    player.RadioButtonAudioFromWAV->setChecked(true);
    form.PageControl1->setCurrentIndex(1);
    select_row(form.StringGridFiles, 0);
    QVERIFY(player.plot->plotted());
    QTest::mousePress(player.plot, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(answers.boxes,
             QStringList({QStringLiteral("[Wave Error] No audio output device is present.")}));
    QVERIFY(!player.output().playing());
    QTest::mouseRelease(player.plot, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(player.plot->cursor_column(), -1);
    QCOMPARE(answers.boxes.size(), 1);
  }
};

int main(int argc, char** argv) {
  // No sound server to reach: the audio system finds no device at all.
  qputenv("PULSE_SERVER", "unix:/nonexistent/qbank-no-sound-server");
  QApplication app(argc, argv);
  player_no_device_test test;
  return QTest::qExec(&test, argc, argv);
}

#include "player_no_device_test.moc"
