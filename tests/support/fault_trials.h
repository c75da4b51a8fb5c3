// Runs one file-writing operation again and again, stopping it (a simulated kill) or failing it
// (a full disk, an input/output error) at each file step of a clean run in turn, and checks what
// is left on disk each time against the files before and after a clean run.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "support/recording_host.h"

namespace qbank::testing {

// Everything below a folder, by relative path ('/' separated): a file's bytes, or none for a
// folder.
using tree = std::map<std::string, std::optional<std::vector<std::uint8_t>>>;
tree snapshot_tree(const std::filesystem::path& root);
// Makes `root` hold exactly `t` (the file layer's test hook must be off).
void restore_tree(const std::filesystem::path& root, const tree& t);
// True when a file name of the tree is one of this system's temporary files or journals.
bool is_temporary_entry(const std::string& relative);
// The entries of `t` without temporaries.
tree without_temporaries(const tree& t);
// The paths of `t` as one text, one a line, for failure messages.
std::string listing(const tree& t);

// What a run showed the user.
struct shown {
  bool success = false;  // the operation said it was done
  bool failure = false;  // an error message, a report of failures, or a thrown file_error
};

struct fault_operation {
  std::string name;
  std::filesystem::path root;  // the scratch tree the operation reads and writes
  // Runs the operation once and says what it showed. A file_error that escapes counts as a
  // failure shown (the window's top-level error display, the command line's exit code 3).
  std::function<shown(recording_host&)> run;
  // Extra check of the files after a kill (for example: the bank a reader sees is whole).
  // Returns an empty text when the state is sound.
  std::function<std::string()> consistent;
  // False when running the operation again after a kill is not expected to give the clean
  // result (an SD card already holding files is refused); it must still remove temporaries.
  bool rerun_completes = true;
  // False when the temporaries a killed run left are not the next run's to remove (an SD card:
  // a run removes only what it made itself, and names what it finds in its refusal).
  bool rerun_removes_leftovers = true;
};

struct trial_counts {
  int steps = 0;     // file steps of a clean run
  int trials = 0;    // runs with a kill or a failure injected
  int problems = 0;  // trials that broke a rule (each also reported through gtest)
};

// Counts the file steps of one clean run of `op` from `before`, and gives the result of that run.
int count_steps(const fault_operation& op, const tree& before, tree& clean);

// Kills `op` at each step of a clean run in turn. After each: every file is its state before or
// after a clean run (temporaries aside) and op.consistent() holds; then a clean rerun leaves no
// temporary file and (where expected) exactly the clean result.
trial_counts kill_at_every_step(const fault_operation& op);

// Fails `op` with `outcome` at every step whose kind is one of `kinds`. After each: when the run
// said it succeeded, the files are exactly the clean result; otherwise it showed the failure,
// every file is its state before or after a clean run, and no temporary file is left.
trial_counts fail_at_every_step(const fault_operation& op, step_outcome outcome,
                                const std::vector<file_step>& kinds);

}  // namespace qbank::testing
