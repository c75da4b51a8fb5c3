// Importing instruments into a program: the zones and multisamples made, the audio written for
// each key (its pitch measured from the files), the files used again, and failures that leave
// the bank and the folder as they were.
#include "instrument/instrument_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "instrument/instrument_file.h"
#include "platform/paths.h"
#include "support/audio_writer.h"
#include "support/recording_host.h"
#include "support/sf2_writer.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;
using testing::audio_container;
using testing::audio_encoding;

// The frequency of the tone in one channel, from its rising zero crossings (placed between
// samples by linear interpolation), over the middle of the audio.
double measured_frequency(const std::vector<std::int16_t>& samples, int channels, int channel) {
  const std::size_t frames = samples.size() / channels;
  const auto at = [&](std::size_t f) {
    return static_cast<double>(samples[f * channels + channel]);
  };
  double first = -1, last = -1;
  int crossings = 0;
  for (std::size_t f = frames / 10; f + 1 < frames - frames / 10; ++f)
    if (at(f) < 0 && at(f + 1) >= 0) {
      const double t = static_cast<double>(f) + at(f) / (at(f) - at(f + 1));
      if (first < 0) first = t;
      last = t;
      ++crossings;
    }
  return crossings > 1 ? (crossings - 1) * 48000.0 / (last - first) : 0;
}

double cents(double measured, double expected) {
  return 1200.0 * std::log2(measured / expected);
}

struct InstrumentImport : ::testing::Test {
  testing::temp_dir dir;
  fs::path into = dir / "out";
  bank b;
  testing::recording_host h;

  void SetUp() override { QBANK_SKIP_WITHOUT_CONFORM(); }

  void write_sine(const std::string& name, int channels, audio_encoding encoding, int rate,
                  double frequency, double amplitude = 0.5, double seconds = 0.5) {
    testing::write_audio_with_sndfile(
        dir / name, audio_container::wav, encoding, channels, rate,
        testing::sine_wave(channels, rate, seconds, frequency, amplitude));
  }
  instrument sfz(const std::string& text) {
    testing::write_file(dir / "Keys.sfz", testing::bytes(text.begin(), text.end()));
    return read_instrument_file(dir / "Keys.sfz");
  }
  import_totals run(const instrument& inst, fill_mode fill = fill_mode::render, int program = 5) {
    import_options o;
    o.program = program;
    o.into = into;
    o.fill = fill;
    o.file = dir / "Keys.sfz";
    return import_instrument(b, inst, o, h);
  }
  // The files below DIR, relative to it.
  std::set<std::string> files_below() {
    std::set<std::string> names;
    if (!fs::exists(into)) return names;
    for (const auto& e : fs::recursive_directory_iterator(into))
      names.insert(path_to_utf8(fs::relative(e.path(), into)));
    return names;
  }
  std::string script_text() {
    testing::recording_host quiet;
    save_script(b, dir / "bank.qbs", quiet);
    return testing::file_text(dir / "bank.qbs");
  }
  const std::vector<std::string>& report() { return h.reports.back().lines; }
};

