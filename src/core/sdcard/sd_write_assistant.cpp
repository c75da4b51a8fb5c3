#include "sdcard/sd_write_assistant.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "bank/bank.h"
#include "bank/bank_reader.h"
#include "bank/split_file.h"
#include "platform/card_copy.h"
#include "platform/file_error.h"
#include "platform/file_identity.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/volume.h"
#include "ui/host.h"
#include "ui/null_host.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

constexpr const char* not_fat32_text =
    "Destination drive file system is not FAT32!\nMy be this is not SD card or SD card is not "
    "formatted in FAT32!";
constexpr const char* no_space_text =
    "No free space for all sellected files\nPlease use bigger destination drive!";
constexpr const char* not_empty_text =
    "Destination device not empty!\nSD card need to be formatted in FAT32 file system before "
    "start bank recording, and need to be EMPTY!";
constexpr const char* not_root_text =
    "Destination is not the root folder of its drive!\nThe instrument looks for the bank only in "
    "the card's root folder: choose the card itself, not a folder on it.";
constexpr const char* leftovers_text =
    "\n\nLeft by a write that was stopped before it ended (remove them, or format the card):";
constexpr const char* write_title = "Write to SD Card...";
constexpr const char* mp3_folder = "Mp3";

std::string utf8_of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

fs::path path_of_utf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

std::string folded(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The size of a file that can be opened; none otherwise.
std::optional<std::uint64_t> size_of(const fs::path& path) {
  try {
    return input_file(path).size();
  } catch (const file_error&) {
    return std::nullopt;
  }
}

std::string bytes_text(std::uint64_t n) {
  return std::to_string(n) + " bytes";
}

std::string why_not_copied(const copy_outcome& outcome) {
  switch (outcome.status) {
    case copy_status::exists:
      return "a file of this name is already on the card";
    case copy_status::no_space:
      return "no space left on the card";
    case copy_status::read_error:
      return "read error: " + outcome.reason;
    case copy_status::write_error:
      return "write error: " + outcome.reason;
    case copy_status::mismatch:
      return "the copy read back from the card differs from the file";
    case copy_status::cancelled:
      return "cancelled";
    case copy_status::copied:
      break;
  }
  return {};
}

// The parts of a bank as the reader opens them, with the size of each one it could open.
class measured_part_opener : public part_opener {
 public:
  explicit measured_part_opener(const fs::path& bank_file) : files_(bank_file) {}
  const fs::path& bank_path() const override { return files_.bank_path(); }
  void prepare() override { files_.prepare(); }
  bool exists(int index) override { return files_.exists(index); }
  std::unique_ptr<byte_source> open(int index) override {
    std::unique_ptr<byte_source> part = files_.open(index);
    sizes.at(static_cast<std::size_t>(index)) = part ? part->size() : 0;
    return part;
  }

  std::array<std::uint64_t, max_split_parts> sizes{};

 private:
  file_part_opener files_;
};

// Keeps the reader's errors for the refusal; its notices ("Bank loading OK!", old versions) and
// its progress are not the write's to show.
class reader_errors : public null_host {
 public:
  void message(std::string_view text, std::string_view caption) override {
    if (caption == "Error") errors.emplace_back(text);
  }
  std::vector<std::string> errors;
};

}  // namespace

std::vector<bank_set_member> find_bank_set(const fs::path& bank_file) {
  const fs::path folder = bank_file.parent_path();
  std::unordered_map<std::string, std::vector<std::string>> by_folded;
  for (const fs::path& name : folder_entry_names(folder.empty() ? fs::path(".") : folder)) {
    const std::string text = utf8_of(name);
    by_folded[folded(text)].push_back(text);
  }
  for (auto& [key, names] : by_folded) std::sort(names.begin(), names.end());

  const std::string chosen = utf8_of(bank_file.filename());
  std::vector<std::string> wanted;
  wanted.reserve(bank_set_count);
  wanted.push_back(chosen);
  for (unsigned part = 1; part <= 98; ++part) {
    char extension[8];
    std::snprintf(extension, sizeof extension, ".Q%02u", part);
    wanted.push_back(replace_extension(chosen, extension));
  }
  wanted.push_back(replace_extension(chosen, ".TXT"));
  wanted.push_back(replace_extension(chosen, ".QBS"));

  std::vector<bank_set_member> set;
  set.reserve(bank_set_count);
  std::unordered_set<std::string> taken;
  for (const std::string& name : wanted) {
    // The exact spelling when it is there, else the first spelling in any letter case.
    std::string found = name;
    const auto it = by_folded.find(folded(name));
    if (it != by_folded.end() &&
        std::find(it->second.begin(), it->second.end(), name) == it->second.end())
      found = it->second.front();
    bank_set_member member{folder / path_of_utf8(found), 0};
    // A bank named X.qbs is its own script: it is copied once.
    if (taken.insert(found).second) member.size = size_of(member.path).value_or(0);
    set.push_back(std::move(member));
  }
  return set;
}

