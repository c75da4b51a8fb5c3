#include "instrument/sfz_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "support/region_text.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;
using files = std::map<std::string, std::string>;  // name below "lib" -> text; "i.sfz" is read

fs::path lib_path(const std::string& name) {
  return (fs::path("lib") / name).lexically_normal();
}

// The files as the reader's includes see them.
struct memory_files {
  files texts;
  std::unique_ptr<byte_source> open(const fs::path& p) {
    for (const auto& [name, text] : texts)
      if (lib_path(name) == p) return std::make_unique<memory_source>(text.data(), text.size());
    throw file_error(p, "No such file or directory");
  }
};

instrument read(const files& f) {
  memory_files m{f};
  const std::string& root = m.texts.at("i.sfz");
  memory_source src(root.data(), root.size());
  return read_sfz(src, lib_path("i.sfz"), [&m](const fs::path& p) { return m.open(p); });
}

// A region in a line: its sample below "lib" and every field that differs from the defaults.
std::string describe(const region& r) {
  std::string path = path_to_utf8(r.sample.lexically_relative("lib"));
  std::replace(path.begin(), path.end(), '\\', '/');
  return path + " " + testing::playing_fields(r);
}

struct sfz_case {
  const char* name;
  files input;
  std::vector<std::string> regions;
  std::vector<std::string> not_carried = {};
};

class SfzReader : public ::testing::TestWithParam<sfz_case> {};

TEST_P(SfzReader, ReadsTheRegions) {
  const sfz_case& c = GetParam();
  const instrument inst = read(c.input);
  EXPECT_EQ(inst.name, "i");
  std::vector<std::string> got;
  for (const region& r : inst.regions) got.push_back(describe(r));
  EXPECT_EQ(got, c.regions);
  EXPECT_EQ(inst.not_carried_over, c.not_carried);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SfzReader,
    ::testing::Values(
        sfz_case{"LevelsInheritAndANewHeaderResetsTheLevelsBelow",
                 {{"i.sfz",
                   "<global> volume=-6 ampeg_release=0.5\n"
                   "<master> lovel=1 hivel=64 transpose=12\n"
                   "<group> tune=10 lokey=10 hikey=20\n"
                   "<region> sample=a.wav hikey=15 pitch_keycenter=12\n"
                   "<region> sample=b.wav volume=-3\n"
                   "<group>\n"
                   "<region> sample=c.wav\n"
                   "<master>\n"
                   "<region> sample=d.wav\n"
                   "<global>\n"
                   "<region> sample=e.wav\n"}},
                 {"a.wav 10-15 root 12 vel 1-64 transpose 12 tune 10 dB -6 r 0.5",
                  "b.wav 10-20 root 60 vel 1-64 transpose 12 tune 10 dB -3 r 0.5",
                  "c.wav 0-127 root 60 vel 1-64 transpose 12 dB -6 r 0.5",
                  "d.wav 0-127 root 60 dB -6 r 0.5", "e.wav 0-127 root 60"}},
        sfz_case{
            "DefinesIncludesAndDefaultPathWithSpacesAndBackslashes",
            {{"i.sfz",
              "#define $LO 40\n"
              "#define $DIR Grand Piano\n"
              "<control> default_path=$DIR\\Samples/\n"
              "#include \"parts\\layer.sfz\"\n"
              "<region> sample=..\\Other Kit\\snare hit.wav lokey=$LO hikey=$LO\n"},
             {"parts/layer.sfz", "#include \"keys.sfz\"\n<region> sample=Soft A 1.wav key=$LO\n"},
             {"parts/keys.sfz", "<group> lovel=5\n"}},
            {"Grand Piano/Samples/Soft A 1.wav 40-40 root 40 vel 5-127",
             "Grand Piano/Other Kit/snare hit.wav 40-40 root 60 vel 5-127"}},
        sfz_case{"NoteNamesWithSharpsFlatsAndOffsets",
                 {{"i.sfz",
                   "<region> sample=a.wav lokey=c#4 hikey=Eb4 pitch_keycenter=d4\n"
                   "<region> sample=b.wav lokey=c-1 hikey=g9 pitch_keycenter=bb3\n"
                   "<control> note_offset=2 octave_offset=-1\n"
                   "<region> sample=c.wav key=c4\n"
                   "<region> sample=d.wav lokey=0 hikey=127\n"}},
                 {"a.wav 61-63 root 62", "b.wav 0-127 root 58", "c.wav 50-50 root 50",
                  "d.wav 0-117 root 60"}},
        sfz_case{"PlayingOpcodesCommentsAndValuesRunningToTheNextOpcode",
                 {{"i.sfz",
                   "// a comment <region> sample=no.wav\n"
                   "<region> /* one\n"
                   "  two */ sample=My Kick  01.wav   offset=100 end=1999 // the end\n"
                   "<region>sample=r.wav trigger=release ampeg_attack=0.01 ampeg_release=2"
                   "<region> sample=f.wav pitch_keytrack=0 tune=-12.5 transpose=-2\r\n"
                   "<region> sample=t.wav trigger=attack\r"}},
                 {"My Kick  01.wav 0-127 root 60 offset 100 end 2000",
                  "r.wav 0-127 root 60 release a 0.01 r 2",
                  "f.wav 0-127 root 60 fixed transpose -2 tune -12.5", "t.wav 0-127 root 60"}},
        sfz_case{
            "WhatHasNoPlaceIsListedOncePerOpcodeWithItsCount",
            {{"i.sfz",
              "<control> set_cc1=10\n"
              "<global> loop_mode=loop_continuous\n"
              "<region> sample=a.wav cutoff=500 loop_mode=one_shot\n"
              "<region> lokey=1\n"
              "<region> sample=*sine\n"
              "<region> sample=m.wav end=-1\n"
              "<region> sample=h.wav lokey=70 hikey=60 trigger=first\n"
              "<effect> type=reverb\n<effect>\n"}},
            {"a.wav 0-127 root 60"},
            {"set_cc1 (once)", "loop_mode (2 times)", "cutoff (once)",
             "region at i.sfz:4 has no sample", "region at i.sfz:5 plays a generated sound (*sine)",
             "region at i.sfz:6 never plays (end=-1)", "trigger=first (once)",
             "region at i.sfz:7 plays no key", "<effect> (2 times)"}}),
    [](const ::testing::TestParamInfo<sfz_case>& info) { return info.param.name; });