// A region over an octave below and above A4, as several fills and sources render it: each
// filled key's file holds the tone at the pitch that key asks for, within a cent.
TEST_F(InstrumentImport, EveryFilledKeyPlaysInTune) {
  struct row {
    const char* opcodes;
    fill_mode fill;
    bool stereo_24_bit;
    double semitone_shift;  // transpose and tune
    bool follows_key;
    int filled, distinct_files;
  };
  const row rows[] = {
      {"", fill_mode::render, false, 0, true, 12, 12},
      {"", fill_mode::render, true, 0, true, 12, 12},
      {"transpose=2 tune=-30", fill_mode::render, false, 1.7, true, 12, 12},
      {"pitch_keytrack=0", fill_mode::render, false, 0, false, 12, 1},
      {"", fill_mode::nearest, false, 0, false, 12, 1},
      {"", fill_mode::root, false, 0, true, 1, 1},
  };
  write_sine("mono.wav", 1, audio_encoding::pcm_16, 44100, 440);
  write_sine("stereo.wav", 2, audio_encoding::pcm_24, 44100, 440);
  for (const row& r : rows) {
    SCOPED_TRACE(std::string(r.opcodes) + (r.stereo_24_bit ? " stereo" : "") + " fill " +
                 std::to_string(static_cast<int>(r.fill)));
    fs::remove_all(into);
    b.reset();
    run(sfz(std::string("<region> sample=") + (r.stereo_24_bit ? "stereo.wav" : "mono.wav") +
            " lokey=63 hikey=74 pitch_keycenter=69 " + r.opcodes),
        r.fill);
    const blend& p = b.program(5);
    ASSERT_EQ(p.zones[0].multisample, 1);
    EXPECT_EQ(p.zones[0].key_low, 63);
    EXPECT_EQ(p.zones[0].key_high, 74);
    std::set<std::string> paths;
    int filled = 0;
    for (int n = 0; n < slots_per_multisample; ++n) {
      if (b.slot_is_empty(1, n)) continue;
      ++filled;
      const fs::path file = native_path(b.file(1, n));
      paths.insert(path_to_utf8(file));
      EXPECT_EQ(file.parent_path(), into / "Keys" / "Layer 1");
      const std::vector<std::int16_t> samples = testing::canonical_samples(file);
      const int channels = r.stereo_24_bit ? 2 : 1;
      const double expected =
          440.0 * std::pow(2.0, ((r.follows_key ? n - 69 : 0) + r.semitone_shift) / 12.0);
      for (int c = 0; c < channels; ++c)
        EXPECT_NEAR(cents(measured_frequency(samples, channels, c), expected), 0.0, 1.0)
            << "key " << n;
    }
    EXPECT_EQ(filled, r.filled);
    EXPECT_EQ(static_cast<int>(paths.size()), r.distinct_files);
    if (r.follows_key && r.fill == fill_mode::render)
      EXPECT_TRUE(paths.count(path_to_utf8(into / "Keys" / "Layer 1" / "Keys 074.wav")));
  }
}

// Velocity layers become basic zones in ascending order, each with its own multisample from the
// first free one; more than 8 are merged; release regions get the release zone.
TEST_F(InstrumentImport, LayersBecomeZonesAndMultisamples) {
  struct row {
    std::vector<std::pair<int, int>> windows;
    bool with_release;
    std::vector<std::pair<int, int>> zones;
    int merges;
  };
  const row rows[] = {
      {{{64, 127}, {0, 63}}, false, {{0, 63}, {64, 127}}, 0},
      {{{0, 127}}, true, {{0, 127}}, 0},
      {{{0, 9},
        {10, 19},
        {20, 29},
        {30, 39},
        {40, 49},
        {50, 59},
        {60, 61},
        {62, 63},
        {64, 127},
        {0, 127}},
       false,
       {{0, 9}, {0, 127}, {10, 19}, {20, 29}, {30, 39}, {40, 49}, {50, 63}, {64, 127}},
       2},
  };
  write_sine("s.wav", 1, audio_encoding::pcm_16, 48000, 1000, 0.5, 0.01);
  for (const row& r : rows) {
    SCOPED_TRACE(r.windows.size());
    fs::remove_all(into);
    b.reset();
    b.set_file(1, 0, "C:\\taken.wav");  // multisample 1 is not free
    std::string text;
    for (const auto& [lo, hi] : r.windows)
      text += "<region> sample=s.wav key=60 lovel=" + std::to_string(lo) +
              " hivel=" + std::to_string(hi) + "\n";
    if (r.with_release) text += "<region> sample=s.wav lokey=55 hikey=65 trigger=release\n";
    run(sfz(text), fill_mode::root);
    const blend& p = b.program(5);
    const std::size_t layers = r.zones.size() + (r.with_release ? 1 : 0);
    for (std::size_t k = 0; k < 8; ++k) {
      if (k >= r.zones.size()) {
        EXPECT_EQ(p.zones[k].multisample, 0);
        continue;
      }
      EXPECT_EQ(p.zones[k].multisample, k + 2);
      EXPECT_EQ(p.zones[k].velo_low, r.zones[k].first);
      EXPECT_EQ(p.zones[k].velo_high, r.zones[k].second);
      EXPECT_EQ(b.multisample_name_text(static_cast<int>(k + 2)),
                layers > 1 ? "Keys " + std::to_string(k + 1) : std::string("Keys"));
      EXPECT_FALSE(b.slot_is_empty(static_cast<int>(k + 2), 60));
    }
    int merges = 0;
    for (const std::string& line : report()) merges += line.rfind("Merged: ", 0) == 0;
    EXPECT_EQ(merges, r.merges);
    if (r.with_release) {
      const int m = p.release_zone.multisample;
      EXPECT_EQ(m, static_cast<int>(r.zones.size()) + 2);
      EXPECT_EQ(b.multisample_name_text(m), "Keys Rel");
      EXPECT_FALSE(b.slot_is_empty(m, 60));  // the root key of a region without one set
    } else {
      EXPECT_EQ(p.release_zone.multisample, 0);
    }
  }
}

