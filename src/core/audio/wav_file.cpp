#include "audio/wav_file.h"

#include <algorithm>
#include <cstring>

namespace qbank {
namespace {

// The reader's one constant table: the three tags, then the mono and the stereo format chunk.
constexpr std::array<std::uint8_t, 60> wav_table = {
    'R', 'I', 'F', 'F', 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a',
    // mono: "fmt ", 16, PCM, 1 channel, 48000 Hz, 96000 bytes/s, align 2, 16 bits
    'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0, 0x80, 0xBB, 0, 0, 0x00, 0x77, 0x01, 0, 2, 0, 16, 0,
    // stereo: "fmt ", 16, PCM, 2 channels, 48000 Hz, 192000 bytes/s, align 4, 16 bits
    'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0, 0x80, 0xBB, 0, 0, 0x00, 0xEE, 0x02, 0, 4, 0, 16,
    0};

constexpr std::size_t riff_tag = 0;
constexpr std::size_t wave_tag = 4;
constexpr std::size_t data_tag = 8;
constexpr std::size_t mono_format = 12;
constexpr std::size_t stereo_format = 36;
constexpr std::size_t format_size = 24;
static_assert(stereo_format + format_size == wav_table.size());

bool read_exact(byte_source& s, void* buffer, std::size_t count) {
  return s.read(buffer, count) == count;
}

bool tag_is(const std::uint8_t* bytes, std::size_t table_offset) {
  return std::memcmp(bytes, wav_table.data() + table_offset, 4) == 0;
}

std::uint32_t u32_at(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

void put_u32(std::uint8_t* p, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<std::uint8_t>(v >> (8 * k));
}

}  // namespace

const std::array<std::uint8_t, 24>& wav_format_template(int channels) {
  static const std::array<std::array<std::uint8_t, 24>, 2> templates = [] {
    std::array<std::array<std::uint8_t, 24>, 2> t{};
    std::copy_n(wav_table.begin() + mono_format, format_size, t[0].begin());
    std::copy_n(wav_table.begin() + stereo_format, format_size, t[1].begin());
    return t;
  }();
  return templates[channels == 2 ? 1 : 0];
}

int check_wav_header(byte_source& stream) {
  std::uint8_t head[12 + format_size];
  if (!read_exact(stream, head, 4) || !tag_is(head, riff_tag)) return wav_rejected;
  if (!read_exact(stream, head + 4, 4)) return wav_rejected;
  // The RIFF size must describe the file exactly: no trailing bytes, nothing cut off. The sum is
  // taken in 32 bits, as the instrument's tools do.
  const std::uint64_t size = stream.size();
  const std::uint32_t riff_size = u32_at(head + 4);
  if ((size >> 32) != 0 || static_cast<std::uint32_t>(size) != riff_size + 8u) return wav_rejected;
  if (!read_exact(stream, head + 8, 4) || !tag_is(head + 8, wave_tag)) return wav_rejected;
  if (!read_exact(stream, head + 12, format_size)) return wav_rejected;
  if (std::memcmp(head + 12, wav_table.data() + mono_format, format_size) == 0) return wav_mono;
  if (std::memcmp(head + 12, wav_table.data() + stereo_format, format_size) == 0) return wav_stereo;
  return wav_rejected;
}

namespace {

// One walk over the chunks from the current position. A "data" tag counts only when its size
// field follows in full: a tag cut off by the end of the file belongs to a damaged file.
bool walk_to_data_chunk(byte_source& stream, bool skip_pad_bytes) {
  std::uint8_t field[4];
  while (stream.position() < stream.size()) {
    if (!read_exact(stream, field, 4)) return false;
    if (tag_is(field, data_tag)) return stream.size() - stream.position() >= 4;
    if (!read_exact(stream, field, 4)) return false;
    const std::uint32_t chunk = u32_at(field);
    stream.seek(stream.position() + chunk + (skip_pad_bytes ? chunk & 1u : 0u));
  }
  return false;
}

}  // namespace

bool find_data_chunk(byte_source& stream) {
  // RIFF pads every odd-sized chunk body with one byte, and well-formed files are walked that
  // way first. Files written by tools that leave the pad out were always accepted by the
  // instrument's tools, which take sizes as they stand, so they are walked that way second.
  const std::uint64_t start = stream.position();
  if (walk_to_data_chunk(stream, true)) return true;
  stream.seek(start);
  return walk_to_data_chunk(stream, false);
}

std::uint32_t read_chunk_size(byte_source& stream) {
  std::uint8_t field[4];
  if (!read_exact(stream, field, 4)) return 0;
  return u32_at(field);
}

std::optional<wav_layout> find_wav_audio(byte_source& source) {
  head_cached_source head(source);
  wav_layout w;
  w.channels = check_wav_header(head);
  if (w.channels == wav_rejected || !find_data_chunk(head)) return std::nullopt;
  w.data_bytes = read_chunk_size(head);
  w.data_offset = head.position();
  if (w.data_offset > source.size() || w.data_bytes > source.size() - w.data_offset)
    return std::nullopt;
  return w;
}

head_cached_source::head_cached_source(byte_source& source, std::size_t head_size)
    : source_(source), position_(source.position()) {
  // No bigger than the file: validating many small files should not clear kilobytes for each.
  head_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(head_size, source.size())));
  source_.seek(0);
  head_.resize(source_.read(head_.data(), head_.size()));
}

std::size_t head_cached_source::read(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  if (position_ < head_.size()) {
    done = std::min<std::size_t>(count, head_.size() - static_cast<std::size_t>(position_));
    std::memcpy(out, head_.data() + position_, done);
    position_ += done;
  }
  if (done < count && position_ >= head_.size()) {
    source_.seek(position_);
    const std::size_t n = source_.read(out + done, count - done);
    done += n;
    position_ += n;
  }
  return done;
}

std::array<std::uint8_t, wav_canonical_header_size> wav_canonical_header(int channels,
                                                                         std::uint32_t data_bytes) {
  std::array<std::uint8_t, wav_canonical_header_size> h{};
  std::copy_n(wav_table.begin() + riff_tag, 4, h.begin());
  put_u32(h.data() + 4, data_bytes + 36);
  std::copy_n(wav_table.begin() + wave_tag, 4, h.begin() + 8);
  const std::array<std::uint8_t, 24>& format = wav_format_template(channels);
  std::copy(format.begin(), format.end(), h.begin() + 12);
  std::copy_n(wav_table.begin() + data_tag, 4, h.begin() + 36);
  put_u32(h.data() + 40, data_bytes);
  return h;
}

}  // namespace qbank
