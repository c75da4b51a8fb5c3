#include "audio/wav_file.h"

#include <gtest/gtest.h>

#include <numeric>

#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

using testing::bytes;

struct parsed {
  int header = -1;
  bool data_found = false;
  std::uint32_t data_bytes = 0;
  std::uint64_t audio_at = 0;
};

parsed parse(byte_source& s) {
  parsed p;
  p.header = check_wav_header(s);
  if (p.header == wav_rejected) return p;
  EXPECT_EQ(s.position(), 36u);
  p.data_found = find_data_chunk(s);
  if (!p.data_found) return p;
  p.data_bytes = read_chunk_size(s);
  p.audio_at = s.position();
  return p;
}

parsed parse(const bytes& file) {
  memory_source s(file.data(), file.size());
  return parse(s);
}

const std::int16_t some_samples[] = {0, 1, -1, 32767, -32768, 1234};

TEST(WavCanonicalHeader, GoldenBytes) {
  const auto h = wav_canonical_header(1, 1000);
  const std::uint8_t expected[44] = {'R', 'I', 'F',  'F',  0x0C, 0x04, 0,    0,    'W',  'A', 'V',
                                     'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    1,   0,
                                     1,   0,   0x80, 0xBB, 0,    0,    0x00, 0x77, 0x01, 0,   2,
                                     0,   16,  0,    'd',  'a',  't',  'a',  0xE8, 0x03, 0,   0};
  EXPECT_EQ(bytes(h.begin(), h.end()), bytes(std::begin(expected), std::end(expected)));

  const auto st = wav_canonical_header(2, 7);
  EXPECT_EQ(st[4], 43);     // 7 + 36
  EXPECT_EQ(st[22], 2);     // channels
  EXPECT_EQ(st[28], 0x00);  // 192000 bytes a second
  EXPECT_EQ(st[29], 0xEE);
  EXPECT_EQ(st[30], 0x02);
  EXPECT_EQ(st[32], 4);  // block align
}

TEST(WavReader, AcceptsCanonicalAndLibsndfileFiles) {
  EXPECT_EQ(parse(testing::wav_bytes(1, some_samples)).header, wav_mono);
  const parsed st = parse(testing::wav_bytes(2, some_samples));
  EXPECT_EQ(st.header, wav_stereo);
  EXPECT_TRUE(st.data_found);
  EXPECT_EQ(st.data_bytes, 12u);
  EXPECT_EQ(st.audio_at, 44u);

  QBANK_SKIP_WITHOUT_SNDFILE();
  testing::temp_dir dir;
  for (int channels : {1, 2}) {
    const auto path = dir / ("sf" + std::to_string(channels) + ".wav");
    testing::write_wav_with_sndfile(path, channels, 48000, some_samples);
    input_file in(path);
    const parsed p = parse(in);
    EXPECT_EQ(p.header, channels);
    EXPECT_TRUE(p.data_found);
    EXPECT_EQ(p.data_bytes, 12u);
    in.seek(p.audio_at);
    bytes audio(12);
    ASSERT_EQ(in.read(audio.data(), audio.size()), 12u);
    EXPECT_EQ(audio, testing::sample_bytes(some_samples));
  }
}

TEST(WavReader, RejectsEveryOtherLayout) {
  const bytes good = testing::wav_bytes(1, some_samples);
  auto with_riff_size = [&](int delta) {
    bytes f = good;
    f[4] = static_cast<std::uint8_t>(f[4] + delta);
    return f;
  };
  bytes trailing = good;
  trailing.push_back(0);
  bytes cut = good;
  cut.pop_back();
  bytes eight_bit = good;
  eight_bit[34] = 8;
  const bytes list_before_fmt =
      testing::riff_file({testing::riff_chunk("LIST", bytes(4, 'x')), testing::format_chunk(1),
                          testing::riff_chunk("data", testing::sample_bytes(some_samples))});
  const bytes not_riff = [&] {
    bytes f = good;
    f[0] = 'r';
    return f;
  }();

  const struct {
    const char* name;
    bytes file;
  } cases[] = {
      {"riff size one less", with_riff_size(-1)},
      {"riff size one more", with_riff_size(+1)},
      {"trailing byte", trailing},
      {"cut short", cut},
      {"8 bits", eight_bit},
      {"LIST before fmt", list_before_fmt},
      {"not RIFF", not_riff},
      {"empty", {}},
      {"only RIFF and size", bytes(good.begin(), good.begin() + 8)},
  };
  for (const auto& c : cases) EXPECT_EQ(parse(c.file).header, wav_rejected) << c.name;

  QBANK_SKIP_WITHOUT_SNDFILE();
  testing::temp_dir dir;
  const auto other_rate = dir / "44k.wav";
  testing::write_wav_with_sndfile(other_rate, 2, 44100, some_samples);
  input_file in(other_rate);
  EXPECT_EQ(check_wav_header(in), wav_rejected);
}

