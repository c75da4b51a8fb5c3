// WAV export: the exact bytes of an exported slot, the refusals, the round trip through a bank
// built from the demo library, and hostile stored paths that must not lead out of the folder.
#include "manager/wav_export.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "audio/wav_file.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/bank_reader.h"
#include "bank/script_file.h"
#include "demo/demo_library.h"
#include "edit/path_tools.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

using testing::recording_host;
using testing::temp_dir;

folder_chooser chooser(const fs::path& folder, std::vector<std::string>* asked = nullptr) {
  return [folder, asked](std::string_view title, std::string_view confirm) {
    if (asked) asked->push_back(std::string(title) + " / " + std::string(confirm));
    return std::optional<fs::path>(folder);
  };
}

const folder_chooser cancelled = [](std::string_view, std::string_view) {
  return std::optional<fs::path>();
};

std::set<fs::path> files_below(const fs::path& dir) {
  std::set<fs::path> out;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) out.insert(fs::relative(e.path(), dir));
  return out;
}

// A hand-made "bank file": 8 sectors whose samples are known, and multisample 1 pointing at
// them.
struct small_bank {
  temp_dir dir;
  bank b;
  small_bank() {
    std::vector<std::uint8_t> bytes(8 * 512, 0);
    const std::uint16_t samples[] = {0x8000, 0xFFFF, 0x0000, 0x1234};
    std::memcpy(bytes.data() + 2 * 512, samples, sizeof samples);
    write_whole_file(dir / "bank.QBB", bytes.data(), bytes.size());
    b.set_loaded_file_name(path_to_utf8(dir / "bank.QBB"));
    std::memcpy(b.multisample(1).name, "Piano           ", 16);
    b.multisample(1).slots[0] = {2, 3};
    b.set_file(1, 0, "D:\\Lib\\Pno\\C3.wav");
    b.set_file(1, 1, "D:\\Lib\\Pno\\D3.wav");  // a path whose audio was not built
    fs::create_directory(dir / "out");
  }
};

TEST(ExportWav, SlotBytesHeaderAndReport) {
  small_bank s;
  recording_host h;
  std::vector<std::string> asked;
  EXPECT_EQ(export_multisample(s.b, 1, chooser(s.dir / "out", &asked), h).written, 2u);
  EXPECT_EQ(asked, (std::vector<std::string>{
                       "Sellect Path For Multisample WAV Files Export... / Start WAV FIles "
                       "Export..."}));
  const std::vector<std::uint8_t> c3 = read_whole_file(s.dir / "out" / "C3.wav");
  ASSERT_EQ(c3.size(), 44u + 1536u);
  const auto header = export_wav_header(1536);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), c3.begin()));
  std::uint32_t riff;
  std::memcpy(&riff, c3.data() + 4, 4);
  EXPECT_EQ(riff, 1572u);
  std::int16_t first[4];
  std::memcpy(first, c3.data() + 44, sizeof first);
  EXPECT_EQ(first[0], 0);
  EXPECT_EQ(first[1], 0x7FFF);
  EXPECT_EQ(first[2], -0x8000);
  EXPECT_EQ(first[3], 0x1234 - 0x8000);
  // The canonical header of a mono file is what the reader of the editor expects.
  EXPECT_TRUE(std::equal(header.begin(), header.end(), wav_canonical_header(1, 1536).begin()));
  EXPECT_EQ(read_whole_file(s.dir / "out" / "D3.wav").size(), 44u);
  EXPECT_TRUE(file_exists(s.dir / "out" / "Piano           .msn"));
  EXPECT_EQ(read_whole_file(s.dir / "out" / "Piano           .msn").size(), 0u);

  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Exported sample names");
  EXPECT_EQ(h.reports[0].lines,
            (std::vector<std::string>{"Export OK!", "Exported files count: 2", "",
                                      path_to_utf8(s.dir / "out" / "C3.wav"),
                                      path_to_utf8(s.dir / "out" / "D3.wav"), "",
                                      "Exported MULTISAMPLE NAME: Piano           .msn"}));
  EXPECT_EQ(h.reports_hidden, 1);
  EXPECT_EQ(h.progress_titles, (std::vector<std::string>{"Export Multisample..."}));
  EXPECT_EQ(h.progress_kinds, (std::vector<char>{'w'}));
  EXPECT_FALSE(h.progress_open);
}

