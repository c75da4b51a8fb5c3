// The zip archives instrument libraries come in (`.dslibrary`, `.multisample`): the members'
// names, a small member read whole (the XML that maps the samples), and the audio a chosen
// instrument names taken out into a temporary folder of its own. Built only with libzip
// (QBANK_HAVE_XML_INSTRUMENTS).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "instrument/instrument.h"

struct zip;

namespace qbank {

class zip_archive {
 public:
  // Opens the archive; throws file_error when the file cannot be opened, instrument_error
  // when it is not a zip archive.
  explicit zip_archive(const std::filesystem::path& path);
  ~zip_archive();
  zip_archive(const zip_archive&) = delete;
  zip_archive& operator=(const zip_archive&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The members' names as stored ('/' separated), in the archive's order; a member is named
  // by its index here.
  const std::vector<std::string>& names() const { return names_; }
  // The member called `name`: the exact name, else the one name that differs only in letter
  // case (libraries made on systems that ignore case name their audio that way).
  std::optional<std::size_t> find(std::string_view name) const;
  // The whole member, at most `limit` bytes (instrument_error when it is larger).
  std::string read(std::size_t index, std::uint64_t limit) const;
  // Writes the member to `target` (a new file) in pieces of a fixed size, so memory does not
  // grow with the member. Throws instrument_error for a damaged member, file_error when the
  // target cannot be written.
  void extract(std::size_t index, const std::filesystem::path& target) const;

 private:
  [[noreturn]] void fail(const std::string& what) const;

  std::filesystem::path path_;
  ::zip* archive_ = nullptr;
  std::vector<std::string> names_;
};

// The regions' samples are member names of `archive` ('/' separated, relative to its root, as
// the reader resolved them); each sample is taken out into a new temporary folder, which
// `inst.extracted` then keeps, and the regions name the files there. A name that is absolute
// or leaves the archive's root (`..`), or a member that is not there, stops with an
// instrument_error naming the archive; the folder is removed again then.
void extract_samples(const zip_archive& archive, instrument& inst);

// True for the members that systems add to archives beside the content (macOS's "__MACOSX/"
// folder and "._" files), never an instrument's own.
bool is_archive_litter(std::string_view member);

}  // namespace qbank
