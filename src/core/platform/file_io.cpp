#include "platform/file_io.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cstring>
#include <mutex>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/file_os.h"
#include "platform/paths.h"

namespace qbank {

// ---- the test seam ----

namespace {

file_step_hook step_hook;
bool killed = false;

}  // namespace

bool file_step_allowed(file_step step, const std::filesystem::path& path) {
  if (killed) return false;
  if (!step_hook) return true;
  switch (step_hook(step, path)) {
    case step_outcome::proceed:
      return true;
    case step_outcome::fail:
      throw file_error(path, std::string(injected_io_error));
    case step_outcome::no_space:
      throw file_error(path, std::string(injected_no_space));
    case step_outcome::kill:
      killed = true;
      throw simulated_kill{};
  }
  return true;
}

void set_file_step_hook(file_step_hook hook) {
  step_hook = std::move(hook);
  killed = false;
}

// ---- live temporary files ----

std::string name_for_temporary(const std::filesystem::path& target) {
  // A file system takes names of up to 255 bytes or characters: the temporary name, some 30
  // longer than its target's, must fit even where the target's own name nearly fills that.
  constexpr std::size_t longest = 200;
  std::string name = path_to_utf8(target.filename());
  if (name.size() <= longest) return name;
  std::size_t cut = longest;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  name.resize(cut);
  return name;
}

namespace {

// Fixed storage, so that a signal handler can walk it without allocating or locking: a slot's
// text is complete before its flag is set and the flag is cleared before the text changes.
constexpr std::size_t live_name_size = 4096;
std::array<std::atomic<bool>, os::live_temporary_slots> live_used{};
std::array<std::array<char, live_name_size>, os::live_temporary_slots> live_names{};
std::mutex live_mutex;

int register_live(const std::filesystem::path& path) {
  const std::string text = path_to_utf8(path);
  if (text.size() >= live_name_size) return -1;
  std::lock_guard lock(live_mutex);
  for (int k = 0; k < os::live_temporary_slots; ++k) {
    if (live_used[k].load()) continue;
    std::memcpy(live_names[k].data(), text.c_str(), text.size() + 1);
    live_used[k].store(true);
    return k;
  }
  return -1;  // more files at once than slots: only the interruption cleanup misses them
}

void unregister_live(int& slot) {
  if (slot < 0) return;
  std::lock_guard lock(live_mutex);
  live_used[slot].store(false);
  slot = -1;
}

bool is_live(const std::filesystem::path& path) {
  const std::string text = path_to_utf8(path);
  std::lock_guard lock(live_mutex);
  for (int k = 0; k < os::live_temporary_slots; ++k)
    if (live_used[k].load() && text == live_names[k].data()) return true;
  return false;
}

// ".NAME.qbank-tmp-" + a process and a counter: a leading dot keeps it out of plain listings.
constexpr std::string_view temp_marker = ".qbank-tmp-";

std::string temporary_prefix(const std::filesystem::path& target) {
  return "." + name_for_temporary(target) + std::string(temp_marker);
}

std::atomic<unsigned> temp_counter{0};

}  // namespace

const char* os::live_temporary(int slot) noexcept {
  if (slot < 0 || slot >= live_temporary_slots || !live_used[slot].load()) return nullptr;
  return live_names[slot].data();
}

void install_interrupt_cleanup() {
  os::install_interrupt_cleanup();
}

bool is_temporary_of(const std::filesystem::path& name, const std::filesystem::path& target) {
  return path_to_utf8(name.filename()).starts_with(temporary_prefix(target));
}

int remove_leftover_temporaries(std::span<const std::filesystem::path> targets) {
  if (targets.empty()) return 0;
  std::filesystem::path folder = targets.front().parent_path();
  if (folder.empty()) folder = ".";
  std::vector<std::string> prefixes;
  for (const auto& t : targets) prefixes.push_back(temporary_prefix(t));
  int removed = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = path_to_utf8(it->path().filename());
    if (!name.starts_with('.') || name.find(temp_marker) == std::string::npos) continue;
    const bool ours = std::any_of(prefixes.begin(), prefixes.end(),
                                  [&](const std::string& p) { return name.starts_with(p); });
    if (!ours || is_live(it->path())) continue;
    removed += remove_file(it->path()) ? 1 : 0;
  }
  return removed;
}

