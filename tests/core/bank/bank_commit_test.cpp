// A split bank is replaced whole or not at all: a build of three parts over a bank of four is
// failed, and killed, at every sync, rename and removal it performs; after each, the parts on
// disk (for a failure) or the parts a reader of this system sees (for a kill) are wholly the old
// bank or wholly the new one, and the next build leaves no temporary file behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/bank_reader.h"
#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;
using files = std::map<std::string, std::vector<std::uint8_t>>;

files snapshot(const fs::path& dir) {
  files out;
  for (const auto& e : fs::directory_iterator(dir))
    out[path_to_utf8(e.path().filename())] = read_whole_file(e.path());
  return out;
}

void restore(const fs::path& dir, const files& set) {
  for (const auto& e : fs::directory_iterator(dir)) fs::remove(e.path());
  for (const auto& [name, content] : set)
    write_whole_file(dir / name, content.data(), content.size());
}

// The bank files of a folder (the parts); temporaries and the journal are counted apart.
struct folder_state {
  files parts;
  int others = 0;
};

folder_state state_of(const fs::path& dir) {
  folder_state s;
  for (auto& [name, content] : snapshot(dir)) {
    if (name.starts_with("."))
      ++s.others;
    else
      s.parts[name] = std::move(content);
  }
  return s;
}

void name_program(bank& b, const char* name) {
  std::memset(b.program(0).name, ' ', sizeof b.program(0).name);
  std::memcpy(b.program(0).name, name, std::strlen(name));
}

constexpr std::uint64_t old_limit = 7ull << 20;   // 24 MB in four parts
constexpr std::uint64_t new_limit = 10ull << 20;  // in three

class BankCommit : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::recording_host h;
    bank old_bank;
    name_program(old_bank, "OLD");
    ASSERT_TRUE(build_bank_file(old_bank, dir / "BANK.qbb", h, {true, old_limit}));
    old_files = snapshot(dir.path());
    bank new_bank;
    name_program(new_bank, "NEW");
    ASSERT_TRUE(build_bank_file(new_bank, dir / "BANK.qbb", h, {true, new_limit}));
    new_files = snapshot(dir.path());
    ASSERT_EQ(old_files.size(), 4u);
    ASSERT_EQ(new_files.size(), 3u);
  }
  void TearDown() override { set_file_step_hook({}); }

  // Builds the new bank over the old one with `outcome` at file step `n` (1-based); false when
  // the build has fewer steps.
  bool build_with_fault(int n, step_outcome outcome) {
    restore(dir.path(), old_files);
    int seen = 0;
    set_file_step_hook(
        [&](file_step, const fs::path&) { return ++seen == n ? outcome : step_outcome::proceed; });
    testing::recording_host h;
    bank b;
    name_program(b, "NEW");
    try {
      build_bank_file(b, dir / "BANK.qbb", h, {true, new_limit});
    } catch (const file_error&) {
    } catch (const simulated_kill&) {
    }
    set_file_step_hook({});
    return seen >= n;
  }

  // What the reader of this system loads, as the name of program 0 ("" when not a whole bank).
  std::string reader_view() {
    testing::recording_host h;
    bank b;
    if (!read_bank_file(b, dir / "BANK.qbb", reader_variant::main, h)) return "";
    return b.program_name_text(0).substr(0, 3);
  }

  testing::temp_dir dir;
  files old_files, new_files;
};

TEST_F(BankCommit, AFailureAtAnyStepLeavesTheOldOrTheNewBankWhole) {
  int cases = 0, failures = 0, old_seen = 0;
  for (int n = 1; build_with_fault(n, step_outcome::fail); ++n) {
    ++cases;
    const folder_state s = state_of(dir.path());
    const bool whole = s.parts == old_files || s.parts == new_files;
    EXPECT_TRUE(whole) << "failure at step " << n;
    EXPECT_EQ(s.others, 0) << "temporary files left after a failure at step " << n;
    failures += !whole || s.others != 0;
    old_seen += s.parts == old_files;
  }
  std::printf("failed at each of %d steps: %d left a mix or leftovers, %d kept the old bank\n",
              cases, failures, old_seen);
  EXPECT_GE(cases, 10);
  EXPECT_GT(old_seen, 0);
}

TEST_F(BankCommit, AKillAtAnyStepIsCompletedOrUndoneByTheNextReaderAndBuild) {
  int cases = 0, failures = 0;
  for (int n = 1; build_with_fault(n, step_outcome::kill); ++n) {
    ++cases;
    const std::string seen = reader_view();
    EXPECT_TRUE(seen == "OLD" || seen == "NEW") << "kill at step " << n << ": read " << seen;
    const folder_state after_read = state_of(dir.path());
    const bool whole = after_read.parts == old_files || after_read.parts == new_files;
    EXPECT_TRUE(whole) << "kill at step " << n << " left a mix of parts after the next read";
    EXPECT_EQ(seen == "NEW", after_read.parts == new_files) << "kill at step " << n;

    testing::recording_host h;
    bank b;
    name_program(b, "NEW");
    ASSERT_TRUE(build_bank_file(b, dir / "BANK.qbb", h, {true, new_limit}));
    const folder_state after_build = state_of(dir.path());
    EXPECT_EQ(after_build.parts, new_files) << "kill at step " << n;
    EXPECT_EQ(after_build.others, 0)
        << "leftovers after the build that followed a kill at step " << n;
    failures += !whole || after_build.others != 0 || after_build.parts != new_files;
  }
  std::printf("killed at each of %d steps: %d left a mix or leftovers\n", cases, failures);
  EXPECT_GE(cases, 10);
}

TEST_F(BankCommit, AJournalLeftByAKilledBuildIsCompletedWhenTheBankIsOpened) {
  // Killed right after the first part was renamed into place: the old .qbb and .Q03 beside a
  // new .Q01 must never load as a bank.
  int n = 1;
  for (;; ++n) {
    restore(dir.path(), old_files);
    int renames = 0, seen = 0;
    set_file_step_hook([&](file_step step, const fs::path&) {
      ++seen;
      if (step == file_step::rename && ++renames == 3) return step_outcome::kill;
      return step_outcome::proceed;
    });
    testing::recording_host h;
    bank b;
    name_program(b, "NEW");
    try {
      build_bank_file(b, dir / "BANK.qbb", h, {true, new_limit});
    } catch (const simulated_kill&) {
      break;
    }
    FAIL() << "the build never reached its third rename";
  }
  set_file_step_hook({});
  EXPECT_NE(state_of(dir.path()).parts, old_files);
  EXPECT_NE(state_of(dir.path()).parts, new_files);
  EXPECT_EQ(reader_view(), "NEW");
  EXPECT_EQ(state_of(dir.path()).others, 0);
}

}  // namespace
}  // namespace qbank
