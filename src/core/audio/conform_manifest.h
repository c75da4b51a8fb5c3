// The record conform keeps in its output folder of which file there was converted from which
// source, so that a later run knows its own results from files that only share their names.
//
// It is the text file ".qbank-conform" directly in the output folder, UTF-8 with LF line ends,
// replaced whole (temporary file and rename) whenever it changes:
//
//   # qbank conform: files below this folder converted from sources; do not edit
//   RESULT<TAB>SOURCE<TAB>SOURCE SIZE<TAB>SOURCE TIME<TAB>RESULT SIZE
//
// RESULT is the result's path relative to the folder with "/" between its parts; SOURCE the
// source's absolute path as the system names it; SOURCE SIZE and SOURCE TIME the source's
// stamp when it was converted (the time in the file system's ticks); RESULT SIZE the bytes the
// result has. In both paths "%", TAB, CR and LF are written as %25, %09, %0D and %0A. Lines that
// do not read as a record (damage, a hand edit) are ignored: their names then count as other
// people's files, which conform never overwrites.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "platform/file_stamp.h"

namespace qbank {

inline constexpr std::string_view conform_manifest_name = ".qbank-conform";

struct manifest_entry {
  std::string result;  // relative, "/" separators
  std::string source;  // absolute, UTF-8
  file_stamp source_stamp;
  std::uint64_t result_size = 0;
};

class conform_manifest {
 public:
  // The manifest of `folder`; empty when it has none. Throws file_error when one exists but
  // cannot be read.
  static conform_manifest read(const std::filesystem::path& folder);
  static conform_manifest parse(std::string_view text);

  const manifest_entry* find(std::string_view result) const;
  // Adds `e`, replacing an entry for the same result.
  void put(manifest_entry e);
  void erase(std::string_view result);
  bool empty() const { return entries_.empty(); }
  // The file's text, entries in the order of their results.
  std::string text() const;

 private:
  std::map<std::string, manifest_entry, std::less<>> entries_;
};

}  // namespace qbank
