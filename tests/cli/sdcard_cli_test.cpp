// qbank sd-write: a plain folder plays the card, its volume facts from the test hook.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_io.h"
#include "support/run_qbank.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

using testing::q;
using testing::run_qbank;
using testing::run_result;
using testing::temp_dir;

std::string fake(const std::string& description) {
  return "QBANK_FAKE_VOLUME='" + description + "' ";
}

void write_bytes(const fs::path& path, std::size_t size) {
  std::string bytes(size, 'z');
  write_whole_file(path, bytes.data(), bytes.size());
}

class SdWriteCli : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(card);
    write_bytes(src / "B.qbb", 1000);
    write_bytes(src / "B.Q02", 10);
    write_bytes(src / "B.qbs", 30);
    write_bytes(src / "os1.bin", 456704);
    write_bytes(src / "os2.bin", 456705);
    write_bytes(src / "s.mp3", 40);
  }
  temp_dir src;
  temp_dir card_dir;
  fs::path card = card_dir / "card";
};

TEST_F(SdWriteCli, WritesEverythingChosenOntoAFat32Card) {
  run_result r = run_qbank(
      "sd-write " + q(card) + " --bank " + q(src / "B.qbb") + " --os " + q(src / "os1.bin") + " " +
          q(src / "os2.bin") + " --mp3 " + q(src / "s.mp3"),
      false, fake("fs:fat,clusters:70000,cluster_size:4096,free_clusters:1000,label:QCARD"));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, card.string() +
                       "\nName: QCARD\nFile system: FAT32\nFree space: 4096000\n"
                       "B.qbb   Size: 1000 bytes\nB.Q02   Size: 10 bytes\nB.qbs   Size: 30 bytes\n"
                       "[Invalid Operation System BIN file size!] File: os2.bin is with invalid "
                       "size!\n[SD Write Assystant] Write COMPLETE!\n");
  for (const char* name : {"B.qbb", "B.Q02", "B.qbs", "os1.bin", "Mp3/s.mp3"})
    EXPECT_TRUE(fs::exists(card / name)) << name;
  EXPECT_FALSE(fs::exists(card / "os2.bin"));

  // A second write onto the same card fails the emptiness check and changes nothing.
  run_result again = run_qbank("sd-write " + q(card) + " --bank " + q(src / "B.qbb"), false,
                               fake("fs:fat,clusters:70000,free_bytes:99999999"));
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.out.find("[SD Write Assystant] Destination device not empty!\nSD card need"),
            std::string::npos);
}

TEST_F(SdWriteCli, RefusalsExitWithOneAndWriteNothing) {
  const std::string args = "sd-write " + q(card) + " --bank " + q(src / "B.qbb");
  // This machine's own file system is not FAT.
  run_result real = run_qbank(args);
  EXPECT_EQ(real.exit_code, 1);
  EXPECT_NE(real.out.find("\n[SD Write Assystant] Destination drive file system is not FAT32!\nMy "
                          "be this is not SD card or SD card is not formatted in FAT32!\n"),
            std::string::npos);
  run_result small = run_qbank(args, false, fake("fs:fat,clusters:65524,free_bytes:99999999"));
  EXPECT_EQ(small.exit_code, 1);
  EXPECT_NE(small.out.find("File system: FAT\n"), std::string::npos);
  run_result full = run_qbank(args, false, fake("fs:fat,clusters:65525,free_bytes:1039"));
  EXPECT_EQ(full.exit_code, 1);
  EXPECT_NE(full.out.find("[SD Write Assystant] No free space for all sellected files\n"),
            std::string::npos);
  run_result gone = run_qbank(args, false, fake("none"));
  EXPECT_EQ(gone.exit_code, 1);
  EXPECT_EQ(gone.out.rfind(card.string() + "\nDrive Not Ready!\nB.qbb", 0), 0u);
  EXPECT_TRUE(fs::is_empty(card));

  EXPECT_EQ(run_qbank("sd-write " + q(card)).exit_code, 2);
  run_result typo = run_qbank("sd-write " + q(card) + " --bank " + q(src / "Typo.qbb"), true);
  EXPECT_EQ(typo.exit_code, 3);
  EXPECT_NE(typo.out.find("Typo.qbb"), std::string::npos);
  EXPECT_EQ(run_qbank(args + " --os " + q(src / "none.bin")).exit_code, 3);
  EXPECT_EQ(run_qbank(args, false, fake("size=3")).exit_code, 1);
}

TEST_F(SdWriteCli, FilesNotCopiedAreReportedWithExitOne) {
  fs::create_directories(src / "other");
  write_bytes(src / "other" / "os1.bin", 456704);
  run_result r = run_qbank("sd-write " + q(card) + " --bank " + q(src / "B.qbb") + " --os " +
                               q(src / "os1.bin") + " " + q(src / "other" / "os1.bin"),
                           false, fake("fs:fat,clusters:70000,free_bytes:99999999"));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("[Report: Files Not Copied]\n" + (src / "other" / "os1.bin").string() +
                       ": a file of this name is already on the card\n"),
            std::string::npos);
  EXPECT_EQ(r.out.find("Write COMPLETE!"), std::string::npos);
}

}  // namespace
}  // namespace qbank
