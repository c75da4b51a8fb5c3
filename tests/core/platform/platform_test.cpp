#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/codepage.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/temp_dir.h"
#include "util/line_reader.h"
#include "util/text_format.h"

namespace qbank {
namespace {

using testing::temp_dir;

class CodepageTest : public ::testing::Test {
 protected:
  void TearDown() override { set_active_codepage(1252); }
};

TEST_F(CodepageTest, WesternAndCyrillicRoundTrip) {
  set_active_codepage(1252);
  EXPECT_EQ(to_utf8("caf\xE9 \x80"), "café €");
  EXPECT_EQ(from_utf8("café €"), std::optional<std::string>("caf\xE9 \x80"));
  EXPECT_EQ(to_utf8("plain ascii"), "plain ascii");
  set_active_codepage(1251);
  EXPECT_EQ(to_utf8("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
  EXPECT_EQ(from_utf8("Привет"), std::optional<std::string>("\xCF\xF0\xE8\xE2\xE5\xF2"));
}

TEST_F(CodepageTest, CharactersOutsideTheCodePageAreRefusedNotMangled) {
  set_active_codepage(1252);
  std::string bad;
  EXPECT_FALSE(from_utf8("Пиано", &bad));
  EXPECT_EQ(bad, "П");
  EXPECT_FALSE(from_utf8("\xC3", &bad));  // cut UTF-8
  EXPECT_THROW(stored_path(path_from_utf8("/lib/Пиано.wav")), command_error);
  EXPECT_EQ(stored_path(path_from_utf8("/lib/café.wav")), "/lib/caf\xE9.wav");
}

TEST(Paths, StoredWindowsPathsBecomeNative) {
  set_active_codepage(1252);
#ifdef _WIN32
  EXPECT_EQ(path_to_utf8(native_path("D:\\Lib\\Piano\\C3.wav")), "D:\\Lib\\Piano\\C3.wav");
#else
  EXPECT_EQ(path_to_utf8(native_path("D:\\Lib\\Piano\\C3.wav")), "D:/Lib/Piano/C3.wav");
#endif
  EXPECT_EQ(native_path_text("/x/caf\xE9.wav"), "/x/café.wav");
  EXPECT_EQ(stored_file_name("D:\\Lib/Piano\\C3.wav"), "C3.wav");
  EXPECT_EQ(stored_folder("D:\\Lib/Piano\\C3.wav"), "D:\\Lib/Piano");
  EXPECT_EQ(stored_folder("C3.wav"), "");
}

TEST(Paths, ExtensionsReplacedFromTheLastDotOfTheNameOnly) {
  EXPECT_EQ(replace_extension("/a/BANK.qbb", ".Q01"), "/a/BANK.Q01");
  EXPECT_EQ(replace_extension("/a.b/BANK", ".QBS"), "/a.b/BANK.QBS");
  EXPECT_EQ(replace_extension("C:\\x.y\\name.tar.qbb", ".QBS"), "C:\\x.y\\name.tar.QBS");
  EXPECT_TRUE(has_extension("/a/b.QbB", ".qbb"));
  EXPECT_FALSE(has_extension("/a/qbb", ".qbb"));
}

TEST(AtomicFile, CommitReplacesAbandonKeepsTheOldFile) {
  temp_dir dir;
  write_whole_file(dir / "f.bin", "old", 3);
  {
    atomic_output_file out(dir / "f.bin");
    out.write("new content");
    // destroyed without commit: a failed write
  }
  EXPECT_EQ(read_whole_file(dir / "f.bin"), std::vector<std::uint8_t>({'o', 'l', 'd'}));
  {
    atomic_output_file out(dir / "f.bin");
    std::string big(3 << 20, 'x');  // larger than the buffer
    out.write("ab");
    out.write(big);
    EXPECT_EQ(out.size(), big.size() + 2);
    out.commit();
  }
  EXPECT_EQ(read_whole_file(dir / "f.bin").size(), (3u << 20) + 2);
  int files = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);  // no temporary left behind
}

TEST(InputFile, ShortReadsAtTheEndAndClearErrors) {
  temp_dir dir;
  write_whole_file(dir / "s.bin", "12345", 5);
  input_file in(dir / "s.bin");
  char buf[8] = {};
  EXPECT_EQ(in.size(), 5u);
  in.seek(3);
  EXPECT_EQ(in.read(buf, 8), 2u);
  EXPECT_EQ(in.read(buf, 8), 0u);
  in.seek(100);
  EXPECT_EQ(in.read(buf, 8), 0u);
  EXPECT_THROW(input_file(dir / "none"), file_error);
  EXPECT_THROW(input_file(dir.path()), file_error);
  EXPECT_FALSE(file_exists(dir.path()));
}

std::vector<std::string> all_lines(const std::string& text, std::size_t block) {
  memory_source src(text.data(), text.size());
  line_reader r(src, block);
  std::vector<std::string> out;
  while (auto l = r.next()) out.emplace_back(*l);
  return out;
}

TEST(LineReader, EndingsAndBlockEdges) {
  const std::string text = "a\r\nbb\rccc\n\r\ndddd\r\n\nlast";
  const std::vector<std::string> expected = {"a", "bb", "ccc", "", "dddd", "", "last"};
  for (std::size_t block : {1, 2, 3, 5, 7, 64})
    EXPECT_EQ(all_lines(text, block), expected) << block;
  EXPECT_EQ(all_lines("x\r\n", 2), std::vector<std::string>{"x"});
  EXPECT_EQ(all_lines("", 4), std::vector<std::string>{});
  EXPECT_EQ(all_lines("\r", 4), std::vector<std::string>{""});
}

TEST(TextFormat, ThousandsGroupedWithSingleSpaces) {
  EXPECT_EQ(group_thousands(0), "0");
  EXPECT_EQ(group_thousands(999), "999");
  EXPECT_EQ(group_thousands(1000), "1 000");
  EXPECT_EQ(group_thousands(1234567), "1 234 567");
  EXPECT_EQ(group_thousands(24322048), "24 322 048");
}

}  // namespace
}  // namespace qbank
