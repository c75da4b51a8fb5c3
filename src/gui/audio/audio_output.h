// The player's sound output, one implementation per system, chosen when the program is built:
// Qt Multimedia's audio sink where Qt has it (Linux), the Win32 wave-out service on Windows.
// `wave_player` speaks only to this interface.
#pragma once

#include <QIODevice>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace qbank::gui {

// The sound being played, served straight from the player's buffer; remembers when the device
// first took some.
class sample_source : public QIODevice {
  Q_OBJECT

 public:
  sample_source(const std::int16_t* samples, std::uint32_t length, QObject* parent);
  bool isSequential() const override { return false; }
  qint64 size() const override { return static_cast<qint64>(length_); }
  qint64 bytesAvailable() const override;
  // The whole sound, for an output that hands it to the device in one piece.
  const char* bytes() const { return data_; }
  std::uint32_t length() const { return length_; }
  // Such an output says when the device took the sound.
  void mark_taken();
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

class audio_output : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  ~audio_output() override = default;

  // The names of the output devices in the order the system numbers them (read at creation);
  // none (not an empty name) for a device whose description the system could not give.
  virtual QList<std::optional<QString>> device_names() const = 0;

  // Plays `source` (opened for reading): 16-bit samples at `rate` Hz, `channels` 1 or 2
  // (interleaved), on device `device` (an index into device_names(); -1: the system's default
  // device). `source` stays alive until stop() or finished(). Returns the system's text of the
  // failure when nothing plays; a device that refuses the format is not opened. Only one sound
  // plays: the caller stops the previous one first.
  virtual std::optional<QString> start(sample_source& source, int channels, std::uint32_t rate,
                                       int device) = 0;
  // Ends playback at once; nothing when nothing plays. finished() is not emitted.
  virtual void stop() = 0;
  virtual bool playing() const = 0;
  // Bytes of the sound the device has played so far (0 when nothing plays).
  virtual std::uint64_t position() const = 0;

 Q_SIGNALS:
  // Playback ended by itself: the device played the sound's last sample, or it failed (then
  // `error` holds the system's text).
  void finished(const QString& error);
};

// The output of this build, with the device list read now.
std::unique_ptr<audio_output> make_audio_output();

}  // namespace qbank::gui
