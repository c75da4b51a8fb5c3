#include "platform/card_copy.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

#include "platform/exclusive_file.h"
#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

copy_fault_hook& fault_hook() {
  static copy_fault_hook hook;
  return hook;
}

constexpr std::size_t block_size = std::size_t{1} << 20;

copy_outcome outcome_of(const write_failure& f) {
  switch (f.kind) {
    case write_failure::exists:
      return {copy_status::exists, f.reason};
    case write_failure::no_space:
      return {copy_status::no_space, f.reason};
    case write_failure::other:
      break;
  }
  return {copy_status::write_error, f.reason};
}

// Asks the test seam about a step of the copy; an injected failure is reported as the system's
// would be. False after a simulated kill.
bool copy_step(file_step step, const fs::path& path) {
  try {
    return file_step_allowed(step, path);
  } catch (const file_error& e) {
    throw write_failure{
        e.reason() == injected_no_space ? write_failure::no_space : write_failure::other,
        e.reason()};
  }
}

// Removes the temporary file unless the copy got its own name.
struct temporary_guard {
  fs::path path;
  bool keep = false;
  ~temporary_guard() {
    if (keep || path.empty()) return;
    try {
      remove_file(path);
    } catch (const file_error&) {
      // Left behind; the card then counts as not empty and the refusal names it.
    }
  }
};

enum class comparison { same, different, stopped };

// Reads both files block by block. `keep_going` runs after each block; false stops the reading.
comparison compare_contents(input_file& a, input_file& b, std::vector<char>& buffer_a,
                            const std::function<bool()>& keep_going) {
  if (a.size() != b.size()) return comparison::different;
  std::vector<char> buffer_b(buffer_a.size());
  a.seek(0);
  b.seek(0);
  for (;;) {
    const std::size_t na = a.read(buffer_a.data(), buffer_a.size());
    const std::size_t nb = b.read(buffer_b.data(), buffer_b.size());
    if (na != nb || std::memcmp(buffer_a.data(), buffer_b.data(), na) != 0)
      return comparison::different;
    if (na == 0) return comparison::same;
    if (!keep_going()) return comparison::stopped;
  }
}

}  // namespace

void set_copy_fault_hook(copy_fault_hook hook) {
  fault_hook() = std::move(hook);
}

std::vector<fs::path> copy_leftovers(const fs::path& folder) {
  constexpr std::string_view marker = ".qbank-copy";
  std::vector<fs::path> found;
  for (const fs::path& name : folder_entry_names(folder)) {
    const std::string text = path_to_utf8(name);
    const std::size_t at = text.rfind(marker);
    if (!text.starts_with(".") || at == std::string::npos || at == 0) continue;
    const std::string_view digits = std::string_view(text).substr(at + marker.size());
    if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      found.push_back(name);
  }
  return found;
}

fs::path copy_temporary_name(const fs::path& to, int attempt) {
  fs::path name = to.parent_path() / path_from_utf8("." + name_for_temporary(to) + ".qbank-copy");
  if (attempt > 0) name += std::to_string(attempt);
  return name;
}

copy_outcome copy_file_checked(const fs::path& from, const fs::path& to,
                               const copy_progress& progress, const std::int32_t* cancel_flag) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(to, ec))) return {copy_status::exists, "File exists"};
  std::unique_ptr<input_file> source;
  try {
    source = std::make_unique<input_file>(from);
  } catch (const file_error& e) {
    return {copy_status::read_error, e.reason()};
  }
  const std::uint64_t total = source->size();
  if (progress) progress(total, 0);

  temporary_guard guard;
  std::unique_ptr<exclusive_file> out;
  // Another file may hold the temporary name (a stopped copy's, or another run's copy in
  // progress): it is not ours to remove, so the next name is taken.
  for (int attempt = 0; attempt < 100 && !out; ++attempt) {
    const fs::path name = copy_temporary_name(to, attempt);
    try {
      if (!copy_step(file_step::create, name)) return {copy_status::write_error, {}};
      out = std::make_unique<exclusive_file>(name);
      guard.path = name;  // made here, exclusively: the only temporary this copy may remove
    } catch (const write_failure& f) {
      if (f.kind != write_failure::exists) return outcome_of(f);
    }
  }
  if (!out) return {copy_status::write_error, "no free temporary name"};

  try {
    std::vector<char> buffer(block_size);
    std::uint64_t copied = 0;
    for (;;) {
      if (cancel_flag && *cancel_flag != 0) {
        out.reset();
        return {copy_status::cancelled, {}};
      }
      const std::size_t n = source->read(buffer.data(), buffer.size());
      if (n == 0) break;
      if (fault_hook()) {
        switch (fault_hook()(to, copied)) {
          case copy_fault::write_error:
            throw write_failure{write_failure::other, "Input/output error"};
          case copy_fault::no_space:
            throw write_failure{write_failure::no_space, "No space left on device"};
          case copy_fault::corrupt:
            buffer[0] = static_cast<char>(buffer[0] ^ 0x5a);
            break;
          case copy_fault::none:
            break;
        }
      }
      if (copy_step(file_step::write, to)) out->write(buffer.data(), n);
      copied += n;
      if (progress) progress(total, copied);
    }
    if (copy_step(file_step::sync_file, to)) out->finish();
    out.reset();
    // Reading back takes as long as writing: the progress routine keeps being called (at the
    // full count) so that the window stays responsive and "Cancel" still works.
    input_file copy(guard.path);
    const comparison compared = compare_contents(*source, copy, buffer, [&] {
      if (progress) progress(total, copied);
      return !(cancel_flag && *cancel_flag != 0);
    });
    if (compared == comparison::stopped) return {copy_status::cancelled, {}};
    if (compared == comparison::different) return {copy_status::mismatch, {}};
    if (copy_step(file_step::rename, to)) rename_no_replace(guard.path, to);
    guard.keep = true;
  } catch (const write_failure& f) {
    return outcome_of(f);
  } catch (const file_error& e) {
    return {e.path() == from ? copy_status::read_error : copy_status::write_error, e.reason()};
  }
  return {};
}

bool folder_is_empty(const fs::path& folder) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) throw file_error(folder, ec.message());
  return it == fs::directory_iterator();
}

std::vector<fs::path> folder_entry_names(const fs::path& folder) {
  std::vector<fs::path> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename());
  return names;
}

void create_folder(const fs::path& folder) {
  if (!file_step_allowed(file_step::create_folder, folder)) return;
  // A link of that name would take the copies elsewhere (files are never copied through one:
  // their names must not exist yet).
  if (const auto link = link_below(folder.parent_path(), folder)) throw link_in_the_way(*link);
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw file_error(folder, ec.message());
  if (!fs::is_directory(folder, ec)) throw file_error(folder, "Not a directory");
}

}  // namespace qbank
