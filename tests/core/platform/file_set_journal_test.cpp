// The journal that commits a set of files as one: a step that keeps failing leaves the journal
// and a reason that says which file is in which state, and the next run completes the set; a
// journal that is damaged or that names files no longer there is refused and changes nothing.
#include <gtest/gtest.h>

#include <string>

#include "platform/fault_injection.h"
#include "platform/file_commit.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

void put(const fs::path& p, std::string_view text) {
  write_whole_file(p, text.data(), text.size());
}

class FileSetJournal : public ::testing::Test {
 protected:
  void TearDown() override { set_file_step_hook({}); }

  // Two files replaced and a third removed: A and B exist with old contents, their new contents
  // wait under temporary names, C is stale.
  void lay_out_set() {
    put(dir / "A", "old A");
    put(dir / "B", "old B");
    put(dir / "C", "stale C");
    put(dir / ".A.new", "new A");
    put(dir / ".B.new", "new B");
  }
  std::vector<pending_rename> renames() const {
    return {{dir / ".A.new", dir / "A"}, {dir / ".B.new", dir / "B"}};
  }
  std::vector<fs::path> removals() const { return {dir / "C"}; }

  void expect_left_untouched(const fs::path& journal, const std::string& journal_text) {
    EXPECT_EQ(testing::file_text(dir / "A"), "old A");
    EXPECT_EQ(testing::file_text(dir / "B"), "old B");
    EXPECT_EQ(testing::file_text(dir / ".A.new"), "new A");
    EXPECT_EQ(testing::file_text(journal), journal_text)
        << "the journal must stay for a later look";
  }

  testing::temp_dir dir;
};

TEST_F(FileSetJournal, AStepThatKeepsFailingIsReportedFileByFileAndCompletedByTheNextRun) {
  lay_out_set();
  const fs::path journal = journal_path(dir / "A");
  // Every attempt to put B in place fails: A goes in, B and the removal of C wait.
  int b_attempts = 0;
  set_file_step_hook([&](file_step step, const fs::path& p) {
    if (step == file_step::rename && p.filename() == "B") {
      ++b_attempts;
      return step_outcome::fail;
    }
    return step_outcome::proceed;
  });
  try {
    commit_file_set(journal, renames(), removals());
    FAIL() << "a set whose rename always fails was reported as committed";
  } catch (const file_error& e) {
    EXPECT_EQ(e.path(), dir / "B");
    EXPECT_EQ(e.reason(),
              "Input/output error. The replacement of the files was left half done:\n"
              "A: replaced\n"
              "B: still the old file (new one waiting as .B.new)\n"
              "C: not yet removed\n"
              "It is completed the next time these files are opened or written (journal "
              ".A.qbank-journal)");
  }
  EXPECT_EQ(b_attempts, 2) << "a failing step is tried once more, not given up at once";
  EXPECT_EQ(testing::file_text(dir / "A"), "new A");
  EXPECT_EQ(testing::file_text(dir / "B"), "old B");
  EXPECT_TRUE(file_exists(journal));

  set_file_step_hook({});
  EXPECT_TRUE(complete_file_set(journal));
  EXPECT_EQ(testing::file_text(dir / "A"), "new A");
  EXPECT_EQ(testing::file_text(dir / "B"), "new B");
  EXPECT_FALSE(file_exists(dir / "C"));
  EXPECT_FALSE(file_exists(dir / ".B.new"));
  EXPECT_FALSE(file_exists(journal));
  EXPECT_FALSE(complete_file_set(journal)) << "nothing is left to complete";
}

TEST_F(FileSetJournal, AStepThatFailsOnceIsRetriedAndTheSetCompletes) {
  lay_out_set();
  const fs::path journal = journal_path(dir / "A");
  bool failed = false;
  set_file_step_hook([&](file_step step, const fs::path&) {
    if (step == file_step::remove && !failed) {
      failed = true;
      return step_outcome::fail;
    }
    return step_outcome::proceed;
  });
  commit_file_set(journal, renames(), removals());
  EXPECT_TRUE(failed);
  EXPECT_EQ(testing::file_text(dir / "A"), "new A");
  EXPECT_EQ(testing::file_text(dir / "B"), "new B");
  EXPECT_FALSE(file_exists(dir / "C"));
  EXPECT_FALSE(file_exists(journal));
}

TEST_F(FileSetJournal, ADamagedJournalIsRefusedAndNothingBesideItChanges) {
  const std::string damaged[] = {
      "",                                                      // empty
      "some other program's notes\nrename\t.A.new\tA\nend\n",  // not our head
      "qbank file set 1\nrename\t.A.new\tA\n",                 // torn before its end
      "qbank file set 1\nrename\t.A.new\nend\n",               // a rename without its target
      "qbank file set 1\nremove\nend\n",                       // a removal without its name
      "qbank file set 1\ncopy\t.A.new\tA\nend\n",              // an unknown step
  };
  for (const std::string& text : damaged) {
    lay_out_set();
    const fs::path journal = journal_path(dir / "A");
    put(journal, text);
    try {
      complete_file_set(journal);
      ADD_FAILURE() << "a damaged journal was followed:\n" << text;
    } catch (const file_error& e) {
      EXPECT_EQ(e.path(), journal);
      EXPECT_EQ(e.reason(),
                "The journal of an unfinished file replacement is damaged; the files beside it "
                "were left as they are");
    }
    expect_left_untouched(journal, text);
    EXPECT_TRUE(file_exists(dir / "C"));
  }
}

TEST_F(FileSetJournal, AJournalWhoseNewFileAndTemporaryAreBothGoneIsNotCompleted) {
  put(dir / "B", "old B");
  put(dir / ".B.new", "new B");
  const fs::path journal = journal_path(dir / "A");
  // A's temporary was renamed and then A itself was lost: the set cannot be made whole.
  const std::string text = "qbank file set 1\nrename\t.A.new\tA\nrename\t.B.new\tB\nend\n";
  put(journal, text);
  try {
    complete_file_set(journal);
    FAIL() << "a set missing one of its files was reported as completed";
  } catch (const file_error& e) {
    EXPECT_EQ(e.path(), dir / "A");
    EXPECT_EQ(e.reason(),
              "The new file and its temporary file are both missing; the replacement cannot be "
              "completed. The replacement of the files was left half done:\n"
              "A: missing, and so is its new file\n"
              "B: still the old file (new one waiting as .B.new)\n"
              "It is completed the next time these files are opened or written (journal "
              ".A.qbank-journal)");
  }
  EXPECT_EQ(testing::file_text(dir / "B"), "old B") << "no later step may run past a missing file";
  EXPECT_EQ(testing::file_text(journal), text);
}

}  // namespace
}  // namespace qbank
