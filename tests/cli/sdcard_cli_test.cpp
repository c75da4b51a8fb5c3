// qbank sd-write: a plain folder plays the card, its volume facts from the test hook.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifndef _WIN32
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;
#endif

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "platform/fault_injection.h"
#include "platform/file_commit.h"
#include "platform/file_io.h"
#include "support/recording_host.h"
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

// An empty bank as the window builds it, in parts of `part_limit` bytes (0: one file).
void build_bank(const fs::path& path, std::uint64_t part_limit) {
  testing::recording_host h;
  bank b;
  ASSERT_TRUE(build_bank_file(b, path, h, {part_limit != 0, part_limit}));
}

// B.qbb and B.Q01, built once.
const fs::path& two_part_bank() {
  static temp_dir dir;
  static const fs::path bank = [] {
    build_bank(dir / "B.qbb", 16 << 20);
    return dir / "B.qbb";
  }();
  return bank;
}

std::string size_line(const fs::path& file) {
  return file.filename().string() + "   Size: " + std::to_string(fs::file_size(file)) + " bytes\n";
}

class SdWriteCli : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(card);
    for (const char* part : {"B.qbb", "B.Q01"})
      fs::copy_file(two_part_bank().parent_path() / part, src / part);
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
      false, fake("fs:fat,clusters:70000,cluster_size:4096,free_clusters:1000000,label:QCARD"));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, card.string() + "\nName: QCARD\nFile system: FAT32\nFree space: 4096000000\n" +
                       size_line(src / "B.qbb") + size_line(src / "B.Q01") +
                       "B.qbs   Size: 30 bytes\n"
                       "[Invalid Operation System BIN file size!] File: os2.bin is with invalid "
                       "size!\n[SD Write Assystant] Write COMPLETE!\n");
  for (const char* name : {"B.qbb", "B.Q01", "B.qbs", "os1.bin", "Mp3/s.mp3"})
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
  // A folder on the card is not the card: the instrument would never find the bank there.
  fs::create_directories(card / "Banks");
  run_result folder =
      run_qbank("sd-write " + q(card / "Banks") + " --bank " + q(src / "B.qbb"), false,
                fake("fs:fat,clusters:70000,free_bytes:99999999,root:" + card.string()));
  EXPECT_EQ(folder.exit_code, 1);
  EXPECT_NE(folder.out.find("[SD Write Assystant] Destination is not the root folder of its "
                            "drive!\nThe instrument looks for the bank only in the card's root "
                            "folder: choose the card itself, not a folder on it.\n"),
            std::string::npos)
      << folder.out;
  EXPECT_TRUE(fs::is_empty(card / "Banks"));
  fs::remove(card / "Banks");

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

TEST_F(SdWriteCli, OnlyABankSetTheReaderTakesWholeIsCopied) {
  const std::string args = "sd-write " + q(card) + " --bank " + q(src / "B.qbb");
  const std::string volume = fake("fs:fat,clusters:70000,free_bytes:99999999999");

  // A part left beside a bank of one file from an earlier, larger bank: refused as `info` does.
  fs::remove(src / "B.Q01");
  fs::remove(src / "B.qbb");
  build_bank(src / "B.qbb", 0);
  write_bytes(src / "B.Q01", 4096);
  run_result stray = run_qbank(args, false, volume);
  EXPECT_EQ(stray.exit_code, 1);
  EXPECT_NE(stray.out.find("[Error] The part file B.Q01 does not belong to the bank "),
            std::string::npos)
      << stray.out;
  EXPECT_EQ(stray.out.find("COMPLETE"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(card));

  // A build of one file over a bank of three parts, killed after the new file took its place
  // and before the old parts went: the write completes the build and copies the new bank alone.
  fs::remove(src / "B.Q01");
  fs::remove(src / "B.qbb");
  build_bank(src / "B.qbb", 10 << 20);  // B.qbb, B.Q01, B.Q02
  set_file_step_hook([](file_step step, const fs::path& p) {
    return step == file_step::remove && p.filename() == "B.Q01" ? step_outcome::kill
                                                                : step_outcome::proceed;
  });
  {
    testing::recording_host h;
    bank b;
    EXPECT_THROW(build_bank_file(b, src / "B.qbb", h, {false, 0}), simulated_kill);
  }
  set_file_step_hook({});
  ASSERT_TRUE(fs::exists(journal_path(src / "B.qbb")));
  ASSERT_TRUE(fs::exists(src / "B.Q02"));
  run_result r = run_qbank(args, false, volume);
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("[SD Write Assystant] Write COMPLETE!"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(src / "B.Q01"));
  EXPECT_FALSE(fs::exists(src / "B.Q02"));
  EXPECT_FALSE(fs::exists(card / "B.Q01"));
  EXPECT_FALSE(fs::exists(card / "B.Q02"));
  EXPECT_EQ(testing::file_text(card / "B.qbb"), testing::file_text(src / "B.qbb"));
  EXPECT_EQ(run_qbank("info " + q(card / "B.qbb")).exit_code, 0);
}

#ifndef _WIN32
// Ctrl-C while a file is copied: that copy stops and leaves nothing, as the progress window's
// "Cancel" does, and the run ends with the cancelled notice.
TEST_F(SdWriteCli, CtrlCStopsTheCopyAsCancelDoes) {
  // Large enough that the copy cannot end before the signal comes; sparse, so it costs nothing.
  {
    std::FILE* f = std::fopen((src / "big.mp3").c_str(), "wb");
    std::fclose(f);
  }
  fs::resize_file(src / "big.mp3", std::uint64_t{2} << 30);

  const std::vector<std::string> args = {"qbank",
                                         "sd-write",
                                         card.string(),
                                         "--bank",
                                         (src / "B.qbb").string(),
                                         "--mp3",
                                         (src / "big.mp3").string()};
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> vars = {
      "QBANK_FAKE_VOLUME=fs:fat,clusters:70000,free_bytes:99999999999"};
  for (char** e = environ; *e; ++e)
    if (!std::string_view(*e).starts_with("QBANK_FAKE_VOLUME=")) vars.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& v : vars) envp.push_back(v.data());
  envp.push_back(nullptr);

  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  pid_t pid = 0;
  const std::string program = testing::qbank_program().string();
  ASSERT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);

  // The temporary of the MP3 copy appears once that copy has begun.
  const fs::path temporary = card / "Mp3" / ".big.mp3.qbank-copy";
  bool begun = false;
  for (int i = 0; i < 60000 && !begun; ++i) {
    begun = fs::exists(temporary);
    if (!begun) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(begun);
  ::kill(pid, SIGINT);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(n));
  ::close(out[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << text;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(text.find("[SD Write Assystant] Write CANCELLED!\n3 of 4 files were copied; the card "
                      "is not complete.\n"),
            std::string::npos)
      << text;
  EXPECT_TRUE(fs::exists(card / "B.Q01"));
  EXPECT_TRUE(fs::is_empty(card / "Mp3")) << "the stopped copy left its temporary";
}
#endif

}  // namespace
}  // namespace qbank
