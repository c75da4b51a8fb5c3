// Copying whole files onto a card: with a progress routine, a cancel flag and the rule that the
// destination must not exist yet. A copy is written under a temporary name, synced, read back
// and compared with its source, and only then given its own name, so a failed, cancelled or
// damaged copy never appears under the name the instrument looks for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qbank {

enum class copy_status {
  copied,       // copied and read back equal
  cancelled,    // the cancel flag was set; nothing is left behind
  exists,       // a file or folder of the destination's name is already there
  no_space,     // the destination's volume is full
  read_error,   // the source cannot be read
  write_error,  // the destination cannot be written
  mismatch,     // the copy read back differs from the source
};

struct copy_outcome {
  copy_status status = copy_status::copied;
  std::string reason;  // the system's text for read and write errors
};

// Called with the source's size and the bytes copied so far: once before the first block and
// after every block.
using copy_progress = std::function<void(std::uint64_t total, std::uint64_t copied)>;

// Copies `from` to `to`. `cancel_flag`, when given, is read between blocks; a non-zero value
// ends the copy with `cancelled`. Never throws for a file problem: the outcome says what happened.
copy_outcome copy_file_checked(const std::filesystem::path& from, const std::filesystem::path& to,
                               const copy_progress& progress, const std::int32_t* cancel_flag);

// True when `folder` holds no entry at all, hidden and system ones included. Throws file_error
// when it cannot be read.
bool folder_is_empty(const std::filesystem::path& folder);

// The names of the entries directly in `folder`, in the system's order; empty when it cannot be
// read.
std::vector<std::filesystem::path> folder_entry_names(const std::filesystem::path& folder);

// Creates `folder` and any missing parent; an existing folder is fine, a link of its name is
// not (link_in_the_way). Throws file_error.
void create_folder(const std::filesystem::path& folder);

// The temporary name a copy to `to` is written under first (`attempt` 0, 1, ... when another
// file holds the name). A copy creates its temporary exclusively and removes only that one.
std::filesystem::path copy_temporary_name(const std::filesystem::path& to, int attempt);

// The temporary files that copies which were stopped (killed, or unable to remove them) left in
// `folder`, by name. Nothing removes them but the user: they may be another run's copy in
// progress, and a card that holds them is not empty.
std::vector<std::filesystem::path> copy_leftovers(const std::filesystem::path& folder);

// A test seam: asked before each block is written to `target` (the final name) at `offset`.
enum class copy_fault { none, write_error, no_space, corrupt };
using copy_fault_hook =
    std::function<copy_fault(const std::filesystem::path& target, std::uint64_t offset)>;
// Installs `hook` (empty: none). Not thread-safe; for tests.
void set_copy_fault_hook(copy_fault_hook hook);

}  // namespace qbank