namespace {

// Removes the temporary files for `target` that runs which ended without cleaning up (killed,
// a power cut) left: those of processes no longer running, and this process's own that it no
// longer writes. Those of another running process are its business.
void remove_stale_temporaries(const std::filesystem::path& target) {
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  const std::string prefix = temporary_prefix(target);
  const unsigned long self = os::process_id();
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = path_to_utf8(it->path().filename());
    if (!name.starts_with(prefix)) continue;
    // The rest is "PROCESS-COUNTER".
    const std::string rest = name.substr(prefix.size());
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos ||
        rest.find_first_not_of("0123456789-") != std::string::npos)
      continue;
    unsigned long owner = 0;
    if (std::from_chars(rest.data(), rest.data() + dash, owner).ec != std::errc()) continue;
    if (owner == self ? is_live(it->path()) : os::process_running(owner)) continue;
    try {
      remove_file(it->path());
    } catch (const file_error&) {
      // Kept; it is tried again the next time this file is written.
    }
  }
}

}  // namespace

// ---- steps that change files ----

void rename_replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!file_step_allowed(file_step::rename, to)) return;
  os::rename_replace(from, to);
  sync_folder(to.parent_path());
}

bool remove_file(const std::filesystem::path& path) {
  if (!file_step_allowed(file_step::remove, path)) return false;
  return os::remove(path);
}

void sync_folder(const std::filesystem::path& folder) {
  if (!file_step_allowed(file_step::sync_folder, folder)) return;
  os::sync_folder(folder);
}

// ---- reading ----

std::size_t memory_source::read(void* buffer, std::size_t count) {
  if (position_ >= size_) return 0;
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - position_));
  std::memcpy(buffer, data_ + position_, n);
  position_ += n;
  return n;
}

joined_source::joined_source(std::vector<std::span<const std::uint8_t>> pieces)
    : pieces_(std::move(pieces)) {
  for (const auto& piece : pieces_) size_ += piece.size();
}

std::size_t joined_source::read(void* buffer, std::size_t count) {
  if (position_ >= size_) return 0;
  count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - position_));
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  std::uint64_t piece_start = 0;
  for (const auto& piece : pieces_) {
    if (done == count) break;
    const std::uint64_t piece_end = piece_start + piece.size();
    const std::uint64_t at = position_ + done;
    if (at < piece_end) {
      const auto n =
          static_cast<std::size_t>(std::min<std::uint64_t>(count - done, piece_end - at));
      std::memcpy(out + done, piece.data() + (at - piece_start), n);
      done += n;
    }
    piece_start = piece_end;
  }
  position_ += done;
  return done;
}

input_file::input_file(const std::filesystem::path& path) : path_(path) {
  handle_ = os::open_read(path, size_);
}

input_file::~input_file() {
  if (handle_ != os::no_handle) os::close_quietly(handle_);
}

std::size_t input_file::read(void* buffer, std::size_t count) {
  // At the size the file had when it was opened, another call would only return 0: many small
  // files are read whole (validation of every WAV file), so that call is saved.
  if (position_ >= size_) return 0;
  const std::size_t n = os::read_at(handle_, path_, buffer, count, position_);
  position_ += n;
  return n;
}

// ---- writing ----

atomic_output_file::atomic_output_file(const std::filesystem::path& target)
    : target_(os::resolve_links(target)) {
  std::filesystem::path folder = target_.parent_path();
  if (folder.empty()) folder = ".";
  // A file the user may not write is not replaced either: the folder's rights would allow it.
  os::refuse_unwritable(target_);
  remove_stale_temporaries(target_);
  const std::string prefix = temporary_prefix(target_) + std::to_string(os::process_id()) + "-";
  for (int attempt = 0; attempt < 100 && handle_ == os::no_handle; ++attempt) {
    temp_ = folder / path_from_utf8(prefix + std::to_string(temp_counter++));
    try {
      if (!file_step_allowed(file_step::create, temp_)) throw simulated_kill{};
      handle_ = os::create_new(temp_);
    } catch (const file_error& e) {
      throw file_error(target_, e.reason());
    }
  }
  if (handle_ == os::no_handle) throw file_error(target_, "cannot create a temporary file");
  live_slot_ = register_live(temp_);
  try {
    if (const std::optional<os::kept_attributes> kept = os::attributes_of(target_))
      os::keep_attributes(handle_, temp_, *kept);
  } catch (...) {
    abandon();
    throw;
  }
  buffer_.reserve(1 << 20);
}

