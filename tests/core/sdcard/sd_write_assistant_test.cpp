// The SD card write assistant over real folders standing in for cards, with the volume facts
// from a fixed volume layer.
#include "sdcard/sd_write_assistant.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "platform/card_copy.h"
#include "platform/fault_injection.h"
#include "platform/file_commit.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/volume.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

using testing::recording_host;
using testing::temp_dir;

const std::string not_fat32 =
    "[SD Write Assystant] Destination drive file system is not FAT32!\nMy be this is not SD card "
    "or SD card is not formatted in FAT32!";
const std::string no_space =
    "[SD Write Assystant] No free space for all sellected files\nPlease use bigger destination "
    "drive!";
const std::string not_empty =
    "[SD Write Assystant] Destination device not empty!\nSD card need to be formatted in FAT32 "
    "file system before start bank recording, and need to be EMPTY!";
const std::string complete = "[SD Write Assystant] Write COMPLETE!";

void write_bytes(const fs::path& path, std::size_t size, char fill = 'a') {
  std::vector<char> bytes(size, fill);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(fill + i % 7);
  write_whole_file(path, bytes.data(), bytes.size());
}

std::vector<std::string> entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(path_to_utf8(e.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

// An empty bank built as the window builds it, in parts of `part_limit` bytes (0: one file).
void build_bank(const fs::path& path, std::uint64_t part_limit) {
  recording_host h;
  bank b;
  ASSERT_TRUE(build_bank_file(b, path, h, {part_limit != 0, part_limit}))
      << ::testing::PrintToString(h.messages);
}

// A bank of three parts (X.qbb, X.Q01, X.Q02), built once for all tests.
const fs::path& three_part_bank() {
  static temp_dir dir;
  static const fs::path bank = [] {
    build_bank(dir / "X.qbb", 10 << 20);
    return dir / "X.qbb";
  }();
  return bank;
}

std::string size_line(const fs::path& file) {
  return path_to_utf8(file.filename()) + "   Size: " + std::to_string(fs::file_size(file)) +
         " bytes";
}

volume_stat fat_volume(std::uint64_t clusters, std::uint64_t free_bytes) {
  volume_stat v;
  v.fat = true;
  v.type = "vfat";
  v.clusters = clusters;
  v.free_bytes = free_bytes;
  v.label = "QCARD";
  return v;
}

// A host that sets the cancel flag when the progress title becomes `cancel_at`.
class cancelling_host : public recording_host {
 public:
  void progress_show(char kind, std::int32_t* flag) override {
    flag_ = flag;
    recording_host::progress_show(kind, flag);
  }
  void progress_set_title(std::string_view text) override {
    recording_host::progress_set_title(text);
    if (text == cancel_at && flag_) *flag_ = 1;
  }
  std::string cancel_at;

 private:
  std::int32_t* flag_ = nullptr;
};

class SdWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(src / "lib");
    fs::create_directories(card);
  }
  void TearDown() override { set_copy_fault_hook({}); }

  // X.qbb, X.Q01, X.Q02, x.txt and X.QBS, and an unrelated file.
  fs::path make_bank() {
    for (const char* part : {"X.qbb", "X.Q01", "X.Q02"})
      fs::copy_file(three_part_bank().parent_path() / part, src / "lib" / part);
    write_bytes(src / "lib" / "x.txt", 12, 'd');
    write_bytes(src / "lib" / "X.QBS", 900, 'e');
    write_bytes(src / "lib" / "Y.Q02", 9, 'f');
    return src / "lib" / "X.qbb";
  }
  void use_card(std::optional<volume_stat> stat) {
    fixed_volume_layer volumes(std::move(stat));
    a.choose_destination(card, volumes);
  }

  temp_dir src;
  temp_dir card_dir;
  fs::path card = card_dir / "card";
  sd_write_assistant a;
  recording_host h;
  std::int32_t flag = 0;
};

