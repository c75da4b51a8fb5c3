// The player's audio output: the list of output devices, the format check and one sound played
// from memory on the chosen device, through the output of this build (audio_output.h).
// Failures are reported with the texts of the audio system through a callback (the window shows
// them in "Wave Error" boxes).
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

#include "audio/audio_output.h"

namespace qbank::gui {

inline constexpr const char* default_output_entry = "DEFAULT WAVE OUT DEVICE";
// Shown at the start for a device whose description cannot be read; the device is listed.
inline constexpr const char* unreadable_device_text = "fffd";

class wave_player : public QObject {
  Q_OBJECT

 public:
  // `wave_error` receives the text of every failure. The output devices are listed now.
  // `output` null: the output of this build.
  wave_player(std::function<void(const QString&)> wave_error, QObject* parent = nullptr,
              std::unique_ptr<audio_output> output = nullptr);
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
  bool playing() const { return output_->playing(); }
  // Bytes of the sound the device has played so far (0 when nothing plays).
  std::uint64_t position() const { return output_->position(); }
  // The source of the sound playing now (for timing); null when nothing plays.
  const sample_source* source() const { return playing() ? source_.data() : nullptr; }

 Q_SIGNALS:
  // Playback ended: the device played the sound's last sample, or it was stopped, or it failed.
  void finished();

 private:
  void output_finished(const QString& error);
  void drop_source();

  std::function<void(const QString&)> wave_error_;
  std::unique_ptr<audio_output> output_;
  QStringList names_;
  QPointer<sample_source> source_;
};

}  // namespace qbank::gui
