#include "bank/split_file.h"

#include <algorithm>

#include "platform/file_commit.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "ui/host.h"
#include "util/text_format.h"

namespace qbank {

std::filesystem::path split_part_path(const std::filesystem::path& path, int index) {
  if (index == 0) return path;
  return path_with_extension(path, format(".Q%02u", index));
}

// ---- where the parts come from ----

void file_part_opener::prepare() {
  complete_file_set(journal_path(path_));
}

bool file_part_opener::exists(int index) {
  return file_exists(split_part_path(path_, index));
}

std::unique_ptr<byte_source> file_part_opener::open(int index) {
  const std::filesystem::path name = split_part_path(path_, index);
  if (!file_exists(name)) return nullptr;
  try {
    return std::make_unique<input_file>(name);
  } catch (const file_error&) {
    return nullptr;
  }
}

// One part: `size` bytes of the joined pieces from `start`.
class memory_part_opener::part_source : public byte_source {
 public:
  part_source(const std::vector<std::span<const std::uint8_t>>& pieces, std::uint64_t start,
              std::uint64_t size)
      : joined_(pieces), start_(start), size_(size) {}
  std::size_t read(void* buffer, std::size_t count) override {
    if (position_ >= size_) return 0;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - position_));
    joined_.seek(start_ + position_);
    const std::size_t done = joined_.read(buffer, count);
    position_ += done;
    return done;
  }
  std::uint64_t size() const override { return size_; }
  std::uint64_t position() const override { return position_; }
  void seek(std::uint64_t position) override { position_ = position; }

 private:
  joined_source joined_;
  std::uint64_t start_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
};

memory_part_opener::memory_part_opener(std::vector<std::span<const std::uint8_t>> pieces,
                                       std::uint64_t part_limit, std::filesystem::path name)
    : pieces_(std::move(pieces)),
      part_limit_(part_limit == 0 ? default_part_limit : part_limit),
      name_(std::move(name)) {
  for (const auto& piece : pieces_) total_ += piece.size();
}

bool memory_part_opener::exists(int index) {
  if (index < 0 || index >= max_split_parts || missing_[index]) return false;
  return index == 0 || std::uint64_t(index) * part_limit_ < total_;
}

std::unique_ptr<byte_source> memory_part_opener::open(int index) {
  if (!exists(index)) return nullptr;
  const std::uint64_t start = std::uint64_t(index) * part_limit_;
  const std::uint64_t size = std::min(part_limit_, total_ - std::min(start, total_));
  return std::make_unique<part_source>(pieces_, start, size);
}

// ---- writer ----

MySplitFileWriter::MySplitFileWriter(std::uint64_t part_limit)
    : part_limit_(part_limit == 0 ? default_part_limit : part_limit) {}

MySplitFileWriter::~MySplitFileWriter() {
  Abandon();
}

bool MySplitFileWriter::Open(const std::filesystem::path& path, bool split) {
  Abandon();
  path_ = path;
  split_ = split;
  written_ = 0;
  last_error_.clear();
  try {
    // Another writer of the same bank goes first: its files are not leftovers.
    lock_.emplace(journal_path(path_));
    // A commit an earlier run left half done is finished first, so the parts to be replaced
    // are one whole bank, and what killed runs left behind is removed.
    complete_file_set(journal_path(path_));
    std::vector<std::filesystem::path> names;
    for (int k = 0; k < max_split_parts; ++k) names.push_back(split_part_path(path_, k));
    names.push_back(journal_path(path_));
    remove_leftover_temporaries(names);
    start_part();
  } catch (const file_error& e) {
    Abandon();
    last_error_ = e.reason();
    return false;
  }
  return true;
}

void MySplitFileWriter::start_part() {
  const int index = static_cast<int>(parts_.size());
  if (index >= max_split_parts)
    throw command_error(
        format("The bank file %s needs more than %d part files of %s bytes; it is not created.",
               path_to_utf8(path_).c_str(), max_split_parts, group_thousands(part_limit_).c_str()));
  parts_.push_back(std::make_unique<atomic_output_file>(split_part_path(path_, index)));
  part_written_ = 0;
}

void MySplitFileWriter::Write(const void* bytes, std::size_t count) {
  if (parts_.empty()) throw command_error("The split file writer is not open.");
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  while (count > 0) {
    std::size_t n = count;
    if (split_) {
      if (part_written_ == part_limit_) {
        // A full part is finished only now that bytes remain, so no part is ever empty.
        parts_.back()->close();
        start_part();
      }
      n = static_cast<std::size_t>(std::min<std::uint64_t>(count, part_limit_ - part_written_));
    }
    parts_.back()->write(p, n);
    part_written_ += n;
    written_ += n;
    p += n;
    count -= n;
  }
}