TEST_F(SdWrite, BankSetListsMembersWhateverTheirCaseAndCopiesThemInOrder) {
  a.choose_bank(make_bank());
  const fs::path lib = src / "lib";
  EXPECT_EQ(a.bank_lines(),
            (std::vector<std::string>{size_line(lib / "X.qbb"), size_line(lib / "X.Q01"),
                                      size_line(lib / "X.Q02"), "x.txt   Size: 12 bytes",
                                      "X.QBS   Size: 900 bytes"}));
  EXPECT_EQ(a.bank_display().picture, 1);
  const std::uint64_t total = fs::file_size(lib / "X.qbb") + fs::file_size(lib / "X.Q01") +
                              fs::file_size(lib / "X.Q02") + 912;
  EXPECT_EQ(a.bank_display().total_text, std::to_string(total) + " bytes");

  use_card(fat_volume(70000, a.bank_total()));
  EXPECT_EQ(a.destination().name, "Name: QCARD");
  EXPECT_EQ(a.destination().file_system, "File system: FAT32");
  EXPECT_EQ(a.destination().free_space, "Free space: " + std::to_string(total));
  EXPECT_EQ(a.destination().fat32_picture, 1);

  EXPECT_EQ(a.write(h, flag), write_result::complete);
  EXPECT_EQ(h.messages, std::vector<std::string>{complete});
  EXPECT_EQ(h.progress_kinds, std::vector<char>{'w'});
  EXPECT_EQ(h.progress_titles, (std::vector<std::string>{"Write to SD Card...", "X.qbb", "X.Q01",
                                                         "X.Q02", "x.txt", "X.QBS"}));
  EXPECT_FALSE(h.progress_open);
  EXPECT_EQ(h.progress_text, "900 / 900");
  EXPECT_EQ(entries(card), (std::vector<std::string>{"X.Q01", "X.Q02", "X.QBS", "X.qbb", "x.txt"}));
  for (const char* name : {"X.qbb", "X.Q01", "X.Q02", "x.txt", "X.QBS"})
    EXPECT_EQ(read_whole_file(card / name), read_whole_file(src / "lib" / name)) << name;
}

TEST_F(SdWrite, CancelledBankDialogDropsTheSelection) {
  a.choose_bank(make_bank());
  a.choose_bank(std::nullopt);
  EXPECT_TRUE(a.bank_lines().empty());
  EXPECT_EQ(a.bank_display().picture, 0);
  EXPECT_EQ(a.bank_display().total_text, "0 bytes");
  use_card(fat_volume(70000, 0));
  EXPECT_EQ(a.write(h, flag), write_result::complete);
  EXPECT_TRUE(entries(card).empty());
}

TEST_F(SdWrite, OperatingSystemFilesMustHoldExactly456704Bytes) {
  write_bytes(src / "short.bin", 456703);
  write_bytes(src / "good.BIN", 456704);
  write_bytes(src / "long.bin", 456705);
  a.set_os_ticked(true);
  a.choose_os_files(std::vector<fs::path>{src / "short.bin", src / "missing.bin", src / "good.BIN",
                                          src / "long.bin"},
                    h);
  EXPECT_EQ(h.messages, (std::vector<std::string>{
                            "[Invalid Operation System BIN file size!] File: short.bin is with "
                            "invalid size!",
                            "[Invalid Operation System BIN file size!] File: long.bin is with "
                            "invalid size!"}));
  EXPECT_EQ(a.os_files(), std::vector<fs::path>{src / "good.BIN"});
  EXPECT_EQ(a.os_display().total_text, "456704 bytes");
  EXPECT_EQ(a.os_display().picture, 1);

  use_card(fat_volume(70000, 1 << 20));
  EXPECT_EQ(a.write(h, flag), write_result::complete);
  EXPECT_EQ(entries(card), std::vector<std::string>{"good.BIN"});

  a.set_os_ticked(false);
  EXPECT_TRUE(a.os_files().empty());
  EXPECT_EQ(a.os_display().total_text, "0 bytes");
}

TEST_F(SdWrite, OnlyFat32WithKnownSpaceIsAccepted) {
  a.choose_bank(make_bank());
  struct named_case {
    const char* what;
    std::optional<volume_stat> stat;
    std::string shown;
  };
  volume_stat fat32_by_name;
  fat32_by_name.type = "fat32";
  fat32_by_name.free_bytes = 1ull << 40;
  volume_stat ext4;
  ext4.type = "ext4";
  ext4.free_bytes = 1ull << 40;
  const named_case cases[] = {
      {"FAT below 65525 clusters", fat_volume(65524, 1ull << 40), "File system: FAT"},
      {"a name in other letter case", fat32_by_name, "File system: fat32"},
      {"ext4", ext4, "File system: ext4"},
      {"not ready", std::nullopt, ""},
  };
  for (const named_case& c : cases) {
    SCOPED_TRACE(c.what);
    recording_host hc;
    use_card(c.stat);
    EXPECT_EQ(a.destination().file_system, c.shown);
    EXPECT_EQ(a.destination().fat32_picture, 0);
    EXPECT_EQ(a.write(hc, flag), write_result::refused);
    EXPECT_EQ(hc.messages, std::vector<std::string>{not_fat32});
    EXPECT_EQ(hc.progress_shows, 0);
  }
  use_card(std::nullopt);
  EXPECT_EQ(a.destination().name, "Drive Not Ready!");
  EXPECT_TRUE(a.destination().free_space.empty());

  use_card(fat_volume(65525, 1ull << 40));
  EXPECT_EQ(a.destination().file_system, "File system: FAT32");
  EXPECT_TRUE(entries(card).empty());
}

