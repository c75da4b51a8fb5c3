// The player's audio output through Qt Multimedia: the list of output devices, the format check
// and one sound played from memory on the chosen device. Failures are reported with the texts
// of the audio system through a callback (the window shows them in "Wave Error" boxes).
#pragma once

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace qbank::gui {

inline constexpr const char* default_output_entry = "DEFAULT WAVE OUT DEVICE";

// Serves the samples to the audio sink straight from the player's buffer and remembers when the
// device first took some.
class sample_source : public QIODevice {
  Q_OBJECT

 public:
  sample_source(const std::int16_t* samples, std::uint32_t length, QObject* parent);
  bool isSequential() const override { return false; }
  qint64 size() const override { return static_cast<qint64>(length_); }
  qint64 bytesAvailable() const override;
  // When the device took the first bytes; none before that.
  std::optional<std::chrono::steady_clock::time_point> first_read() const { return first_read_; }

 protected:
  qint64 readData(char* data, qint64 max_size) override;
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  const char* data_;
  std::uint32_t length_;
  std::optional<std::chrono::steady_clock::time_point> first_read_;
};

class wave_player : public QObject {
  Q_OBJECT

 public:
  // `wave_error` receives the text of every failure. The output devices are listed now.
  wave_player(std::function<void(const QString&)> wave_error, QObject* parent = nullptr);
  ~wave_player() override;

  // The entries of the output list: "DEFAULT WAVE OUT DEVICE", then every output device in the
  // order the audio system gives them. Entry 0 is the system's default device at play time.
  QStringList device_entries() const;

  // Plays `length` bytes of 16-bit samples at 48000 Hz (stereo interleaved) on the device of
  // list entry `entry`. The samples must stay alive until stop() or the end of the sound.
  // False, after a reported failure, when nothing plays.
  bool play(const std::int16_t* samples, std::uint32_t length, bool stereo, int entry);
  // Ends playback at once; nothing when nothing plays.
  void stop();
  bool playing() const { return !sink_.isNull(); }
  // Bytes of the sound the device has taken so far (0 when nothing plays).
  std::uint64_t position() const;
  // The source of the sound playing now (for timing); null when nothing plays.
  const sample_source* source() const { return source_.data(); }

 Q_SIGNALS:
  // Playback ended: the device played the sound's last sample, or it was stopped, or it failed.
  void finished();

 private:
  void state_changed(QAudio::State state);
  // Once the device has taken the whole sound: ends playback when it has also played it.
  void check_played_out();
  void finish();
  QString format_text(bool stereo) const;

  std::function<void(const QString&)> wave_error_;
  QList<QAudioDevice> outputs_;
  QPointer<QAudioSink> sink_;
  QPointer<sample_source> source_;
  int block_align_ = 2;
  // While the device plays what it still holds after taking the last bytes.
  QTimer drain_;
  std::chrono::steady_clock::time_point drain_deadline_;
};

// The audio system's text for an error of an output device.
QString wave_error_text(QAudio::Error error);

}  // namespace qbank::gui
