// The DecentSampler and Bitwig readers: tables of small XML texts with the regions they give,
// damaged texts with the line named, and the archives (.dslibrary, .multisample) with their
// audio taken out into a folder that lives as long as the instrument.
#ifdef QBANK_HAVE_XML_INSTRUMENTS
#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "instrument/bitwig_reader.h"
#include "instrument/decent_sampler_reader.h"
#include "instrument/instrument_file.h"
#include "platform/file_io.h"
#include "platform/file_os.h"
#include "platform/paths.h"
#include "support/region_text.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

enum class format { dspreset, multisample };

instrument read_text(format f, const std::string& text) {
  memory_source src(text.data(), text.size());
  return f == format::dspreset ? read_dspreset(src, "lib/i.dspreset", "lib")
                               : read_multisample_xml(src, "lib/multisample.xml", "lib", "i");
}

std::string describe(const region& r, const fs::path& root) {
  std::string path = path_to_utf8(r.sample.lexically_relative(root));
  std::replace(path.begin(), path.end(), '\\', '/');
  return path + " " + testing::playing_fields(r);
}

struct xml_case {
  const char* name;
  format kind;
  std::string text;
  std::vector<std::string> regions;
  std::vector<std::string> not_carried = {};
};

class XmlReader : public ::testing::TestWithParam<xml_case> {};

TEST_P(XmlReader, ReadsTheRegions) {
  const xml_case& c = GetParam();
  const instrument inst = read_text(c.kind, c.text);
  std::vector<std::string> got;
  for (const region& r : inst.regions) got.push_back(describe(r, "lib"));
  EXPECT_EQ(got, c.regions);
  EXPECT_EQ(inst.not_carried_over, c.not_carried);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, XmlReader,
    ::testing::Values(
        xml_case{"DecentSamplerLevelsInheritVolumesMultiplyTuningsAdd",
                 format::dspreset,
                 R"(<?xml version="1.0"?>
<DecentSampler>
  <groups volume="-3dB" attack="0.01" release="0.5" globalTuning="1">
    <group loVel="1" hiVel="64" groupTuning="0.5" volume="0.5">
      <sample path="Samples\Piano C4.wav" rootNote="60" loNote="58" hiNote="62"
              tuning="-0.25" release="1.5"/>
      <sample path="../Rel C4.wav" rootNote="60" trigger="release" start="10" end="99"
              volume="6dB" loVel="65" hiVel="127"/>
    </group>
    <group pitchKeyTrack="0"><sample path="kick.wav" rootNote="36" hiNote="200"/></group>
  </groups>
</DecentSampler>)",
                 {"Samples/Piano C4.wav 58-62 root 60 vel 1-64 transpose 1 tune 25 dB -9.0206 "
                  "a 0.01 r 1.5",
                  "../Rel C4.wav 0-127 root 60 vel 65-127 transpose 1 tune 50 dB -3.0206 "
                  "offset 10 end 100 release a 0.01 r 0.5",
                  "kick.wav 0-127 root 36 fixed transpose 1 dB -3 a 0.01 r 0.5"}},
        xml_case{
            "DecentSamplerWhatHasNoPlaceIsListed",
            format::dspreset,
            R"(<DecentSampler>
  <ui width="812"/>
  <groups seqMode="round_robin">
    <group enabled="false"><sample path="off.wav" rootNote="60"/></group>
    <group pan="-20" loopEnabled="false">
      <sample path="a.wav" rootNote="60" seqPosition="1" loopStart="10"/>
      <sample path="b.wav" rootNote="60" seqPosition="2"/>
      <sample path="c.wav" rootNote="61" trigger="first" volume="0"/>
      <sample rootNote="62"/>
    </group>
  </groups>
  <effects><effect type="lowpass"/></effects>
</DecentSampler>)",
            {"a.wav 0-127 root 60"},
            {"<effects> (once)", "group at i.dspreset:4 is switched off", "pan (once)",
             "loopStart (once)", "sample at i.dspreset:7 is round robin 2 of its group",
             "sample at i.dspreset:8 is silent (volume 0)", "sample at i.dspreset:9 has no path"}},
        xml_case{"BitwigFlatAndGroupedSamplesRoundRobinsAndLoops",
                 format::multisample,
                 R"(<?xml version="1.0" encoding="UTF-8"?>
<multisample name="Toy Piano">
  <generator>Bitwig Studio</generator>
  <group name="Soft"/>
  <sample file="Soft C4.wav" gain="-3.5" sample-start="100" sample-stop="48000"
          zone-logic="round-robin">
    <key root="60" low="58" high="62" tune="-1.1"/>
    <velocity low="1" high="64"/>
    <loop mode="loop" start="10" stop="400"/>
  </sample>
  <sample file="Soft C4 b.wav" zone-logic="round-robin">
    <key root="60" low="58" high="62"/><velocity low="1" high="64"/>
  </sample>
  <group name="Loud">
    <sample file="sub/Loud C4.wav" reverse="true"><key root="60" track="0"/></sample>
  </group>
</multisample>)",
                 {"Soft C4.wav 58-62 root 60 vel 1-64 transpose -1 tune -10 dB -3.5 offset 100 "
                  "end 48000",
                  "sub/Loud C4.wav 0-127 root 60 vel 1-127 fixed"},
                 {"loop mode=loop (once)",
                  "sample at multisample.xml:11 is a further round robin of its key window",
                  "reverse (once)"}}),
    [](const ::testing::TestParamInfo<xml_case>& info) { return info.param.name; });

