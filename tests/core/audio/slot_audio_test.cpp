#include "audio/slot_audio.h"

#include <gtest/gtest.h>

#include <vector>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/bank_reader.h"
#include "bank/script_file.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;
using testing::bytes;

std::vector<std::int16_t> ramp(std::size_t count, int step = 37) {
  std::vector<std::int16_t> s(count);
  for (std::size_t k = 0; k < count; ++k)
    s[k] = static_cast<std::int16_t>(static_cast<int>(k * step % 65536) - 32768);
  return s;
}

class SlotAudio : public ::testing::Test {
 protected:
  testing::temp_dir dir;
  testing::recording_host h;
  bank b;

  slot_audio load(audio_source source, int n = 1, int row = 60, int selected = 1) {
    return load_selected_slot(b, n, row, selected, source, h);
  }
  void put_file(int n, int row, const std::string& name, const bytes& content) {
    testing::write_file(dir / name, content);
    b.set_file(n, row, (dir / name).string());
  }
};

TEST_F(SlotAudio, WavFilesWrittenBySndfileLoadAsTheyAre) {
  const std::vector<std::int16_t> mono = ramp(1001);
  testing::write_wav_with_sndfile(dir / "m.wav", 1, 48000, mono);
  b.set_file(1, 60, (dir / "m.wav").string());
  slot_audio a = load(audio_source::wav_file);
  ASSERT_TRUE(a.loaded()) << a.message;
  EXPECT_FALSE(a.stereo);
  EXPECT_EQ(a.length, 2002u);
  EXPECT_EQ(a.samples, mono);

  const std::vector<std::int16_t> stereo = ramp(800, 91);
  testing::write_wav_with_sndfile(dir / "s.wav", 2, 48000, stereo);
  b.set_file(2, 0, (dir / "s.wav").string());
  a = load(audio_source::wav_file, 2, 0);
  ASSERT_TRUE(a.loaded());
  EXPECT_TRUE(a.stereo);
  EXPECT_EQ(a.samples, stereo);
  EXPECT_EQ(a.playable_bytes(), 1600u);
  EXPECT_TRUE(h.boxes.empty());
}

TEST_F(SlotAudio, WavProblemsAreThePlotsTexts) {
  struct problem {
    const char* name;
    bytes content;
    std::string_view message;
  };
  const std::vector<std::int16_t> s = ramp(10);
  bytes bad_rate = testing::wav_bytes(1, s);
  bad_rate[24] = 0x44;  // 44100 Hz
  const std::vector<problem> problems = {
      {"rate.wav", bad_rate, plot_invalid_wav},
      {"nodata.wav",
       testing::riff_file({testing::format_chunk(1), testing::riff_chunk("LIST", {1, 2})}),
       plot_no_data_chunk},
      {"header_only.wav", testing::riff_file({testing::format_chunk(2)}), plot_no_data_chunk},
  };
  int row = 0;
  for (const problem& p : problems) {
    put_file(1, row, p.name, p.content);
    const slot_audio a = load(audio_source::wav_file, 1, row++);
    EXPECT_EQ(a.message, p.message) << p.name;
    EXPECT_EQ(a.length, 0u) << p.name;
  }
  b.set_file(1, row, (dir / "missing.wav").string());
  EXPECT_EQ(load(audio_source::wav_file, 1, row).message, plot_file_not_exist);
  // The empty slot marker names no file.
  EXPECT_EQ(load(audio_source::wav_file, 1, 127).message, plot_file_not_exist);
  EXPECT_EQ(load(audio_source::wav_file, 1, 128).message, plot_file_not_exist);
}

TEST_F(SlotAudio, EmptyDataChunkShowsAnEmptyWaveform) {
  put_file(1, 60, "empty.wav", testing::wav_bytes_raw(1, {}));
  const slot_audio a = load(audio_source::wav_file);
  EXPECT_TRUE(a.loaded());
  EXPECT_EQ(a.length, 0u);
  EXPECT_EQ(a.playable_bytes(), 0u);
}

TEST_F(SlotAudio, DataSizeBeyondTheFileIsCutToTheBytesPresent) {
  bytes file = testing::wav_bytes(1, ramp(100));
  file[40] = 0xFF;  // "data" announces 0xFFFF00C8 bytes
  file[43] = 0xFF;
  put_file(1, 60, "long.wav", file);
  const slot_audio a = load(audio_source::wav_file);
  ASSERT_TRUE(a.loaded());
  EXPECT_EQ(a.length, 200u);
  EXPECT_EQ(a.samples, ramp(100));
}

TEST_F(SlotAudio, MultipleSelectionLoadsNothing) {
  testing::write_wav_with_sndfile(dir / "m.wav", 1, 48000, ramp(10));
  b.set_file(1, 60, (dir / "m.wav").string());
  for (audio_source source : {audio_source::wav_file, audio_source::bank_file}) {
    const slot_audio a = load(source, 1, 60, 2);
    EXPECT_EQ(a.message, plot_multiple_selection);
    EXPECT_TRUE(a.samples.empty());
  }
}

class BankSlotAudio : public SlotAudio {
 protected:
  std::vector<std::int16_t> mono = ramp(700);       // 1400 bytes: 3 sectors, padded
  std::vector<std::int16_t> stereo = ramp(600, 5);  // mixed to mono by the build

