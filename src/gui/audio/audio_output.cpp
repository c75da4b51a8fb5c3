#include "audio/audio_output.h"

#include <algorithm>
#include <cstring>

namespace qbank::gui {

sample_source::sample_source(const std::int16_t* samples, std::uint32_t length, QObject* parent)
    : QIODevice(parent), data_(reinterpret_cast<const char*>(samples)), length_(length) {}

qint64 sample_source::bytesAvailable() const {
  return static_cast<qint64>(length_) - pos() + QIODevice::bytesAvailable();
}

void sample_source::mark_taken() {
  if (!first_read_) first_read_ = std::chrono::steady_clock::now();
}

qint64 sample_source::readData(char* data, qint64 max_size) {
  mark_taken();
  const qint64 n = std::clamp<qint64>(static_cast<qint64>(length_) - pos(), 0, max_size);
  if (n > 0) std::memcpy(data, data_ + pos(), static_cast<std::size_t>(n));
  return n;
}

}  // namespace qbank::gui