void MySplitFileWriter::WriteList(std::span<const std::string_view> lines) {
  text_.clear();
  for (std::string_view line : lines) {
    text_ += line;
    text_ += "\r\n";
  }
  Write(text_.data(), text_.size());
}

void MySplitFileWriter::Close() {
  if (parts_.empty()) return;
  for (auto& part : parts_) part->close();
  std::vector<pending_rename> renames;
  for (auto& part : parts_) renames.push_back({part->release(), part->target()});
  parts_.clear();
  // Parts of an earlier, longer bank would read as a continuation of this one.
  std::vector<std::filesystem::path> stale;
  for (int k = static_cast<int>(renames.size()); k < max_split_parts; ++k)
    if (std::filesystem::path name = split_part_path(path_, k); file_exists(name))
      stale.push_back(std::move(name));
  const std::filesystem::path journal = journal_path(path_);
  try {
    commit_file_set(journal, renames, stale);
    lock_.reset();
  } catch (const file_error&) {
    // Without a journal nothing was replaced and the new parts are dropped; with one, they are
    // what the next run completes the commit with.
    if (!file_exists(journal))
      for (const pending_rename& r : renames) try {
          remove_file(r.from);
        } catch (const file_error&) {
        }
    lock_.reset();
    throw;
  }
}

void MySplitFileWriter::Abandon() {
  for (auto& part : parts_) part->abandon();
  parts_.clear();
  lock_.reset();
}

// ---- reader ----

MySplitFileReaderClass::MySplitFileReaderClass(host& h) : host_(h) {}

MySplitFileReaderClass::~MySplitFileReaderClass() {
  CloseAll();
}

void MySplitFileReaderClass::CloseAll() {
  for (auto& part : parts) part.reset();
  part_sizes.fill(0);
  total_size = 0;
  position = 0;
  part_offset = 0;
  current_part = 0;
}

bool MySplitFileReaderClass::Open(const std::filesystem::path& path, bool all_parts) {
  file_part_opener files(path);
  return Open(files, all_parts);
}

bool MySplitFileReaderClass::Open(part_opener& opener, bool all_parts) {
  CloseAll();
  opener.prepare();
  const int last = all_parts ? max_split_parts - 1 : 0;
  for (int i = 0; i <= last; ++i) {
    parts[i] = opener.open(i);
    if (!parts[i]) continue;  // an unreadable part counts as missing, like an absent one
    part_sizes[i] = parts[i]->size();
    total_size += part_sizes[i];
  }
  if (total_size == 0) return false;
  // Starts on the first part that holds bytes, which need not be part 0.
  GoToPosition(0);
  return true;
}

bool MySplitFileReaderClass::GoToPosition(std::uint64_t target) {
  if (target > total_size) {
    host_.message("Go to Position outside all files in MySplitFileReader_GoToPosition!", "Error");
    return false;
  }
  if (target == total_size) {
    position = target;
    return true;
  }
  std::uint64_t base = 0;
  int e = 0;
  while (target >= part_sizes[e]) {
    if (e + 1 >= max_split_parts) {
      host_.message("Invalid Position in MySplitFileReader_GoToPosition!", "Error");
      return false;
    }
    target -= part_sizes[e];
    base += part_sizes[e];
    ++e;
  }
  current_part = static_cast<std::uint8_t>(e);
  position = base + target;
  part_offset = target;
  parts[e]->seek(target);
  return true;
}

std::size_t MySplitFileReaderClass::Read(void* buffer, std::size_t count) {
  if (count > total_size || position > total_size - count) {
    host_.message("Try to read outside all files in MySplitFileReader_GoToPosition!", "Error");
    return 0;
  }
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    // Position is below the total here, so GoToPosition has put us on a part that holds bytes.
    byte_source* part = parts[current_part].get();
    const std::uint64_t left_in_part = part_sizes[current_part] - part_offset;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(count - done, left_in_part));
    std::size_t got = 0;
    if (part) {
      part->seek(part_offset);
      got = part->read(out + done, want);
    }
    done += got;
    GoToPosition(position + got);
    if (got < want || got == 0) {
      host_.message("Error 1 in MySplitFileReader!", "Error");
      host_.message(std::to_string(count), "Iskani");
      host_.message(std::to_string(done), "Readed");
      break;
    }
  }
  return done;
}

std::size_t split_file_source::read(void* buffer, std::size_t count) {
  const std::uint64_t left = reader_.TotalSize() - reader_.Position();
  if (left == 0) return 0;
  return reader_.Read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(count, left)));
}

void split_file_source::seek(std::uint64_t position) {
  reader_.GoToPosition(std::min(position, reader_.TotalSize()));
}

}  // namespace qbank