struct damaged_xml_case {
  const char* name;
  format kind;
  std::string text;
  std::string message;  // after "lib/<file>:"
};

class XmlDamaged : public ::testing::TestWithParam<damaged_xml_case> {};

TEST_P(XmlDamaged, StopsNamingTheFileAndLine) {
  const damaged_xml_case& c = GetParam();
  const std::string file = c.kind == format::dspreset ? "lib/i.dspreset:" : "lib/multisample.xml:";
  try {
    read_text(c.kind, c.text);
    FAIL() << "read without an error";
  } catch (const instrument_error& e) {
    EXPECT_EQ(e.what(), file + c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, XmlDamaged,
    ::testing::Values(
        damaged_xml_case{"UnclosedElement", format::dspreset,
                         "<DecentSampler>\n<groups>\n<group>\n<sample path=\"a.wav\" "
                         "rootNote=\"60\">\n</groups>",
                         "5: not well-formed XML (Start-end tags mismatch)"},
        damaged_xml_case{"NotAPreset", format::dspreset, "\n<multisample/>",
                         "2: not a DecentSampler preset (no <DecentSampler> element)"},
        damaged_xml_case{"NoGroups", format::dspreset, "<DecentSampler>\n</DecentSampler>",
                         "1: the preset has no <groups> element"},
        damaged_xml_case{"RootNoteNotANumber", format::dspreset,
                         "<DecentSampler><groups>\n<group>\n<sample path=\"a.wav\" "
                         "rootNote=\"C4\"/></group></groups></DecentSampler>",
                         "3: rootNote=\"C4\": not a whole number"},
        damaged_xml_case{"VolumeNotAVolume", format::dspreset,
                         "<DecentSampler>\n<groups volume=\"-1\"><group><sample path=\"a.wav\" "
                         "rootNote=\"60\"/></group></groups></DecentSampler>",
                         "2: volume=\"-1\": not a volume"},
        damaged_xml_case{"UnknownTrigger", format::dspreset,
                         "<DecentSampler><groups>\n<group trigger=\"sometimes\">\n<sample "
                         "path=\"a.wav\" rootNote=\"60\"/></group></groups></DecentSampler>",
                         "2: trigger=\"sometimes\": not a trigger"},
        damaged_xml_case{"NotAMultisample", format::multisample, "<DecentSampler/>",
                         "1: not a Bitwig multisample (no <multisample> element)"},
        damaged_xml_case{"GainNotANumber", format::multisample,
                         "<multisample name=\"x\">\n\n<sample file=\"a.wav\" "
                         "gain=\"loud\"/></multisample>",
                         "3: gain=\"loud\": not a number"}),
    [](const ::testing::TestParamInfo<damaged_xml_case>& info) { return info.param.name; });

// --- Archives ---------------------------------------------------------------------------------

using members = std::vector<std::pair<std::string, std::string>>;  // name, content, in order

void write_zip(const fs::path& path, const members& content) {
  int code = 0;
  zip_t* z = zip_open(path_to_utf8(path).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  ASSERT_NE(z, nullptr);
  for (const auto& [name, data] : content) {
    zip_source_t* s = zip_source_buffer(z, data.data(), data.size(), 0);
    ASSERT_GE(zip_file_add(z, name.c_str(), s, ZIP_FL_ENC_UTF_8), 0) << name;
  }
  ASSERT_EQ(zip_close(z), 0);
}

// The folders this process's readers made for taken-out audio that still exist (other test
// processes may be making theirs at the same time).
std::vector<fs::path> extraction_folders() {
  const std::string mine = "qbank-instrument-" + std::to_string(os::process_id()) + "-";
  std::vector<fs::path> found;
  for (const auto& e : fs::directory_iterator(fs::temp_directory_path()))
    if (path_to_utf8(e.path().filename()).starts_with(mine)) found.push_back(e.path());
  std::sort(found.begin(), found.end());
  return found;
}

std::string dspreset(const std::string& sample_path) {
  return "<DecentSampler><groups><group><sample path=\"" + sample_path +
         "\" rootNote=\"60\"/></group></groups></DecentSampler>";
}

struct archive_case {
  const char* name;
  const char* file;  // the archive's name
  members content;
  std::string preset;
  // The regions' samples below the taken-out folder and their bytes; or the error after
  // "<archive>: ".
  std::map<std::string, std::string> samples;
  std::string error = {};
};

class ArchiveReader : public ::testing::TestWithParam<archive_case> {};

TEST_P(ArchiveReader, TakesOutOnlyTheNamedAudioForAsLongAsTheInstrumentLives) {
  const archive_case& c = GetParam();
  testing::temp_dir dir;
  const fs::path file = dir / c.file;
  write_zip(file, c.content);
  const auto before = extraction_folders();
  if (!c.error.empty()) {
    try {
      read_instrument_file(file, c.preset);
      FAIL() << "read without an error";
    } catch (const instrument_error& e) {
      EXPECT_EQ(e.what(), path_to_utf8(file) + ": " + c.error);
    }
    EXPECT_EQ(extraction_folders(), before);
    return;
  }
  {
    const instrument inst = read_instrument_file(file, c.preset);
    ASSERT_TRUE(inst.extracted);
    const auto folders = extraction_folders();
    ASSERT_EQ(folders.size(), before.size() + 1);
    fs::path folder;
    for (const fs::path& f : folders)
      if (std::find(before.begin(), before.end(), f) == before.end()) folder = f;
    std::map<std::string, std::string> got;
    for (const region& r : inst.regions)
      got[path_to_utf8(r.sample.lexically_relative(folder).generic_u8string())] =
          testing::file_text(r.sample);
    EXPECT_EQ(got, c.samples);
    std::size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder)) files += e.is_regular_file();
    EXPECT_EQ(files, c.samples.size());  // nothing the preset does not name
  }
  EXPECT_EQ(extraction_folders(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Zips, ArchiveReader,
    ::testing::Values(
        archive_case{"LibraryFirstPreset",
                     "Keys.dslibrary",
                     {{"__MACOSX/._Piano.dspreset", "junk"},
                      {"Piano/Piano.dspreset", dspreset("Samples/C 4.wav")},
                      {"Piano/Samples/C 4.wav", "piano audio"},
                      {"Organ.dspreset", dspreset("Organ C4.wav")},
                      {"Organ C4.wav", "organ audio"}},
                     "",
                     {{"Piano/Samples/C 4.wav", "piano audio"}}},
        archive_case{"LibraryPresetByNameInAnyCaseAndPathsUpOneFolder",
                     "Keys.dslibrary",
                     {{"Piano/Piano.dspreset", dspreset("Samples/C 4.wav")},
                      {"Piano/Samples/C 4.wav", "piano audio"},
                      {"Presets/Organ.dspreset", dspreset("../samples/organ c4.wav")},
                      {"Samples/Organ C4.wav", "organ audio"}},
                     "organ",
                     {{"Samples/Organ C4.wav", "organ audio"}}},
        archive_case{"LibraryUnknownPreset",
                     "Keys.dslibrary",
                     {{"Piano.dspreset", dspreset("a.wav")}, {"a.wav", "x"}},
                     "Flute",
                     {},
                     "no preset \"Flute\" in the library (it holds Piano)"},
        archive_case{"LibraryMemberEscapingTheFolder",
                     "Keys.dslibrary",
                     {{"Piano.dspreset", dspreset("../../evil.wav")}, {"../../evil.wav", "x"}},
                     "",
                     {},
                     "the sample \"../../evil.wav\" of Piano.dspreset:1 lies outside the archive"},
        archive_case{"LibraryAbsoluteMember",
                     "Keys.dslibrary",
                     {{"Piano.dspreset", dspreset("/tmp/evil.wav")}},
                     "",
                     {},
                     "the sample \"/tmp/evil.wav\" of Piano.dspreset:1 lies outside the archive"},
        archive_case{"LibraryMissingSample",
                     "Keys.dslibrary",
                     {{"Piano.dspreset", dspreset("gone.wav")}},
                     "",
                     {},
                     "the sample \"gone.wav\" of Piano.dspreset:1 is not in the archive"},
        archive_case{"Multisample",
                     "Toy.multisample",
                     {{"multisample.xml",
                       "<multisample name=\"Toy\"><sample file=\"Toy C4.wav\"><key "
                       "root=\"60\"/></sample></multisample>"},
                      {"Toy C4.wav", "toy audio"},
                      {"Unused.wav", "unused"}},
                     "",
                     {{"Toy C4.wav", "toy audio"}}},
        archive_case{"MultisampleWithoutItsXml",
                     "Toy.multisample",
                     {{"Toy C4.wav", "toy audio"}},
                     "",
                     {},
                     "the archive holds no multisample.xml"}),
    [](const ::testing::TestParamInfo<archive_case>& info) { return info.param.name; });

TEST(ArchiveReader, AMultisampleFolderIsReadInPlace) {
  testing::temp_dir dir;
  const fs::path folder = dir / "Toy.multisample";
  fs::create_directory(folder);
  const std::string xml =
      "<multisample name=\"Toy\"><sample file=\"Toy C4.wav\"><key root=\"62\"/>"
      "</sample></multisample>";
  write_whole_file(folder / "multisample.xml", xml.data(), xml.size());
  write_whole_file(folder / "Toy C4.wav", "x", 1);
  const instrument inst = read_instrument_file(folder);
  ASSERT_EQ(inst.regions.size(), 1u);
  EXPECT_EQ(inst.regions[0].sample, folder / "Toy C4.wav");
  EXPECT_EQ(inst.regions[0].root_key, 62);  // from the XML, not the file name
  EXPECT_FALSE(inst.extracted);
}

TEST(ArchiveReader, AFileThatIsNotAZipIsNamed) {
  testing::temp_dir dir;
  const fs::path file = dir / "Keys.dslibrary";
  const std::string text = "<DecentSampler/>";
  write_whole_file(file, text.data(), text.size());
  try {
    read_instrument_file(file);
    FAIL() << "read without an error";
  } catch (const instrument_error& e) {
    EXPECT_TRUE(std::string(e.what()).starts_with(path_to_utf8(file) + ": not a zip archive ("))
        << e.what();
  }
}

}  // namespace
}  // namespace qbank
#else
#include <gtest/gtest.h>

#include <string>

#include "instrument/instrument_file.h"

namespace qbank {
namespace {

TEST(ArchiveReader, WithoutTheXmlLibrariesTheFormatsAreSaidToBeMissing) {
  for (const char* name : {"i.dspreset", "i.dslibrary", "i.multisample"}) {
    try {
      read_instrument_file(name);
      FAIL() << name << " read without an error";
    } catch (const instrument_error& e) {
      EXPECT_NE(std::string(e.what()).find("not available in this build"), std::string::npos)
          << e.what();
    }
  }
}

}  // namespace
}  // namespace qbank
#endif