TEST_F(SdWrite, FreeSpaceEqualToTheTotalIsEnough) {
  a.choose_bank(make_bank());
  write_bytes(src / "os.bin", os_file_size);
  a.set_os_ticked(true);
  a.choose_os_files(std::vector<fs::path>{src / "os.bin"}, h);
  const std::uint64_t total = a.bank_total() + os_file_size;

  use_card(fat_volume(70000, total - 1));
  EXPECT_EQ(a.write(h, flag), write_result::refused);
  EXPECT_EQ(h.messages, std::vector<std::string>{no_space});
  EXPECT_TRUE(entries(card).empty());

  use_card(fat_volume(70000, total));
  EXPECT_EQ(a.write(h, flag), write_result::complete);
  EXPECT_EQ(entries(card).size(), 6u);
}

TEST_F(SdWrite, CardHoldingAnythingIsNotEmpty) {
  a.choose_bank(make_bank());
  for (const char* what : {"empty folder", "hidden file"}) {
    SCOPED_TRACE(what);
    temp_dir other;
    if (std::string(what) == "empty folder")
      fs::create_directory(other / "System Volume Information");
    else
      write_bytes(other / ".hidden", 1);
    fixed_volume_layer volumes(fat_volume(70000, 1ull << 40));
    a.choose_destination(other.path(), volumes);
    recording_host hc;
    EXPECT_EQ(a.write(hc, flag), write_result::refused);
    EXPECT_EQ(hc.messages, std::vector<std::string>{not_empty});
    EXPECT_EQ(entries(other.path()).size(), 1u);
  }
}

TEST_F(SdWrite, Mp3FolderComesOnlyWithTickedAndChosenFiles) {
  write_bytes(src / "a.Mp3", 2000);
  write_bytes(src / "MP3_LIST.TXT", 20);
  const std::vector<fs::path> chosen{src / "a.Mp3", src / "MP3_LIST.TXT"};

  // Chosen, then unticked: not shown, not counted, not copied, no folder.
  a.set_mp3_ticked(true);
  a.choose_mp3_files(chosen);
  EXPECT_EQ(a.mp3_display().total_text, "2020 bytes");
  a.set_mp3_ticked(false);
  EXPECT_EQ(a.mp3_display().total_text, "0 bytes");
  EXPECT_EQ(a.mp3_display().picture, 0);
  use_card(fat_volume(70000, 0));
  EXPECT_EQ(a.write(h, flag), write_result::complete);
  EXPECT_TRUE(entries(card).empty());

  // Ticked and chosen: the folder Mp3 holds the files.
  a.set_mp3_ticked(true);
  a.choose_mp3_files(chosen);
  use_card(fat_volume(70000, 2020));
  EXPECT_EQ(a.write(h, flag), write_result::complete);
  EXPECT_EQ(entries(card), std::vector<std::string>{"Mp3"});
  EXPECT_EQ(entries(card / "Mp3"), (std::vector<std::string>{"MP3_LIST.TXT", "a.Mp3"}));
}

TEST_F(SdWrite, Mp3FolderIsMadeEvenWhenEveryCopyIsCancelled) {
  write_bytes(src / "a.mp3", 2000);
  a.set_mp3_ticked(true);
  a.choose_mp3_files(std::vector<fs::path>{src / "a.mp3"});
  use_card(fat_volume(70000, 1 << 20));
  cancelling_host ch;
  ch.cancel_at = "a.mp3";
  EXPECT_EQ(a.write(ch, flag), write_result::cancelled);
  EXPECT_EQ(entries(card), std::vector<std::string>{"Mp3"});
  EXPECT_TRUE(entries(card / "Mp3").empty());
}

