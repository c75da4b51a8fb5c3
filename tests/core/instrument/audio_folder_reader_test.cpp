// A folder of audio files as an instrument: roots from smpl/inst/INST chunks or from note
// names and numbers in the file names, key ranges halfway between neighbouring roots.
#include "instrument/audio_folder_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "instrument/instrument_file.h"
#include "platform/paths.h"
#include "support/region_text.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;
using testing::bytes;

bytes le32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

// A short WAV with the extra chunks given between its format and data chunks.
bytes wav_with(std::initializer_list<bytes> chunks) {
  const std::int16_t samples[4] = {0, 100, -100, 0};
  bytes extra;
  for (const bytes& c : chunks) extra.insert(extra.end(), c.begin(), c.end());
  return testing::riff_file({testing::format_chunk(1), extra,
                             testing::riff_chunk("data", testing::sample_bytes(samples))});
}

bytes smpl(std::uint32_t note, std::uint32_t fraction = 0) {
  bytes body(36, 0);
  const bytes n = le32(note), f = le32(fraction);
  std::copy(n.begin(), n.end(), body.begin() + 12);
  std::copy(f.begin(), f.end(), body.begin() + 16);
  return testing::riff_chunk("smpl", body);
}

bytes inst(std::uint8_t note, std::int8_t cents) {
  return testing::riff_chunk("inst", {note, static_cast<std::uint8_t>(cents), 0, 0, 127, 1, 127});
}

// An AIFF header with an INST chunk (big-endian sizes; the audio chunks are not looked at).
bytes aiff_with_inst(std::uint8_t note) {
  bytes b = {'F', 'O', 'R', 'M', 0, 0, 0, 0, 'A', 'I', 'F', 'F', 'C', 'O', 'M', 'M', 0, 0, 0, 18};
  b.resize(b.size() + 18, 0);
  const bytes inst_chunk = {'I', 'N', 'S', 'T', 0, 0, 0, 20, note, 0, 0, 127, 1, 127, 0, 0};
  b.insert(b.end(), inst_chunk.begin(), inst_chunk.end());
  b.resize(b.size() + 12, 0);  // the two loops
  return b;
}

struct folder_case {
  const char* name;
  std::vector<std::pair<std::string, bytes>> files;
  std::vector<std::string> regions;  // file and playing fields, by root
  std::vector<std::string> not_carried = {};
};

class AudioFolder : public ::testing::TestWithParam<folder_case> {};

TEST_P(AudioFolder, RootsFromChunksOrNamesAndHalfwayRanges) {
  const folder_case& c = GetParam();
  testing::temp_dir dir;
  const fs::path folder = dir / "Grand Piano";
  fs::create_directory(folder);
  for (const auto& [name, content] : c.files)
    testing::write_file(folder / path_from_utf8(name), content);
  const instrument got = read_instrument_file(folder / "");
  EXPECT_EQ(got.name, "Grand Piano");
  std::vector<std::string> regions;
  for (const region& r : got.regions)
    regions.push_back(path_to_utf8(r.sample.filename()) + " " + testing::playing_fields(r));
  EXPECT_EQ(regions, c.regions);
  EXPECT_EQ(got.not_carried_over, c.not_carried);
}

const bytes plain = wav_with({});

INSTANTIATE_TEST_SUITE_P(
    Folders, AudioFolder,
    ::testing::Values(
        folder_case{"NoteNamesWithSharpsFlatsAndTableABlanks",
                    {{"Piano Db3.wav", plain},
                     {"pad_C#4.wav", plain},
                     {"Str D 5.WAV", plain},
                     {"Piano bb5.flac", plain},
                     {"Piano Take 2.wav", plain},
                     {"notes.txt", plain}},
                    {"Piano Db3.wav 0-43 root 37", "pad_C#4.wav 44-55 root 49",
                     "Str D 5.WAV 56-66 root 62", "Piano bb5.flac 67-127 root 70"},
                    {"Piano Take 2.wav: no root note (no smpl or inst chunk, no note name in the "
                     "file name)"}},
        folder_case{
            "ChunksWinOverNamesAndNumbersAfterNames",
            {{"A C5.wav", wav_with({smpl(64, 0x80000000u)})},
             {"B.wav", wav_with({inst(67, -12)})},
             {"C.wav", wav_with({inst(72, 0), smpl(71)})},
             {"D.aif", aiff_with_inst(48)},
             {"Piano 060.wav", plain},
             {"Piano 061 C5.wav", plain}},
            {"D.aif 0-54 root 48", "Piano 060.wav 55-62 root 60", "A C5.wav 63-65 root 64 tune 50",
             "B.wav 66-69 root 67 tune -12", "C.wav 70-127 root 71"},
            {"Piano 061 C5.wav: root 60 is already played by Piano 060.wav"}}),
    [](const ::testing::TestParamInfo<folder_case>& info) { return info.param.name; });

TEST(AudioFolder, AFolderWithoutAudioIsNamed) {
  testing::temp_dir dir;
  try {
    read_instrument_file(dir.path());
    FAIL() << "read without an error";
  } catch (const instrument_error& e) {
    EXPECT_EQ(e.what(), path_to_utf8(dir.path()) +
                            ": the folder holds no audio file (.wav, .aif, .aiff, .flac, .ogg)");
  }
}

}  // namespace
}  // namespace qbank
