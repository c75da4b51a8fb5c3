// The SD card write when the files chosen earlier are no longer what they were: a part removed
// from the library while the write runs, and an MP3 folder whose name a copied file took.
// Each is named in the report, the rest is copied, and "Write COMPLETE!" is never shown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "platform/card_copy.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/volume.h"
#include "sdcard/sd_write_assistant.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

void put(const fs::path& p, std::size_t size) {
  const std::vector<char> bytes(size, 'q');
  write_whole_file(p, bytes.data(), bytes.size());
}

// An empty bank as the window builds it, in parts of `part_limit` bytes (0: one file).
void put_bank(const fs::path& p, std::uint64_t part_limit) {
  testing::recording_host h;
  bank b;
  ASSERT_TRUE(build_bank_file(b, p, h, {part_limit != 0, part_limit}));
}

class SdWriteLostFiles : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(card); }
  void TearDown() override { set_copy_fault_hook({}); }
  void use_empty_card() {
    volume_stat v;
    v.fat = true;
    v.type = "vfat";
    v.clusters = 70000;
    v.free_bytes = 1ull << 30;
    fixed_volume_layer volumes(v);
    a.choose_destination(card, volumes);
  }

  testing::temp_dir lib;
  testing::temp_dir card_dir;
  fs::path card = card_dir / "card";
  sd_write_assistant a;
  testing::recording_host h;
  std::int32_t flag = 0;
};

TEST_F(SdWriteLostFiles, APartRemovedAfterTheBankWasChosenIsReportedAsUnreadable) {
  put_bank(lib / "B.qbb", 16 << 20);  // B.qbb and B.Q01
  put(lib / "B.QBS", 100);
  a.choose_bank(lib / "B.qbb");
  use_empty_card();
  // The part goes while the bank file is being copied, after the bank was read whole.
  set_copy_fault_hook([this](const fs::path& target, std::uint64_t) {
    if (target.filename() == "B.qbb") fs::remove(lib / "B.Q01");
    return copy_fault::none;
  });

  EXPECT_EQ(a.write(h, flag), write_result::incomplete);
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Files Not Copied");
  ASSERT_EQ(h.reports[0].lines.size(), 1u);
  const std::string line = path_to_utf8(lib / "B.Q01") + ": read error: ";
  EXPECT_TRUE(h.reports[0].lines[0].starts_with(line)) << h.reports[0].lines[0];
#ifndef _WIN32
  EXPECT_EQ(h.reports[0].lines[0], line + "No such file or directory");
#endif
  EXPECT_TRUE(h.messages.empty()) << "a card missing a part was reported complete";
  EXPECT_TRUE(file_exists(card / "B.qbb"));
  EXPECT_TRUE(file_exists(card / "B.QBS"));
  EXPECT_FALSE(fs::exists(card / "B.Q01"));
}

TEST_F(SdWriteLostFiles, AnMp3FolderThatCannotBeMadeNamesEveryMp3File) {
  // A bank file called "Mp3" lands on the card first and takes the folder's name.
  put_bank(lib / "Mp3", 0);
  put(lib / "one.mp3", 50);
  put(lib / "two.mp3", 60);
  a.choose_bank(lib / "Mp3");
  a.set_mp3_ticked(true);
  a.choose_mp3_files(std::vector<fs::path>{lib / "one.mp3", lib / "two.mp3"});
  use_empty_card();

  EXPECT_EQ(a.write(h, flag), write_result::incomplete);
  ASSERT_EQ(h.reports.size(), 1u);
  ASSERT_EQ(h.reports[0].lines.size(), 2u);
  EXPECT_TRUE(h.reports[0].lines[0].starts_with(path_to_utf8(lib / "one.mp3") +
                                                ": the folder Mp3 cannot be created: "))
      << h.reports[0].lines[0];
  EXPECT_TRUE(h.reports[0].lines[1].starts_with(path_to_utf8(lib / "two.mp3") +
                                                ": the folder Mp3 cannot be created: "))
      << h.reports[0].lines[1];
  EXPECT_TRUE(h.messages.empty());
  EXPECT_TRUE(fs::is_regular_file(card / "Mp3")) << "the copied bank file must stay as it was";
}

}  // namespace
}  // namespace qbank