// Gain in dB is applied; a gain that would clip is lowered to just below full scale and said.
TEST_F(InstrumentImport, GainIsAppliedAndClippingAvoided) {
  struct row {
    double volume, peak_low, peak_high;
    bool reported;
  };
  const row rows[] = {{0, 0.49, 0.51, false}, {-6, 0.24, 0.26, false}, {12, 0.99, 1.0, true}};
  write_sine("s.wav", 1, audio_encoding::pcm_16, 48000, 1000, 0.5);
  for (const row& r : rows) {
    SCOPED_TRACE(r.volume);
    fs::remove_all(into);
    b.reset();
    run(sfz("<region> sample=s.wav key=60 volume=" + std::to_string(r.volume)));
    int peak = 0;
    for (std::int16_t s : testing::canonical_samples(native_path(b.file(1, 60))))
      peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GE(peak / 32768.0, r.peak_low);
    EXPECT_LE(peak / 32768.0, r.peak_high);
    EXPECT_LT(peak, 32767);
    bool said = false;
    for (const std::string& line : report()) said |= line.find("would clip") != std::string::npos;
    EXPECT_EQ(said, r.reported);
  }
}

// A sample that cannot be read stops the import naming the region and the file; the bank is as
// it was and no file of the run is left below DIR, also when others were written before it.
TEST_F(InstrumentImport, AFailedImportChangesNothing) {
  write_sine("s.wav", 1, audio_encoding::pcm_16, 48000, 1000, 0.5, 0.05);
  testing::write_file(dir / "text.wav", testing::bytes{'h', 'i'});
  struct row {
    const char* text;
    const char* message;
  };
  const row rows[] = {
      {"<region> sample=s.wav lokey=60 hikey=62\n<region> sample=gone.wav key=70\n",
       "gone.wav\" cannot be opened"},
      {"<region> sample=s.wav lokey=60 hikey=62\n<region> sample=text.wav key=70\n",
       "cannot be decoded"},
      {"<region> sample=s.wav key=60 offset=99999999\n", "holds no audio"},
  };
  b.set_file(7, 3, "C:\\kept.wav");
  const std::string before = script_text();
  fs::create_directories(into / "mine");
  for (const row& r : rows) {
    SCOPED_TRACE(r.text);
    try {
      run(sfz(r.text));
      ADD_FAILURE() << "imported";
    } catch (const instrument_error& e) {
      EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos) << e.what();
    }
    EXPECT_EQ(script_text(), before);
    EXPECT_EQ(files_below(), std::set<std::string>{"mine"});
  }
}

