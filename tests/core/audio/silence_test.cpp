#include "audio/silence.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>

#include "audio/wav_file.h"
#include "bank/bank.h"
#include "platform/fault_injection.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

using testing::bytes;
using testing::recording_host;
using testing::temp_dir;
namespace fs = std::filesystem;

std::vector<std::int16_t> samples_of(const fs::path& path) {
  const bytes file = read_whole_file(path);
  EXPECT_GE(file.size(), 44u);
  std::vector<std::int16_t> out((file.size() - 44) / 2);
  std::memcpy(out.data(), file.data() + 44, out.size() * 2);
  return out;
}

// `loud` samples of a ramp that never comes near silence, then `tail` samples of `quiet`.
std::vector<std::int16_t> loud_then_tail(std::size_t loud, std::size_t tail,
                                         std::int16_t quiet = 0) {
  std::vector<std::int16_t> s(loud, 0);
  for (std::size_t i = 0; i < loud; ++i) s[i] = static_cast<std::int16_t>(i % 2 ? 9000 : -9000);
  s.insert(s.end(), tail, quiet);
  return s;
}

struct silence_fixture : ::testing::Test {
  temp_dir dir;
  bank b;
  recording_host h;
  int next_slot = 0;

  fs::path add(const std::string& name, const bytes& content, int multisample = 1) {
    const fs::path p = dir / name;
    testing::write_file(p, content);
    b.set_file(multisample, next_slot++, path_to_utf8(p));
    return p;
  }
  fs::path add_mono(const std::string& name, const std::vector<std::int16_t>& s) {
    return add(name, testing::wav_bytes(1, s));
  }
};

TEST(TailPlan, FadeArithmetic) {
  // Tail of exactly the fade length: nothing happens.
  tail_plan p = plan_tail(2000 * 2, 1, 2000 - 96, true);
  EXPECT_EQ(p.kept_bytes, 4000u);
  EXPECT_EQ(p.counts.removed, 0u);
  EXPECT_EQ(p.counts.in_fades, 0u);
  // One sample more: 1 removed, 96 in the fade, kept data ends one sample behind the fade.
  p = plan_tail(2000 * 2, 1, 2000 - 97, true);
  EXPECT_EQ(p.kept_bytes, 4000u - 2);
  EXPECT_EQ(p.counts.removed, 1u);
  EXPECT_EQ(p.counts.in_fades, 96u);
  EXPECT_TRUE(p.fade);
  EXPECT_EQ(p.fade_first_frame, 2000u - 98);
  // Without the fade the whole tail goes.
  p = plan_tail(2000 * 2, 1, 2000 - 97, false);
  EXPECT_EQ(p.kept_bytes, (2000u - 97) * 2);
  EXPECT_EQ(p.counts.removed, 97u);
  // Stereo counts samples: 2 per frame; a silent file keeps exactly the faded 96 frames.
  p = plan_tail(1000 * 4, 2, 0, true);
  EXPECT_EQ(p.kept_bytes, 384u);
  EXPECT_EQ(p.fade_first_frame, 0u);
  EXPECT_EQ(p.counts.removed, 2000u - 192);
  EXPECT_EQ(p.counts.in_fades, 192u);
}

