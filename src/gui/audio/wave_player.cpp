#include "audio/wave_player.h"

#include "audio/wave_plot.h"

namespace qbank::gui {

wave_player::wave_player(std::function<void(const QString&)> wave_error, QObject* parent,
                         std::unique_ptr<audio_output> output)
    : QObject(parent),
      wave_error_(std::move(wave_error)),
      output_(output ? std::move(output) : make_audio_output()) {
  names_ << QString::fromLatin1(default_output_entry);
  // A device whose description cannot be read is still listed, and said once.
  for (const std::optional<QString>& name : output_->device_names()) {
    if (!name) wave_error_(QString::fromLatin1(unreadable_device_text));
    names_ << name.value_or(QString());
  }
  connect(output_.get(), &audio_output::finished, this, &wave_player::output_finished);
}

wave_player::~wave_player() {
  // The output must stop reading the samples before they go.
  output_->disconnect(this);
  output_->stop();
}

QStringList wave_player::device_entries() const {
  return names_;
}

bool wave_player::play(const std::int16_t* samples, std::uint32_t length, bool stereo, int entry) {
  stop();
  if (length == 0) return false;
  // Entry k >= 1 is device k - 1; an entry past the list names no device.
  const int device = entry <= 0 ? -1 : entry < names_.size() ? entry - 1 : names_.size();
  source_ = new sample_source(samples, length, this);
  source_->open(QIODevice::ReadOnly);
  if (auto error = output_->start(*source_, stereo ? 2 : 1, player_sample_rate, device)) {
    drop_source();
    wave_error_(*error);
    return false;
  }
  return playing();
}

void wave_player::stop() {
  if (!output_->playing()) return;
  output_->stop();
  drop_source();
  Q_EMIT finished();
}

void wave_player::output_finished(const QString& error) {
  drop_source();
  Q_EMIT finished();
  if (!error.isEmpty()) wave_error_(error);
}

void wave_player::drop_source() {
  if (!source_) return;
  source_->close();
  source_->deleteLater();
  source_ = nullptr;
}

}  // namespace qbank::gui
