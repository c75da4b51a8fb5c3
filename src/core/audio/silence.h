// Silence at the end of the WAV files the bank's multisamples name: measured at twenty
// thresholds (the check) or cut off at one (the apply commands), optionally leaving a 2 ms
// linear fade-out behind the last loud sample. The WAV files change; the bank does not.
//
// A 16-bit sample s is silent at threshold t when -t <= s <= t; a stereo frame is silent when
// both its samples are. Counts are in 16-bit samples (a stereo frame counts 2).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/wav_file.h"

namespace qbank {

class bank;
class byte_source;
class host;

// The thresholds of the check, in report order; the first eleven are the apply commands'.
inline constexpr std::array<int, 20> silence_thresholds = {
    0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160, 170, 180, 190};
inline constexpr int apply_threshold_count = 11;
inline constexpr int default_apply_threshold = 60;

// The fade: 96 samples per channel, 2 ms at 48000 Hz.
inline constexpr int fade_frames = 96;
// Audio shorter than this many bytes (mono; twice as many for stereo) is left alone.
inline constexpr std::uint32_t silence_minimum_mono_bytes = 2048;

struct silence_counts {
  std::uint64_t removed = 0;   // samples cut off
  std::uint64_t in_fades = 0;  // samples that became part of a fade
};

// What one file's audio gives at one threshold: `kept_frames` is the number of frames up to and
// including the last loud one (0 when all are silent).
struct tail_plan {
  std::uint64_t kept_bytes = 0;  // audio bytes the trimmed file keeps (== n: nothing to do)
  std::uint64_t fade_first_frame = 0;
  bool fade = false;
  silence_counts counts;
};
tail_plan plan_tail(std::uint64_t data_bytes, int channels, std::uint64_t kept_frames, bool fade);

// One backward pass over the audio of a WAV file (`data_bytes` bytes at `data_offset` of
// `source`, 16-bit samples, 1 or 2 channels) that finds, for each threshold (ascending), the
// number of frames up to the last frame louder than it. Reads blocks from the end and stops as
// soon as every threshold is settled, so a file whose tail is short costs little. Empty when the
// source holds fewer bytes than announced.
std::vector<std::uint64_t> kept_frames_at(byte_source& source, std::uint64_t data_offset,
                                          std::uint64_t data_bytes, int channels,
                                          std::span<const int> thresholds);

// Where the audio of a WAV file the silence tools work on lies.
using silence_wav = wav_layout;
// Checks `source` with find_wav_audio. None for a file the silence tools pass over: one
// find_wav_audio refuses (a data chunk that claims more bytes than the file holds cannot be
// measured from its end), or audio shorter than the minimum.
std::optional<silence_wav> silence_candidate(byte_source& source);
// The trimmed file of `source` cut as `plan` says: the canonical header, the kept audio, the
// fade, handed to `out` piece by piece. False when `source` ends early.
bool write_trimmed(byte_source& source, const silence_wav& w, const tail_plan& plan,
                   const std::function<void(const void*, std::size_t)>& out);

// Applies the fade in place to `frames` (interleaved 16-bit little-endian samples of
// `channels` channels, at most fade_frames frames): frame i is scaled by (96 - i) / 96,
// truncated toward zero.
void apply_fade(std::uint8_t* frames, std::size_t frame_count, int channels);

// `scan_silence`: measures every listed file at all twenty thresholds; writes nothing.
std::array<silence_counts, silence_thresholds.size()> scan_silence(const bank& b, host& h,
                                                                   bool fade);
// `remove_silence`: trims every listed file at `threshold`, each rewritten atomically (a
// temporary file beside it, synced and renamed over it). A file that cannot be read or
// rewritten keeps its contents; its failure is shown (caption "Error") and the run goes on.
silence_counts remove_silence(const bank& b, host& h, int threshold, bool fade);

// "Check end of WAV files for silence and report rezult": scan_silence and its report.
void silence_check_command(const bank& b, host& h, bool fade);
// The report lines of the check, in order.
std::vector<std::string> silence_report_lines(
    const std::array<silence_counts, silence_thresholds.size()>& counts);
// One apply command: the two "WARNING!!!" questions, remove_silence, the "Sample Editor" result.
// Returns false when the user said No.
bool silence_apply_command(const bank& b, host& h, int threshold, bool fade);

}  // namespace qbank