std::uint8_t copy_percent(std::uint64_t total, std::uint64_t copied) {
  const std::uint64_t total_kib = total / 1024;
  if (total_kib == 0) return copied >= total ? 100 : 0;
  return static_cast<std::uint8_t>(std::min<std::uint64_t>(100, (copied / 1024) * 100 / total_kib));
}

sd_write_assistant::sd_write_assistant() : bank_set_(bank_set_count) {}

void sd_write_assistant::choose_bank(const std::optional<fs::path>& file) {
  bank_chosen_ = file.has_value();
  bank_file_ = file.value_or(fs::path());
  if (file) {
    // A build that stopped while it replaced the parts is completed first, as every reader of
    // the bank does, so that the list shows the bank's own parts. When that fails the write
    // says why.
    try {
      file_part_opener(*file).prepare();
    } catch (const file_error&) {
    }
    bank_set_ = find_bank_set(*file);
  } else {
    bank_set_.assign(bank_set_count, bank_set_member{});
  }
  count_bank_set();
}

void sd_write_assistant::count_bank_set() {
  bank_lines_.clear();
  bank_total_ = 0;
  for (const bank_set_member& m : bank_set_) {
    if (m.size == 0) continue;
    bank_lines_.push_back(utf8_of(m.path.filename()) + "   Size: " + bytes_text(m.size));
    bank_total_ += m.size;
  }
}

bool sd_write_assistant::read_bank_set(host& h) {
  measured_part_opener parts(bank_file_);
  reader_errors reader_host;
  const auto scratch = std::make_unique<bank>();
  if (!read_bank_file(*scratch, parts, reader_variant::main, reader_host)) {
    for (const std::string& error : reader_host.errors) h.message(error, "Error");
    if (reader_host.errors.empty())
      h.message("The bank file " + utf8_of(bank_file_) + " cannot be read as a whole bank.",
                sd_write_caption);
    return false;
  }
  // Completing a stopped build may have changed the files: the set is found again, and its
  // parts are those the reader read, not whatever files carry their names.
  bank_set_ = find_bank_set(bank_file_);
  for (int i = 0; i < max_split_parts; ++i)
    bank_set_[static_cast<std::size_t>(i)] = {split_part_path(bank_file_, i),
                                              parts.sizes[static_cast<std::size_t>(i)]};
  count_bank_set();
  return true;
}

void sd_write_assistant::set_os_ticked(bool ticked) {
  os_ticked_ = ticked;
  if (ticked) return;
  os_files_.clear();
  os_total_ = 0;
  os_selected_ = false;
}

void sd_write_assistant::choose_os_files(const std::optional<std::vector<fs::path>>& files,
                                         host& h) {
  os_files_.clear();
  os_total_ = 0;
  os_selected_ = files.has_value();
  if (!files) return;
  for (const fs::path& file : *files) {
    if (!file_exists(file)) continue;
    const std::uint64_t size = size_of(file).value_or(0);
    if (size != os_file_size) {
      h.message("File: " + utf8_of(file.filename()) + " is with invalid size!",
                "Invalid Operation System BIN file size!");
      continue;
    }
    os_files_.push_back(file);
    os_total_ += size;
  }
}

void sd_write_assistant::set_mp3_ticked(bool ticked) {
  mp3_ticked_ = ticked;
  if (ticked) return;
  mp3_files_.clear();
  mp3_total_ = 0;
  mp3_selected_ = false;
}

void sd_write_assistant::choose_mp3_files(const std::optional<std::vector<fs::path>>& files) {
  mp3_files_.clear();
  mp3_total_ = 0;
  mp3_selected_ = files.has_value();
  if (!files) return;
  for (const fs::path& file : *files) {
    if (!file_exists(file)) continue;
    // A file that cannot be read is kept: the copy then says why it was not copied.
    mp3_files_.push_back(file);
    mp3_total_ += size_of(file).value_or(0);
  }
}

group_display sd_write_assistant::bank_display() const {
  return bank_chosen_ ? group_display{1, bytes_text(bank_total_)} : group_display{0, "0 bytes"};
}

group_display sd_write_assistant::os_display() const {
  return os_ticked_ && os_selected_ ? group_display{1, bytes_text(os_total_)}
                                    : group_display{0, "0 bytes"};
}

