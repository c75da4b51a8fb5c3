// The operating system's side of file access, behind one small set of calls. file_io.cpp and
// file_commit.cpp build the portable behaviour (buffering, temporary names, the commit of a
// set of files) over these; posix/file_os_posix.cpp implements them for Linux and other POSIX
// systems, win32/file_os_win32.cpp for Windows (CMake builds one). Only platform/ includes this.
// Every call that fails throws file_error naming `path` with the system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace qbank::os {

using handle = std::intptr_t;
inline constexpr handle no_handle = -1;

// Opens a regular file read-only and gives its size. Anything else (a folder, a FIFO, a
// device) is refused without blocking: the reason says what the path names instead.
handle open_read(const std::filesystem::path& path, std::uint64_t& size);
// Reads up to `count` bytes at `offset`; fewer only at the end of the file.
std::size_t read_at(handle h, const std::filesystem::path& path, void* buffer, std::size_t count,
                    std::uint64_t offset);
// Creates a new file for writing; no_handle when a file of that name already exists.
handle create_new(const std::filesystem::path& path);
void write_all(handle h, const std::filesystem::path& path, const void* data, std::size_t count);
// Flushes the file's data to the disk.
void sync(handle h, const std::filesystem::path& path);
void close(handle h, const std::filesystem::path& path);
// Closes and ignores errors (cleanup after an earlier failure).
void close_quietly(handle h) noexcept;

// Renames `from` over `to`, replacing `to` in one step.
void rename_replace(const std::filesystem::path& from, const std::filesystem::path& to);
// Removes a file; false when it did not exist.
bool remove(const std::filesystem::path& path);
// Makes the folder's entries (renames, removals) durable.
void sync_folder(const std::filesystem::path& folder);

enum class file_kind { missing, regular, folder, other };
file_kind kind_of(const std::filesystem::path& path);
// Throws file_error, with the reason a write into it would give, when `path` names an existing
// file this process may not write (by its own rights, as opening it for writing would decide).
// A missing file passes: creating it is another question.
void refuse_unwritable(const std::filesystem::path& path);
// What a replacement keeps of the file it replaces: permission bits, owner and group.
struct kept_attributes {
  unsigned mode = 0;
  unsigned long owner = 0;
  unsigned long group = 0;
};
// Those of an existing file; none when it does not exist or the system keeps none.
std::optional<kept_attributes> attributes_of(const std::filesystem::path& path);
// Gives the open file `h` the owner and group where this process may set them (the owner
// usually only for the superuser, the group where the user belongs to it), then the mode.
void keep_attributes(handle h, const std::filesystem::path& path, const kept_attributes& a);
// True when `path` itself is a symbolic link, not followed (on Windows any reparse point: a
// link or a junction). False when it names nothing or cannot be looked at.
bool is_link(const std::filesystem::path& path);
// The file a path finally names after following symbolic links; the path itself when it is not
// a link (or names nothing yet).
std::filesystem::path resolve_links(const std::filesystem::path& path);

// Takes the lock file `path` (created when missing) for this process alone, waiting while
// another process holds it; a holder that ends lets go. Throws file_error when the file cannot
// be made.
handle lock_file(const std::filesystem::path& path);
// Removes the lock file and lets go of it.
void unlock_file(handle h, const std::filesystem::path& path) noexcept;

// A number that tells this process from others, for temporary names.
unsigned long process_id();
// True when a process of that number is running (or cannot be told apart from one).
bool process_running(unsigned long id);

// The temporary files being written now, as native path texts, readable from a signal handler:
// slot 0..live_temporary_slots-1, null when the slot is free. Kept by file_io.cpp.
inline constexpr int live_temporary_slots = 128;
const char* live_temporary(int slot) noexcept;

// Removes the live temporary files (see file_io.h) when the process is interrupted (Ctrl-C,
// termination request), then lets the interruption end the process as it would have.
void install_interrupt_cleanup();

}  // namespace qbank::os
