// Audio files of every kind libsndfile writes (other rates, bit depths, float, extensible
// headers, AIFF, FLAC), from samples in -1..1, and the measures tests apply to what comes back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "audio/conform_codec.h"
#include "support/wav_writer.h"

namespace qbank::testing {

enum class audio_container { wav, wav_extensible, aiff, flac };
enum class audio_encoding { pcm_u8, pcm_16, pcm_24, pcm_32, float_32, float_64 };

// Writes `samples` (interleaved, frames = size / channels) with libsndfile. Throws
// std::runtime_error where libsndfile is not built or refuses the combination.
void write_audio_with_sndfile(const std::filesystem::path& path, audio_container container,
                              audio_encoding encoding, int channels, int sample_rate,
                              std::span<const double> samples);

// `seconds` of a sine of `frequency` Hz and peak `amplitude` (1 = full scale) at `rate`, the same
// in every channel; a second tone is added when `frequency2` is not 0.
std::vector<double> sine_wave(int channels, int rate, double seconds, double frequency,
                              double amplitude, double frequency2 = 0, double amplitude2 = 0);

// The peak amplitude of the component at `frequency` in channel `channel` of interleaved
// 16-bit samples at 48000 Hz, frames [first, first + count), in units of full scale (the
// Goertzel algorithm over a rectangular window; exact for whole cycles in the window).
double tone_amplitude(std::span<const std::int16_t> samples, int channels, int channel,
                      std::size_t first, std::size_t count, double frequency);

// The 16-bit samples of a canonical WAV file (after its 44-byte header).
std::vector<std::int16_t> canonical_samples(const std::filesystem::path& path);

}  // namespace qbank::testing

// Tests of conform begin with QBANK_SKIP_WITHOUT_CONFORM(): they need the decoder in the
// program and libsndfile in the tests.
#define QBANK_SKIP_WITHOUT_CONFORM()                                    \
  if (!::qbank::conform_available() || !::qbank::testing::have_sndfile) \
  GTEST_SKIP() << "conform (libsndfile and libsoxr) is not built for this system"