group_display sd_write_assistant::mp3_display() const {
  return mp3_ticked_ && mp3_selected_ ? group_display{1, bytes_text(mp3_total_)}
                                      : group_display{0, "0 bytes"};
}

void sd_write_assistant::choose_destination(const fs::path& root, volume_layer& volumes) {
  destination_ = destination_display{};
  destination_.root = root;
  file_system_.clear();
  volume_root_.clear();
  free_space_ = 0;
  const std::optional<volume_stat> stat = volumes.stat(root);
  if (!stat) {
    destination_.name = "Drive Not Ready!";
    return;
  }
  file_system_ = file_system_name(*stat);
  volume_root_ = stat->root;
  destination_.name = "Name: " + stat->label;
  destination_.file_system = "File system: " + file_system_;
  if (!stat->free_bytes) return;
  free_space_ = *stat->free_bytes;
  destination_.free_space = "Free space: " + std::to_string(free_space_);
  destination_.fat32_picture = file_system_ == "FAT32" ? 1 : 0;
}

write_result sd_write_assistant::write(host& h, std::int32_t& cancel_flag) {
  if (file_system_ != "FAT32") {
    h.message(not_fat32_text, sd_write_caption);
    return write_result::refused;
  }
  const fs::path root = destination_.root;
  // By file identity: "E:\" and "E:", a trailing separator or a link name the same folder.
  const auto chosen = identity_of(root);
  if (volume_root_.empty() || !chosen || chosen != identity_of(volume_root_)) {
    h.message(not_root_text, sd_write_caption);
    return write_result::refused;
  }
  if (bank_chosen_ && !read_bank_set(h)) return write_result::refused;
  const std::uint64_t os = os_selected_ ? os_total_ : 0, mp3 = mp3_selected_ ? mp3_total_ : 0;
  if (bank_total_ + os + mp3 > free_space_) {
    h.message(no_space_text, sd_write_caption);
    return write_result::refused;
  }
  if (!folder_is_empty(root)) {
    // What a stopped write left is named, not removed: the card is the user's to clear.
    std::string text = not_empty_text;
    std::vector<fs::path> leftovers = copy_leftovers(root);
    for (const fs::path& name : copy_leftovers(root / mp3_folder))
      leftovers.push_back(fs::path(mp3_folder) / name);
    if (!leftovers.empty()) text += leftovers_text;
    for (const fs::path& name : leftovers) text += "\n" + utf8_of(name);
    h.message(text, sd_write_caption);
    return write_result::refused;
  }

  std::vector<std::string> not_copied;
  int planned = 0, copied = 0;
  {
    progress_scope progress(h, 'w', write_title, &cancel_flag);
    const copy_progress routine = [&h](std::uint64_t total, std::uint64_t done) {
      h.progress_set_text(std::to_string(done) + " / " + std::to_string(total));
      h.progress_set_percent(copy_percent(total, done));
      h.process_events();
    };
    auto copy_one = [&](const fs::path& from, const fs::path& folder) {
      ++planned;
      if (cancel_flag != 0) return;
      h.progress_set_title(utf8_of(from.filename()));
      const copy_outcome outcome =
          copy_file_checked(from, folder / from.filename(), routine, &cancel_flag);
      if (outcome.status == copy_status::copied)
        ++copied;
      else if (outcome.status != copy_status::cancelled)
        not_copied.push_back(utf8_of(from) + ": " + why_not_copied(outcome));
    };

    for (const bank_set_member& m : bank_set_)
      if (m.size != 0) copy_one(m.path, root);
    if (os_selected_)
      for (const fs::path& file : os_files_) copy_one(file, root);
    if (mp3_selected_) {
      const fs::path folder = root / mp3_folder;
      try {
        create_folder(folder);
        for (const fs::path& file : mp3_files_) copy_one(file, folder);
      } catch (const file_error& e) {
        for (const fs::path& file : mp3_files_) {
          ++planned;
          not_copied.push_back(utf8_of(file) + ": the folder " + mp3_folder +
                               " cannot be created: " + e.reason());
        }
      }
    }
  }
  const bool cancelled = cancel_flag != 0 && copied + static_cast<int>(not_copied.size()) < planned;
  cancel_flag = 0;

  if (!not_copied.empty()) show_report(h, not_copied_title, not_copied);
  if (cancelled) {
    h.message("Write CANCELLED!\n" + std::to_string(copied) + " of " + std::to_string(planned) +
                  " files were copied; the card is not complete.",
              sd_write_caption);
    return write_result::cancelled;
  }
  if (!not_copied.empty()) return write_result::incomplete;
  h.message(write_complete_text, sd_write_caption);
  return write_result::complete;
}

}  // namespace qbank