TEST(TailSearch, OnePassAgreesWithAPlainSearchAtEveryThreshold) {
  std::mt19937 random(7);
  for (int channels : {1, 2}) {
    for (std::size_t frames : {std::size_t{1}, std::size_t{1500}, std::size_t{200'000}}) {
      std::vector<std::int16_t> s(frames * channels);
      // A decaying signal with a few louder clicks in its tail, so thresholds settle at
      // different frames, also across the reader's blocks.
      for (std::size_t i = 0; i < s.size(); ++i) {
        const double level = 3000.0 * (1.0 - double(i) / double(s.size()));
        s[i] = static_cast<std::int16_t>(std::uniform_real_distribution<>(-level, level)(random));
      }
      if (frames > 10) s[s.size() - 3 * channels] = -150;
      const bytes data = testing::sample_bytes(s);
      memory_source source(data.data(), data.size());
      const std::vector<std::uint64_t> kept =
          kept_frames_at(source, 0, data.size(), channels, silence_thresholds);
      for (std::size_t t = 0; t < silence_thresholds.size(); ++t) {
        std::uint64_t expect = 0;
        for (std::size_t f = frames; f-- > 0;) {
          bool loud = false;
          for (int c = 0; c < channels; ++c)
            loud |= std::abs(int(s[f * channels + c])) > silence_thresholds[t];
          if (loud) {
            expect = f + 1;
            break;
          }
        }
        EXPECT_EQ(kept[t], expect)
            << channels << " channels, " << frames << " frames, t " << silence_thresholds[t];
      }
    }
  }
}

TEST(TailSearch, AShortReadSettlesNothing) {
  // A file cut short while it is read must not look silent (that would trim it to nothing).
  const bytes data = testing::sample_bytes(std::vector<std::int16_t>(4000, 0));
  memory_source source(data.data(), data.size());
  EXPECT_TRUE(kept_frames_at(source, 0, data.size() + 600'000, 1, silence_thresholds).empty());
}

TEST_F(silence_fixture, CheckReportsTwentyLinesAlsoForAnEmptyBank) {
  silence_check_command(b, h, true);
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Scan Report");
  ASSERT_EQ(h.reports[0].lines.size(), 22u);
  EXPECT_EQ(h.reports[0].lines[0], "REPORT: Delete empty samples from end of WAV files!");
  EXPECT_EQ(h.reports[0].lines[1], std::string(59, '-'));
  EXPECT_EQ(h.reports[0].lines[2],
            "Treshold value:  +/-0     Removed: 0 bytes,      In Fades: 0 bytes.");
  EXPECT_EQ(h.reports[0].lines[21],
            "Treshold value:  +/-190     Removed: 0 bytes,      In Fades: 0 bytes.");
  EXPECT_EQ(h.progress_kinds, std::vector<char>{'w'});
  EXPECT_EQ(h.progress_titles, std::vector<std::string>{"Calculating silence..."});
}

TEST_F(silence_fixture, CheckCountsEveryThresholdAndEverySlotWithoutChangingFiles) {
  // 2000 loud samples, then 617 samples of 55 and 1000 of 0: silent from t = 60 on after the
  // loud part, from t = 0 on only for the last 1000.
  std::vector<std::int16_t> s = loud_then_tail(2000, 617, 55);
  s.insert(s.end(), 1000, 0);
  const fs::path p = add_mono("a.wav", s);
  b.set_file(2, 9, path_to_utf8(p));  // the same file in a second slot is counted twice
  add_mono("short.wav", loud_then_tail(0, 1023));  // 2046 bytes: too short
  b.set_file(3, 0, path_to_utf8(dir / "missing.wav"));
  const bytes before = read_whole_file(p);
  silence_check_command(b, h, false);
  EXPECT_EQ(read_whole_file(p), before);
  const auto& lines = h.reports.at(0).lines;
  EXPECT_EQ(lines[2], "Treshold value:  +/-0     Removed: 4 000 bytes,      In Fades: 0 bytes.");
  EXPECT_EQ(lines[7], "Treshold value:  +/-50     Removed: 4 000 bytes,      In Fades: 0 bytes.");
  EXPECT_EQ(lines[8], "Treshold value:  +/-60     Removed: 6 468 bytes,      In Fades: 0 bytes.");
  EXPECT_EQ(lines[21], "Treshold value:  +/-190     Removed: 6 468 bytes,      In Fades: 0 bytes.");
  // The progress title names each existing file when it is visited.
  EXPECT_EQ(h.progress_titles,
            (std::vector<std::string>{"Calculating silence...", path_to_utf8(p),
                                      path_to_utf8(dir / "short.wav"), path_to_utf8(p)}));
  EXPECT_EQ(h.max_percent, 75);  // 3 of the 4 listed slots name existing files

  recording_host faded;
  silence_check_command(b, faded, true);
  EXPECT_EQ(faded.reports.at(0).lines[2],
            "Treshold value:  +/-0     Removed: 3 616 bytes,      In Fades: 384 bytes.");
  EXPECT_EQ(faded.reports.at(0).lines[8],
            "Treshold value:  +/-60     Removed: 6 084 bytes,      In Fades: 384 bytes.");
}

TEST_F(silence_fixture, MinimumLengthAndExactZeroAtThresholdZero) {
  const fs::path tiny = add_mono("tiny.wav", loud_then_tail(10, 1013));    // 2046 bytes
  const fs::path edge = add_mono("edge.wav", loud_then_tail(10, 1014));    // 2048 bytes
  const fs::path one = add_mono("one.wav", loud_then_tail(1500, 600, 1));  // 1 is loud at t = 0
  const bytes tiny_before = read_whole_file(tiny);
  const bytes one_before = read_whole_file(one);
  h.answers = {true, true};
  ASSERT_TRUE(silence_apply_command(b, h, 0, false));
  EXPECT_EQ(read_whole_file(tiny), tiny_before);
  EXPECT_EQ(samples_of(edge).size(), 10u);
  EXPECT_EQ(read_whole_file(one), one_before);
  EXPECT_EQ(h.messages,
            (std::vector<std::string>{"[Sample Editor] Null samples: 1 014 samples = 2 028 bytes.\n"
                                      "Total samples in fades: 0 samples = 0 bytes."}));
}

TEST_F(silence_fixture, FadeOfNinetySixVersusNinetySevenSamples) {
  const fs::path keep = add_mono("keep.wav", loud_then_tail(1100, 96));
  std::vector<std::int16_t> cut_samples = loud_then_tail(1100, 97);
  cut_samples[1099] = -32768;  // the last loud sample keeps its value (factor 96/96)
  const fs::path cut = add_mono("cut.wav", cut_samples);
  const bytes keep_before = read_whole_file(keep);
  h.answers = {true, true};
  ASSERT_TRUE(silence_apply_command(b, h, 0, true));
  EXPECT_EQ(read_whole_file(keep), keep_before);
  const std::vector<std::int16_t> after = samples_of(cut);
  ASSERT_EQ(after.size(), 1100u + 96);
  for (std::size_t i = 0; i < 1099; ++i) ASSERT_EQ(after[i], cut_samples[i]) << i;
  EXPECT_EQ(after[1099], -32768);
  for (std::size_t i = 1100; i < after.size(); ++i) EXPECT_EQ(after[i], 0);
  EXPECT_EQ(read_whole_file(cut).size(), 44u + (1100 + 96) * 2);
  EXPECT_EQ(h.messages.back(),
            "[Sample Editor] Null samples: 1 samples = 2 bytes.\n"
            "Total samples in fades: 96 samples = 192 bytes.");
  // A second run changes nothing.
  const bytes once = read_whole_file(cut);
  h.answers = {true, true};
  ASSERT_TRUE(silence_apply_command(b, h, 0, true));
  EXPECT_EQ(read_whole_file(cut), once);
}

TEST_F(silence_fixture, FadeScalesEachChannelAndTruncatesTowardZero) {
  // Stereo, written by libsndfile: loud frame 1199 then 300 quiet frames at t = 100.
  std::vector<std::int16_t> s;
  for (int f = 0; f < 1200; ++f) {
    s.push_back(static_cast<std::int16_t>(f == 1199 ? 9600 : 5000));
    s.push_back(static_cast<std::int16_t>(f == 1199 ? -9601 : -5000));
  }
  for (int f = 0; f < 300; ++f) {
    s.push_back(static_cast<std::int16_t>(f % 2 ? 100 : -100));
    s.push_back(static_cast<std::int16_t>(-7));
  }
  const fs::path p = dir / "stereo.wav";
  testing::write_wav_with_sndfile(p, 2, 48000, s);
  b.set_file(0, 0, path_to_utf8(p));
  const silence_counts c = remove_silence(b, h, 100, true);
  EXPECT_EQ(c.removed, 300u * 2 - 192);
  EXPECT_EQ(c.in_fades, 192u);
  const std::vector<std::int16_t> after = samples_of(p);
  ASSERT_EQ(after.size(), (1200u + 96) * 2);
  for (int i = 0; i < 96; ++i) {
    const std::size_t f = 1199 + i;
    EXPECT_EQ(after[2 * f], s[2 * f] * (96 - i) / 96) << i;
    EXPECT_EQ(after[2 * f + 1], s[2 * f + 1] * (96 - i) / 96) << i;
  }
  EXPECT_EQ(after[2 * 1199 + 1], -9601);
  EXPECT_EQ(after[2 * 1200 + 1], -6);       // -7 x 95/96 truncated toward zero
  EXPECT_EQ(after[2 * 1295], s[2 * 1295]);  // the 96th frame after the loud one: unscaled
  input_file trimmed(p);
  EXPECT_EQ(check_wav_header(trimmed), wav_stereo);
}

TEST_F(silence_fixture, WhollySilentFilesAndForeignChunks) {
  // Extra chunks after the format chunk are accepted and are gone after the rewrite.
  std::vector<std::int16_t> quiet(2000);
  for (std::size_t i = 0; i < quiet.size(); ++i) quiet[i] = static_cast<std::int16_t>(i % 3 - 1);
  const bytes with_list =
      testing::riff_file({testing::format_chunk(1), testing::riff_chunk("LIST", bytes(7, 'x')),
                          testing::riff_chunk("data", testing::sample_bytes(quiet), false)});
  const bytes stereo = testing::wav_bytes(2, std::vector<std::int16_t>(2048, 3));
  const fs::path faded = add("faded.wav", with_list);
  const fs::path gone = add("gone.wav", stereo);
  ASSERT_EQ(remove_silence(b, h, 10, true).in_fades, 96u + 192);
  std::vector<std::int16_t> after = samples_of(faded);
  ASSERT_EQ(after.size(), 96u);
  EXPECT_EQ(read_whole_file(faded).size(), 44u + 192);
  for (int i = 0; i < 96; ++i) EXPECT_EQ(after[i], quiet[i] * (96 - i) / 96);
  EXPECT_EQ(read_whole_file(gone).size(), 44u + 384);
  testing::write_file(faded, with_list);
  testing::write_file(gone, stereo);
  recording_host plain;
  remove_silence(b, plain, 10, false);
  const auto empty_header = wav_canonical_header(1, 0);
  EXPECT_EQ(read_whole_file(faded), bytes(empty_header.begin(), empty_header.end()));
  EXPECT_EQ(read_whole_file(gone).size(), 44u);
}

TEST_F(silence_fixture, OddLengthsAndOverlongChunksAreHandledSafely) {
  // An odd audio length: the stray byte belongs to the tail.
  bytes odd = testing::sample_bytes(loud_then_tail(1100, 100));
  odd.push_back(0x7F);
  const fs::path p = add("odd.wav", testing::wav_bytes_raw(1, odd));
  // A data chunk that claims more than the file holds is passed over, unchanged.
  bytes lying = testing::wav_bytes(1, loud_then_tail(1100, 100));
  lying[40] = 0xFF;
  lying[41] = 0xFF;
  const fs::path q = add("lying.wav", lying);
  remove_silence(b, h, 0, false);
  EXPECT_EQ(samples_of(p).size(), 1100u);
  EXPECT_EQ(read_whole_file(q), lying);
  EXPECT_TRUE(h.messages.empty());
}

TEST_F(silence_fixture, AFileThatCannotBeRewrittenKeepsItsContentsAndTheRunGoesOn) {
  // The file's name nearly fills what the file system allows; its replacement fails at the
  // rename.
  const fs::path stuck = dir / (std::string(248, 's') + ".wav");
  set_file_step_hook([&](file_step step, const fs::path& path) {
    return step == file_step::rename && path.filename() == stuck.filename() ? step_outcome::fail
                                                                            : step_outcome::proceed;
  });
  {
    const bytes content = testing::wav_bytes(1, loud_then_tail(1100, 500));
    std::ofstream(stuck, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
  }
  b.set_file(1, next_slot++, path_to_utf8(stuck));
  const fs::path next = add_mono("next.wav", loud_then_tail(1100, 500));
  const bytes before = read_whole_file(stuck);
  h.answers = {true, true};
  const bool applied = silence_apply_command(b, h, 0, false);
  set_file_step_hook({});
  ASSERT_TRUE(applied);
  EXPECT_EQ(read_whole_file(stuck), before);
  EXPECT_EQ(samples_of(next).size(), 1100u);
  ASSERT_EQ(h.messages.size(), 2u);
  EXPECT_EQ(h.messages[0].rfind("[Error] " + path_to_utf8(stuck) + ": ", 0), 0u) << h.messages[0];
  // Only the file that was really trimmed is counted.
  EXPECT_EQ(h.messages[1],
            "[Sample Editor] Null samples: 500 samples = 1 000 bytes.\n"
            "Total samples in fades: 0 samples = 0 bytes.");
  EXPECT_EQ(h.progress_hides, 1);
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_EQ(path_to_utf8(entry.path().filename()).find(".tmp"), std::string::npos);
}

TEST_F(silence_fixture, EitherNoEndsTheCommandBeforeAnyChange) {
  const fs::path p = add_mono("a.wav", loud_then_tail(1100, 500));
  const bytes before = read_whole_file(p);
  for (std::deque<bool> answers : {std::deque<bool>{false}, std::deque<bool>{true, false}}) {
    recording_host no;
    no.answers = answers;
    EXPECT_FALSE(silence_apply_command(b, no, 60, true));
    EXPECT_EQ(read_whole_file(p), before);
    EXPECT_TRUE(no.messages.empty());
    EXPECT_EQ(no.questions.front(),
              "[WARNING!!!] WARNING!!!\nThis function try to remove silence from end of EVERY "
              "ONE WAV file loaded in you multisample list!\nThis will make permanent change in "
              "you WAV files!\n\nAre You Sure to continue?");
  }
  recording_host twice;
  twice.answers = {true, false};
  silence_apply_command(b, twice, 60, true);
  EXPECT_EQ(twice.questions.back(), "[WARNING!!!] WARNING!!!\nAre You REALLY Sure to continue?");
}

}  // namespace
}  // namespace qbank