TEST_F(SdWrite, CancelBetweenFilesStopsWithANoticeAndNoPartialFile) {
  a.choose_bank(make_bank());
  use_card(fat_volume(70000, 1ull << 40));
  cancelling_host ch;
  ch.cancel_at = "X.Q01";
  EXPECT_EQ(a.write(ch, flag), write_result::cancelled);
  EXPECT_EQ(flag, 0);
  EXPECT_FALSE(ch.progress_open);
  EXPECT_EQ(entries(card), std::vector<std::string>{"X.qbb"});
  EXPECT_TRUE(ch.reports.empty());
  EXPECT_EQ(ch.messages, std::vector<std::string>{
                             "[SD Write Assystant] Write CANCELLED!\n1 of 5 files were copied; "
                             "the card is not complete."});
}

TEST_F(SdWrite, CopyFailingHalfWayIsReportedAndLeavesNothingUnderItsName) {
  a.choose_bank(make_bank());
  use_card(fat_volume(70000, 1ull << 40));
  set_copy_fault_hook([](const fs::path& target, std::uint64_t offset) {
    if (target.filename() == "X.Q01" && offset >= (1u << 20)) return copy_fault::write_error;
    if (target.filename() == "X.Q02") return copy_fault::corrupt;
    if (target.filename() == "X.QBS") return copy_fault::no_space;
    return copy_fault::none;
  });
  EXPECT_EQ(a.write(h, flag), write_result::incomplete);
  const fs::path lib = src / "lib";
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Files Not Copied");
  EXPECT_EQ(h.reports[0].lines, (std::vector<std::string>{
                                    (lib / "X.Q01").string() + ": write error: Input/output error",
                                    (lib / "X.Q02").string() +
                                        ": the copy read back from the card differs from the file",
                                    (lib / "X.QBS").string() + ": no space left on the card"}));
  EXPECT_EQ(h.reports_hidden, 1);
  EXPECT_TRUE(h.messages.empty());  // no "Write COMPLETE!"
  EXPECT_EQ(entries(card), (std::vector<std::string>{"X.qbb", "x.txt"}));
}

TEST_F(SdWrite, FileOfTheSameNameIsNotCopiedTwice) {
  fs::create_directories(src / "v1");
  fs::create_directories(src / "v2");
  write_bytes(src / "v1" / "os.bin", os_file_size, 'a');
  write_bytes(src / "v2" / "os.bin", os_file_size, 'b');
  a.set_os_ticked(true);
  a.choose_os_files(std::vector<fs::path>{src / "v1" / "os.bin", src / "v2" / "os.bin"}, h);
  use_card(fat_volume(70000, 1ull << 40));
  EXPECT_EQ(a.write(h, flag), write_result::incomplete);
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].lines, std::vector<std::string>{(src / "v2" / "os.bin").string() +
                                                         ": a file of this name is already on "
                                                         "the card"});
  EXPECT_EQ(read_whole_file(card / "os.bin"), read_whole_file(src / "v1" / "os.bin"));
}

TEST_F(SdWrite, OnlyTheCardsRootIsWrittenAndLeftoversOfAStoppedWriteAreNamedNotRemoved) {
  write_bytes(src / "os.bin", os_file_size);
  a.set_os_ticked(true);
  a.choose_os_files(std::vector<fs::path>{src / "os.bin"}, h);
  const std::string leftovers =
      "\n\nLeft by a write that was stopped before it ended (remove them, or format the card):";
  struct named_case {
    const char* what;
    std::vector<std::string> on_card;  // files there before the write ("D/" makes folder D)
    std::string destination;           // below the card's root
    std::string refusal;
  };
  const named_case cases[] = {
      {"a stopped copy's temporary",
       {".os.bin.qbank-copy"},
       "",
       not_empty + leftovers + "\n.os.bin.qbank-copy"},
      {"temporaries at the root and in Mp3",
       {".X.qbb.qbank-copy3", "Mp3/.a.mp3.qbank-copy"},
       "",
       not_empty + leftovers + "\n.X.qbb.qbank-copy3\n" +
           path_to_utf8(fs::path("Mp3") / ".a.mp3.qbank-copy")},
      {"a folder on the card",
       {"Banks/"},
       "Banks",
       "[SD Write Assystant] Destination is not the root folder of its drive!\nThe instrument "
       "looks for the bank only in the card's root folder: choose the card itself, not a folder "
       "on it."},
  };
  for (const named_case& c : cases) {
    SCOPED_TRACE(c.what);
    temp_dir root;
    for (const std::string& name : c.on_card) {
      if (name.ends_with("/")) {
        fs::create_directories(root / name);
        continue;
      }
      fs::create_directories((root / name).parent_path());
      write_bytes(root / name, 10);
    }
    const std::vector<std::string> before = entries(root.path());
    fixed_volume_layer volumes(fat_volume(70000, 1ull << 40), root.path());
    a.choose_destination(root / c.destination, volumes);
    recording_host hc;
    EXPECT_EQ(a.write(hc, flag), write_result::refused);
    EXPECT_EQ(hc.messages, std::vector<std::string>{c.refusal});
    EXPECT_EQ(entries(root.path()), before);
    for (const std::string& name : c.on_card) EXPECT_TRUE(fs::exists(root / name)) << name;
    if (!c.destination.empty()) {
      EXPECT_TRUE(entries(root / c.destination).empty());
    }
  }
}