TEST(ExportWav, RefusalsWriteNothing) {
  small_bank s;
  {
    recording_host h;
    s.b.set_loaded_file_name(path_to_utf8(s.dir / "bank.qbs"));
    EXPECT_EQ(export_multisample(s.b, 1, chooser(s.dir / "out"), h).written, 0u);
    EXPECT_EQ(export_library(s.b, chooser(s.dir / "out"), h).written, 0u);
    EXPECT_EQ(h.boxes, std::vector<std::string>(2, "[Error!] Not loaded VALID BANK FILE!"));
  }
  s.b.set_loaded_file_name(path_to_utf8(s.dir / "bank.QBB"));
  {
    recording_host h;
    EXPECT_EQ(export_multisample(s.b, 2, chooser(s.dir / "out"), h).written, 0u);
    EXPECT_EQ(h.boxes,
              (std::vector<std::string>{"[Error!] Not possible to EXPORT EMPTY multisample!"}));
    EXPECT_EQ(export_multisample(s.b, 1, cancelled, h).written, 0u);
    h.answers = {false};
    EXPECT_EQ(export_library(s.b, chooser(s.dir / "out"), h).written, 0u);
    EXPECT_EQ(h.questions, (std::vector<std::string>{
                               "[WARNING!!!] This is massive and long time consumption "
                               "operation!\nYou need large free disk size for this operation!\n\n"
                               "Are You Sure to contonue?"}));
    h.answers = {true};
    EXPECT_EQ(export_library(s.b, cancelled, h).written, 0u);
  }
  {
    recording_host h;
    s.b.set_loaded_file_name(path_to_utf8(s.dir / "gone.qbb"));
    h.default_answer = true;
    EXPECT_EQ(export_library(s.b, chooser(s.dir / "out"), h).written, 0u);
    EXPECT_EQ(export_multisample(s.b, 1, chooser(s.dir / "out"), h).written, 0u);
    EXPECT_EQ(h.boxes, (std::vector<std::string>{
                           "[WARNING!!!] This is massive and long time consumption operation!\n"
                           "You need large free disk size for this operation!\n\nAre You Sure to "
                           "contonue?",
                           "[Error!] Can not get loaded bank size!",
                           "[Error] Cannot open BANK file for reading!"}));
    EXPECT_FALSE(h.progress_open);
  }
  EXPECT_TRUE(files_below(s.dir / "out").empty());
}

TEST(ExportWav, AfterAResetTheExportsRefuse) {
  small_bank s;
  s.b.reset_program(0);
  recording_host h;
  EXPECT_EQ(export_multisample(s.b, 1, chooser(s.dir / "out"), h).written, 0u);
  EXPECT_EQ(h.boxes, (std::vector<std::string>{"[Error!] Not loaded VALID BANK FILE!"}));
}

TEST(ExportWav, CommonPathIsComparedByCharacters) {
  bank b;
  EXPECT_EQ(library_common_path(b), "");
  b.set_file(1, 0, "D:\\Lib\\Pno\\C3.wav");
  EXPECT_EQ(library_common_path(b), "D:\\Lib\\Pno\\C3.wav");
  b.set_file(9999, 127, "D:\\Lib\\Pad\\C3.wav");
  EXPECT_EQ(library_common_path(b), "D:\\Lib\\P");
  b.set_file(5, 5, "E:\\x.wav");
  EXPECT_EQ(library_common_path(b), "");
}

