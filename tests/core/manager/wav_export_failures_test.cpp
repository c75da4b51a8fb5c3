// WAV export where files cannot be written: a name taken by a folder, a folder that cannot be
// made because a file holds its name, audio that lies past the end of the bank file and a
// multisample name that is no file name. Each one is told, the rest is exported, and whatever
// stood in the way is left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "bank/bank.h"
#include "manager/wav_export.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

std::set<std::string> names_below(const fs::path& dir) {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    std::string name;
    for (const fs::path& part : e.path().lexically_relative(dir))
      name += (name.empty() ? "" : "/") + path_to_utf8(part);
    out.insert(name + (e.is_directory() ? "/" : ""));
  }
  return out;
}

// A 6-sector bank file and multisample 1 "Piano" with C3 and D3 at sectors 2 and 3.
class WavExportFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<std::uint8_t> bytes(6 * 512, 0x80);
    write_whole_file(dir / "bank.QBB", bytes.data(), bytes.size());
    b.set_loaded_file_name(path_to_utf8(dir / "bank.QBB"));
    std::memcpy(b.multisample(1).name, "Piano           ", 16);
    b.set_file(1, 0, "D:\\Lib\\Pno\\C3.wav");
    b.multisample(1).slots[0] = {2, 1};
    b.set_file(1, 1, "D:\\Lib\\Pno\\D3.wav");
    b.multisample(1).slots[1] = {3, 1};
    fs::create_directory(out);
  }
  folder_chooser chooser() const {
    return [this](std::string_view, std::string_view) { return std::optional<fs::path>(out); };
  }

  testing::temp_dir dir;
  fs::path out = dir / "out";
  bank b;
  testing::recording_host h;
};

// A file that cannot be created is no short write: the report names it with the system's reason,
// and the export is not called OK.
TEST_F(WavExportFailures, AFileThatCannotBeCreatedIsToldWithItsCauseAndTheOthersAreExported) {
  fs::create_directory(out / "C3.wav");
  const export_counts done = export_multisample(b, 1, chooser(), h);
  EXPECT_EQ(done.written, 1u);
  EXPECT_EQ(done.not_exported, 1u);
  EXPECT_TRUE(h.boxes.empty()) << "nothing was written short";
  EXPECT_EQ(names_below(out), (std::set<std::string>{"C3.wav/", "D3.wav", "Piano           .msn"}))
      << "the folder in the way is kept and no temporary file is left";
  ASSERT_EQ(h.reports.size(), 1u);
  const auto& lines = h.reports[0].lines;
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "Export incomplete!");
  EXPECT_EQ(lines[1], "Exported files count: 1");
  EXPECT_EQ(lines[2], "Not exported files count: 1");
  EXPECT_EQ(lines[4].rfind("Not exported, the file cannot be created: " +
                               native_path_text("D:\\Lib\\Pno\\C3.wav") + " (" +
                               path_to_utf8(out / "C3.wav") + ": ",
                           0),
            0u)
      << lines[4];
  EXPECT_GT(lines[4].size(), lines[4].find(": (") + 3) << "the system's reason follows";
  EXPECT_EQ(lines[5], path_to_utf8(out / "D3.wav"));
  EXPECT_FALSE(h.progress_open);
}

TEST_F(WavExportFailures, TheLibraryExportListsEveryFileItCouldNotWrite) {
  // Common path "D:\Lib\P": Pno's files go to out/no, Pad's to out/ad.
  b.set_file(2, 0, "D:\\Lib\\Pad\\E3.wav");
  b.multisample(2).slots[0] = {2, 1};
  std::memcpy(b.multisample(2).name, "Pad", 4);
  b.set_file(3, 0, "D:\\Lib\\Pno\\F3.wav");
  b.multisample(3).slots[0] = {40, 1};  // past the end of the bank file
  std::memcpy(b.multisample(3).name, "Far", 4);
  b.set_file(4, 0, "D:\\Lib\\Pno\\G3.wav");
  b.multisample(4).slots[0] = {4, 1};
  std::memcpy(b.multisample(4).name, "..", 3);  // a name that would leave the folder
  fs::create_directories(out / "no" / "C3.wav");
  write_whole_file(out / "ad", "keep", 4);

  h.default_answer = true;
  const export_counts done = export_library(b, chooser(), h);
  EXPECT_EQ(done.written, 2u);
  EXPECT_EQ(done.not_exported, 3u);
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Files not exported");
  std::vector<std::string> lines = h.reports[0].lines;
  ASSERT_EQ(lines.size(), 4u);
  // The system's reason, in the system's words, ends the first line.
  const std::string cannot_create =
      "Not exported, the file cannot be created: " + native_path_text("D:\\Lib\\Pno\\C3.wav") +
      " (" + path_to_utf8(out / "no" / "C3.wav") + ": ";
  EXPECT_EQ(lines[0].substr(0, cannot_create.size()), cannot_create);
  EXPECT_GT(lines[0].size(), cannot_create.size() + 1);
  lines.erase(lines.begin());
  EXPECT_EQ(
      lines,
      (std::vector<std::string>{
          "Not exported, its folder cannot be created: " + native_path_text("D:\\Lib\\Pad\\E3.wav"),
          "Not exported, audio outside the bank file: " + native_path_text("D:\\Lib\\Pno\\F3.wav"),
          "Not written, unusable multisample name: ...msn"}));
  EXPECT_EQ(names_below(out), (std::set<std::string>{"ad", "no/", "no/C3.wav/", "no/D3.wav",
                                                     "no/G3.wav", "no/Piano           .msn"}));
  std::vector<std::uint8_t> kept = read_whole_file(out / "ad");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "keep");
  EXPECT_FALSE(h.progress_open);
}

