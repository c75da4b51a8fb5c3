// The library common path and the replacement of text in every stored path.
#include "edit/path_tools.h"

#include <gtest/gtest.h>

#include "bank/bank.h"
#include "platform/codepage.h"
#include "support/recording_host.h"

namespace qbank {
namespace {

using testing::recording_host;

TEST(LibraryCommonPath, ComparedByCharactersNotFolders) {
  bank b;
  EXPECT_EQ(library_common_path(b), "");
  EXPECT_EQ(library_common_path_caption(b), "Library Common Path: ");
  b.set_file(9999, 127, "D:\\Lib\\a.wav");
  EXPECT_EQ(library_common_path(b), "D:\\Lib\\a.wav");  // a single path is its own prefix
  b.set_file(0, 0, "D:\\Lib\\b.wav");
  EXPECT_EQ(library_common_path(b), "D:\\Lib\\");
  b.set_file(1, 0, "D:\\Lib\\Piano\\a.wav");
  b.set_file(1, 1, "D:\\Lib\\Pad\\b.wav");
  b.set_file(0, 0, "- - -");
  b.set_file(9999, 127, "- - -");
  EXPECT_EQ(library_common_path(b), "D:\\Lib\\P");
  // A path that is a prefix of another ends the common path.
  b.set_file(2, 0, "D:\\Lib");
  EXPECT_EQ(library_common_path(b), "D:\\Lib");
  // Texts that were stored once but no slot names any more do not count.
  b.set_file(2, 0, "E:\\Other.wav");
  b.set_file(2, 0, "- - -");
  EXPECT_EQ(library_common_path(b), "D:\\Lib\\P");
  b.set_file(3, 3, "e:\\lower.wav");  // case-sensitive: nothing shared
  EXPECT_EQ(library_common_path(b), "");
}

TEST(LibraryCommonPath, LongPathsAreComparedWholeAndCut) {
  bank b;
  const std::string shared(1500, 'p');
  b.set_file(1, 0, shared + "a.wav");
  b.set_file(1, 1, shared + "b.wav");
  EXPECT_EQ(library_common_path(b), shared);  // beyond 1024 characters, still exact
  b.set_file(1, 1, std::string(1200, 'p') + "x.wav");
  EXPECT_EQ(library_common_path(b), std::string(1200, 'p'));
  const std::string longer(3000, 'q');
  bank c;
  c.set_file(1, 0, longer);
  EXPECT_EQ(library_common_path(c).size(), common_path_max);
}

TEST(ReplaceInPaths, EntriesThatBecomeEqualShareOneText) {
  bank b;
  b.set_file(1, 0, "D:\\Lib\\Piano\\C3.wav");
  b.set_file(2, 5, "E:\\Samples\\Piano\\C3.wav");
  b.set_file(3, 7, "X:\\D:\\Lib\\D:\\Lib\\x.wav");  // every occurrence, not only at the start
  b.set_file(4, 0, "F:\\untouched.wav");
  const std::size_t before = b.paths().size();
  recording_host h;
  ASSERT_TRUE(replace_text_in_paths(b, "D:\\Lib\\", "E:\\Samples\\", h));
  EXPECT_EQ(b.file(1, 0), "E:\\Samples\\Piano\\C3.wav");
  EXPECT_EQ(b.file_id(1, 0), b.file_id(2, 5));
  EXPECT_EQ(b.file(3, 7), "X:\\E:\\Samples\\E:\\Samples\\x.wav");
  EXPECT_EQ(b.file(4, 0), "F:\\untouched.wav");
  EXPECT_TRUE(b.slot_is_empty(1, 1));
  // The pool holds the marker and the three texts still in use, fewer than before.
  EXPECT_EQ(b.paths().size(), 4u);
  EXPECT_LT(b.paths().size(), before);
  EXPECT_TRUE(h.boxes.empty());
  // Back and forth many times: the pool does not grow.
  for (int i = 0; i < 20; ++i) {
    b.replace_in_paths("E:\\Samples\\", "G:\\S" + std::to_string(i) + "\\");
    b.replace_in_paths("G:\\S" + std::to_string(i) + "\\", "E:\\Samples\\");
  }
  EXPECT_EQ(b.paths().size(), 4u);
  EXPECT_EQ(b.file(3, 7), "X:\\E:\\Samples\\E:\\Samples\\x.wav");
}

TEST(ReplaceInPaths, ManyTextsAndOneLongerThanABatch) {
  bank b;
  for (int n = 0; n < 50; ++n)
    for (int j = 0; j < 128; ++j)
      b.set_file(n, j, "D:\\Lib\\" + std::to_string(n) + "\\" + std::to_string(j % 100) + ".wav");
  const std::string huge = "D:\\Lib\\" + std::string(1 << 21, 'h');
  b.set_file(60, 0, huge);
  b.set_file(60, 1, "kept.wav");
  b.replace_in_paths("D:\\Lib\\", "E:\\");
  for (int n = 0; n < 50; ++n)
    for (int j = 0; j < 128; ++j)
      ASSERT_EQ(b.file(n, j), "E:\\" + std::to_string(n) + "\\" + std::to_string(j % 100) + ".wav");
  EXPECT_EQ(b.file(60, 0), "E:\\" + std::string(1 << 21, 'h'));
  EXPECT_EQ(b.file(60, 1), "kept.wav");
  EXPECT_EQ(b.paths().size(), 1u + 50 * 100 + 2);
}

TEST(ReplaceInPaths, EmptyTextsAndTextsTheCodePageCannotHoldChangeNothing) {
  set_active_codepage(1252);
  bank b;
  b.set_file(1, 0, "D:\\Lib\\a.wav");
  recording_host h;
  EXPECT_FALSE(replace_text_in_paths(b, "D:\\Lib\\", "", h));
  EXPECT_FALSE(replace_text_in_paths(b, "", "E:\\", h));
  EXPECT_TRUE(h.boxes.empty());
  EXPECT_FALSE(replace_text_in_paths(b, "D:\\Lib\\", "E:\\Сэмплы\\", h));
  ASSERT_EQ(h.messages.size(), 1u);
  EXPECT_EQ(h.messages[0].rfind("[Error] The text \"E:\\Сэмплы\\\" holds the character \"С\"", 0),
            0u)
      << h.messages[0];
  EXPECT_EQ(b.file(1, 0), "D:\\Lib\\a.wav");
  // Non-ASCII text the code page holds is stored in it.
  ASSERT_TRUE(replace_text_in_paths(b, "Lib", "Bibliothèque", h));
  EXPECT_EQ(b.file(1, 0), "D:\\Biblioth\xE8que\\a.wav");
  set_active_codepage(0);
}

TEST(FolderAsNewText, OneSeparatorAtTheEnd) {
  EXPECT_EQ(folder_as_new_text("E:\\Samples", '\\'), "E:\\Samples\\");
  EXPECT_EQ(folder_as_new_text("E:\\", '\\'), "E:\\");
  EXPECT_EQ(folder_as_new_text("/", '/'), "/");
  EXPECT_EQ(folder_as_new_text("/media/usb", '/'), "/media/usb/");
}

}  // namespace
}  // namespace qbank
