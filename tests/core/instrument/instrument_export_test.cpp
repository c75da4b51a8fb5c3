#include "instrument/instrument_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bank/bank.h"
#include "instrument/sfz_reader.h"
#include "platform/paths.h"
#include "support/region_text.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"
#include "ui/null_host.h"

#ifdef QBANK_HAVE_XML_INSTRUMENTS
#include <zip.h>
#endif

namespace qbank {
namespace {

namespace fs = std::filesystem;
using testing::file_text;
using testing::temp_dir;

void set_name(char (&field)[name_size], const std::string& text) {
  std::memset(field, ' ', name_size);
  std::memcpy(field, text.data(), std::min<std::size_t>(text.size(), name_size));
}

// Program 7 "Keys": two velocity layers (the soft one transposed and with a narrow key window),
// a release zone, a legato zone the formats have no place for, and an LFO speed off its reset.
std::unique_ptr<bank> small_program() {
  auto b = std::make_unique<bank>();
  blend& p = b->program(7);
  set_name(p.name, "Keys");
  p.pg_transpose = 24 + 12;
  p.attack = 5;
  p.release = 300;
  p.lfo_speed = static_cast<std::uint8_t>(p.lfo_speed + 7);
  p.zones[0] = {3, 127, 0, 63, 60, 61, 66};
  p.zones[1] = {4, 100, 64, 127, 0, 127, 64};
  p.release_zone = {5, 127, 64};
  p.legato_zone = {6, 127, 64};
  for (int m : {3, 4, 5, 6}) set_name(b->multisample(m).name, "MS" + std::to_string(m));
  for (int key : {60, 61, 62}) b->set_file(3, key, "/lib/soft " + std::to_string(key) + ".wav");
  b->set_file(4, 60, "/lib/loud 60.wav");
  b->set_file(5, 60, "/lib/rel 60.wav");
  return b;
}

std::string text_of(const bank& b, instrument_format f, std::vector<std::string>& notes) {
  const auto sample = [&](int m, int j) -> std::optional<std::string> {
    return "s/" + std::to_string(m) + "-" + std::to_string(j) + ".wav";
  };
  return instrument_text(b, 7, f, sample, f == instrument_format::sfz ? "a b/" : "", notes);
}

TEST(InstrumentExport, GoldenTextInBothFormats) {
  const auto b = small_program();
  const std::string lfo = "lfo_speed " + std::to_string(b->program(7).lfo_speed);
  std::vector<std::string> notes;
  EXPECT_EQ(text_of(*b, instrument_format::sfz, notes),
            "// Program 7 \"Keys\", written by qbank\n"
            "// No SFZ opcode for: " +
                lfo +
                "\n"
                "// No place in SFZ for the legato zone: multisample 6 \"MS6\"\n"
                "<control>\ndefault_path=a b/\n"
                "\n// Zone 1: multisample 3 \"MS3\"\n<group>\n"
                "lovel=0 hivel=63 lokey=60 hikey=61 transpose=14 amplitude=100 ampeg_attack=0.005 "
                "ampeg_release=0.3\n"
                "<region> key=60 pitch_keycenter=60 sample=s/3-60.wav\n"
                "<region> key=61 pitch_keycenter=61 sample=s/3-61.wav\n"
                "\n// Zone 2: multisample 4 \"MS4\"\n<group>\n"
                "lovel=64 hivel=127 lokey=0 hikey=127 transpose=12 amplitude=78.74 "
                "ampeg_attack=0.005 ampeg_release=0.3\n"
                "<region> key=60 pitch_keycenter=60 sample=s/4-60.wav\n"
                "\n// Release zone: multisample 5 \"MS5\"\n<group>\n"
                "trigger=release lovel=0 hivel=127 lokey=0 hikey=127 transpose=12 amplitude=100 "
                "ampeg_attack=0.005 ampeg_release=0.3\n"
                "<region> key=60 pitch_keycenter=60 sample=s/5-60.wav\n");
  EXPECT_EQ(notes, (std::vector<std::string>{
                       "parameters: " + lfo, "legato zone: multisample 6 \"MS6\"",
                       "Zone 1: 1 slots outside its keys 60-61 are not played and not written"}));
  notes.clear();
  EXPECT_EQ(
      text_of(*b, instrument_format::dspreset, notes),
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- Program 7 \"Keys\", written by qbank -->\n"
      "<!-- No DecentSampler attribute for: " +
          lfo +
          " -->\n"
          "<!-- No place in DecentSampler for the legato zone: multisample 6 \"MS6\" -->\n"
          "<DecentSampler minVersion=\"1.0.0\">\n"
          "  <groups attack=\"0.005\" decay=\"0\" sustain=\"1\" release=\"0.3\">\n"
          "    <!-- Zone 1: multisample 3 \"MS3\" -->\n"
          "    <group name=\"Zone 1\" volume=\"1\" groupTuning=\"14\">\n"
          "      <sample path=\"s/3-60.wav\" rootNote=\"60\" loNote=\"60\" hiNote=\"60\" "
          "loVel=\"0\" "
          "hiVel=\"63\"/>\n"
          "      <sample path=\"s/3-61.wav\" rootNote=\"61\" loNote=\"61\" hiNote=\"61\" "
          "loVel=\"0\" "
          "hiVel=\"63\"/>\n"
          "    </group>\n"
          "    <!-- Zone 2: multisample 4 \"MS4\" -->\n"
          "    <group name=\"Zone 2\" volume=\"0.7874\" groupTuning=\"12\">\n"
          "      <sample path=\"s/4-60.wav\" rootNote=\"60\" loNote=\"60\" hiNote=\"60\" "
          "loVel=\"64\" "
          "hiVel=\"127\"/>\n"
          "    </group>\n"
          "    <!-- Release zone: multisample 5 \"MS5\" -->\n"
          "    <group name=\"Release zone\" trigger=\"release\" volume=\"1\" groupTuning=\"12\">\n"
          "      <sample path=\"s/5-60.wav\" rootNote=\"60\" loNote=\"60\" hiNote=\"60\" "
          "loVel=\"0\" "
          "hiVel=\"127\"/>\n"
          "    </group>\n"
          "  </groups>\n</DecentSampler>\n");
}

#ifdef QBANK_HAVE_XML_INSTRUMENTS
constexpr bool with_zip = true;
#else
constexpr bool with_zip = false;
#endif

// A bank whose program 2 plays WAV files with awkward names from a folder of the test.
struct hostile_names : ::testing::Test {
  temp_dir dir;
  bank b;
  null_host h;
  std::vector<std::int16_t> tone = std::vector<std::int16_t>(480, 1000);

