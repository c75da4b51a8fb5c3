#include "audio/wave_player.h"

#include <QAudioFormat>
#include <QMediaDevices>
#include <algorithm>
#include <cstring>

#include "audio/wave_plot.h"

namespace qbank::gui {

sample_source::sample_source(const std::int16_t* samples, std::uint32_t length, QObject* parent)
    : QIODevice(parent), data_(reinterpret_cast<const char*>(samples)), length_(length) {}

qint64 sample_source::bytesAvailable() const {
  return static_cast<qint64>(length_) - pos() + QIODevice::bytesAvailable();
}

qint64 sample_source::readData(char* data, qint64 max_size) {
  if (!first_read_) first_read_ = std::chrono::steady_clock::now();
  const qint64 n = std::clamp<qint64>(static_cast<qint64>(length_) - pos(), 0, max_size);
  if (n > 0) std::memcpy(data, data_ + pos(), static_cast<std::size_t>(n));
  return n;
}

QString wave_error_text(QAudio::Error error) {
  switch (error) {
    case QAudio::NoError:
      return QStringLiteral("No error has occurred.");
    case QAudio::OpenError:
      return QStringLiteral("An error occurred opening the audio device.");
    case QAudio::IOError:
      return QStringLiteral("An error occurred during read/write of audio device.");
    case QAudio::UnderrunError:
      return QStringLiteral(
          "Audio data is not being fed to the audio device at a fast enough rate.");
    case QAudio::FatalError:
      return QStringLiteral(
          "A non-recoverable error has occurred, the audio device is not usable at this time.");
  }
  return QStringLiteral("Unknown audio error.");
}

wave_player::wave_player(std::function<void(const QString&)> wave_error, QObject* parent)
    : QObject(parent), wave_error_(std::move(wave_error)), outputs_(QMediaDevices::audioOutputs()) {
  drain_.setInterval(5);
  drain_.setTimerType(Qt::PreciseTimer);
  connect(&drain_, &QTimer::timeout, this, &wave_player::check_played_out);
}

wave_player::~wave_player() {
  // The sink and the source are children; they only have to stop reading the samples first.
  if (sink_) {
    sink_->disconnect(this);
    sink_->stop();
  }
}

QStringList wave_player::device_entries() const {
  QStringList entries{QString::fromLatin1(default_output_entry)};
  for (const QAudioDevice& device : outputs_) entries << device.description();
  return entries;
}

QString wave_player::format_text(bool stereo) const {
  return QStringLiteral("The audio device does not accept 16-bit PCM at 48000 Hz, %1.")
      .arg(stereo ? QStringLiteral("stereo") : QStringLiteral("mono"));
}

bool wave_player::play(const std::int16_t* samples, std::uint32_t length, bool stereo, int entry) {
  stop();
  if (length == 0) return false;
  const QAudioDevice device = entry <= 0                 ? QMediaDevices::defaultAudioOutput()
                              : entry <= outputs_.size() ? outputs_[entry - 1]
                                                         : QAudioDevice();
  if (device.isNull()) {
    wave_error_(QStringLiteral("No audio output device is present."));
    return false;
  }
  QAudioFormat format;
  format.setSampleRate(static_cast<int>(player_sample_rate));
  format.setChannelCount(stereo ? 2 : 1);
  format.setSampleFormat(QAudioFormat::Int16);
  // The format is asked first: a device that refuses it is not opened.
  if (!device.isFormatSupported(format)) {
    wave_error_(format_text(stereo));
    return false;
  }
  block_align_ = stereo ? 4 : 2;
  source_ = new sample_source(samples, length, this);
  source_->open(QIODevice::ReadOnly);
  sink_ = new QAudioSink(device, format, this);
  connect(sink_, &QAudioSink::stateChanged, this, &wave_player::state_changed);
  sink_->start(source_);
  if (sink_ && sink_->error() != QAudio::NoError) {
    const QAudio::Error error = sink_->error();
    finish();
    wave_error_(wave_error_text(error));
    return false;
  }
  return playing();
}

void wave_player::stop() {
  if (playing()) finish();
}

std::uint64_t wave_player::position() const {
  if (!sink_) return 0;
  const auto usecs = static_cast<std::uint64_t>(std::max<qint64>(sink_->processedUSecs(), 0));
  return usecs * player_sample_rate / 1'000'000 * static_cast<std::uint64_t>(block_align_);
}

void wave_player::state_changed(QAudio::State state) {
  if (!sink_) return;
  if (state == QAudio::IdleState) {
    // Idle means the device has nothing more to take, not that it has played what it took:
    // its buffer still holds the sound's end, which stopping now would throw away. A late
    // feed (idle before the end of the sound) is left to the device, which reads on.
    if (source_ && source_->atEnd() && !drain_.isActive()) {
      const auto buffered =
          std::chrono::microseconds(std::max<qint64>(sink_->bufferSize(), 0) * 1'000'000 /
                                    (static_cast<qint64>(player_sample_rate) * block_align_));
      // A device whose position stops moving is closed anyway, well after its buffer ran out.
      drain_deadline_ = std::chrono::steady_clock::now() + buffered + std::chrono::seconds(2);
      drain_.start();
      check_played_out();
    }
  } else if (state == QAudio::StoppedState && sink_->error() != QAudio::NoError) {
    const QAudio::Error error = sink_->error();
    finish();
    wave_error_(wave_error_text(error));
  }
}

void wave_player::check_played_out() {
  if (!sink_ || !source_) {
    drain_.stop();
    return;
  }
  // The device's position counts what it has played, in whole microseconds.
  const qint64 frames = source_->size() / block_align_;
  const qint64 sound_usecs = frames * 1'000'000 / static_cast<qint64>(player_sample_rate);
  if (sink_->processedUSecs() >= sound_usecs || std::chrono::steady_clock::now() >= drain_deadline_)
    finish();
}

void wave_player::finish() {
  drain_.stop();
  QPointer<QAudioSink> sink = sink_;
  QPointer<sample_source> source = source_;
  sink_ = nullptr;
  source_ = nullptr;
  if (sink) {
    sink->disconnect(this);
    sink->stop();
    sink->deleteLater();
  }
  if (source) {
    source->close();
    source->deleteLater();
  }
  Q_EMIT finished();
}

}  // namespace qbank::gui