TEST(ExportWav, LibraryReplacesTheCommonPath) {
  small_bank s;
  s.b.set_file(1, 1, "D:\\Lib\\Pad\\C3.wav");
  s.b.multisample(1).slots[1] = {2, 1};
  std::memcpy(s.b.multisample(3).name, "Other", 6);  // ends early at its zero byte
  s.b.set_file(3, 0, "D:\\Lib\\Pad\\E3.wav");
  s.b.multisample(3).slots[0] = {3, 1};
  recording_host h;
  h.default_answer = true;
  EXPECT_EQ(export_library(s.b, chooser(s.dir / "out"), h).written, 3u);
  EXPECT_EQ(files_below(s.dir / "out"),
            (std::set<fs::path>{"no/C3.wav", "ad/C3.wav", "ad/E3.wav", "ad/Piano           .msn",
                                "ad/Other.msn"}));
  EXPECT_EQ(h.progress_titles.front(), "Export All Library Samples...");
  EXPECT_EQ(h.progress_titles.back(), path_to_utf8(s.dir / "out" / "ad" / "E3.wav"));
  EXPECT_EQ(h.last_percent, 100);
  EXPECT_TRUE(h.reports.empty());
  EXPECT_FALSE(h.progress_open);
}

// Stored paths are untrusted: whatever they hold, every file lands below the chosen folder and
// no source file is written over.
TEST(ExportWav, HostilePathsStayInsideTheFolder) {
  struct row {
    const char* name;
    std::vector<std::string> entries;
    std::set<fs::path> written;  // below "out"
    std::size_t skipped;
  };
  const std::vector<row> rows = {
      {"single entry: the common path covers it",
       {"D:\\Lib\\Pno\\C3.wav"},
       {"Lib/Pno/C3.wav", "Lib/Pno/Piano           .msn"},
       0},
      {"no common path",
       {"D:\\a\\x.wav", "\\\\server\\share\\y.wav"},
       {"a/x.wav", "server/share/y.wav", "server/share/Piano           .msn"},
       0},
      {"dot-dot after the common path",
       {"D:\\Lib\\..\\..\\..\\evil.wav", "D:\\Lib\\ok.wav"},
       {"ok.wav", "Piano           .msn"},
       1},
      {"drive inside the rest",
       {"D:\\Lib\\C:\\Windows\\x.wav", "D:\\Lib\\ok.wav"},
       {"ok.wav", "Piano           .msn"},
       1},
      {"forward slashes and dots",
       {"D:/Lib/x/./a//b.wav", "D:/Lib/y/../../up.wav"},
       {"x/a/b.wav", "x/a/Piano           .msn"},
       1},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    small_bank s;
    s.b.reset_multisample(1);
    std::memcpy(s.b.multisample(1).name, "Piano           ", 16);
    for (std::size_t k = 0; k < r.entries.size(); ++k) {
      s.b.set_file(1, static_cast<int>(k), r.entries[k]);
      s.b.multisample(1).slots[k] = {2, 1};
    }
    recording_host h;
    h.default_answer = true;
    export_library(s.b, chooser(s.dir / "out"), h);
    EXPECT_EQ(files_below(s.dir / "out"), r.written);
    // Nothing beside the bank file and the output folder appeared in the test's folder.
    std::set<fs::path> top;
    for (const auto& e : fs::directory_iterator(s.dir.path())) top.insert(e.path().filename());
    EXPECT_EQ(top, (std::set<fs::path>{"bank.QBB", "out"}));
    if (r.skipped == 0) {
      EXPECT_TRUE(h.reports.empty());
    } else {
      ASSERT_EQ(h.reports.size(), 1u);
      EXPECT_EQ(h.reports[0].title, "Report: Files not exported");
      EXPECT_EQ(h.reports[0].lines.size(), r.skipped);
    }
  }
}

TEST(ExportWav, UnusableNamesAreNotPaths) {
  small_bank s;
  s.b.set_file(1, 0, "D:\\Lib\\..");
  std::memcpy(s.b.multisample(1).name, "../../escape    ", 16);
  recording_host h;
  EXPECT_EQ(export_multisample(s.b, 1, chooser(s.dir / "out"), h).written, 1u);
  EXPECT_EQ(files_below(s.dir / "out"), (std::set<fs::path>{"D3.wav"}));
  const std::vector<std::string>& lines = h.reports.at(0).lines;
  EXPECT_EQ(lines[0], "Export incomplete!");
  EXPECT_EQ(lines[2], "Not exported files count: 1");
  // The stored path as this system opens it ("D:/Lib/.." on Linux).
  EXPECT_EQ(lines[4], "Not exported, unusable file name: " + native_path_text("D:\\Lib\\.."));
  EXPECT_EQ(lines.back(), "Not written, unusable multisample name: ../../escape    .msn");
}

