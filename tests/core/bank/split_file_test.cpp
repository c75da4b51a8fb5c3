#include "bank/split_file.h"

#include <gtest/gtest.h>

#include <numeric>

#include "platform/file_error.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

using testing::bytes;
namespace fs = std::filesystem;

bytes counting(std::size_t n, int start = 0) {
  bytes b(n);
  for (std::size_t k = 0; k < n; ++k) b[k] = static_cast<std::uint8_t>(start + k * 7);
  return b;
}

std::vector<std::string> folder_names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    names.push_back(path_to_utf8(e.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

class SplitWriter : public ::testing::Test {
 protected:
  testing::temp_dir dir;
  fs::path bank = dir / "BANK.qbb";

  std::uint64_t size_of(const char* name) { return fs::file_size(dir / name); }
};

TEST_F(SplitWriter, FillsPartsToTheLimitAndStartsAPartOnlyForRemainingBytes) {
  MySplitFileWriter w(1024);
  ASSERT_TRUE(w.Open(bank, true));
  w.Write(counting(1024).data(), 1024);
  EXPECT_EQ(w.PartCount(), 1);
  w.Write(counting(1).data(), 1);
  w.Close();
  EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"BANK.Q01", "BANK.qbb"}));
  EXPECT_EQ(size_of("BANK.qbb"), 1024u);
  EXPECT_EQ(size_of("BANK.Q01"), 1u);
}

TEST_F(SplitWriter, AWriteAcrossTheLimitIsCutAtTheLimit) {
  MySplitFileWriter w(1024);
  ASSERT_TRUE(w.Open(bank, true));
  w.Write(counting(512).data(), 512);
  const bytes block = counting(1024, 3);
  w.Write(block.data(), block.size());
  w.Close();
  const bytes part1 = read_whole_file(dir / "BANK.Q01");
  EXPECT_EQ(size_of("BANK.qbb"), 1024u);
  EXPECT_EQ(part1, bytes(block.begin() + 512, block.end()));
}

TEST_F(SplitWriter, WithoutSplittingEverythingGoesToOneFile) {
  MySplitFileWriter w(512);
  ASSERT_TRUE(w.Open(bank, false));
  w.Write(counting(2000).data(), 2000);
  const std::string_view lines[] = {"a", "- - -"};
  w.WriteList(lines);
  w.Close();
  EXPECT_EQ(folder_names(dir.path()), std::vector<std::string>{"BANK.qbb"});
  const bytes all = read_whole_file(bank);
  ASSERT_EQ(all.size(), 2010u);
  EXPECT_EQ(std::string(all.begin() + 2000, all.end()), "a\r\n- - -\r\n");
}

TEST_F(SplitWriter, NothingReplacesTheOldBankUntilClose) {
  testing::write_file(bank, bytes{'o', 'l', 'd'});
  testing::write_file(dir / "BANK.Q01", bytes{'o'});
  {
    MySplitFileWriter w(4);
    ASSERT_TRUE(w.Open(bank, true));
    w.Write(counting(10).data(), 10);
    EXPECT_EQ(read_whole_file(bank), (bytes{'o', 'l', 'd'}));
    // Destroyed without Close: abandoned.
  }
  EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"BANK.Q01", "BANK.qbb"}));
  EXPECT_EQ(read_whole_file(bank), (bytes{'o', 'l', 'd'}));
}

TEST_F(SplitWriter, CloseRemovesThePartsOfAnEarlierLongerBank) {
  for (const char* stale : {"BANK.Q01", "BANK.Q02", "BANK.Q07"})
    testing::write_file(dir / stale, {1});
  MySplitFileWriter w(8);
  ASSERT_TRUE(w.Open(bank, true));
  w.Write(counting(12).data(), 12);
  w.Close();
  EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"BANK.Q01", "BANK.qbb"}));
  EXPECT_EQ(size_of("BANK.Q01"), 4u);
}

TEST_F(SplitWriter, MoreThan99PartsIsRefusedAndLeavesNothing) {
  MySplitFileWriter w(2);
  ASSERT_TRUE(w.Open(bank, true));
  w.Write(counting(198).data(), 198);  // exactly 99 full parts
  EXPECT_THROW(w.Write(counting(1).data(), 1), command_error);
  w.Abandon();
  EXPECT_TRUE(folder_names(dir.path()).empty());
}

TEST_F(SplitWriter, OpenReportsAFolderThatDoesNotExist) {
  MySplitFileWriter w;
  EXPECT_FALSE(w.Open(dir / "no" / "BANK.qbb", true));
  EXPECT_FALSE(w.last_error().empty());
}

class SplitReader : public ::testing::Test {
 protected:
  testing::temp_dir dir;
  fs::path bank = dir / "BANK.qbb";
  testing::recording_host h;
  MySplitFileReaderClass r{h};
  bytes all = counting(2500);

  // Parts of 1024 bytes: 1024 + 1024 + 452.
  void write_parts() {
    MySplitFileWriter w(1024);
    ASSERT_TRUE(w.Open(bank, true));
    w.Write(all.data(), all.size());
    w.Close();
  }
};

