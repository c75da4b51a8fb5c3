// The file calls under the card copy never replace anything: a new file refuses a taken name
// and a rename refuses an existing target, each saying why, and the files stay as they were.
#include <gtest/gtest.h>

#include <string>

#include "platform/exclusive_file.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

TEST(NoReplace, ANewFileRefusesATakenNameAndAMissingFolder) {
  testing::temp_dir dir;
  write_whole_file(dir / "taken", "old", 3);
  try {
    exclusive_file f(dir / "taken");
    FAIL() << "an existing file was opened as new";
  } catch (const write_failure& e) {
    EXPECT_EQ(e.kind, write_failure::exists);
  }
  EXPECT_EQ(testing::file_text(dir / "taken"), "old");
  try {
    exclusive_file f(dir / "no folder" / "x");
    FAIL() << "a file was created in a missing folder";
  } catch (const write_failure& e) {
    EXPECT_EQ(e.kind, write_failure::other);
    EXPECT_FALSE(e.reason.empty());
  }
}

TEST(NoReplace, ARenameRefusesAnExistingTargetAndLeavesBothFiles) {
  testing::temp_dir dir;
  write_whole_file(dir / "new", "new", 3);
  write_whole_file(dir / "target", "old", 3);
  try {
    rename_no_replace(dir / "new", dir / "target");
    FAIL() << "a file on the card was replaced";
  } catch (const write_failure& e) {
    EXPECT_EQ(e.kind, write_failure::exists);
  }
  EXPECT_EQ(testing::file_text(dir / "target"), "old");
  EXPECT_EQ(testing::file_text(dir / "new"), "new");

  rename_no_replace(dir / "new", dir / "free");
  EXPECT_EQ(testing::file_text(dir / "free"), "new");
  EXPECT_FALSE(file_exists(dir / "new"));
  try {
    rename_no_replace(dir / "new", dir / "other");
    FAIL() << "a missing file was renamed";
  } catch (const write_failure& e) {
    EXPECT_EQ(e.kind, write_failure::other);
  }
}

}  // namespace
}  // namespace qbank