  void build(const build_options& options = {}) {
    testing::write_wav_with_sndfile(dir / "m.wav", 1, 48000, mono);
    testing::write_wav_with_sndfile(dir / "s.wav", 2, 48000, stereo);
    b.set_file(1, 60, (dir / "m.wav").string());
    b.set_file(3, 0, (dir / "s.wav").string());
    ASSERT_TRUE(build_bank_file(b, dir / "BANK.qbb", h, options));
    b.set_loaded_file_name((dir / "BANK.qbb").string());
    h.boxes.clear();
  }
};

TEST_F(BankSlotAudio, SlotSectorsAreSignedMonoWithTheirPadding) {
  build();
  slot_audio a = load(audio_source::bank_file);
  ASSERT_TRUE(a.loaded()) << a.message;
  EXPECT_FALSE(a.stereo);
  ASSERT_EQ(a.length, 3u * 512u);
  EXPECT_TRUE(std::equal(mono.begin(), mono.end(), a.samples.begin()));
  for (std::size_t k = mono.size(); k < a.samples.size(); ++k) ASSERT_EQ(a.samples[k], 0) << k;

  a = load(audio_source::bank_file, 3, 0);
  ASSERT_TRUE(a.loaded());
  EXPECT_FALSE(a.stereo);
  EXPECT_EQ(a.samples[1], static_cast<std::int16_t>((stereo[2] + stereo[3]) / 2));
  EXPECT_TRUE(h.boxes.empty());
}

TEST_F(BankSlotAudio, AudioCrossingAPartBoundaryIsReadWhole) {
  // Parts of 15,362,048 + 512 bytes end inside the first slot's audio.
  build_options split;
  split.part_limit = 15'362'048 + 512;
  build(split);
  ASSERT_TRUE(fs::exists(dir / "BANK.Q01"));
  const slot_audio a = load(audio_source::bank_file);
  ASSERT_TRUE(a.loaded()) << a.message;
  EXPECT_TRUE(std::equal(mono.begin(), mono.end(), a.samples.begin()));
}

TEST_F(BankSlotAudio, BankProblemsAreThePlotsTexts) {
  // Nothing loaded yet.
  EXPECT_EQ(load(audio_source::bank_file).message, plot_bank_not_exist);
  // A loaded script names no sectors to play, even when it exists.
  save_script(b, dir / "Bank.qbs", h);
  b.set_loaded_file_name((dir / "Bank.qbs").string());
  EXPECT_EQ(load(audio_source::bank_file).message, plot_bank_not_exist);

  build();
  EXPECT_EQ(load(audio_source::bank_file, 1, 61).message, plot_no_sample);
  b.multisample(1).slots[60].first_sector = 0x7FFFFFFF;
  EXPECT_EQ(load(audio_source::bank_file).message, plot_bad_start);
  EXPECT_TRUE(h.boxes.empty());
  // The bank file removed after it was loaded.
  fs::remove(dir / "BANK.qbb");
  EXPECT_EQ(load(audio_source::bank_file).message, plot_bank_not_exist);
}

TEST_F(BankSlotAudio, ABankCutShortEndsTheSlotWhereTheFileEnds) {
  build();
  const std::uint32_t first = b.multisample(1).slots[60].first_sector;
  // Cut inside a sample: the half sample at the end is read into a whole one.
  fs::resize_file(dir / "BANK.qbb", std::uint64_t{first} * 512 + 101);
  const slot_audio odd = load(audio_source::bank_file);
  ASSERT_TRUE(odd.loaded());
  EXPECT_EQ(odd.length, 101u);
  ASSERT_EQ(odd.samples.size(), 51u);
  EXPECT_TRUE(std::equal(odd.samples.begin(), odd.samples.end() - 1, mono.begin()));

  fs::resize_file(dir / "BANK.qbb", std::uint64_t{first} * 512 + 100);
  const slot_audio a = load(audio_source::bank_file);
  ASSERT_TRUE(a.loaded());
  EXPECT_EQ(a.length, 100u);
  EXPECT_TRUE(std::equal(a.samples.begin(), a.samples.end(), mono.begin()));
}

}  // namespace
}  // namespace qbank

namespace qbank {
namespace {

TEST_F(SlotAudio, ThePreviousBufferIsUsedAgainAndSurvivesAMessage) {
  testing::write_wav_with_sndfile(dir / "a.wav", 1, 48000, ramp(4000));
  testing::write_wav_with_sndfile(dir / "b.wav", 1, 48000, ramp(3000, 11));
  b.set_file(1, 0, (dir / "a.wav").string());
  b.set_file(1, 1, (dir / "b.wav").string());
  slot_audio a = load(audio_source::wav_file, 1, 0);
  const std::int16_t* memory = a.samples.data();
  a = load_selected_slot(b, 1, 5, 1, audio_source::wav_file, h, std::move(a.samples));
  EXPECT_EQ(a.message, plot_file_not_exist);
  EXPECT_TRUE(a.samples.empty());
  a = load_selected_slot(b, 1, 1, 1, audio_source::wav_file, h, std::move(a.samples));
  EXPECT_EQ(a.samples.data(), memory);
  EXPECT_EQ(a.samples, ramp(3000, 11));
}

}  // namespace
}  // namespace qbank
