// Editing one multisample: names and comments through the code page, removal, octave moves.
#include "edit/multisample_edit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bank/bank.h"
#include "platform/codepage.h"
#include "support/recording_host.h"

namespace qbank {
namespace {

using testing::recording_host;

TEST(MultisampleName, CutZeroPaddedEmptyIsTheMarkerAndStoredInTheCodePage) {
  set_active_codepage(1251);
  bank b;
  recording_host h;
  ASSERT_TRUE(set_multisample_name(b, 5, "Скрипка", h));
  EXPECT_EQ(std::string(b.multisample(5).name, 8),
            std::string("\xD1\xEA\xF0\xE8\xEF\xEA\xE0\0", 8));
  ASSERT_TRUE(set_multisample_name(b, 5, "A name that is far too long", h));
  EXPECT_EQ(std::string(b.multisample(5).name, 16), "A name that is f");
  ASSERT_TRUE(set_multisample_name(b, 5, "", h));
  EXPECT_EQ(std::string(b.multisample(5).name, 16), std::string("- - -\0\0\0\0\0\0\0\0\0\0\0", 16));
  // A character code page 1251 has no form for is refused; the name keeps its value.
  EXPECT_FALSE(set_multisample_name(b, 5, "Geige \xC3\xA9", h));
  ASSERT_EQ(h.messages.size(), 1u);
  EXPECT_EQ(h.messages[0],
            "[Error] The text \"Geige \xC3\xA9\" holds the character \"\xC3\xA9\", which the code "
            "page 1251 cannot store.");
  EXPECT_EQ(b.multisample_name_text(5), "- - -");
  set_active_codepage(0);
}

TEST(MultisampleComment, StoredAsTypedWithCrLfAndAtMost239Characters) {
  set_active_codepage(1252);
  bank b;
  recording_host h;
  ASSERT_TRUE(set_multisample_comment(b, 3, "100% dry\nsecond %s line", h));
  const char* c = b.multisample(3).comment;
  EXPECT_STREQ(c, "100% dry\r\nsecond %s line");
  // The bytes after the terminating zero keep the reset blanks.
  EXPECT_EQ(c[std::strlen(c) + 1], ' ');
  EXPECT_EQ(multisample_comment_text(b, 3), "100% dry\nsecond %s line");

  ASSERT_TRUE(set_multisample_comment(b, 3, std::string(300, 'x'), h));
  EXPECT_EQ(std::strlen(c), 239u);
  EXPECT_EQ(c[239], '\0');
  // A line end that does not fit whole is left out.
  ASSERT_TRUE(set_multisample_comment(b, 3, std::string(238, 'y') + "\nz", h));
  EXPECT_EQ(std::string(c), std::string(238, 'y'));

  // A damaged record without a zero is read up to its last byte, which becomes zero.
  std::memset(b.multisample(4).comment, 'q', comment_size);
  EXPECT_EQ(multisample_comment_text(b, 4), std::string(239, 'q'));
  EXPECT_EQ(b.multisample(4).comment[comment_size - 1], '\0');
  set_active_codepage(0);
}

TEST(MultisampleFiles, RemoveARangeInEitherOrder) {
  bank b;
  for (int j = 0; j < 128; ++j) b.set_file(2, j, "D:\\f" + std::to_string(j) + ".wav");
  remove_files(b, 2, 12, 10);
  EXPECT_EQ(b.file(2, 9), "D:\\f9.wav");
  for (int j = 10; j <= 12; ++j) EXPECT_TRUE(b.slot_is_empty(2, j));
  EXPECT_EQ(b.file(2, 13), "D:\\f13.wav");
  remove_files(b, 2, 127, 127);
  EXPECT_TRUE(b.slot_is_empty(2, 127));
}

TEST(MultisampleFiles, OctaveMovesAtTheEdges) {
  bank b;
  for (int j = 0; j < 128; ++j) b.set_file(1, j, "f" + std::to_string(j));
  recording_host no;
  EXPECT_FALSE(move_octave(b, 1, true, no));
  EXPECT_EQ(no.questions, std::vector<std::string>{"[Move 1 Octave Up?] Are You Sure?"});
  EXPECT_EQ(b.file(1, 0), "f0");

  recording_host yes;
  yes.default_answer = true;
  ASSERT_TRUE(move_octave(b, 1, true, yes));
  for (int j = 0; j < 12; ++j) EXPECT_TRUE(b.slot_is_empty(1, j));
  EXPECT_EQ(b.file(1, 12), "f0");
  EXPECT_EQ(b.file(1, 127), "f115");  // f116..f127 are gone

  ASSERT_TRUE(move_octave(b, 1, false, yes));
  EXPECT_EQ(yes.questions.back(), "[Move 1 Octave Down?] Are You Sure?");
  EXPECT_EQ(b.file(1, 0), "f0");
  EXPECT_EQ(b.file(1, 115), "f115");
  for (int j = 116; j < 128; ++j) EXPECT_TRUE(b.slot_is_empty(1, j));
  // Other multisamples are untouched.
  EXPECT_FALSE(b.multisample_has_files(2));
}

}  // namespace
}  // namespace qbank