// An export into the folder the sources live in leaves every source file as it was.
TEST(ExportWav, SourceFilesAreNeverTheOutput) {
  small_bank s;
  fs::create_directory(s.dir / "src");
  const std::vector<std::uint8_t> original = {'R', 'I', 'F', 'F'};
  write_whole_file(s.dir / "src" / "C3.wav", original.data(), original.size());
  write_whole_file(s.dir / "src" / "D3.wav", original.data(), original.size());
  s.b.set_file(1, 0, stored_path(s.dir / "src" / "C3.wav"));
  s.b.set_file(1, 1, stored_path(s.dir / "src" / "D3.wav"));
  recording_host h;
  h.default_answer = true;
  EXPECT_EQ(export_multisample(s.b, 1, chooser(s.dir / "src"), h).written, 0u);
  EXPECT_EQ(library_common_path(s.b),
            stored_path(s.dir / "src") + static_cast<char>(fs::path::preferred_separator));
  EXPECT_EQ(export_library(s.b, chooser(s.dir / "src"), h).written, 0u);
  EXPECT_EQ(read_whole_file(s.dir / "src" / "C3.wav"), original);
  EXPECT_EQ(read_whole_file(s.dir / "src" / "D3.wav"), original);
  ASSERT_EQ(h.reports.size(), 2u);
  EXPECT_EQ(h.reports[0].lines[0], "Nothing exported!");
  EXPECT_EQ(h.reports[0].lines[2], "Not exported files count: 2");
  EXPECT_EQ(h.reports[0].lines[4],
            "Not exported, the output is the source file: " + (s.dir / "src" / "C3.wav").string());
  EXPECT_EQ(h.reports[1].lines.size(), 2u);
}

// Round trip: the demo library built into a bank, exported, gives back the source audio.
TEST(ExportWav, DemoLibraryRoundTrip) {
  temp_dir dir;
  recording_host h;
  h.default_answer = true;
  const demo_library lib = write_demo_library(dir / "lib", h);
  {
    bank b;
    open_script(b, lib.script, 6, h);
    ASSERT_TRUE(build_bank_file(b, dir / "Demo.qbb", h));
  }
  bank b;
  ASSERT_TRUE(open_bank_file(b, dir / "Demo.qbb", h));
  const std::string common = library_common_path(b);
  fs::create_directory(dir / "out");
  const unsigned written = export_library(b, chooser(dir / "out"), h).written;
  EXPECT_EQ(written, b.count_used_slots());
  unsigned compared = 0;
  for (int m = 0; m < multisample_count; ++m) {
    for (int j = 0; j < slots_per_multisample; ++j) {
      if (b.slot_is_empty(m, j)) continue;
      const std::string_view entry = b.file(m, j);
      input_file source(native_path(entry));
      const int channels = check_wav_header(source);
      ASSERT_NE(channels, wav_rejected);
      ASSERT_TRUE(find_data_chunk(source));
      const std::uint32_t n = read_chunk_size(source);
      std::vector<std::int16_t> audio(n / 2);
      ASSERT_EQ(source.read(audio.data(), n), n);
      if (channels == wav_stereo) {  // the bank holds stereo files folded to mono
        for (std::size_t f = 0; f < audio.size() / 2; ++f)
          audio[f] = static_cast<std::int16_t>((audio[2 * f] + audio[2 * f + 1]) / 2);
        audio.resize(audio.size() / 2);
      }
      const std::size_t bytes = audio.size() * 2;
      const std::vector<std::uint8_t> out =
          read_whole_file(dir / "out" / native_path(entry.substr(common.size())));
      ASSERT_EQ(out.size(), 44 + (bytes + 511) / 512 * 512) << entry;
      EXPECT_EQ(std::memcmp(audio.data(), out.data() + 44, bytes), 0) << entry;
      EXPECT_TRUE(std::all_of(out.begin() + 44 + bytes, out.end(), [](auto c) { return c == 0; }));
      ++compared;
    }
  }
  EXPECT_EQ(compared, written);
  EXPECT_GT(compared, 20u);
}

}  // namespace
}  // namespace qbank
