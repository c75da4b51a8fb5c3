#include "audio/wave_plot.h"

#include <algorithm>

#include "util/text_format.h"

namespace qbank {
namespace {

constexpr int peak_limit = 32767;
constexpr std::int64_t full_scale = 32768;

// Largest positive value and largest negative magnitude per channel of the interleaved frames
// [first, last) into out[0..channels-1]: min and max from 0, so a column without positive
// (negative) samples gives 0. The samples go through fixed blocks of lanes, a loop the compiler
// turns into vector instructions; with an even lane count lane k always holds channel k % 2.
void column_peaks(const std::int16_t* first, const std::int16_t* last, std::size_t channels,
                  channel_peak* out) {
  constexpr std::size_t lanes = 32;
  std::int16_t high[lanes] = {};
  std::int16_t low[lanes] = {};
  const std::int16_t* p = first;
  for (; last - p >= static_cast<std::ptrdiff_t>(lanes); p += lanes)
    for (std::size_t k = 0; k < lanes; ++k) {
      const std::int16_t v = p[k];
      high[k] = v > high[k] ? v : high[k];
      low[k] = v < low[k] ? v : low[k];
    }
  for (std::size_t k = 0; p < last; ++p, ++k) {
    high[k] = std::max(high[k], *p);
    low[k] = std::min(low[k], *p);
  }
  for (std::size_t c = 0; c < channels; ++c) {
    std::int16_t h = 0;
    std::int16_t l = 0;
    for (std::size_t k = c; k < lanes; k += channels) {
      h = std::max(h, high[k]);
      l = std::min(l, low[k]);
    }
    out[c].positive = static_cast<std::uint16_t>(h);
    out[c].negative = static_cast<std::uint16_t>(-static_cast<int>(l));
  }
}

int scaled_height(std::uint16_t peak, int level, int scale) {
  const std::int64_t zoomed = std::min<std::int64_t>(std::int64_t{peak} * (level + 1), peak_limit);
  return static_cast<int>(zoomed * scale / full_scale);
}

}  // namespace

std::vector<std::uint32_t> column_ends(std::uint32_t frames, int width) {
  std::vector<std::uint32_t> ends(static_cast<std::size_t>(std::max(width, 1)));
  // The boundaries follow a running sum in single precision, as the plot always drew them: a
  // long sound's columns differ by a frame or two from exact division, and the last column
  // absorbs the difference.
  const float step = static_cast<float>(frames) / static_cast<float>(ends.size());
  float sum = step;
  for (std::size_t x = 0; x + 1 < ends.size(); ++x) {
    ends[x] = static_cast<std::uint32_t>(std::min<double>(sum, frames));
    sum += step;
  }
  ends.back() = frames;
  return ends;
}

wave_peaks compute_wave_peaks(const std::int16_t* samples, std::uint32_t length, bool stereo,
                              int width) {
  wave_peaks out;
  out.stereo = stereo;
  const std::size_t channels = stereo ? 2 : 1;
  out.frames = length / static_cast<std::uint32_t>(2 * channels);
  const std::vector<std::uint32_t> ends = column_ends(out.frames, width);
  out.peaks.resize(ends.size() * channels);
  std::uint32_t start = 0;
  for (std::size_t x = 0; x < ends.size(); ++x) {
    const std::uint32_t end = std::max(ends[x], start);
    column_peaks(samples + std::size_t{start} * channels, samples + std::size_t{end} * channels,
                 channels, &out.peaks[x * channels]);
    start = end;
  }
  return out;
}

int lane_centre(bool stereo, int channel, int height) {
  if (!stereo) return height / 2;
  return channel == 0 ? height / 2 - height / 4 : height / 2 + height / 4;
}

std::vector<column_height> column_heights(const wave_peaks& p, int level, int height) {
  level = std::clamp(level, 0, zoom_level_count - 1);
  const int scale = p.stereo ? height / 4 : height / 2;
  const int channels = p.stereo ? 2 : 1;
  std::vector<column_height> out(static_cast<std::size_t>(p.width()));
  for (int x = 0; x < p.width(); ++x)
    for (int c = 0; c < channels; ++c) {
      out[x].above[c] = scaled_height(p.at(x, c).positive, level, scale);
      out[x].below[c] = scaled_height(p.at(x, c).negative, level, scale);
    }
  return out;
}

std::string duration_text(std::uint32_t frames) {
  const std::uint32_t ms = frames / (player_sample_rate / 1000);
  return format("%02u:%02u:%03u", ms / 60000, ms % 60000 / 1000, ms % 1000);
}

std::string zoom_text(int level) {
  return "x" + std::to_string(level + 1);
}

int zoom_step(int level, bool up) {
  if (up) return level <= zoom_level_count - 2 ? level + 1 : level;
  return level > 0 ? level - 1 : level;
}

int cursor_column(std::uint64_t position, std::uint32_t length, int width) {
  if (position >= length) return -1;
  return static_cast<int>(position * static_cast<std::uint64_t>(width) / length);
}

}  // namespace qbank
