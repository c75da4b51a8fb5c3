// The one WAV reader of the system. It accepts exactly uncompressed 16-bit PCM at 48000 Hz,
// mono or stereo, whose "fmt " chunk (16 bytes of body) comes right after "WAVE":
//
//   0   "RIFF"   4   u32 file size - 8   8   "WAVE"
//   12  24-byte format chunk, byte for byte the mono or the stereo template
//   36  further chunks (tag, u32 size, body) until "data", u32 n, then n bytes of audio
//
// Callers: open read-only, check_wav_header, and only on 1 or 2 find_data_chunk, and only when
// that succeeds read_chunk_size; the audio then starts at the stream's position.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/file_io.h"

namespace qbank {

inline constexpr int wav_rejected = 0;
inline constexpr int wav_mono = 1;
inline constexpr int wav_stereo = 2;
inline constexpr std::size_t wav_canonical_header_size = 44;

// The complete 24-byte "fmt " chunks of accepted files.
const std::array<std::uint8_t, 24>& wav_format_template(int channels);

// 0 rejected, 1 mono, 2 stereo. Reads from the current position (0); on 1 or 2 the stream is
// left at offset 36, behind the format chunk.
int check_wav_header(byte_source& stream);

// Skips chunks until one tagged "data" whose 4-byte size field is present; true with the stream
// at that size field, false at the end of the stream. Chunks are walked with RIFF's pad byte
// after an odd-sized body first, then (when that finds nothing) with sizes taken as they stand,
// so files that leave the pad out are accepted too.
bool find_data_chunk(byte_source& stream);

// One little-endian u32 at the current position (the audio length n in bytes after a successful
// find_data_chunk); 0 when fewer than 4 bytes remain.
std::uint32_t read_chunk_size(byte_source& stream);

// A byte source that reads the first `head_size` bytes of another source with one call and serves
// reads inside them from memory; reads past them go to the source. The WAV checks of one file
// then cost a single read. `source` must outlive it.
class head_cached_source : public byte_source {
 public:
  explicit head_cached_source(byte_source& source, std::size_t head_size = 4096);
  std::size_t read(void* buffer, std::size_t count) override;
  std::uint64_t size() const override { return source_.size(); }
  std::uint64_t position() const override { return position_; }
  void seek(std::uint64_t position) override { position_ = position; }

 private:
  byte_source& source_;
  std::vector<std::uint8_t> head_;
  std::uint64_t position_ = 0;
};

// Where the audio of an accepted WAV file lies.
struct wav_layout {
  int channels = 0;               // wav_mono or wav_stereo
  std::uint64_t data_offset = 0;  // bytes from the start of the file
  std::uint32_t data_bytes = 0;
};
// The checks above in their order, from the start of `source` (its head read with one call).
// None for a rejected header, no data chunk, or a data chunk that claims more bytes than the
// file holds. This is the one test of whether a listed file is a WAV file whose audio the
// scans over the bank look at.
std::optional<wav_layout> find_wav_audio(byte_source& source);

// The canonical 44-byte header for `channels` (1 or 2) and `data_bytes` bytes of audio.
std::array<std::uint8_t, wav_canonical_header_size> wav_canonical_header(int channels,
                                                                         std::uint32_t data_bytes);

}  // namespace qbank