TEST_F(SplitReader, ReadsAcrossPartBoundaries) {
  write_parts();
  ASSERT_TRUE(r.Open(bank, true));
  EXPECT_EQ(r.TotalSize(), 2500u);
  ASSERT_TRUE(r.GoToPosition(1000));
  bytes got(1100);
  EXPECT_EQ(r.Read(got.data(), got.size()), 1100u);
  EXPECT_EQ(got, bytes(all.begin() + 1000, all.begin() + 2100));
  EXPECT_EQ(r.Position(), 2100u);
  bytes rest(400);
  EXPECT_EQ(r.Read(rest.data(), rest.size()), 400u);
  EXPECT_EQ(rest, bytes(all.begin() + 2100, all.end()));
  EXPECT_TRUE(h.messages.empty());
}

TEST_F(SplitReader, AReadEndingAtAPartEndMovesToTheNextPart) {
  write_parts();
  ASSERT_TRUE(r.Open(bank, true));
  bytes got(1024);
  r.Read(got.data(), got.size());
  EXPECT_EQ(r.Position(), 1024u);
  EXPECT_EQ(r.CurrentStream()->position(), 0u);
  EXPECT_EQ(r.CurrentStream()->size(), 1024u);  // part 1
  std::uint8_t next = 0;
  r.Read(&next, 1);
  EXPECT_EQ(next, all[1024]);
}

TEST_F(SplitReader, AMissingPartIsSkippedAndLaterPartsFollowPartZero) {
  write_parts();
  fs::remove(dir / "BANK.Q01");
  ASSERT_TRUE(r.Open(bank, true));
  EXPECT_EQ(r.TotalSize(), 1024u + 452u);
  ASSERT_TRUE(r.GoToPosition(1020));
  bytes got(8);
  r.Read(got.data(), got.size());
  bytes expected(all.begin() + 1020, all.begin() + 1024);
  expected.insert(expected.end(), all.begin() + 2048, all.begin() + 2052);
  EXPECT_EQ(got, expected);
}

TEST_F(SplitReader, AMissingPartZeroStartsAtTheFirstPartWithBytes) {
  write_parts();
  fs::remove(bank);
  ASSERT_TRUE(r.Open(bank, true));
  std::uint8_t first = 0;
  EXPECT_EQ(r.Read(&first, 1), 1u);
  EXPECT_EQ(first, all[1024]);
}

TEST_F(SplitReader, OutOfRangeRequestsShowTheirMessagesAndChangeNothing) {
  write_parts();
  ASSERT_TRUE(r.Open(bank, true));
  EXPECT_FALSE(r.GoToPosition(2501));
  EXPECT_EQ(r.Position(), 0u);
  EXPECT_TRUE(r.GoToPosition(2500));
  bytes one = {0x42};
  EXPECT_EQ(r.Read(one.data(), 1), 0u);
  EXPECT_EQ(one[0], 0x42);
  EXPECT_EQ(h.messages,
            (std::vector<std::string>{
                "[Error] Go to Position outside all files in MySplitFileReader_GoToPosition!",
                "[Error] Try to read outside all files in MySplitFileReader_GoToPosition!"}));
}

TEST_F(SplitReader, APartThatShrankAfterOpeningGivesTheShortReadMessages) {
  write_parts();
  ASSERT_TRUE(r.Open(bank, true));
  std::filesystem::resize_file(dir / "BANK.Q01", 100);
  ASSERT_TRUE(r.GoToPosition(1000));
  bytes got(200);
  EXPECT_EQ(r.Read(got.data(), got.size()), 124u);
  EXPECT_EQ(h.messages, (std::vector<std::string>{"[Error] Error 1 in MySplitFileReader!",
                                                  "[Iskani] 200", "[Readed] 124"}));
}

TEST_F(SplitReader, NoDataMeansOpenFails) {
  EXPECT_FALSE(r.Open(bank, true));
  testing::write_file(bank, {});
  EXPECT_FALSE(r.Open(bank, true));
  EXPECT_EQ(r.TotalSize(), 0u);
}

TEST_F(SplitReader, WithoutAllPartsOnlyPartZeroCounts) {
  write_parts();
  ASSERT_TRUE(r.Open(bank, false));
  EXPECT_EQ(r.TotalSize(), 1024u);
}

// Parts in memory behave as the part files the writer makes of the same bytes: the same sizes,
// the same bytes across boundaries from pieces joined at other places, a missing part skipped.
TEST_F(SplitReader, MemoryPartsMatchThePartFilesOfTheSameBytes) {
  write_parts();
  ASSERT_TRUE(r.Open(bank, true));
  const std::span<const std::uint8_t> whole(all);
  memory_part_opener parts({whole.first(700), whole.subspan(700, 1), whole.subspan(701)}, 1024);
  MySplitFileReaderClass m{h};
  ASSERT_TRUE(m.Open(parts, true));
  EXPECT_EQ(m.PartSizes(), r.PartSizes());
  ASSERT_TRUE(m.GoToPosition(650));
  bytes got(1800);
  EXPECT_EQ(m.Read(got.data(), got.size()), 1800u);
  EXPECT_EQ(got, bytes(all.begin() + 650, all.begin() + 2450));
  EXPECT_TRUE(parts.exists(2));
  EXPECT_FALSE(parts.exists(3));

  parts.set_missing(1);
  ASSERT_TRUE(m.Open(parts, true));
  EXPECT_EQ(m.TotalSize(), 1024u + 452u);
  ASSERT_TRUE(m.GoToPosition(1020));
  bytes across(8);
  EXPECT_EQ(m.Read(across.data(), across.size()), 8u);
  EXPECT_EQ(bytes(across.begin() + 4, across.end()), bytes(all.begin() + 2048, all.begin() + 2052));
  EXPECT_TRUE(h.messages.empty());
}

}  // namespace
}  // namespace qbank