TEST_F(SdWrite, OnlyABankSetTheReaderTakesWholeIsCopied) {
  const fs::path lib = src / "lib", bank_file = lib / "B.qbb";
  // One file of the bank without parts, built once and put in place for each case.
  temp_dir single;
  build_bank(single / "B.qbb", 0);
  const auto put_single = [&] { fs::copy_file(single / "B.qbb", bank_file); };
  struct named_case {
    const char* what;
    std::function<void()> prepare;
    std::vector<std::string> refusal;  // empty: written whole
  };
  const named_case cases[] = {
      {"a build killed after its new bank file took the old one's place, before the old parts "
       "went",
       [&] {
         build_bank(bank_file, 10 << 20);  // B.qbb, B.Q01, B.Q02
         set_file_step_hook([](file_step step, const fs::path& p) {
           return step == file_step::remove && p.filename() == "B.Q01" ? step_outcome::kill
                                                                       : step_outcome::proceed;
         });
         recording_host hb;
         bank b;
         EXPECT_THROW(build_bank_file(b, bank_file, hb, {false, 0}), simulated_kill);
         set_file_step_hook({});
         ASSERT_TRUE(fs::exists(journal_path(bank_file)));
         ASSERT_TRUE(fs::exists(lib / "B.Q01"));
       },
       {}},
      {"a part left from an earlier, larger bank",
       [&] {
         put_single();
         write_bytes(lib / "B.Q01", 4096);
       },
       {"[Error] The part file B.Q01 does not belong to the bank " + path_to_utf8(bank_file) +
        ": the bank's data ends before it. It is left from an earlier, larger bank; remove it."}},
      {"no bank at all",
       [&] { write_bytes(bank_file, 5000); },
       {"[Error] Invalid Ample LEAD Sampler Bank!\n...OR...\n...my be this is PROTECTED!!! Ample "
        "LEAD Sampler Bank!"}},
  };
  for (const named_case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& e : fs::directory_iterator(lib)) fs::remove_all(e.path());
    for (const auto& e : fs::directory_iterator(card)) fs::remove_all(e.path());
    c.prepare();
    a.choose_bank(bank_file);
    use_card(fat_volume(70000, 1ull << 40));
    recording_host hc;
    if (!c.refusal.empty()) {
      EXPECT_EQ(a.write(hc, flag), write_result::refused);
      EXPECT_EQ(hc.messages, c.refusal);
      EXPECT_TRUE(entries(card).empty());
      continue;
    }
    EXPECT_EQ(a.write(hc, flag), write_result::complete) << ::testing::PrintToString(hc.messages);
    // The stopped build was completed first: the new bank file alone, on the card as in the
    // library, and the list shows what was copied.
    EXPECT_EQ(entries(lib), std::vector<std::string>{"B.qbb"});
    EXPECT_EQ(entries(card), std::vector<std::string>{"B.qbb"});
    EXPECT_EQ(read_whole_file(card / "B.qbb"), read_whole_file(bank_file));
    EXPECT_EQ(fs::file_size(card / "B.qbb"), fs::file_size(single / "B.qbb"));
    EXPECT_EQ(a.bank_lines(), std::vector<std::string>{size_line(bank_file)});
  }
}

TEST(CopyPercent, WholeKibOfEachAndSmallFilesShowAHundredOnceCopied) {
  EXPECT_EQ(copy_percent(500, 0), 0);
  EXPECT_EQ(copy_percent(500, 500), 100);
  EXPECT_EQ(copy_percent(0, 0), 100);
  EXPECT_EQ(copy_percent(2048, 1023), 0);
  EXPECT_EQ(copy_percent(2048, 1024), 50);
  EXPECT_EQ(copy_percent(4293918720ull, 4293918720ull), 100);
  EXPECT_EQ(copy_percent(4293918720ull, 2146959360ull), 50);
}

}  // namespace
}  // namespace qbank
