// The system calls under copy_file_checked: a new file that must not exist yet, written, synced
// to the medium and dropped from the cache (so that reading it back reads the medium where the
// system allows), and a rename that never replaces. One implementation per system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace qbank {

// What went wrong with a write, as the copy reports it.
struct write_failure {
  enum kind_t { exists, no_space, other } kind = other;
  std::string reason;  // the system's text
};

class exclusive_file {
 public:
  // Creates `path`; throws write_failure (exists) when anything has that name.
  explicit exclusive_file(const std::filesystem::path& path);
  ~exclusive_file();
  exclusive_file(const exclusive_file&) = delete;
  exclusive_file& operator=(const exclusive_file&) = delete;

  // Throws write_failure.
  void write(const void* data, std::size_t count);
  // Syncs to the medium, closes, and drops the file's cached pages. Throws write_failure.
  void finish();

 private:
  std::filesystem::path path_;
  std::intptr_t handle_ = -1;
};

// Renames `from` to `to` unless `to` exists; then syncs `to`'s folder. Throws write_failure
// (exists when `to` is there).
void rename_no_replace(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace qbank