// A second import of the same instrument writes nothing new: its files and multisamples are
// used again. A file of the same name holding other audio is never replaced.
TEST_F(InstrumentImport, ASecondImportUsesWhatIsThere) {
  write_sine("s.wav", 1, audio_encoding::pcm_16, 44100, 440, 0.5, 0.05);
  const instrument inst = sfz("<region> sample=s.wav lokey=60 hikey=63 pitch_keycenter=61\n");
  fs::create_directories(into / "Keys" / "Layer 1");
  testing::write_file(into / "Keys" / "Layer 1" / "Keys 062.wav",
                      testing::bytes{'m', 'i', 'n', 'e'});
  const import_totals first = run(inst);
  EXPECT_EQ(first.files_written, 4u);
  EXPECT_EQ(testing::file_text(into / "Keys" / "Layer 1" / "Keys 062.wav"), "mine");
  EXPECT_EQ(native_path(b.file(1, 62)), into / "Keys" / "Layer 1" / "Keys 062 (2).wav");
  const std::set<std::string> files = files_below();
  const std::string after_first = script_text();

  const import_totals second = run(inst);
  EXPECT_EQ(second.files_written, 0u);
  EXPECT_EQ(second.files_reused, 4u);
  EXPECT_EQ(files_below(), files);
  EXPECT_EQ(script_text(), after_first);  // the same multisample, not a copy in the next free one
}

// SoundFont audio is read from the file: 16-bit words as they are, sm24 low bytes, and linked
// stereo pairs with each half in its channel.
TEST_F(InstrumentImport, SoundFontAudioIsDecoded) {
  testing::sf2_contents c;
  c.frames = 400;
  for (int k = 0; k < 400; ++k)
    c.audio.push_back((k < 200 ? k * 100 : -(k - 200) * 50) * 256 + k % 7);
  c.samples = {{"L", 0, 100, 48000, 60, 0, 1, 4},
               {"R", 200, 300, 48000, 60, 0, 0, 2},
               {"M", 300, 400, 48000, 72}};
  c.instruments = {{"Inst",
                    {{{{43, testing::sf2_range(60, 60)}}, 0},
                     {{{43, testing::sf2_range(60, 60)}}, 1},
                     {{{43, testing::sf2_range(72, 72)}}, 2}}}};
  c.presets = {{"Duo", 0, 0, {{{}, 0}}}};
  for (bool sm24 : {false, true}) {
    SCOPED_TRACE(sm24);
    c.sm24 = sm24;
    fs::remove_all(into);
    b.reset();
    testing::write_file(dir / "Keys.sfz", testing::sf2_bytes(c));  // the name is the import's
    fs::rename(dir / "Keys.sfz", dir / "Duo.sf2");
    import_options o;
    o.program = 5;
    o.into = into;
    o.file = dir / "Duo.sf2";
    import_instrument(b, read_instrument_file(o.file), o, h);
    const std::vector<std::int16_t> pair = testing::canonical_samples(native_path(b.file(1, 60)));
    const std::vector<std::int16_t> mono = testing::canonical_samples(native_path(b.file(1, 72)));
    ASSERT_EQ(pair.size(), 200u);
    ASSERT_EQ(mono.size(), 100u);
    for (int k = 0; k < 100; ++k) {
      const double tolerance = sm24 ? 1.0 : 0.0;  // 24 bits are dithered to 16
      EXPECT_NEAR(pair[2 * k], c.audio[k] >> 8, tolerance) << k;
      EXPECT_NEAR(pair[2 * k + 1], c.audio[200 + k] >> 8, tolerance) << k;
      EXPECT_NEAR(mono[k], c.audio[300 + k] >> 8, tolerance) << k;
    }
  }
}

// The instrument's name becomes one folder and file name below DIR that the code page holds,
// whatever the file calls it.
TEST_F(InstrumentImport, TheNameStaysBelowTheFolder) {
  struct row {
    const char* preset;
    const char* folder;
  };
  const row rows[] = {
      {"../Up:1.5", ".._Up_1.5"}, {"..", "Instrument"}, {"Str\\ings*", "Str_ings_"}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.preset);
    testing::sf2_contents c;
    c.samples = {{"M", 0, 100, 48000, 60}};
    c.instruments = {{"Inst", {{{}, 0}}}};
    c.presets = {{r.preset, 0, 0, {{{}, 0}}}};
    testing::write_file(dir / "x.sf2", testing::sf2_bytes(c));
    b.reset();
    import_options o;
    o.into = into;
    o.file = dir / "x.sf2";
    o.fill = fill_mode::root;
    import_instrument(b, read_instrument_file(o.file), o, h);
    EXPECT_EQ(native_path(b.file(1, 60)).parent_path(), into / r.folder / "Layer 1");
  }
}

}  // namespace
}  // namespace qbank
