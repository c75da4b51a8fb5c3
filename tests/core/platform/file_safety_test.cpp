// Safe file handling: inputs are regular files only, replaced files keep their permission bits
// and their symbolic links, temporary files are recognisable and removed by a later run, and
// line reading is linear and bounded whatever the input.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstring>
#include <limits>

#include "bank/split_file.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"
#include "util/line_reader.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
TEST(FileSafety, OnlyRegularFilesAreOpenedAsInputs) {
  testing::temp_dir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  // Opening a FIFO without a writer would block forever; it is refused at once instead.
  try {
    input_file in(dir / "pipe");
    FAIL() << "a FIFO was opened";
  } catch (const file_error& e) {
    EXPECT_EQ(e.path(), dir / "pipe");
    EXPECT_EQ(e.reason(), "Is a named pipe (FIFO), not a regular file");
  }
  try {
    input_file in("/dev/zero");
    FAIL() << "a device was opened";
  } catch (const file_error& e) {
    EXPECT_EQ(e.reason(), "Is a character device, not a regular file");
  }
  EXPECT_THROW(input_file{dir.path()}, file_error);
}
#endif

#ifndef _WIN32
TEST(FileSafety, AReplacedFileKeepsItsPermissionBitsAndItsLink) {
  testing::temp_dir dir;
  const std::string text = "new";
  testing::write_file(dir / "private.qbs", {'o', 'l', 'd'});
  fs::permissions(dir / "private.qbs", fs::perms::owner_read | fs::perms::owner_write);
  write_whole_file(dir / "private.qbs", text.data(), text.size());
  EXPECT_EQ(fs::status(dir / "private.qbs").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);

  fs::create_directory(dir / "store");
  testing::write_file(dir / "store" / "real.qbs", {'o', 'l', 'd'});
  fs::create_symlink("store/real.qbs", dir / "link.qbs");
  write_whole_file(dir / "link.qbs", text.data(), text.size());
  EXPECT_TRUE(fs::is_symlink(dir / "link.qbs"));
  EXPECT_EQ(read_whole_file(dir / "store" / "real.qbs"),
            (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  // The temporary file was made beside the link's target and is gone.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "store"), fs::directory_iterator{}), 1);
}
#endif

TEST(FileSafety, TemporaryFilesOfEarlierRunsAreRemovedByTheNextBuild) {
  testing::temp_dir dir;
  const fs::path bank = dir / "BANK.qbb";
  // What killed runs leave: temporaries of part 0, of part 3, and of another bank.
  testing::write_file(dir / ".BANK.qbb.qbank-tmp-4242-0", {1});
  testing::write_file(dir / ".BANK.Q03.qbank-tmp-4242-7", {1});
  testing::write_file(dir / ".OTHER.qbb.qbank-tmp-4242-1", {1});
  EXPECT_TRUE(is_temporary_of(".BANK.Q03.qbank-tmp-4242-7", dir / "BANK.Q03"));
  EXPECT_FALSE(is_temporary_of(".OTHER.qbb.qbank-tmp-4242-1", bank));

  MySplitFileWriter w(1024);
  ASSERT_TRUE(w.Open(bank, true));
  EXPECT_FALSE(fs::exists(dir / ".BANK.qbb.qbank-tmp-4242-0"));
  EXPECT_FALSE(fs::exists(dir / ".BANK.Q03.qbank-tmp-4242-7"));
  EXPECT_TRUE(fs::exists(dir / ".OTHER.qbb.qbank-tmp-4242-1"));
  // The part this writer is writing is a temporary of the bank too, and is kept.
  int own = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) own += is_temporary_of(e.path(), bank);
  EXPECT_EQ(own, 1);
  w.Write("abc", 3);
  w.Close();
  EXPECT_EQ(read_whole_file(bank), (std::vector<std::uint8_t>{'a', 'b', 'c'}));
}

TEST(FileSafety, ASecondWriterOfOneBankInTheSameProcessIsRefused) {
  testing::temp_dir dir;
  MySplitFileWriter first(1024), second(1024);
  ASSERT_TRUE(first.Open(dir / "BANK.qbb", true));
  // Waiting for the first would wait for itself.
  EXPECT_FALSE(second.Open(dir / "BANK.qbb", true));
  EXPECT_EQ(second.last_error(), "Another build of BANK.qbb is running");
  first.Write("abc", 3);
  first.Close();
  ASSERT_TRUE(second.Open(dir / "BANK.qbb", true));
  second.Write("de", 2);
  second.Close();
  EXPECT_EQ(read_whole_file(dir / "BANK.qbb"), (std::vector<std::uint8_t>{'d', 'e'}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}), 1);
}

// A source of endless bytes without a line end, like /dev/zero.
class endless_source : public byte_source {
 public:
  std::size_t read(void* buffer, std::size_t count) override {
    std::memset(buffer, 'x', count);
    position_ += count;
    return count;
  }
  std::uint64_t size() const override { return std::numeric_limits<std::uint64_t>::max(); }
  std::uint64_t position() const override { return position_; }
  void seek(std::uint64_t position) override { position_ = position; }

 private:
  std::uint64_t position_ = 0;
};

TEST(LineReaderLimits, ALineLongerThanTheLimitStopsTheReadWithItsNumber) {
  std::string text = "a\r\nb\r\n" + std::string(max_line_bytes, 'p') + "\r\n";
  text += std::string(max_line_bytes + 1, 'q') + "\r\nlast\r\n";
  memory_source src(text.data(), text.size());
  line_reader r(src, 1000);
  EXPECT_EQ(*r.next(), "a");
  EXPECT_EQ(*r.next(), "b");
  EXPECT_EQ(r.next()->size(), max_line_bytes);
  try {
    r.next();
    FAIL() << "the long line was read";
  } catch (const line_too_long& e) {
    EXPECT_EQ(e.line(), 4u);
  }
  endless_source endless;
  line_reader forever(endless);
  EXPECT_THROW(forever.next(), line_too_long);
}

TEST(LineReaderLimits, CrOnlyLinesAreReadInOnePass) {
  // 4 MB of one-byte lines ended by CR alone, in one block: a reader that looked for LF over the
  // rest of the block for every line would take hours here.
  std::string text;
  for (int k = 0; k < 2'000'000; ++k) text += "x\r";
  memory_source src(text.data(), text.size());
  line_reader r(src);
  std::uint64_t count = 0;
  while (auto line = r.next()) count += *line == "x";
  EXPECT_EQ(count, 2'000'000u);
  EXPECT_EQ(r.consumed(), text.size());
}

}  // namespace
}  // namespace qbank
