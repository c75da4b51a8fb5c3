#include "platform/file_commit.h"

#include <mutex>
#include <set>
#include <sstream>

#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/file_os.h"
#include "platform/paths.h"

namespace qbank {
namespace {

// Journal text, one entry a line, names without folders (every file lies beside the journal):
//   qbank file set 1
//   rename<TAB>TEMPORARY<TAB>FINAL
//   remove<TAB>NAME
//   end
constexpr std::string_view journal_head = "qbank file set 1";
// ".NAME" + this is the journal of NAME.
constexpr std::string_view journal_suffix = ".qbank-journal";

struct journal_entries {
  std::vector<pending_rename> renames;
  std::vector<std::filesystem::path> removals;
};

std::string journal_text(std::span<const pending_rename> renames,
                         std::span<const std::filesystem::path> removals) {
  std::string text(journal_head);
  text += '\n';
  for (const pending_rename& r : renames)
    text +=
        "rename\t" + path_to_utf8(r.from.filename()) + "\t" + path_to_utf8(r.to.filename()) + "\n";
  for (const auto& name : removals) text += "remove\t" + path_to_utf8(name.filename()) + "\n";
  text += "end\n";
  return text;
}

journal_entries parse_journal(const std::filesystem::path& journal) {
  const std::vector<std::uint8_t> bytes = read_whole_file(journal);
  const std::string text(bytes.begin(), bytes.end());
  const std::filesystem::path folder = journal.parent_path();
  journal_entries entries;
  std::istringstream in(text);
  std::string line;
  bool head = false, end = false;
  while (std::getline(in, line)) {
    if (!head) {
      head = line == journal_head;
      if (!head) break;
      continue;
    }
    if (line == "end") {
      end = true;
      break;
    }
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    const std::string kind = line.substr(0, tab1);
    if (kind == "rename" && tab2 != std::string::npos) {
      entries.renames.push_back({folder / path_from_utf8(line.substr(tab1 + 1, tab2 - tab1 - 1)),
                                 folder / path_from_utf8(line.substr(tab2 + 1))});
    } else if (kind == "remove" && tab1 != std::string::npos) {
      entries.removals.push_back(folder / path_from_utf8(line.substr(tab1 + 1)));
    } else {
      break;
    }
  }
  // The journal is put in place by a rename after it was synced, so a torn one is not ours.
  if (!head || !end)
    throw file_error(journal,
                     "The journal of an unfinished file replacement is damaged; the "
                     "files beside it were left as they are");
  return entries;
}

// Runs every step that is still to do; steps already done are recognised and passed over, so
// running it again after a failure or a kill continues where the last run stopped.
void apply(const std::filesystem::path& journal, const journal_entries& e) {
  for (const pending_rename& r : e.renames) {
    if (os::kind_of(r.from) != os::file_kind::missing) {
      rename_replace(r.from, r.to);
    } else if (os::kind_of(r.to) == os::file_kind::missing) {
      throw file_error(r.to,
                       "The new file and its temporary file are both missing; the "
                       "replacement cannot be completed");
    }
  }
  for (const auto& name : e.removals) remove_file(name);
  sync_folder(journal.parent_path());
  remove_file(journal);
  sync_folder(journal.parent_path());
}

std::string state_of(const journal_entries& e) {
  std::string text;
  for (const pending_rename& r : e.renames) {
    text += "\n" + path_to_utf8(r.to.filename());
    if (os::kind_of(r.from) != os::file_kind::missing)
      text += ": still the old file (new one waiting as " + path_to_utf8(r.from.filename()) + ")";
    else if (os::kind_of(r.to) == os::file_kind::missing)
      text += ": missing, and so is its new file";  // never "replaced" when nothing is there
    else
      text += ": replaced";
  }
  for (const auto& name : e.removals)
    if (os::kind_of(name) != os::file_kind::missing)
      text += "\n" + path_to_utf8(name.filename()) + ": not yet removed";
  return text;
}

void apply_with_retry(const std::filesystem::path& journal, const journal_entries& e) {
  try {
    apply(journal, e);
    return;
  } catch (const file_error&) {
    // A passing failure (an interrupted call, a busy file) should not leave the set half done.
  }
  try {
    apply(journal, e);
  } catch (const file_error& again) {
    throw file_error(again.path(),
                     again.reason() + ". The replacement of the files was left half done:" +
                         state_of(e) + "\nIt is completed the next time these files are " +
                         "opened or written (journal " + path_to_utf8(journal.filename()) + ")");
  }
}

}  // namespace

std::filesystem::path journal_path(const std::filesystem::path& main) {
  return main.parent_path() /
         path_from_utf8("." + path_to_utf8(main.filename()) + std::string(journal_suffix));
}

namespace {

// The lock files this process holds, so that a second writer of a set in this process is
// refused instead of waiting for itself.
std::mutex held_mutex;
std::set<std::filesystem::path> held_locks;

}  // namespace

file_set_lock::file_set_lock(const std::filesystem::path& journal)
    : path_(std::filesystem::absolute(journal).lexically_normal()) {
  path_ += ".lock";
  {
    std::lock_guard lock(held_mutex);
    if (!held_locks.insert(path_).second) {
      std::string bank = path_to_utf8(journal.filename());
      bank = bank.substr(1, bank.size() - journal_suffix.size() - 1);
      throw file_error(journal.parent_path() / path_from_utf8(bank),
                       "Another build of " + bank + " is running");
    }
  }
  try {
    handle_ = os::lock_file(path_);
  } catch (...) {
    std::lock_guard lock(held_mutex);
    held_locks.erase(path_);
    throw;
  }
}

file_set_lock::~file_set_lock() {
  os::unlock_file(handle_, path_);
  std::lock_guard lock(held_mutex);
  held_locks.erase(path_);
}

void commit_file_set(const std::filesystem::path& journal, std::span<const pending_rename> renames,
                     std::span<const std::filesystem::path> removals) {
  const std::string text = journal_text(renames, removals);
  atomic_output_file out(journal);
  out.write(text);
  try {
    out.commit();
  } catch (const file_error&) {
    // A failure after the journal's own rename (syncing the folder) still leaves it in place.
    if (os::kind_of(journal) == os::file_kind::missing) throw;
  }
  // From the journal's rename on, the new set is decided: whatever happens, it is completed.
  journal_entries e;
  e.renames.assign(renames.begin(), renames.end());
  e.removals.assign(removals.begin(), removals.end());
  apply_with_retry(journal, e);
}

bool complete_file_set(const std::filesystem::path& journal) {
  if (os::kind_of(journal) == os::file_kind::missing) return false;
  apply_with_retry(journal, parse_journal(journal));
  return true;
}

}  // namespace qbank
