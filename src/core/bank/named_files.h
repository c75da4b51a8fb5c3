// The files a bank's file lists name, told apart by file identity, so that a command which
// creates files can leave every one of them alone, however its path is spelt or linked.
#pragma once

#include <filesystem>
#include <optional>
#include <set>

#include "platform/file_identity.h"

namespace qbank {

class bank;

class named_files {
 public:
  // Keeps a reference to `b`, which must outlive this and not change while it is used.
  explicit named_files(const bank& b) : bank_(b) {}

  // True when `path` names an existing file that an entry of the bank names too (or the loaded
  // bank file itself). The bank's files are looked at once, on the first call that finds an
  // existing file at `path`, so a command writing into a new folder pays nothing for it.
  bool holds(const std::filesystem::path& path);

 private:
  const bank& bank_;
  std::optional<std::set<file_identity>> identities_;
};

}  // namespace qbank