struct damaged_case {
  const char* name;
  files input;
  std::string file;  // the file named in the message, below "lib"
  int line;
  std::string what;
};

class SfzDamaged : public ::testing::TestWithParam<damaged_case> {};

TEST_P(SfzDamaged, StopsNamingTheFileAndLine) {
  const damaged_case& c = GetParam();
  try {
    read(c.input);
    FAIL() << "read without an error";
  } catch (const instrument_error& e) {
    EXPECT_EQ(e.what(),
              path_to_utf8(lib_path(c.file)) + ":" + std::to_string(c.line) + ": " + c.what);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SfzDamaged,
    ::testing::Values(
        damaged_case{"UnknownHeader",
                     {{"i.sfz", "<region>\n<regoin> sample=a.wav"}},
                     "i.sfz",
                     2,
                     "unknown header <regoin>"},
        damaged_case{"UnclosedHeader",
                     {{"i.sfz", "<region sample=a.wav"}},
                     "i.sfz",
                     1,
                     "a header without its closing '>'"},
        damaged_case{"EqualsWithoutName",
                     {{"i.sfz", "\n<region> =a.wav"}},
                     "i.sfz",
                     2,
                     "'=' without an opcode name"},
        damaged_case{"OpcodeWithoutEquals",
                     {{"i.sfz", "<region> sample"}},
                     "i.sfz",
                     1,
                     "opcode \"sample\" without '=' and a value"},
        damaged_case{"NotANumber",
                     {{"i.sfz", "<region>\r\n\r\nvolume=-3dB"}},
                     "i.sfz",
                     3,
                     "volume=-3dB: not a number"},
        damaged_case{"NotAWholeNumber",
                     {{"i.sfz", "<region> offset=1.5"}},
                     "i.sfz",
                     1,
                     "offset=1.5: not a whole number"},
        damaged_case{"NotANoteName",
                     {{"i.sfz", "<region> lokey=h4"}},
                     "i.sfz",
                     1,
                     "lokey=h4: not a note name or a number"},
        damaged_case{"NotANoteNameAfterALetter",
                     {{"i.sfz", "<region> hikey=c44"}},
                     "i.sfz",
                     1,
                     "hikey=c44: not a note name or a number"},
        damaged_case{"UnclosedComment",
                     {{"i.sfz", "<region>\n/* open\n\n"}},
                     "i.sfz",
                     2,
                     "a comment opened with /* is not closed"},
        damaged_case{"IncludeThatCannotBeOpened",
                     {{"i.sfz", "\n#include \"missing.sfz\""}},
                     "i.sfz",
                     2,
                     "cannot open #include \"missing.sfz\": No such file or directory"},
        damaged_case{"IncludeCycleNamesTheIncludingFile",
                     {{"i.sfz", "#include \"b.sfz\""}, {"b.sfz", "\n#include \"i.sfz\""}},
                     "b.sfz",
                     2,
                     "#include \"i.sfz\" includes itself"},
        damaged_case{"ErrorInsideAnInclude",
                     {{"i.sfz", "#include \"b.sfz\"\n<region> sample=a.wav"},
                      {"b.sfz", "<group>\n\n tune=x"}},
                     "b.sfz",
                     3,
                     "tune=x: not a number"},
        damaged_case{"DefineWithoutValue",
                     {{"i.sfz", "#define $X"}},
                     "i.sfz",
                     1,
                     "#define needs a $name and a value"}),
    [](const ::testing::TestParamInfo<damaged_case>& info) { return info.param.name; });

TEST(SfzReader, ReadsFromDiskWithIncludesBesideTheFile) {
  testing::temp_dir dir;
  fs::create_directories(dir / "parts");
  const auto write = [](const fs::path& p, std::string_view text) {
    testing::write_file(p, testing::bytes(text.begin(), text.end()));
  };
  write(dir / "parts" / "g.sfz", "<group> hivel=9");
  write(dir / "Keys.sfz", "#include \"parts/g.sfz\"\n<region> sample=s/x y.wav");
  const instrument inst = read_sfz_file(dir / "Keys.sfz");
  ASSERT_EQ(inst.regions.size(), 1u);
  EXPECT_EQ(inst.name, "Keys");
  EXPECT_EQ(inst.regions[0].sample, (dir / "s" / "x y.wav").lexically_normal());
  EXPECT_EQ(inst.regions[0].hi_vel, 9);
}

}  // namespace
}  // namespace qbank