  void SetUp() override {
    set_name(b.program(2).name, "Pad/Lead: #1?");
    b.program(2).zones[0].multisample = 9;
    const std::vector<std::string> names = {"C3 soft.wav", "D3 #2 x=1.wav", "Ré4 ünï.wav",
                                            "sub/C3 soft.wav"};
    int key = 60;
    for (const std::string& n : names) {
      const fs::path file = dir / "src" / path_from_utf8(n);
      fs::create_directories(file.parent_path());
      tone[0] = static_cast<std::int16_t>(key);  // each file's audio differs
      testing::write_file(file, testing::wav_bytes(1, tone));
      b.set_file(9, key++, stored_path(file));
    }
  }

  // The regions our own SFZ reader finds in what was written, as "key: sample".
  std::vector<std::string> read_back(const fs::path& sfz) {
    std::vector<std::string> out;
    for (const region& r : read_sfz_file(sfz).regions) {
      std::string rel = path_to_utf8(r.sample.lexically_relative(dir.path()));
      std::replace(rel.begin(), rel.end(), '\\', '/');  // Windows separators, as written
      out.push_back(std::to_string(r.root_key) + ": " + rel);
    }
    return out;
  }
};

TEST_F(hostile_names, PathsReadBackAsWrittenWithOrWithoutCopies) {
  instrument_export_options o;
  instrument_export_report r = export_instruments(b, {2}, dir / "out", o, h);
  const fs::path sfz = dir / "out" / "2 Pad_Lead_ #1_.sfz";
  ASSERT_EQ(r.written, std::vector<fs::path>{sfz});
  EXPECT_EQ(r.renamed, std::vector<std::string>{
                           "program 2: \"Pad/Lead: #1?\" written as \"2 Pad_Lead_ #1_\""});
  // Without copies a name that would start an opcode cannot be written; it is said, not lost.
  EXPECT_EQ(read_back(sfz), (std::vector<std::string>{"60: src/C3 soft.wav", "62: src/Ré4 ünï.wav",
                                                      "63: src/sub/C3 soft.wav"}));
  ASSERT_EQ(r.notes.size(), 1u);
  EXPECT_NE(r.notes[0].find("cannot be written in SFZ"), std::string::npos) << r.notes[0];

  o.copy_audio = true;
  r = export_instruments(b, {2}, dir / "copied", o, h);
  EXPECT_EQ(
      read_back(dir / "copied" / "2 Pad_Lead_ #1_.sfz"),
      (std::vector<std::string>{
          "60: copied/2 Pad_Lead_ #1_/C3 soft.wav", "61: copied/2 Pad_Lead_ #1_/D3 #2 x_1.wav",
          "62: copied/2 Pad_Lead_ #1_/Ré4 ünï.wav", "63: copied/2 Pad_Lead_ #1_/C3 soft (2).wav"}));
  EXPECT_EQ(file_text(dir / "copied" / "2 Pad_Lead_ #1_" / "C3 soft (2).wav"),
            file_text(dir / "src" / "sub" / "C3 soft.wav"));
  for (const fs::path& p : r.written)
    EXPECT_EQ(p.lexically_relative(dir / "copied").begin()->string().substr(0, 2), "2 ") << p;
}

TEST_F(hostile_names, AnEarlierExportIsKeptAndOtherFilesAreNeverReplaced) {
  instrument_export_options o;
  o.copy_audio = true;
  o.format = instrument_format::dspreset;
  const fs::path out = dir / "out";
  export_instruments(b, {2}, out, o, h);
  const fs::path preset = out / "2 Pad_Lead_ #1_.dspreset";
  const std::string first = file_text(preset);
  // Again: everything is there with the same content; nothing is written.
  instrument_export_report r = export_instruments(b, {2}, out, o, h);
  EXPECT_TRUE(r.written.empty());
  EXPECT_EQ(r.unchanged.size(), 5u + with_zip);
  // A file of someone else where an audio copy would go, and an edited program: both new files
  // take numbered names, and the other files stay as they were.
  fs::remove_all(out / "2 Pad_Lead_ #1_");
  fs::create_directories(out / "2 Pad_Lead_ #1_");
  testing::write_file(out / "2 Pad_Lead_ #1_" / "C3 soft.wav", {'m', 'i', 'n', 'e'});
  b.program(2).release = 900;
  r = export_instruments(b, {2}, out, o, h);
  EXPECT_EQ(file_text(preset), first);
  EXPECT_EQ(file_text(out / "2 Pad_Lead_ #1_" / "C3 soft.wav"), "mine");
  EXPECT_NE(file_text(out / "2 Pad_Lead_ #1_ (2).dspreset").find("release=\"0.9\""),
            std::string::npos);
  EXPECT_NE(file_text(out / "2 Pad_Lead_ #1_ (2).dspreset").find("C3 soft (2).wav"),
            std::string::npos);
#ifdef QBANK_HAVE_XML_INSTRUMENTS
  // The library holds the preset and the audio it names, under the names the preset gives.
  int error = 0;
  zip_t* z =
      zip_open(path_to_utf8(out / "2 Pad_Lead_ #1_ (2).dslibrary").c_str(), ZIP_RDONLY, &error);
  ASSERT_NE(z, nullptr);
  std::vector<std::string> names;
  for (zip_int64_t k = 0; k < zip_get_num_entries(z, 0); ++k)
    names.push_back(zip_get_name(z, static_cast<zip_uint64_t>(k), 0));
  zip_discard(z);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "2 Pad_Lead_ #1_.dspreset", "2 Pad_Lead_ #1_/C3 soft (2).wav",
                       "2 Pad_Lead_ #1_/D3 #2 x_1.wav", "2 Pad_Lead_ #1_/Ré4 ünï.wav",
                       "2 Pad_Lead_ #1_/C3 soft (3).wav"}));
#endif
}

}  // namespace
}  // namespace qbank
