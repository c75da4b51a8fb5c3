// WAV inputs for tests: hand-made bytes (to build exact and damaged layouts) and files written by
// libsndfile (an independent writer the reader must accept).
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

namespace qbank::testing {

using bytes = std::vector<std::uint8_t>;

// Little-endian samples as bytes (interleaved left, right for stereo).
bytes sample_bytes(std::span<const std::int16_t> samples);

// A chunk: tag, u32 size of `body`, body, and a pad byte after an odd body when `pad`.
bytes riff_chunk(std::string_view tag, const bytes& body, bool pad = true);

// "RIFF", the u32 size of what follows, "WAVE", then the pieces as they are.
bytes riff_file(std::initializer_list<bytes> pieces);

// The 24-byte format chunk of an accepted file (1 or 2 channels, 48000 Hz, 16 bits).
bytes format_chunk(int channels);

// A canonical file: format chunk, then "data" with the samples.
bytes wav_bytes(int channels, std::span<const std::int16_t> samples);
// A canonical file whose "data" chunk holds `data` as it is (any length, odd included).
bytes wav_bytes_raw(int channels, const bytes& data);

void write_file(const std::filesystem::path& path, const bytes& content);

// Whether the tests are built with libsndfile (they are not for Windows). A test that needs it
// begins with QBANK_SKIP_WITHOUT_SNDFILE(), which skips it elsewhere and says why.
#ifdef QBANK_HAVE_SNDFILE
inline constexpr bool have_sndfile = true;
#else
inline constexpr bool have_sndfile = false;
#endif
#define QBANK_SKIP_WITHOUT_SNDFILE()   \
  if (!::qbank::testing::have_sndfile) \
  GTEST_SKIP() << "libsndfile, the independent WAV writer, is not built for this system"

// Writes 16-bit PCM through libsndfile; `samples` interleaved, frames = size / channels.
// Where libsndfile is not built, the same plain layout is written by hand.
void write_wav_with_sndfile(const std::filesystem::path& path, int channels, int sample_rate,
                            std::span<const std::int16_t> samples);

// A canonical header announcing `data_bytes` of audio, extended to its full length with
// resize_file so the audio (silence) takes no disk space where the file system allows.
void write_sparse_wav(const std::filesystem::path& path, int channels, std::uint32_t data_bytes);

}  // namespace qbank::testing