TEST(WavReader, DataChunkSearch) {
  const bytes audio = testing::sample_bytes(some_samples);
  const struct {
    const char* name;
    bytes file;
    bool found;
    std::uint32_t size;
  } cases[] = {
      {"LIST between fmt and data",
       testing::riff_file({testing::format_chunk(1), testing::riff_chunk("LIST", bytes(10, 'x')),
                           testing::riff_chunk("data", audio)}),
       true, 12},
      // RIFF pads odd chunks; the next tag follows the pad byte.
      {"odd chunk with pad byte",
       testing::riff_file({testing::format_chunk(2), testing::riff_chunk("junk", bytes(3, 'j')),
                           testing::riff_chunk("data", audio)}),
       true, 12},
      // Tools that leave the pad out were always accepted; they still are.
      {"odd chunk without pad byte",
       testing::riff_file(
           {testing::format_chunk(2),
            bytes{'j', 'u', 'n', 'k', 3, 0, 0, 0, 'j', 'j', 'j', 'd', 'a', 't', 'a', 12, 0, 0, 0},
            audio}),
       true, 12},
      {"odd chunk without pad byte, then another chunk",
       testing::riff_file({testing::format_chunk(1),
                           bytes{'j', 'u', 'n', 'k', 1,   0,   0,   0,   'j', 'L', 'I', 'S', 'T', 2,
                                 0,   0,   0,   'x', 'x', 'd', 'a', 't', 'a', 12,  0,   0,   0},
                           audio}),
       true, 12},
      {"no data chunk",
       testing::riff_file({testing::format_chunk(1), testing::riff_chunk("LIST", bytes(10, 'x'))}),
       false, 0},
      {"exactly 36 bytes", testing::riff_file({testing::format_chunk(1)}), false, 0},
      {"chunk size past the end",
       testing::riff_file(
           {testing::format_chunk(1), bytes{'b', 'i', 'g', ' ', 0xFF, 0xFF, 0xFF, 0xFF}}),
       false, 0},
      {"tag cut short", testing::riff_file({testing::format_chunk(1), bytes{'d', 'a'}}), false, 0},
      // A "data" tag whose size field is cut off by the end of the file is damage, not silence.
      {"data size field cut short",
       testing::riff_file({testing::format_chunk(1), bytes{'d', 'a', 't', 'a', 0, 0}}), false, 0},
      {"data tag at the very end",
       testing::riff_file({testing::format_chunk(1), bytes{'d', 'a', 't', 'a'}}), false, 0},
      {"data of size 0", testing::wav_bytes_raw(1, {}), true, 0},
  };
  for (const auto& c : cases) {
    const parsed p = parse(c.file);
    EXPECT_NE(p.header, wav_rejected) << c.name;
    EXPECT_EQ(p.data_found, c.found) << c.name;
    EXPECT_EQ(p.data_bytes, c.size) << c.name;
  }
}

TEST(WavReader, ChunkSizeAtEndOfStreamIsZero) {
  const bytes two = {1, 2};
  memory_source s(two.data(), two.size());
  EXPECT_EQ(read_chunk_size(s), 0u);
}

TEST(HeadCachedSource, ReadsAcrossTheCachedHeadLikeTheSource) {
  bytes data(100);
  std::iota(data.begin(), data.end(), 0);
  memory_source direct(data.data(), data.size());
  head_cached_source cached(direct, 10);
  bytes got(30);
  cached.seek(5);
  ASSERT_EQ(cached.read(got.data(), 30), 30u);
  EXPECT_EQ(got, bytes(data.begin() + 5, data.begin() + 35));
  EXPECT_EQ(cached.position(), 35u);
  cached.seek(98);
  EXPECT_EQ(cached.read(got.data(), 30), 2u);
  EXPECT_EQ(cached.read(got.data(), 30), 0u);
}

}  // namespace
}  // namespace qbank
