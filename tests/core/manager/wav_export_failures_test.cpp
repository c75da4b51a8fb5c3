// WAV export where files cannot be written: a name taken by a folder, a folder that cannot be
// made because a file holds its name, audio that lies past the end of the bank file and a
// multisample name that is no file name. Each one is told, the rest is exported, and whatever
// stood in the way is left as it was.
#include <gtest/gtest.h>

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

TEST_F(WavExportFailures, AFileThatCannotBeWrittenIsToldAndTheOthersAreExported) {
  fs::create_directory(out / "C3.wav");
  EXPECT_EQ(export_multisample(b, 1, chooser(), h), 1u);
  EXPECT_EQ(h.boxes, std::vector<std::string>{
                         "[Error] ExtractSelectedMultisample Write Error!\nNot write 512 bytes!"});
  EXPECT_EQ(names_below(out), (std::set<std::string>{"C3.wav/", "D3.wav", "Piano           .msn"}))
      << "the folder in the way is kept and no temporary file is left";
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].lines[1], "Exported files count: 1");
  EXPECT_EQ(h.reports[0].lines[3], path_to_utf8(out / "D3.wav"));
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
  EXPECT_EQ(export_library(b, chooser(), h), 2u);
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Files not exported");
  EXPECT_EQ(
      h.reports[0].lines,
      (std::vector<std::string>{
          "Not exported, write error: " + native_path_text("D:\\Lib\\Pno\\C3.wav"),
          "Not exported, its folder cannot be created: " + native_path_text("D:\\Lib\\Pad\\E3.wav"),
          "Not exported, audio outside the bank file: " + native_path_text("D:\\Lib\\Pno\\F3.wav"),
          "Not written, unusable multisample name: ...msn"}));
  EXPECT_EQ(names_below(out), (std::set<std::string>{"ad", "no/", "no/C3.wav/", "no/D3.wav",
                                                     "no/G3.wav", "no/Piano           .msn"}));
  std::vector<std::uint8_t> kept = read_whole_file(out / "ad");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "keep");
  EXPECT_FALSE(h.progress_open);
}

}  // namespace
}  // namespace qbank
