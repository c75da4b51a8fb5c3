#include "support/wav_writer.h"

#ifdef QBANK_HAVE_SNDFILE
#include <sndfile.h>
#endif

#include <cstring>
#include <stdexcept>
#include <string>

#include "audio/wav_file.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace qbank::testing {
namespace {

void put_u32(bytes& out, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

}  // namespace

bytes sample_bytes(std::span<const std::int16_t> samples) {
  bytes out;
  out.reserve(samples.size() * 2);
  for (std::int16_t s : samples) {
    const auto u = static_cast<std::uint16_t>(s);
    out.push_back(static_cast<std::uint8_t>(u));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return out;
}

bytes riff_chunk(std::string_view tag, const bytes& body, bool pad) {
  bytes out(tag.begin(), tag.end());
  put_u32(out, static_cast<std::uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  if (pad && body.size() % 2 == 1) out.push_back(0);
  return out;
}

bytes riff_file(std::initializer_list<bytes> pieces) {
  bytes rest = {'W', 'A', 'V', 'E'};
  for (const bytes& p : pieces) rest.insert(rest.end(), p.begin(), p.end());
  bytes out = {'R', 'I', 'F', 'F'};
  put_u32(out, static_cast<std::uint32_t>(rest.size()));
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

bytes format_chunk(int channels) {
  const auto& t = wav_format_template(channels);
  return bytes(t.begin(), t.end());
}

bytes wav_bytes_raw(int channels, const bytes& data) {
  // The canonical layout puts no pad byte after odd audio.
  return riff_file({format_chunk(channels), riff_chunk("data", data, false)});
}

bytes wav_bytes(int channels, std::span<const std::int16_t> samples) {
  return wav_bytes_raw(channels, sample_bytes(samples));
}

void write_file(const std::filesystem::path& path, const bytes& content) {
  write_whole_file(path, content.data(), content.size());
}

void write_wav_with_sndfile(const std::filesystem::path& path, int channels, int sample_rate,
                            std::span<const std::int16_t> samples) {
#ifndef QBANK_HAVE_SNDFILE
  // Where libsndfile is not built, the plain layout it writes for 16-bit PCM with one or two
  // channels stands in: "fmt " of 16 bytes, then "data". Tests of the reader against an
  // independent writer are skipped there (QBANK_SKIP_WITHOUT_SNDFILE).
  bytes format;
  const auto add = [&format](std::uint32_t v, int size) {
    for (int k = 0; k < size; ++k) format.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
  };
  add(1, 2);
  add(static_cast<std::uint32_t>(channels), 2);
  add(static_cast<std::uint32_t>(sample_rate), 4);
  add(static_cast<std::uint32_t>(sample_rate * channels * 2), 4);
  add(static_cast<std::uint32_t>(channels * 2), 2);
  add(16, 2);
  write_file(path,
             riff_file({riff_chunk("fmt ", format), riff_chunk("data", sample_bytes(samples))}));
#else
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = sample_rate;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path_to_utf8(path).c_str(), SFM_WRITE, &info);
  if (!f) throw std::runtime_error("sf_open: " + std::string(sf_strerror(nullptr)));
  const sf_count_t frames = static_cast<sf_count_t>(samples.size() / channels);
  const sf_count_t written = sf_writef_short(f, samples.data(), frames);
  sf_close(f);
  if (written != frames) throw std::runtime_error("sf_writef_short wrote too little");
#endif
}

void write_sparse_wav(const std::filesystem::path& path, int channels, std::uint32_t data_bytes) {
  const auto header = wav_canonical_header(channels, data_bytes);
  write_whole_file(path, header.data(), header.size());
  std::filesystem::resize_file(path, header.size() + data_bytes);
}

}  // namespace qbank::testing
