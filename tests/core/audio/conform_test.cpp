#include "audio/conform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "audio/conform_codec.h"
#include "audio/conform_manifest.h"
#include "audio/wav_file.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/file_stamp.h"
#include "platform/paths.h"
#include "support/audio_writer.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;
using testing::audio_container;
using testing::audio_encoding;
using testing::bytes;
using testing::recording_host;

// Every regular file below `folder` with its bytes, by path relative to it.
std::map<std::string, bytes> snapshot(const fs::path& folder) {
  std::map<std::string, bytes> files;
  if (!fs::exists(folder)) return files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file())
      files[path_to_utf8(fs::relative(e.path(), folder))] = read_whole_file(e.path());
  return files;
}

std::vector<fs::path> temporaries_below(const fs::path& folder) {
  std::vector<fs::path> found;
  if (!fs::exists(folder)) return found;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (path_to_utf8(e.path().filename()).find(".qbank-tmp-") != std::string::npos)
      found.push_back(e.path());
  return found;
}

double db(double ratio) {
  return 20 * std::log10(ratio);
}

struct conform_fixture : ::testing::Test {
  testing::temp_dir dir;
  fs::path lib = dir / "lib";
  fs::path out = dir / "out";
  bank b;
  recording_host h;

  void SetUp() override { fs::create_directories(lib / "Piano"); }
  void TearDown() override { set_file_step_hook({}); }

  // A 1 kHz sine at half scale, half a second long.
  fs::path source(const std::string& name, audio_container c, audio_encoding e, int channels,
                  int rate, double seconds = 0.5) {
    const fs::path p = lib / path_from_utf8(name);
    testing::write_audio_with_sndfile(p, c, e, channels, rate,
                                      testing::sine_wave(channels, rate, seconds, 1000, 0.5));
    return p;
  }
  void put(int n, int j, const fs::path& p) { b.set_file(n, j, stored_path(p)); }
  fs::path slot_path(int n, int j) const { return native_path(b.file(n, j)); }
  conform_totals run(bool dry_run = false) {
    conform_options o;
    o.into = out;
    o.dry_run = dry_run;
    return conform_bank(b, o, h);
  }
  const std::vector<std::string>& report() const { return h.reports.back().lines; }
};

// ---- one file: every rate and sample format ----

struct format_case {
  const char* name;
  audio_container container;
  audio_encoding encoding;
  int channels;
  int rate;
};

class conform_formats : public conform_fixture,
                        public ::testing::WithParamInterface<format_case> {};

