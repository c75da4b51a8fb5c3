// The multisample player through a real sound server (a PulseAudio null sink started by
// tools/run-tests.sh): loading the selected slot from either source, the plot, the zoom, and
// playing with the cursor following the position and every frame reaching the server.
#include <QAudioDevice>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMediaDevices>
#include <QProcess>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <cstring>

#include "app/grid_view.h"
#include "app/main_form.h"
#include "audio/my_wave_plot.h"
#include "audio/play_progress_thread.h"
#include "audio/player_tab.h"
#include "audio/wave_player.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "gui_test_support.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

using namespace qbank::gui;
namespace fs = std::filesystem;

namespace {

constexpr int multisamples_tab = 1;

// A sine-like square of `seconds` at full scale / 2.
std::vector<std::int16_t> tone(double seconds, int channels = 1) {
  std::vector<std::int16_t> s(static_cast<std::size_t>(seconds * 48000) * channels);
  for (std::size_t k = 0; k < s.size(); ++k) s[k] = (k / 50) % 2 ? 16000 : -16000;
  return s;
}

// A ramp that no two frames of a second share: left rises from -32767, right falls from 32767.
std::vector<std::int16_t> ramp(double seconds, int channels) {
  std::vector<std::int16_t> s(static_cast<std::size_t>(seconds * 48000) * channels);
  for (std::size_t k = 0; k < s.size(); ++k) {
    const int frame = static_cast<int>(k / channels);
    s[k] = static_cast<std::int16_t>(k % channels ? 32767 - frame : frame - 32767);
  }
  return s;
}

QString command_output(const QString& program, const QStringList& arguments) {
  QProcess p;
  p.start(program, arguments);
  if (!p.waitForFinished(5000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
    return {};
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Why the server's output cannot be recorded frame for frame, or nothing when it can: the
// default sink must run at the player's own format, so that nothing is resampled or converted.
QString unrecordable_output() {
  const QString sink =
      command_output(QStringLiteral("pactl"), {QStringLiteral("get-default-sink")});
  if (sink.isEmpty()) return QStringLiteral("pactl does not name the default sink");
  const QString sinks =
      command_output(QStringLiteral("pactl"),
                     {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sinks")});
  for (const QString& line : sinks.split(QLatin1Char('\n'))) {
    const QStringList fields = line.split(QLatin1Char('\t'));
    if (fields.size() > 3 && fields[1] == sink)
      return fields[3] == QStringLiteral("s16le 2ch 48000Hz")
                 ? QString()
                 : QStringLiteral(
                       "the default sink runs at %1, not s16le 2ch 48000Hz "
                       "(tools/test-sound-server.sh starts one that does)")
                       .arg(fields[3]);
  }
  return QStringLiteral("the default sink %1 is not listed").arg(sink);
}

// What reaches the sound server: the default sink's monitor recorded in the sink's format,
// interleaved left, right.
class monitor_recording {
 public:
  monitor_recording() {
    parec_.start(QStringLiteral("parec"),
                 {QStringLiteral("--device=@DEFAULT_MONITOR@"), QStringLiteral("--rate=48000"),
                  QStringLiteral("--format=s16le"), QStringLiteral("--channels=2"),
                  QStringLiteral("--latency-msec=10"), QStringLiteral("--raw")});
  }
  ~monitor_recording() {
    parec_.terminate();
    parec_.waitForFinished(3000);
  }
  bool started() { return parec_.waitForStarted(3000); }
  const std::vector<std::int16_t>& samples() {
    bytes_ += parec_.readAllStandardOutput();
    samples_.resize(static_cast<std::size_t>(bytes_.size()) / 4 * 2);
    // Nothing recorded yet: an empty vector has no buffer to copy into.
    if (!samples_.empty()) std::memcpy(samples_.data(), bytes_.constData(), samples_.size() * 2);
    return samples_;
  }

 private:
  QProcess parec_;
  QByteArray bytes_;
  std::vector<std::int16_t> samples_;
};

// How many frames of `sound` arrived in `recorded`, in order and unchanged from the first one
// that is not silent (a mono sound on both sides); and whether only silence followed them.
struct arrival {
  std::size_t frames = 0;
  bool silence_after = false;
};
arrival frames_arrived(const std::vector<std::int16_t>& recorded,
                       const std::vector<std::int16_t>& sound, int channels) {
  std::size_t at = 0;
  while (at + 1 < recorded.size() && recorded[at] == 0 && recorded[at + 1] == 0) at += 2;
  arrival a;
  const std::size_t frames = sound.size() / channels;
  for (; a.frames < frames && at + 2 * a.frames + 1 < recorded.size(); ++a.frames) {
    const std::size_t r = at + 2 * a.frames, s = a.frames * channels;
    if (recorded[r] != sound[s] || recorded[r + 1] != sound[s + channels - 1]) break;
  }
  a.silence_after = std::all_of(recorded.begin() + static_cast<std::ptrdiff_t>(at + 2 * a.frames),
                                recorded.end(), [](std::int16_t v) { return v == 0; });
  return a;
}

// The window on the Multisamples tab with multisample 1 current.
struct player_window {
  testing::scripted_dialogs answers;
  TForm1 form{&answers};
  player_tab& player = *form.player();

  player_window() {
    form.show();
    form.PageControl1->setCurrentIndex(multisamples_tab);
    select_row(form.StringGridMultisamples, 0);
  }
  void select_slot(int row) { select_row(form.StringGridFiles, row); }
  QPoint slot_point(int row) const {
    return form.StringGridFiles->visualRect(form.StringGridFiles->model()->index(row, 2)).center();
  }
};

}  // namespace

class player_test : public QObject {
  Q_OBJECT

  qbank::testing::temp_dir dir;
  fs::path bank_file = dir / "BANK.qbb";

 private Q_SLOTS:
  void initTestCase() {
    if (QMediaDevices::audioOutputs().isEmpty()) {
      if (qEnvironmentVariableIsSet("QBANK_REQUIRE_SOUND"))
        QFAIL("no audio output device: the sound server did not start");
      QSKIP("no sound server answers; tools/test-sound-server.sh starts one");
    }
    // Multisample 1: slot 60 a one-second mono tone, slot 61 a short stereo tone, slot 62 an
    // empty WAV file; built into a bank file.
    qbank::testing::write_wav_with_sndfile(dir / "long.wav", 1, 48000, tone(1.0));
    qbank::testing::write_wav_with_sndfile(dir / "short.wav", 2, 48000, tone(0.1, 2));
    qbank::testing::write_file(dir / "empty.wav", qbank::testing::wav_bytes_raw(1, {}));
  }

  void device_list_and_sources_at_start() {
    player_window w;
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    QCOMPARE(w.form.ComboBoxAudioOut->count(), outputs.size() + 1);
    QCOMPARE(w.form.ComboBoxAudioOut->itemText(0), QStringLiteral("DEFAULT WAVE OUT DEVICE"));
    QCOMPARE(w.form.ComboBoxAudioOut->itemText(1), outputs[0].description());
    QCOMPARE(w.form.ComboBoxAudioOut->currentIndex(), 0);
    QVERIFY(w.player.RadioButtonAudioFromQBB->isChecked());
    auto* sub_tabs = w.form.findChild<QTabWidget*>(QStringLiteral("PageControl2"));
    QCOMPARE(sub_tabs->tabText(0), QStringLiteral("Current WAV file Plot/Player"));
    QCOMPARE(sub_tabs->tabText(1), QStringLiteral("Audio Plot/Player Settings"));
    // No bank file loaded: the slot's WAV file is looked for, and the empty slot has none.
    QCOMPARE(w.player.plot->message(), QStringLiteral("File Not Exist"));
    QVERIFY(!w.player.plot->plotted());
  }

  void loads_from_either_source() {
    player_window w;
    qbank::bank& b = w.form.main_bank();
    b.set_file(1, 60, (dir / "long.wav").string());
    b.set_file(1, 61, (dir / "short.wav").string());
    qbank::testing::recording_host h;
    QVERIFY(qbank::build_bank_file(b, bank_file, h));
    b.set_loaded_file_name(bank_file.string());
    b.set_file(1, 62, (dir / "empty.wav").string());  // the build refuses empty files

    w.select_slot(60);
    QVERIFY(w.player.plot->plotted());
    QCOMPARE(w.player.audio().length, 94u * 1024u);  // 96000 bytes in whole sectors
    w.select_slot(63);
    QCOMPARE(w.player.plot->message(), QStringLiteral("No Sample"));

    w.player.RadioButtonAudioFromWAV->setChecked(true);
    w.select_slot(61);
    QVERIFY(w.player.plot->plotted());
    QVERIFY(w.player.plot->stereo());
    QCOMPARE(w.player.audio().length, 4u * 4800u);
    w.select_slot(62);
    QVERIFY(w.player.plot->plotted());  // an empty waveform
    QCOMPARE(w.player.plot->length(), 0u);
    w.player.play();
    QVERIFY(!w.player.output().playing());
    w.select_slot(63);
    QCOMPARE(w.player.plot->message(), QStringLiteral("File Not Exist"));

    // Two rows selected.
    w.select_slot(60);
    w.form.StringGridFiles->selectionModel()->select(
        w.form.StringGridFiles->model()->index(61, 0),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(w.player.plot->message(), QStringLiteral("Multiple selection"));
    w.player.play();
    QVERIFY(!w.player.output().playing());
    QVERIFY(w.answers.boxes.isEmpty());
  }

  void plays_and_the_cursor_follows() {
    player_window w;
    w.form.main_bank().set_file(1, 60, (dir / "long.wav").string());
    w.player.RadioButtonAudioFromWAV->setChecked(true);
    w.select_slot(60);
    MyWavePlot* plot = w.player.plot;
    QVERIFY(plot->plotted());

    QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(w.player.output().playing());
    QVERIFY(w.player.progress().running());
    QTRY_VERIFY_WITH_TIMEOUT(w.player.output().position() > 0, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(plot->cursor_column() > 0, 3000);
    const int first = plot->cursor_column();
    QTRY_VERIFY_WITH_TIMEOUT(plot->cursor_column() > first + 10, 3000);
    // The cursor is a white column over the kept picture.
    const int x = plot->cursor_column();
    const QImage shown = plot->grab().toImage();
    QCOMPARE(shown.pixelColor(x, 1), QColor(Qt::white));
    QVERIFY(plot->picture().pixelColor(x, 1) != QColor(Qt::white));
    // Releasing stops at once and takes the cursor away.
    QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(!w.player.output().playing());
    QCOMPARE(plot->cursor_column(), -1);
    QVERIFY(!w.player.progress().running());
    QVERIFY(w.answers.boxes.isEmpty());
  }

  void short_sound_plays_to_its_end() {
    player_window w;
    w.form.main_bank().set_file(1, 61, (dir / "short.wav").string());
    w.player.RadioButtonAudioFromWAV->setChecked(true);
    w.select_slot(61);
    w.player.play();
    QVERIFY(w.player.output().playing());
    QTRY_VERIFY_WITH_TIMEOUT(!w.player.output().playing(), 5000);
    QCOMPARE(w.player.plot->cursor_column(), -1);
    QVERIFY(!w.player.progress().running());
  }

  // Pressed on the plot and held: the device plays every frame of the sound, in order, and the
  // player counts as playing (with the cursor crossing the plot) until the last one is out.
  // A bank opened from a script plays its WAV files with the source left as it starts.
  void every_frame_reaches_the_server_data() {
    QTest::addColumn<int>("channels");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<bool>("choose_wav");
    QTest::newRow("short stereo") << 2 << 0.1 << true;
    QTest::newRow("long mono") << 1 << 1.0 << true;
    QTest::newRow("from a script, source as at start") << 2 << 0.1 << false;
  }
  void every_frame_reaches_the_server() {
    QFETCH(int, channels);
    QFETCH(double, seconds);
    QFETCH(bool, choose_wav);
    if (const QString why = unrecordable_output(); !why.isEmpty()) {
      if (qEnvironmentVariableIsSet("QBANK_REQUIRE_SOUND")) QFAIL(qPrintable(why));
      QSKIP(qPrintable(why));
    }
    const std::vector<std::int16_t> sound = ramp(seconds, channels);
    qbank::testing::write_wav_with_sndfile(dir / "ramp.wav", channels, 48000, sound);
    player_window w;
    w.form.main_bank().set_file(1, 64, (dir / "ramp.wav").string());
    w.form.main_bank().set_loaded_file_name((dir / "Demo.qbs").string());
    if (choose_wav) w.player.RadioButtonAudioFromWAV->setChecked(true);
    w.select_slot(64);
    MyWavePlot* plot = w.player.plot;
    QVERIFY(plot->plotted());

    monitor_recording recording;
    QVERIFY2(recording.started(), "parec (pulseaudio-utils) does not start");
    QTRY_VERIFY_WITH_TIMEOUT(!recording.samples().empty(), 5000);  // the server sends silence
    QElapsedTimer held;
    held.start();
    QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(w.player.output().playing());
    int rightmost = -1;
    while (w.player.output().playing() && held.elapsed() < 1000 * seconds + 5000) {
      rightmost = std::max(rightmost, plot->cursor_column());
      QTest::qWait(2);
    }
    const qint64 played_for = held.elapsed();
    const std::size_t frames = sound.size() / channels;
    arrival a;
    QElapsedTimer listening;
    listening.start();
    do {
      QTest::qWait(20);
      a = frames_arrived(recording.samples(), sound, channels);
    } while (a.frames < frames && listening.elapsed() < 2000);
    QVERIFY2(a.frames == frames,
             qPrintable(QStringLiteral("%1 of %2 frames arrived").arg(a.frames).arg(frames)));
    QVERIFY2(a.silence_after, "something other than silence followed the sound");
    QVERIFY(!w.player.output().playing());
    QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY2(played_for >= 1000 * seconds,
             qPrintable(QStringLiteral("playing for %1 ms only").arg(played_for)));
    if (seconds >= 1)  // a long sound: the cursor crosses the plot to its right edge
      QVERIFY2(rightmost >= plot->width() * 95 / 100,
               qPrintable(QStringLiteral("the cursor went as far as column %1").arg(rightmost)));
    QCOMPARE(plot->cursor_column(), -1);
    QVERIFY(!w.player.progress().running());
    QVERIFY(w.answers.boxes.isEmpty());
  }

  void every_load_stops_first_and_a_second_press_restarts() {
    player_window w;
    qbank::bank& b = w.form.main_bank();
    b.set_file(1, 60, (dir / "long.wav").string());
    b.set_file(1, 61, (dir / "short.wav").string());
    w.player.RadioButtonAudioFromWAV->setChecked(true);
    w.select_slot(60);
    w.player.play();
    const qbank::gui::sample_source* first = w.player.output().source();
    QVERIFY(first);
    // A second press while playing starts over on a fresh device.
    w.player.play();
    QVERIFY(w.player.output().playing());
    QVERIFY(w.player.output().source() != first);
    // The window's refresh reloads the slot: playback stops before the buffer is replaced.
    w.form.refresh();
    QVERIFY(!w.player.output().playing());
    w.player.play();
    w.select_slot(61);
    QVERIFY(!w.player.output().playing());
    QVERIFY(w.player.plot->stereo());
  }

  void ctrl_press_on_the_grid_plays_until_release() {
    player_window w;
    w.form.main_bank().set_file(1, 60, (dir / "long.wav").string());
    w.player.RadioButtonAudioFromWAV->setChecked(true);
    w.form.refresh();
    QWidget* viewport = w.form.StringGridFiles->viewport();
    w.form.StringGridFiles->scrollTo(w.form.StringGridFiles->model()->index(60, 0));
    QTest::mousePress(viewport, Qt::LeftButton, Qt::ControlModifier, w.slot_point(60));
    QCOMPARE(current_row(w.form.StringGridFiles), 60);
    QCOMPARE(w.player.plot->message(), QString());
    QVERIFY(w.player.plot->plotted());
    QVERIFY(w.player.output().playing());
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::ControlModifier, w.slot_point(60));
    QVERIFY(!w.player.output().playing());
    // A plain press loads without playing.
    QTest::mousePress(viewport, Qt::LeftButton, {}, w.slot_point(60));
    QVERIFY(!w.player.output().playing());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, w.slot_point(60));
  }

  void zoom_buttons_stop_at_both_ends() {
    player_window w;
    w.form.main_bank().set_file(1, 60, (dir / "long.wav").string());
    w.player.RadioButtonAudioFromWAV->setChecked(true);
    w.select_slot(60);
    QCOMPARE(w.player.LabelZoom->text(), QStringLiteral("x1"));
    const QImage x1 = w.player.plot->picture();
    for (int i = 0; i < 25; ++i) w.player.SpinZoomUp->click();
    QCOMPARE(w.player.LabelZoom->text(), QStringLiteral("x20"));
    QCOMPARE(w.player.plot->zoom_level(), 19);
    QVERIFY(w.player.plot->picture() != x1);
    for (int i = 0; i < 25; ++i) w.player.SpinZoomDown->click();
    QCOMPARE(w.player.LabelZoom->text(), QStringLiteral("x1"));
    QCOMPARE(w.player.plot->picture(), x1);
  }
};

QTEST_MAIN(player_test)
#include "player_test.moc"
