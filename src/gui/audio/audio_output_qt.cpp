// The player's output through Qt Multimedia's audio sink (the build where Qt has Multimedia).
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>
#include <algorithm>

#include "audio/audio_output.h"

namespace qbank::gui {

namespace {

// The audio system's text for an error of an output device.
QString sink_error_text(QAudio::Error error) {
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

QString format_refused_text(int channels, std::uint32_t rate) {
  return QStringLiteral("The audio device does not accept 16-bit PCM at %1 Hz, %2.")
      .arg(rate)
      .arg(channels == 2 ? QStringLiteral("stereo") : QStringLiteral("mono"));
}

class sink_output : public audio_output {
 public:
  sink_output() : outputs_(QMediaDevices::audioOutputs()) {
    drain_.setInterval(5);
    drain_.setTimerType(Qt::PreciseTimer);
    connect(&drain_, &QTimer::timeout, this, &sink_output::check_played_out);
  }
  ~sink_output() override { close(); }

  QList<std::optional<QString>> device_names() const override {
    QList<std::optional<QString>> names;
    for (const QAudioDevice& device : outputs_) names << device.description();
    return names;
  }

  std::optional<QString> start(sample_source& source, int channels, std::uint32_t rate,
                               int device) override {
    const QAudioDevice chosen = device < 0                 ? QMediaDevices::defaultAudioOutput()
                                : device < outputs_.size() ? outputs_[device]
                                                           : QAudioDevice();
    if (chosen.isNull()) return QStringLiteral("No audio output device is present.");
    QAudioFormat format;
    format.setSampleRate(static_cast<int>(rate));
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);
    // The format is asked first: a device that refuses it is not opened.
    if (!chosen.isFormatSupported(format)) return format_refused_text(channels, rate);
    rate_ = rate;
    block_align_ = 2 * channels;
    source_ = &source;
    sink_ = new QAudioSink(chosen, format, this);
    connect(sink_, &QAudioSink::stateChanged, this, &sink_output::state_changed);
    sink_->start(source_);
    if (sink_ && sink_->error() != QAudio::NoError) {
      const QAudio::Error error = sink_->error();
      close();
      return sink_error_text(error);
    }
    if (!playing()) return sink_error_text(QAudio::OpenError);
    return std::nullopt;
  }

  void stop() override { close(); }
  bool playing() const override { return !sink_.isNull(); }

  std::uint64_t position() const override {
    if (!sink_) return 0;
    const auto usecs = static_cast<std::uint64_t>(std::max<qint64>(sink_->processedUSecs(), 0));
    return usecs * rate_ / 1'000'000 * static_cast<std::uint64_t>(block_align_);
  }

 private:
  void state_changed(QAudio::State state) {
    if (!sink_) return;
    if (state == QAudio::IdleState) {
      // Idle means the device has nothing more to take, not that it has played what it took:
      // its buffer still holds the sound's end, which stopping now would throw away. A late
      // feed (idle before the end of the sound) is left to the device, which reads on.
      if (source_ && source_->atEnd() && !drain_.isActive()) {
        const auto buffered =
            std::chrono::microseconds(std::max<qint64>(sink_->bufferSize(), 0) * 1'000'000 /
                                      (static_cast<qint64>(rate_) * block_align_));
        // A device whose position stops moving is closed anyway, well after its buffer ran out.
        drain_deadline_ = std::chrono::steady_clock::now() + buffered + std::chrono::seconds(2);
        drain_.start();
        check_played_out();
      }
    } else if (state == QAudio::StoppedState && sink_->error() != QAudio::NoError) {
      const QAudio::Error error = sink_->error();
      close();
      Q_EMIT finished(sink_error_text(error));
    }
  }

  // Once the device has taken the whole sound: ends playback when it has also played it.
  void check_played_out() {
    if (!sink_ || !source_) {
      drain_.stop();
      return;
    }
    // The device's position counts what it has played, in whole microseconds.
    const qint64 frames = source_->size() / block_align_;
    const qint64 sound_usecs = frames * 1'000'000 / static_cast<qint64>(rate_);
    if (sink_->processedUSecs() >= sound_usecs ||
        std::chrono::steady_clock::now() >= drain_deadline_) {
      close();
      Q_EMIT finished(QString());
    }
  }

  void close() {
    drain_.stop();
    QPointer<QAudioSink> sink = sink_;
    sink_ = nullptr;
    source_ = nullptr;
    if (sink) {
      sink->disconnect(this);
      sink->stop();
      sink->deleteLater();
    }
  }

  QList<QAudioDevice> outputs_;
  QPointer<QAudioSink> sink_;
  QPointer<sample_source> source_;
  std::uint32_t rate_ = 48000;
  int block_align_ = 2;
  // While the device plays what it still holds after taking the last bytes.
  QTimer drain_;
  std::chrono::steady_clock::time_point drain_deadline_;
};

}  // namespace

std::unique_ptr<audio_output> make_audio_output() {
  return std::make_unique<sink_output>();
}

}  // namespace qbank::gui