TEST_P(conform_formats, ConvertedToA48kHz16BitFileWithFrequencyAndLevelKept) {
  QBANK_SKIP_WITHOUT_CONFORM();
  const format_case& c = GetParam();
  const fs::path src = source("Piano/C3.src", c.container, c.encoding, c.channels, c.rate, 1.0);
  const bytes original = read_whole_file(src);
  put(1, 60, src);
  ASSERT_NE(check_stored_wav(b.file(1, 60)), wav_check::accepted);

  const conform_totals t = run();
  EXPECT_EQ(t.converted, 1u);
  EXPECT_EQ(t.refused, 0u);
  // The one folder of the library is the common folder: the result goes straight below DIR.
  const fs::path result = out / "C3.wav";
  EXPECT_EQ(slot_path(1, 60), result);
  EXPECT_EQ(check_stored_wav(b.file(1, 60)), wav_check::accepted);
  EXPECT_EQ(read_whole_file(src), original);

  const bytes file = read_whole_file(result);
  const std::vector<std::int16_t> s = testing::canonical_samples(result);
  ASSERT_EQ(s.size() % c.channels, 0u);
  EXPECT_EQ(s.size() / c.channels, 48000u);  // one second at 48 kHz, whatever the source rate
  const auto header = wav_canonical_header(c.channels, static_cast<std::uint32_t>(s.size() * 2));
  EXPECT_TRUE(std::equal(header.begin(), header.end(), file.begin()));
  // Half a second in the middle holds whole cycles of every tone measured.
  for (int ch = 0; ch < c.channels; ++ch) {
    const double level = testing::tone_amplitude(s, c.channels, ch, 12000, 24000, 1000);
    EXPECT_NEAR(db(level / 0.5), 0.0, 0.1) << "channel " << ch;
    // The tone sits at 1000 Hz: a rate error would move it off this bin.
    EXPECT_LT(db(testing::tone_amplitude(s, c.channels, ch, 12000, 24000, 1010) / 0.5), -60.0);
  }
  // Report: the source's format and the result.
  EXPECT_EQ(report().front().rfind("Converted: " + path_to_utf8(src) + " (", 0), 0u);
  EXPECT_NE(report().front().find(") -> " + path_to_utf8(result)), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, conform_formats,
    ::testing::Values(
        format_case{"Wav16Bit44k1Mono", audio_container::wav, audio_encoding::pcm_16, 1, 44100},
        format_case{"Wav24Bit44k1Stereo", audio_container::wav, audio_encoding::pcm_24, 2, 44100},
        format_case{"Wav24Bit96kMono", audio_container::wav, audio_encoding::pcm_24, 1, 96000},
        format_case{"Wav32Bit22k05Stereo", audio_container::wav, audio_encoding::pcm_32, 2, 22050},
        format_case{"WavFloat48kMono", audio_container::wav, audio_encoding::float_32, 1, 48000},
        format_case{"WavDouble88k2Stereo", audio_container::wav, audio_encoding::float_64, 2,
                    88200},
        format_case{"Wav8Bit32kMono", audio_container::wav, audio_encoding::pcm_u8, 1, 32000},
        format_case{"Extensible24Bit48kStereo", audio_container::wav_extensible,
                    audio_encoding::pcm_24, 2, 48000},
        format_case{"Aiff24Bit44k1Stereo", audio_container::aiff, audio_encoding::pcm_24, 2, 44100},
        format_case{"Flac24Bit96kStereo", audio_container::flac, audio_encoding::pcm_24, 2, 96000},
        format_case{"Flac16Bit192kMono", audio_container::flac, audio_encoding::pcm_16, 1, 192000}),
    [](const ::testing::TestParamInfo<format_case>& i) { return std::string(i.param.name); });

TEST_F(conform_fixture, ToneAboveTheNewNyquistLimitLeavesNoAlias) {
  QBANK_SKIP_WITHOUT_CONFORM();
  // At 48 kHz, 30 kHz would fold to 18 kHz; the resampler must remove it, not fold it.
  const fs::path src = lib / "Piano" / "hi.wav";
  testing::write_audio_with_sndfile(src, audio_container::wav, audio_encoding::float_32, 1, 96000,
                                    testing::sine_wave(1, 96000, 1.0, 1000, 0.45, 30000, 0.45));
  put(1, 0, src);
  run();
  const std::vector<std::int16_t> s = testing::canonical_samples(out / "hi.wav");
  ASSERT_EQ(s.size(), 48000u);
  const double tone = testing::tone_amplitude(s, 1, 0, 12000, 24000, 1000);
  EXPECT_NEAR(db(tone / 0.45), 0.0, 0.1);
  for (double f : {18000.0, 17000.0, 19000.0, 6000.0})
    EXPECT_LT(db(testing::tone_amplitude(s, 1, 0, 12000, 24000, f) / tone), -90.0) << f << " Hz";
}

// ---- audio kept exactly ----

TEST_F(conform_fixture, SixteenBit48kFilesRefusedForTheirHeaderKeepTheirSamples) {
  QBANK_SKIP_WITHOUT_CONFORM();
  std::vector<std::int16_t> samples;
  for (int k = 0; k < 2000; ++k) samples.push_back(static_cast<std::int16_t>(k * 37 - 30000));
  const bytes data = testing::sample_bytes(samples);
  // A chunk before "fmt ".
  testing::write_file(
      lib / "list_first.wav",
      testing::riff_file({testing::riff_chunk("LIST", bytes(10, 'x')), testing::format_chunk(2),
                          testing::riff_chunk("data", data)}));
  // Trailing bytes after the RIFF chunk.
  bytes trailing = testing::wav_bytes(1, samples);
  trailing.insert(trailing.end(), {1, 2, 3});
  testing::write_file(lib / "trailing.wav", trailing);
  // An extensible format chunk (libsndfile writes one for WAVEX).
  std::vector<double> as_double;
  for (std::int16_t v : samples) as_double.push_back(v / 32768.0);
  testing::write_audio_with_sndfile(lib / "extensible.wav", audio_container::wav_extensible,
                                    audio_encoding::pcm_16, 1, 48000, as_double);
  // FLAC is lossless: 16-bit at 48 kHz comes back sample for sample too.
  testing::write_audio_with_sndfile(lib / "lossless.flac", audio_container::flac,
                                    audio_encoding::pcm_16, 2, 48000, as_double);
  const char* names[] = {"list_first.wav", "trailing.wav", "extensible.wav", "lossless.flac"};
  for (int k = 0; k < 4; ++k) {
    put(2, k, lib / names[k]);
    EXPECT_EQ(check_stored_wav(b.file(2, k)), wav_check::no_wav) << names[k];
  }
  EXPECT_EQ(run().converted, 4u);
  for (int k = 0; k < 4; ++k) {
    const int channels = k == 0 || k == 3 ? 2 : 1;
    const bytes file = read_whole_file(slot_path(2, k));
    const auto header = wav_canonical_header(channels, static_cast<std::uint32_t>(data.size()));
    ASSERT_EQ(file.size(), header.size() + data.size()) << names[k];
    EXPECT_TRUE(std::equal(header.begin(), header.end(), file.begin())) << names[k];
    EXPECT_TRUE(std::equal(data.begin(), data.end(), file.begin() + 44)) << names[k];
  }
}

// ---- a bank: converted, kept and refused ----

TEST_F(conform_fixture, EachFileConvertedKeptOrRefusedAndTheSlotsFollow) {
  QBANK_SKIP_WITHOUT_CONFORM();
  const fs::path a =
      source("Piano/A 060.aif", audio_container::aiff, audio_encoding::pcm_24, 2, 44100);
  const fs::path good = lib / "Piano" / "good.wav";
  testing::write_file(good, testing::wav_bytes(1, std::vector<std::int16_t>(100, 7)));
  const fs::path missing = lib / "Piano" / "missing.wav";
  const fs::path four = lib / "four.wav";
  testing::write_audio_with_sndfile(four, audio_container::wav, audio_encoding::pcm_16, 4, 48000,
                                    testing::sine_wave(4, 48000, 0.1, 1000, 0.5));
  const fs::path text = lib / "notes.wav";
  testing::write_file(text, bytes{'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't'});
  // The same source in two slots of two multisamples is converted once.
  put(1, 60, a);
  put(7, 10, a);
  put(1, 61, good);
  put(1, 62, missing);
  put(1, 63, four);
  put(1, 64, text);
  const auto before = snapshot(lib);

  const conform_totals t = run();
  EXPECT_EQ(t.converted, 1u);
  EXPECT_EQ(t.kept, 2u);
  EXPECT_EQ(t.refused, 2u);
  EXPECT_TRUE(t.paths_changed);
  const fs::path result = out / "Piano" / "A 060.wav";
  EXPECT_EQ(slot_path(1, 60), result);
  EXPECT_EQ(slot_path(7, 10), result);
  EXPECT_EQ(slot_path(1, 61), good);
  EXPECT_EQ(slot_path(1, 62), missing);
  EXPECT_EQ(slot_path(1, 63), four);
  EXPECT_EQ(slot_path(1, 64), text);
  EXPECT_EQ(snapshot(lib), before);  // originals never change

  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Conform WAV Files");
  const std::vector<std::string> expected = {
      "Converted: " + path_to_utf8(a) + " (AIFF 24-bit 44100 Hz stereo) -> " + path_to_utf8(result),
      "Kept: " + path_to_utf8(good) + " (the instrument takes it as it is)",
      "Kept: " + path_to_utf8(missing) + " (missing)",
      "Refused: " + path_to_utf8(four) + " (4 channels; the instrument plays mono or stereo)",
      "Refused: " + path_to_utf8(text) + " (cannot be decoded: Format not recognised.)",
      "Totals: 1 converted, 0 converted earlier, 2 kept, 2 refused"};
  EXPECT_EQ(report(), expected);
  EXPECT_EQ(h.progress_shows, h.progress_hides);
}

TEST_F(conform_fixture, TwoSpellingsOfOneSourceGiveOneResult) {
  QBANK_SKIP_WITHOUT_CONFORM();
  const fs::path a = source("Piano/a.aif", audio_container::aiff, audio_encoding::pcm_24, 1, 44100);
  put(1, 0, a);
  put(1, 1, lib / "Piano" / "." / "a.aif");
  const conform_totals t = run();
  EXPECT_EQ(t.converted, 2u);  // two paths of the bank, one conversion
  EXPECT_EQ(slot_path(1, 0), out / "a.wav");
  EXPECT_EQ(slot_path(1, 1), out / "a.wav");
  EXPECT_FALSE(fs::exists(out / "a (2).wav"));
  EXPECT_NE(report()[1].find("; the same file as " + path_to_utf8(a)), std::string::npos);
}

TEST_F(conform_fixture, DryRunReportsTheSameAndWritesNothing) {
  QBANK_SKIP_WITHOUT_CONFORM();
  const fs::path a =
      source("Piano/a.flac", audio_container::flac, audio_encoding::pcm_24, 1, 96000);
  const fs::path t = lib / "t.wav";
  testing::write_file(t, bytes{'x'});
  put(1, 0, a);
  put(1, 1, t);
  const conform_totals dry = run(true);
  EXPECT_FALSE(fs::exists(out));  // not even the folder
  EXPECT_FALSE(dry.paths_changed);
  EXPECT_EQ(slot_path(1, 0), a);
  std::vector<std::string> lines = report();
  ASSERT_EQ(lines.back(), "Dry run: nothing was written.");
  lines.pop_back();

  const conform_totals real = run();
  EXPECT_EQ(report(), lines);
  EXPECT_EQ(real.converted, dry.converted);
  EXPECT_EQ(real.refused, dry.refused);
}

TEST_F(conform_fixture, SecondRunFindsNothingToDoAndWritesNothing) {
  QBANK_SKIP_WITHOUT_CONFORM();
  put(1, 0, source("Piano/a.wav", audio_container::wav, audio_encoding::pcm_24, 2, 44100));
  put(1, 1, source("b.aif", audio_container::aiff, audio_encoding::pcm_16, 1, 22050));
  run();
  const auto written = snapshot(out);
  const auto stamp = stamp_of(out / ".qbank-conform");
  ASSERT_TRUE(stamp);

  const conform_totals again = run();
  EXPECT_EQ(again.converted, 0u);
  EXPECT_EQ(again.kept, 2u);
  EXPECT_FALSE(again.paths_changed);
  EXPECT_EQ(snapshot(out), written);
  EXPECT_EQ(stamp_of(out / ".qbank-conform"), stamp);
}

TEST_F(conform_fixture, RerunFromTheOriginalBankTakesUpEarlierResults) {
  QBANK_SKIP_WITHOUT_CONFORM();
  const fs::path a = source("Piano/a.wav", audio_container::wav, audio_encoding::pcm_24, 2, 44100);
  put(1, 0, a);
  run();
  const fs::path result = out / "a.wav";
  const auto first = stamp_of(result);

  // The original bank again: the earlier result is this source's, so it is used, not rewritten.
  put(1, 0, a);
  const conform_totals t = run();
  EXPECT_EQ(t.converted_earlier, 1u);
  EXPECT_EQ(t.converted, 0u);
  EXPECT_EQ(slot_path(1, 0), result);
  EXPECT_EQ(stamp_of(result), first);
  EXPECT_EQ(report().front(),
            "Converted earlier: " + path_to_utf8(a) + " -> " + path_to_utf8(result));

  // A source changed since is converted again over its own earlier result.
  testing::write_audio_with_sndfile(a, audio_container::wav, audio_encoding::pcm_24, 1, 44100,
                                    testing::sine_wave(1, 44100, 0.25, 500, 0.5));
  put(1, 0, a);
  EXPECT_EQ(run().converted, 1u);
  EXPECT_EQ(slot_path(1, 0), result);
  EXPECT_EQ(testing::canonical_samples(result).size(), 12000u);
}

TEST_F(conform_fixture, NameClashesGetNumberedNamesAndOtherFilesStay) {
  QBANK_SKIP_WITHOUT_CONFORM();
  // Somebody's own file where the result would go, and two sources with one result name.
  fs::create_directories(out);
  const bytes theirs = testing::wav_bytes(1, std::vector<std::int16_t>(10, 1));
  testing::write_file(out / "C3.wav", theirs);
  const fs::path aif =
      source("Piano/C3.aif", audio_container::aiff, audio_encoding::pcm_24, 1, 44100);
  const fs::path flac =
      source("Piano/C3.flac", audio_container::flac, audio_encoding::pcm_24, 1, 44100);
  put(1, 0, aif);
  put(1, 1, flac);
  run();
  EXPECT_EQ(read_whole_file(out / "C3.wav"), theirs);
  EXPECT_EQ(slot_path(1, 0), out / "C3 (2).wav");
  EXPECT_EQ(slot_path(1, 1), out / "C3 (3).wav");
  EXPECT_NE(report()[0].find("; the name C3.wav is taken by another file"), std::string::npos);

  // A rerun knows its own numbered results, and still leaves the other file alone.
  put(1, 0, aif);
  put(1, 1, flac);
  const conform_totals t = run();
  EXPECT_EQ(t.converted_earlier, 2u);
  EXPECT_EQ(slot_path(1, 0), out / "C3 (2).wav");
  EXPECT_EQ(slot_path(1, 1), out / "C3 (3).wav");
  EXPECT_EQ(read_whole_file(out / "C3.wav"), theirs);
}

TEST_F(conform_fixture, ASourceInsideTheFolderIsNeverItsOwnResult) {
  QBANK_SKIP_WITHOUT_CONFORM();
  // Conforming into the library itself: the result would have the source's own name.
  const fs::path a = source("Piano/a.wav", audio_container::wav, audio_encoding::pcm_24, 1, 44100);
  const bytes original = read_whole_file(a);
  put(1, 0, a);
  conform_options o;
  o.into = lib / "Piano";
  conform_bank(b, o, h);
  EXPECT_EQ(read_whole_file(a), original);
  EXPECT_EQ(slot_path(1, 0), lib / "Piano" / "a (2).wav");
}

TEST_F(conform_fixture, ManifestNamesSurviveDamageAndOddCharacters) {
  conform_manifest m;
  m.put({"Piano/a\tb%.wav", "/lib/x\ny.wav", {12, -5}, 44});
  m.put({"z.wav", "/lib/z.wav", {1, 2}, 3});
  std::string text = m.text();
  text += "broken line\nq.wav\t/s\tnot-a-number\t1\t2\n";
  const conform_manifest back = conform_manifest::parse(text);
  const manifest_entry* e = back.find("Piano/a\tb%.wav");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->source, "/lib/x\ny.wav");
  EXPECT_EQ(e->source_stamp, (file_stamp{12, -5}));
  EXPECT_EQ(e->result_size, 44u);
  EXPECT_NE(back.find("z.wav"), nullptr);
  EXPECT_EQ(back.find("q.wav"), nullptr);
  EXPECT_EQ(back.text(), m.text());
}

// ---- a run stopped at any step ----

TEST_F(conform_fixture, RunKilledAtEachFileStepLeavesEverythingWholeAndIsTakenUp) {
  QBANK_SKIP_WITHOUT_CONFORM();
  const fs::path a = source("Piano/a.wav", audio_container::wav, audio_encoding::pcm_24, 2, 44100);
  const fs::path c =
      source("Piano/c.flac", audio_container::flac, audio_encoding::pcm_16, 1, 96000);
  const fs::path d = source("d.aif", audio_container::aiff, audio_encoding::pcm_24, 1, 48000);
  const auto originals = snapshot(lib);
  auto fill = [&] {
    b.reset();
    put(1, 0, a);
    put(1, 1, c);
    put(2, 5, d);
  };
  // A clean run gives the reference results and counts the steps.
  int steps = 0;
  set_file_step_hook([&](file_step, const fs::path&) {
    ++steps;
    return step_outcome::proceed;
  });
  fill();
  run();
  const auto reference = snapshot(out);
  set_file_step_hook({});
  ASSERT_GE(steps, 8);

  for (int kill_at = 0; kill_at < steps; ++kill_at) {
    SCOPED_TRACE("killed at step " + std::to_string(kill_at));
    fs::remove_all(out);
    int step = 0;
    set_file_step_hook([&](file_step, const fs::path&) {
      return step++ == kill_at ? step_outcome::kill : step_outcome::proceed;
    });
    fill();
    EXPECT_THROW(run(), simulated_kill);
    set_file_step_hook({});
    EXPECT_EQ(snapshot(lib), originals);
    // Whatever was put in place is whole.
    for (const auto& [name, content] : snapshot(out)) {
      if (name.find(".qbank-tmp-") != std::string::npos || name == ".qbank-conform") continue;
      EXPECT_EQ(content, reference.at(name)) << name;
    }
    fill();
    const conform_totals t = run();
    EXPECT_EQ(t.refused, 0u);
    EXPECT_EQ(t.converted + t.converted_earlier, 3u);
    EXPECT_TRUE(temporaries_below(out).empty());
    EXPECT_EQ(snapshot(out), reference);
  }
}

// ---- without the decoder ----

TEST_F(conform_fixture, WithoutTheDecoderConformSaysSoAndChangesNothing) {
  if (conform_available()) GTEST_SKIP() << "this build has conform";
  b.set_file(1, 0, "x.aif");
  try {
    run();
    FAIL() << "no error";
  } catch (const command_error& e) {
    EXPECT_EQ(std::string(e.what()), conform_unavailable_text);
  }
  EXPECT_EQ(b.file(1, 0), "x.aif");
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace qbank
