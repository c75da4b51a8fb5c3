// The output of this build (Qt Multimedia's sink on Linux, the Win32 wave-out service on
// Windows) playing through a real device: a sound ends by itself no sooner than it lasts, with
// the position counting up to its length; a stop ends it at once; a device past the list is
// refused. Skips when no output device answers (no sound server, or Wine without a driver).
#include "audio/audio_output.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>
#include <vector>

using namespace qbank::gui;

namespace {

std::vector<std::int16_t> square(double seconds, int channels) {
  std::vector<std::int16_t> s(static_cast<std::size_t>(seconds * 48000) * channels);
  for (std::size_t k = 0; k < s.size(); ++k) s[k] = (k / 48) % 2 ? 8000 : -8000;
  return s;
}

std::uint32_t bytes_of(const std::vector<std::int16_t>& s) {
  return static_cast<std::uint32_t>(s.size() * sizeof(std::int16_t));
}

}  // namespace

class audio_output_test : public QObject {
  Q_OBJECT

  std::unique_ptr<audio_output> out;

 private Q_SLOTS:
  void initTestCase() {
    out = make_audio_output();
    if (out->device_names().isEmpty())
      QSKIP("no audio output device answers (no sound server, or no audio driver in Wine)");
  }

  void plays_to_the_end_data() {
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("device");
    QTest::newRow("mono, default device") << 1 << -1;
    QTest::newRow("stereo, default device") << 2 << -1;
    QTest::newRow("mono, first device") << 1 << 0;
  }
  void plays_to_the_end() {
    QFETCH(int, channels);
    QFETCH(int, device);
    const auto sound = square(0.3, channels);
    sample_source source(sound.data(), bytes_of(sound), nullptr);
    source.open(QIODevice::ReadOnly);
    QSignalSpy finished(out.get(), &audio_output::finished);
    QElapsedTimer clock;
    clock.start();
    const auto error = out->start(source, channels, 48000, device);
    QVERIFY2(!error, qPrintable(error.value_or(QString())));
    QVERIFY(out->playing());
    std::uint64_t last = 0;
    bool monotonic = true;
    while (finished.isEmpty() && clock.elapsed() < 5000) {
      const std::uint64_t at = out->position();
      monotonic = monotonic && at >= last && at <= bytes_of(sound);
      last = std::max(last, at);
      QTest::qWait(5);
    }
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished[0][0].toString(), QString());
    QVERIFY(monotonic);
    // The device counted (nearly) the whole sound before it ended, and took its time.
    QVERIFY2(last >= bytes_of(sound) * 3 / 4, qPrintable(QString::number(last)));
    QVERIFY2(clock.elapsed() >= 250, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(source.first_read());
    QVERIFY(!out->playing());
    QCOMPARE(out->position(), 0u);
  }

  void stop_ends_at_once() {
    const auto sound = square(3.0, 1);
    sample_source source(sound.data(), bytes_of(sound), nullptr);
    source.open(QIODevice::ReadOnly);
    QSignalSpy finished(out.get(), &audio_output::finished);
    QVERIFY(!out->start(source, 1, 48000, -1));
    QTest::qWait(200);
    QElapsedTimer clock;
    clock.start();
    out->stop();
    QVERIFY(clock.elapsed() < 500);
    QVERIFY(!out->playing());
    QTest::qWait(100);
    QCOMPARE(finished.size(), 0);
    // The device plays again after a stop.
    sample_source again(sound.data(), bytes_of(sound) / 10, nullptr);
    again.open(QIODevice::ReadOnly);
    QVERIFY(!out->start(again, 1, 48000, -1));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
  }

  void a_device_past_the_list_is_refused() {
    const auto sound = square(0.1, 1);
    sample_source source(sound.data(), bytes_of(sound), nullptr);
    source.open(QIODevice::ReadOnly);
    const auto error = out->start(source, 1, 48000, static_cast<int>(out->device_names().size()));
    QCOMPARE(error.value_or(QString()), QStringLiteral("No audio output device is present."));
    QVERIFY(!out->playing());
  }
};

QTEST_MAIN(audio_output_test)
#include "audio_output_test.moc"
