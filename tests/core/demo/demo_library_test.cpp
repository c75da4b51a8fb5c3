#include "demo/demo_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "audio/wav_file.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/script_file.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "util/text_format.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::vector<std::uint8_t>> folder_contents(const fs::path& dir) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto& entry : fs::directory_iterator(dir))
    files[path_to_utf8(entry.path().filename())] = read_whole_file(entry.path());
  return files;
}

std::uint32_t u32_at(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t u16_at(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

class DemoLibrary : public ::testing::Test {
 protected:
  testing::temp_dir dir;
  testing::recording_host host;
};

TEST_F(DemoLibrary, SameBytesOnEveryRunAndAcrossFolders) {
  const demo_library first = write_demo_library(dir / "one", host);
  const demo_library second = write_demo_library(dir / "two", host);
  const auto a = folder_contents(dir / "one");
  const auto b = folder_contents(dir / "two");
  ASSERT_EQ(a.size(), b.size());
  for (const auto& [name, bytes] : a) {
    ASSERT_TRUE(b.count(name)) << name;
    // The script holds the folder's own path, so only the WAV files compare whole.
    if (name != "Demo.qbs") {
      EXPECT_TRUE(bytes == b.at(name)) << name;
    }
  }
  EXPECT_EQ(first.wav_files, second.wav_files);
  EXPECT_EQ(first.wav_bytes, second.wav_bytes);

  // Writing again over an existing library gives the very same files, the script included.
  write_demo_library(dir / "one", host);
  EXPECT_EQ(folder_contents(dir / "one"), a);
}

TEST_F(DemoLibrary, EveryWavFileHasTheCanonicalHeaderAndAudibleAudio) {
  const demo_library lib = write_demo_library(dir.path(), host);
  std::uint64_t total = 0;
  int mono = 0, stereo = 0;
  for (const auto& [name, bytes] : folder_contents(dir.path())) {
    total += bytes.size();
    if (name == "Demo.qbs") continue;
    SCOPED_TRACE(name);
    ASSERT_GE(bytes.size(), 44u);
    const std::uint32_t n = u32_at(bytes, 40);
    EXPECT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
    EXPECT_EQ(u32_at(bytes, 4), n + 36);
    EXPECT_EQ(bytes.size(), n + 44u);
    EXPECT_EQ(std::memcmp(bytes.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(u32_at(bytes, 16), 16u);
    EXPECT_EQ(u16_at(bytes, 20), 1);  // PCM
    const std::uint16_t channels = u16_at(bytes, 22);
    ASSERT_TRUE(channels == 1 || channels == 2);
    (channels == 1 ? mono : stereo)++;
    EXPECT_EQ(u32_at(bytes, 24), 48000u);
    EXPECT_EQ(u32_at(bytes, 28), 48000u * 2 * channels);
    EXPECT_EQ(u16_at(bytes, 32), 2 * channels);
    EXPECT_EQ(u16_at(bytes, 34), 16);
    EXPECT_EQ(std::memcmp(bytes.data() + 36, "data", 4), 0);
    EXPECT_GT(n, 0u);
    EXPECT_EQ(n % (2u * channels), 0u);
    EXPECT_LE(n, 2u * 48000 * 2 * channels) << "longer than 2 s";

    // The system's own reader agrees, and the header is the one it would write.
    memory_source source(bytes.data(), bytes.size());
    EXPECT_EQ(check_wav_header(source), channels);
    ASSERT_TRUE(find_data_chunk(source));
    EXPECT_EQ(read_chunk_size(source), n);
    const auto canonical = wav_canonical_header(channels, n);
    EXPECT_TRUE(std::equal(canonical.begin(), canonical.end(), bytes.begin()));

    // Scaled to a peak near full level, but never clipped; and it ends quietly, not cut off.
    int peak = 0;
    for (std::size_t at = 44; at < bytes.size(); at += 2)
      peak = std::max(peak, std::abs(static_cast<std::int16_t>(u16_at(bytes, at))));
    EXPECT_GT(peak, 20000);
    EXPECT_LT(peak, 32767);
    const auto last = static_cast<std::int16_t>(u16_at(bytes, bytes.size() - 2));
    EXPECT_LT(std::abs(last), 500);
  }
  EXPECT_GT(mono, 0);
  EXPECT_GT(stereo, 0);
  EXPECT_EQ(lib.wav_files, static_cast<std::uint32_t>(mono + stereo));
  // The script is 16.6 MB whatever it holds; the audio stays small.
  EXPECT_LT(lib.wav_bytes, 8u << 20);
  EXPECT_EQ(total, lib.wav_bytes + fs::file_size(lib.script));
}

// The lag (in frames) in [low, high] at which channel 0 of a WAV file's audio, from 0.1 s on,
// best matches itself: the period of its fundamental.
int period_of(const std::vector<std::uint8_t>& wav, int low, int high) {
  const int channels = u16_at(wav, 22);
  auto sample = [&](int frame) {
    return static_cast<std::int64_t>(
        static_cast<std::int16_t>(u16_at(wav, 44 + 2 * channels * frame)));
  };
  int best = low;
  std::int64_t best_score = INT64_MIN;
  for (int lag = low; lag <= high; ++lag) {
    std::int64_t score = 0;
    for (int i = 4800; i < 4800 + 4800; ++i) score += sample(i) * sample(i + lag);
    if (score > best_score) best_score = score, best = lag;
  }
  return best;
}

TEST_F(DemoLibrary, TonesSoundAtTheNotesTheirNamesGive) {
  write_demo_library(dir.path(), host);
  // 48000 Hz / f: note 69 = 440 Hz, 48 = 130.81 Hz, 60 = 261.63 Hz, 84 = 1046.5 Hz, 28 = 41.2 Hz.
  EXPECT_NEAR(period_of(read_whole_file(dir / "Lead 069.wav"), 60, 160), 109, 1);
  EXPECT_NEAR(period_of(read_whole_file(dir / "Lead 048.wav"), 250, 450), 367, 1);
  EXPECT_NEAR(period_of(read_whole_file(dir / "Lead 084.wav"), 30, 60), 46, 1);
  EXPECT_NEAR(period_of(read_whole_file(dir / "Pad 060.wav"), 130, 230), 183, 2);
  // The bass mixes two voices 12 cents (0.7 %) apart.
  EXPECT_NEAR(period_of(read_whole_file(dir / "Bass 028.wav"), 900, 1400), 1165, 8);
}

TEST_F(DemoLibrary, ScriptLoadsBackWithNamedMultisamplesProgramsAndAbsolutePaths) {
  const demo_library lib = write_demo_library(dir / "sub" / ".." / "lib", host);
  EXPECT_EQ(lib.script, fs::absolute(dir / "lib" / "Demo.qbs"));
  EXPECT_EQ(fs::file_size(lib.script) >= script_v6_binary_size, true);

  bank b;
  load_script(b, lib.script, 6, host);
  EXPECT_TRUE(host.messages.empty());

  std::map<std::string, int> multisamples;
  std::uint32_t slots = 0;
  for (int n = 1; n < multisample_count; ++n) {
    if (!b.multisample_has_files(n)) continue;
    const char* name = b.multisample(n).name;
    multisamples[std::string(name, strnlen(name, name_size))] = n;
    EXPECT_NE(b.multisample(n).comment[0], '\0');
    for (int j = 0; j < slots_per_multisample; ++j) {
      if (b.slot_is_empty(n, j)) continue;
      ++slots;
      const std::string_view stored = b.file(n, j);
      const fs::path path = native_path(stored);
      EXPECT_TRUE(path.is_absolute()) << stored;
      EXPECT_EQ(path.parent_path(), fs::absolute(dir / "lib")) << stored;
      EXPECT_TRUE(file_exists(path)) << stored;
    }
  }
  EXPECT_EQ(slots, lib.wav_files);
  // Every slot passes the pre-build validation: the library builds as it is.
  const validation_result checked = validate_for_build(b, host);
  EXPECT_EQ(checked.errors(), 0u);
  EXPECT_TRUE(host.questions.empty());
  ASSERT_EQ(multisamples.size(), 4u);
  for (const char* name : {"Demo Lead", "Demo Pad", "Demo Bass", "Demo Drums"})
    EXPECT_TRUE(multisamples.count(name)) << name;

  // The lead's files sit in the slots of the notes their names give.
  const int lead = multisamples["Demo Lead"];
  for (int note = 48; note <= 84; note += 3)
    EXPECT_EQ(stored_file_name(b.file(lead, note)), format("Lead %03d.wav", note));
  EXPECT_TRUE(b.slot_is_empty(lead, 49));

  // Every used program is named and each of its zones plays a multisample that has files.
  std::map<std::string, int> programs;
  for (int i = 0; i < program_count; ++i) {
    if (!b.program_is_used(i)) continue;
    const std::string name(b.program(i).name, strnlen(b.program(i).name, name_size));
    programs[name] = i;
    for (const zone& z : b.program(i).zones) {
      if (z.multisample == 0) continue;
      EXPECT_TRUE(b.multisample_has_files(z.multisample)) << name;
      EXPECT_LE(z.velo_low, z.velo_high) << name;
      EXPECT_LE(z.key_low, z.key_high) << name;
    }
  }
  for (const char* name : {"Lead Mono", "Warm Pad", "Drum Kit", "Lead+Pad Layer"})
    ASSERT_TRUE(programs.count(name)) << name;

  // The layer really layers: pad and lead, the lead behind a velocity window.
  const blend& layer = b.program(programs["Lead+Pad Layer"]);
  EXPECT_EQ(layer.zones[0].multisample, multisamples["Demo Pad"]);
  EXPECT_EQ(layer.zones[1].multisample, lead);
  EXPECT_GT(layer.zones[1].velo_low, 0);
}

}  // namespace
}  // namespace qbank
