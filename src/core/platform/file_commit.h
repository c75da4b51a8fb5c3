// The commit of a set of files that belong together (a bank's part files) as one change. The
// new files are written and synced under temporary names first; then a journal beside them
// names every pending rename and removal and is synced; then the renames and removals run and
// the journal is deleted. A commit that stops half-way (a failure, a kill, a power cut) leaves
// the journal, and whoever next touches the set completes it from there. All names in one
// commit lie in the journal's folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace qbank {

struct pending_rename {
  std::filesystem::path from;  // a complete, synced temporary file
  std::filesystem::path to;
};

// The journal of the set whose first file is `main` (".NAME.qbank-journal" beside it).
std::filesystem::path journal_path(const std::filesystem::path& main);

// The right to write the set whose journal is `journal`, for one writer at a time across
// processes: a second writer waits here until the first lets go (done, abandoned, or its
// process ended), so that neither takes the other's files for leftovers. Within one process a
// second writer of the same set is refused (file_error, "Another build of ... is running"). The
// lock is a file beside the journal (".NAME.qbank-journal.lock") while it is held.
class file_set_lock {
 public:
  // Throws file_error when the lock file cannot be made.
  explicit file_set_lock(const std::filesystem::path& journal);
  ~file_set_lock();
  file_set_lock(const file_set_lock&) = delete;
  file_set_lock& operator=(const file_set_lock&) = delete;

 private:
  std::filesystem::path path_;
  std::intptr_t handle_;
};

// Writes and syncs the journal, renames every `from` over its `to`, removes every file of
// `removals` that exists, syncs the folder and deletes the journal. Throws file_error when the
// journal cannot be written (nothing has changed then; the temporary files are the caller's).
// Once the journal is in place, a failing step is retried once; when the set still cannot be
// finished, it throws file_error whose reason says which files were left in which state, and
// the journal stays for the next run to complete.
void commit_file_set(const std::filesystem::path& journal, std::span<const pending_rename> renames,
                     std::span<const std::filesystem::path> removals);

// Completes the commit a journal records, if there is one. Returns false when there was none.
// Throws file_error when it cannot be completed (the journal then stays).
bool complete_file_set(const std::filesystem::path& journal);

}  // namespace qbank
