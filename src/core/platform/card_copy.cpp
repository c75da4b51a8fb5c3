#include "platform/card_copy.h"

#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

#include "platform/exclusive_file.h"
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

// Removes the temporary file unless the copy got its own name.
struct temporary_guard {
  fs::path path;
  bool keep = false;
  ~temporary_guard() {
    std::error_code ec;
    if (!keep && !path.empty()) fs::remove(path, ec);
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

fs::path copy_temporary_name(const fs::path& to, int attempt) {
  fs::path name =
      to.parent_path() / path_from_utf8("." + path_to_utf8(to.filename()) + ".qbank-copy");
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
  // A leftover of a run that was killed may hold the temporary name: take the next one.
  for (int attempt = 0; attempt < 100 && !out; ++attempt) {
    try {
      guard.path = copy_temporary_name(to, attempt);
      out = std::make_unique<exclusive_file>(guard.path);
    } catch (const write_failure& f) {
      guard.path.clear();
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
      out->write(buffer.data(), n);
      copied += n;
      if (progress) progress(total, copied);
    }
    out->finish();
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
    rename_no_replace(guard.path, to);
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
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw file_error(folder, ec.message());
  if (!fs::is_directory(folder, ec)) throw file_error(folder, "Not a directory");
}

}  // namespace qbank