// Files the bank names are left alone however the output reaches them: the same path, another
// spelling of it, or a folder link. Multisample 1 holds lib/C3.wav, multisample 2 lib/sub/C3.wav.
TEST_F(WavExportFailures, NoFileTheBankNamesIsReplaced) {
  struct export_case {
    const char* name;
    bool library;
    const char* folder;     // the chosen folder, below the test's folder
    const char* ms2_entry;  // how multisample 2's file is spelt in the bank
  };
  const export_case cases[] = {
      {"single, same spelling", false, "lib/sub", "lib/sub/C3.wav"},
      {"single, other spelling", false, "lib/sub", "lib//sub/./C3.wav"},
      {"single, through a folder link", false, "link", "lib/sub/C3.wav"},
      {"library, same spelling", true, "lib/sub", "lib/sub/C3.wav"},
      {"library, through a folder link", true, "link", "lib/sub/C3.wav"},
  };
  for (const export_case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::temp_dir root;
    fs::create_directories(root / "lib" / "sub");
    std::error_code no_links;
    fs::create_directory_symlink(root / "lib" / "sub", root / "link", no_links);
    if (no_links && std::string_view(c.folder) == "link") continue;  // no links on this system
    write_whole_file(root / "lib" / "C3.wav", "mine", 4);
    write_whole_file(root / "lib" / "sub" / "C3.wav", "keep", 4);
    bank e;
    e.set_loaded_file_name(b.loaded_file_name());
    e.set_file(1, 0, stored_path(root / "lib" / "C3.wav"));
    e.multisample(1).slots[0] = {2, 1};
    e.set_file(2, 0, stored_path(root / path_from_utf8(c.ms2_entry)));
    e.multisample(2).slots[0] = {3, 1};
    const fs::path folder = root / path_from_utf8(c.folder);
    const folder_chooser choose = [&](std::string_view, std::string_view) {
      return std::optional<fs::path>(folder);
    };
    testing::recording_host rh;
    rh.default_answer = true;
    const export_counts done =
        c.library ? export_library(e, choose, rh) : export_multisample(e, 1, choose, rh);
    EXPECT_EQ(testing::file_text(root / "lib" / "sub" / "C3.wav"), "keep");
    EXPECT_EQ(testing::file_text(root / "lib" / "C3.wav"), "mine");
    EXPECT_GE(done.not_exported, 1u);
    ASSERT_FALSE(rh.reports.empty());
    const auto& lines = rh.reports.back().lines;
    const std::string refused = "Not exported, the output is a file the bank names: " +
                                native_path_text(stored_path(root / "lib" / "C3.wav")) + " (" +
                                path_to_utf8(folder / "C3.wav") + ")";
    EXPECT_NE(std::find(lines.begin(), lines.end(), refused), lines.end())
        << ::testing::PrintToString(lines);
    if (!c.library) {
      EXPECT_EQ(done.written, 0u);
      EXPECT_EQ(lines[0], "Nothing exported!");
    } else {
      // Multisample 2's own file goes one folder further down, which is no file of the bank.
      EXPECT_EQ(done.written, 1u);
      EXPECT_TRUE(fs::exists(folder / "sub" / "C3.wav"));
    }
  }
}

}  // namespace
}  // namespace qbank