namespace {

const std::filesystem::path& unlinked_target(const std::filesystem::path& folder,
                                             const std::filesystem::path& target) {
  if (const auto link = link_below(folder, target)) throw link_in_the_way(*link);
  return target;
}

}  // namespace

// Without a link below the folder, the target is no link either, so the constructor that
// follows links keeps it as it is.
atomic_output_file::atomic_output_file(const std::filesystem::path& target,
                                       const std::filesystem::path& folder)
    : atomic_output_file(unlinked_target(folder, target)) {}

atomic_output_file::~atomic_output_file() {
  if (!done_) abandon();
}

void atomic_output_file::write_through(const void* data, std::size_t count) {
  if (file_step_allowed(file_step::write, target_)) os::write_all(handle_, target_, data, count);
}

void atomic_output_file::flush() {
  if (!buffer_.empty()) {
    write_through(buffer_.data(), buffer_.size());
    buffer_.clear();
  }
}

void atomic_output_file::write(const void* data, std::size_t count) {
  if (handle_ == os::no_handle) throw file_error(target_, "write after close");
  const char* p = static_cast<const char*>(data);
  if (buffer_.size() + count > buffer_.capacity()) {
    flush();
    if (count >= buffer_.capacity()) {
      write_through(p, count);
      written_ += count;
      return;
    }
  }
  buffer_.insert(buffer_.end(), p, p + count);
  written_ += count;
}

void atomic_output_file::close() {
  if (handle_ == os::no_handle) return;
  flush();
  if (file_step_allowed(file_step::sync_file, target_)) os::sync(handle_, target_);
  const os::handle h = handle_;
  handle_ = os::no_handle;
  os::close(h, target_);
}

void atomic_output_file::commit() {
  close();
  rename_replace(temp_, target_);
  unregister_live(live_slot_);
  done_ = true;
}

std::filesystem::path atomic_output_file::release() {
  close();
  unregister_live(live_slot_);
  done_ = true;
  return temp_;
}

void atomic_output_file::abandon() {
  if (handle_ != os::no_handle) {
    os::close_quietly(handle_);
    handle_ = os::no_handle;
  }
  if (!done_) {
    try {
      remove_file(temp_);
    } catch (const file_error&) {
      // Left for the next run of the same target, which removes it (remove_leftover_temporaries).
    }
  }
  unregister_live(live_slot_);
  done_ = true;
}

bool file_exists(const std::filesystem::path& path) {
  const os::file_kind k = os::kind_of(path);
  return k != os::file_kind::missing && k != os::file_kind::folder;
}

std::optional<std::filesystem::path> link_below(const std::filesystem::path& folder,
                                                const std::filesystem::path& path) {
  const std::filesystem::path rest = path.lexically_relative(folder);
  if (rest.empty() || *rest.begin() == "..") {
    if (os::is_link(path)) return path;
    return std::nullopt;
  }
  std::filesystem::path at = folder;
  for (const std::filesystem::path& name : rest) {
    if (name.empty() || name == ".") continue;
    at /= name;
    if (os::is_link(at)) return at;
    // Nothing below a name that is not there can be a link.
    if (os::kind_of(at) == os::file_kind::missing) break;
  }
  return std::nullopt;
}

std::string read_all(byte_source& source) {
  std::string text(static_cast<std::size_t>(source.size()), '\0');
  source.seek(0);
  std::size_t got = 0;
  while (got < text.size()) {
    const std::size_t n = source.read(text.data() + got, text.size() - got);
    if (n == 0) break;
    got += n;
  }
  text.resize(got);
  return text;
}

std::vector<std::uint8_t> read_whole_file(const std::filesystem::path& path) {
  input_file in(path);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.size()));
  bytes.resize(in.read(bytes.data(), bytes.size()));
  return bytes;
}

void write_whole_file(const std::filesystem::path& path, const void* data, std::size_t size) {
  atomic_output_file out(path);
  out.write(data, size);
  out.commit();
}

}  // namespace qbank
