// The player's waveform: the audio reduced to one vertical line per pixel column, and the texts
// the plot shows beside it. The window paints these columns and `qbank waveform` prints them, so
// both show the same picture.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qbank {

// The plot's size in the main window, in pixels.
inline constexpr int plot_width = 628;
inline constexpr int plot_height = 88;
// Zoom levels 0..19; the vertical magnification is level + 1.
inline constexpr int zoom_level_count = 20;
// The player plays everything at this rate.
inline constexpr std::uint32_t player_sample_rate = 48000;

// Peaks of one channel over one column: P the largest positive sample value (0..32767), N the
// largest magnitude of the negative ones (0..32768); 0 when there are none.
struct channel_peak {
  std::uint16_t positive = 0;
  std::uint16_t negative = 0;
};

// The peaks of every column, computed once per loaded sound; zoom and height only rescale them.
struct wave_peaks {
  std::uint32_t frames = 0;
  bool stereo = false;
  // peaks[x * channels + c], channels 1 or 2 (left, right).
  std::vector<channel_peak> peaks;

  int width() const { return static_cast<int>(peaks.size() / (stereo ? 2 : 1)); }
  const channel_peak& at(int x, int channel) const {
    return peaks[static_cast<std::size_t>(x) * (stereo ? 2 : 1) + channel];
  }
};

// The frame where each column ends (column x covers [end(x-1), end(x)), column -1 ending at 0):
// a single-precision running sum of frames / width, truncated, starting at frames / width and
// growing by it per column; the last column ends exactly at `frames`. `width` >= 1.
std::vector<std::uint32_t> column_ends(std::uint32_t frames, int width);

// Peaks of `length` bytes of 16-bit signed samples (stereo interleaved left, right) in `width`
// (>= 1) columns. Frames: length / 2 (mono) or length / 4 (stereo); an odd tail is ignored.
// `samples` holds at least length / 2 values.
wave_peaks compute_wave_peaks(const std::int16_t* samples, std::uint32_t length, bool stereo,
                              int width);

// Pixel heights of one column around its lane's centre, per channel (index 1 only in stereo).
struct column_height {
  int above[2] = {0, 0};
  int below[2] = {0, 0};
};

// The heights drawn at zoom `level` (0..19) in a plot `height` pixels high: each peak is
// multiplied by level + 1 and clamped to 32767, then scaled so 32768 is half the height (mono)
// or a quarter of it (stereo, one lane per channel), truncated.
std::vector<column_height> column_heights(const wave_peaks& p, int level, int height);

// The lane centres of a plot `height` pixels high: mono {H/2}; stereo {H/2 - H/4, H/2 + H/4}.
int lane_centre(bool stereo, int channel, int height);

// "MM:SS:mmm" of `frames` at 48000 frames per second (whole milliseconds, truncated).
std::string duration_text(std::uint32_t frames);

// "x1" .. "x20" for zoom level 0..19.
std::string zoom_text(int level);

// The level after one step of the zoom buttons: up raises it to at most 19, down lowers it to at
// least 0.
int zoom_step(int level, bool up);

// The column of the playing cursor for a position in bytes within `length` bytes of audio in a
// plot `width` pixels wide; -1 (no cursor) at or beyond the end.
int cursor_column(std::uint64_t position, std::uint32_t length, int width);

}  // namespace qbank
