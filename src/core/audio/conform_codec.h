// Decoding any audio file the instrument cannot play and writing it again as the WAV file it
// takes: 16-bit, 48000 Hz, mono or stereo, the canonical 44-byte header. Built over libsndfile
// (decoding) and libsoxr (resampling) when the build has them; without them conform_available()
// is false and probe_audio() refuses every file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_io.h"

namespace qbank {

class host;

inline constexpr int conform_rate = 48000;

// True when this build can decode and resample (libsndfile and libsoxr were found).
bool conform_available();

// The versions the loaded libraries report ("libsndfile-1.2.0", "0.1.3"); both empty when
// conform_available() is false, one empty when its library does not say.
struct codec_versions {
  std::string sndfile;
  std::string soxr;
};
codec_versions conform_codec_versions();

// What a source file holds, as far as decoding it goes.
struct audio_source_info {
  bool decodable = false;
  std::string reason;       // why not, when not decodable
  std::string format_text;  // "WAV 24-bit 44100 Hz stereo", "FLAC 16-bit 96000 Hz mono", ...
  int channels = 0;
  int sample_rate = 0;
  std::uint64_t frames = 0;  // at the source's rate
  // Integer samples that 16 bits hold exactly (8 or 16 bits, A-law, u-law) at 48000 Hz: copied
  // sample for sample, without resampling or dither.
  bool exact = false;
};

// Opens `in` (from its start) with the decoder and reads its format; the stream position is
// left anywhere.
audio_source_info probe_audio(byte_source& in);

// The frames a source of `info` has once it is at 48000 Hz.
std::uint64_t conformed_frames(const audio_source_info& info);

// Bytes of the "data" chunk of the conformed file.
inline std::uint64_t conformed_data_bytes(const audio_source_info& info) {
  return conformed_frames(info) * static_cast<std::uint64_t>(info.channels) * 2;
}

struct conform_outcome {
  bool ok = false;
  std::string reason;         // why the file could not be written, when not ok
  std::uint64_t clipped = 0;  // samples that went past the 16-bit range and were limited
};

// Decodes `in` and appends the conformed WAV file (header and audio) to `out`, in blocks of
// `block_frames` frames, so memory does not grow with the file. `expected` is the probe of the
// same source; a source that decodes to other facts (it changed, or is damaged) gives a
// reason instead, and `out` then holds an incomplete file the caller abandons. Calls
// h.process_events() after every block.
conform_outcome write_conformed(byte_source& in, const audio_source_info& expected,
                                atomic_output_file& out, host& h, std::size_t block_frames = 16384);

// Where conformed bytes go when they are not written to a file straight away.
using byte_writer = std::function<void(const void* data, std::size_t count)>;

// Audio held in memory whole: one sample of an instrument at a time, as it is rendered at
// several pitches.
struct decoded_audio {
  int channels = 0;
  double sample_rate = 0;
  // Integer samples that 16 bits hold exactly: at 48000 Hz and unity gain they are copied as
  // they are, without dither.
  bool exact = false;
  std::vector<float> samples;  // interleaved, full scale at 1.0

  std::uint64_t frames() const {
    return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
  }
};

// Decodes frames [first, end) of `in` (no end: to the end of the audio) into `audio`. Returns
// why it cannot (empty on success).
std::string decode_audio(byte_source& in, std::uint64_t first, std::optional<std::uint64_t> end,
                         decoded_audio& audio);

// The frames a rendering of `frames` frames played at `rate` Hz has at 48000 Hz.
std::uint64_t rendered_frames(std::uint64_t frames, double rate);

// Writes `audio` as a conformed WAV file (canonical header, 16-bit, 48000 Hz) to `out`, played
// at `rate` Hz: its own rate keeps its pitch, a higher one raises it (and shortens it) by their
// ratio. Every sample is multiplied by `gain`. The resampler runs at its highest quality.
conform_outcome write_rendered(const decoded_audio& audio, double rate, float gain,
                               const byte_writer& out);

}  // namespace qbank
