#include "manager/s2_bank.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

#include "bank/split_file.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "ui/host.h"
#include "util/line_reader.h"
#include "util/text_format.h"

namespace qbank {
namespace {

constexpr std::string_view aborted = "Bank loading is aborted!";
constexpr std::size_t names_lines = std::size_t{s2_multisample_count} * slots_per_multisample;

sector_bytes make_start_sector() {
  return start_sector_layout("Quorvatek Ample LEAD Sampler2 Bank File QBB", 0x04);
}

sector_bytes make_end_sector() {
  sector_bytes s = make_start_sector();
  std::fill(s.begin() + 0xF0, s.end(), 0);
  auto pairs = [&s](std::size_t at, int count) {
    for (int k = 0; k < 2 * count; ++k) s[at + k] = (k % 2 == 0) ? 0x55 : 0xAA;
  };
  pairs(0x0F0, 8);
  pairs(0x130, 8);
  pairs(0x170, 8);
  pairs(0x1A0, 8);
  pairs(0x1D0, 23);
  s[0x1FE] = 0x55;
  s[0x1FF] = 0x5A;
  return s;
}

// The names text: `limit` bytes of the joined bank file from the reader's position.
class bounded_source : public byte_source {
 public:
  bounded_source(MySplitFileReaderClass& reader, std::uint64_t limit)
      : reader_(reader), start_(reader.Position()), limit_(limit) {}
  std::size_t read(void* buffer, std::size_t count) override {
    const std::uint64_t left = limit_ - (reader_.Position() - start_);
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, left));
    return count == 0 ? 0 : reader_.Read(buffer, count);
  }
  std::uint64_t size() const override { return limit_; }
  std::uint64_t position() const override { return reader_.Position() - start_; }
  void seek(std::uint64_t position) override { reader_.GoToPosition(start_ + position); }

 private:
  MySplitFileReaderClass& reader_;
  std::uint64_t start_;
  std::uint64_t limit_;
};

// The records of versions 1 and 2 in today's form: the same 256-byte head, and slots of 6 bytes
// widened to 10 with the settings a reset gives.
void widen_old_records(std::span<const s2_old_multisample> old, s2_multisample* to) {
  for (const s2_old_multisample& o : old) {
    s2_multisample& m = *to++;
    std::memcpy(&m, o.head, sizeof o.head);
    for (int j = 0; j < slots_per_multisample; ++j)
      m.slots[j] = {o.slots[j].value, o.slots[j].sector_count, 0x8100, 0};
  }
}

// One read of the bank: each step either goes on or ends the load with its messages.
class s2_reader {
 public:
  s2_reader(s2_bank& b, part_opener& parts, host& h)
      : bank_(b), parts_(parts), path_(parts.bank_path()), host_(h), reader_(h) {}

  s2_read_result run();

 private:
  // Shows `text` (caption "Error") and the closing "Bank loading is aborted!", then resets.
  // The caller reset the object before the read, so until the records are read only the file
  // information differs from the reset values (a failed size check then costs a few bytes,
  // not a reset of 40 MB of records).
  void give_up(std::string_view text) {
    if (!text.empty()) host_.message(text, "Error");
    host_.message(aborted, "Info");
    if (records_changed_)
      bank_.reset();
    else
      std::memset(&bank_.image().bank_file_info, 0, sizeof(s2_bank_file_info));
  }
  bool read_exact(void* buffer, std::size_t count) {
    if (reader_.Read(buffer, count) == count) return true;
    give_up("The bank file could not be read completely: " + path_to_utf8(path_));
    return false;
  }
  bool sizes_agree();
  int guess_version(int version);
  bool read_records(int version);
  bool check_audio(std::uint64_t& end);
  bool read_names();

  s2_bank& bank_;
  part_opener& parts_;
  const std::filesystem::path& path_;
  host& host_;
  MySplitFileReaderClass reader_;
  s2_read_result result_;
  bool records_changed_ = false;  // the records or file lists were written
};

bool s2_reader::sizes_agree() {
  const std::uint64_t bank_size = bank_.image().bank_file_info.bank_size;
  const std::uint64_t limit = default_part_limit;
  const std::uint64_t own_size = reader_.PartSizes()[0];
  std::uint64_t sum = own_size;
  if (bank_size < limit) {
    if (own_size != bank_size) {
      give_up(
          "Bank is from only one file, but real bank file size is not equal to size recorded "
          "inside in bank file!");
      return false;
    }
  } else {
    if (own_size != limit) {
      give_up("QBB file size is not valid!");
      return false;
    }
    std::uint64_t remaining = bank_size - limit;
    for (int k = 1; remaining > 0; ++k) {
      // Parts past the 99th are never opened, so they count as missing.
      const std::string stored = k < max_split_parts
                                     ? path_to_utf8(split_part_path(path_, k))
                                     : replace_extension(path_to_utf8(path_), format(".Q%02u", k));
      if (k >= max_split_parts || !parts_.exists(k)) {
        give_up("File " + stored + " not exist!");
        return false;
      }
      const std::uint64_t size = reader_.PartSizes()[k];
      sum += size;
      if (size != limit && size != remaining) {
        give_up("File size of " + stored + " not valid!");
        return false;
      }
      remaining = remaining >= limit ? remaining - limit : 0;
    }
  }
  if (sum != bank_size) {
    give_up("Sum of size of all bank files not equal to size recorded inside bank file!");
    return false;
  }
  return true;
}

int s2_reader::guess_version(int version) {
  if (version != 1) return version;
  const std::uint64_t header = bank_.image().bank_file_info.header_size;
  for (int likely : {2, 3}) {
    if (header != (likely == 2 ? s2_header_size_v2 : s2_header_size_v3)) continue;
    const std::string v = std::to_string(likely);
    if (host_.ask("This bank is marked as version 1!\nBut it is very likely that the content is "
                  "like bank version " +
                      v + "!\nDo you want to keep opening it, like version " + v + "?",
                  "WARNING!"))
      return likely;
  }
  return 1;
}

bool s2_reader::read_records(int version) {
  s2_image& im = bank_.image();
  const std::uint64_t needed = version == 1   ? s2_header_size_v1
                               : version == 2 ? s2_header_size_v2
                                              : s2_header_size_v3;
  if (reader_.TotalSize() < needed) {
    give_up("The bank file is shorter than its records: " + path_to_utf8(path_) + "\nIt holds " +
            group_thousands(reader_.TotalSize()) + " bytes, its records need " +
            group_thousands(needed) + " bytes.");
    return false;
  }
  records_changed_ = true;
  auto* head = reinterpret_cast<std::uint8_t*>(&im);
  // The first set (and with it the second, which follows it in every version but 1) lies in
  // the file exactly where it lies in the image.
  const std::size_t sets_end =
      version == 1 ? offsetof(s2_image, global_b) : offsetof(s2_image, multisamples);
  if (!read_exact(head + offsetof(s2_image, global), sets_end - offsetof(s2_image, global)))
    return false;
  if (version <= 2) {
    // The 1,024-byte records are widened a batch at a time (not 10 MB at once).
    constexpr int batch = 250;
    static_assert(s2_multisample_count % batch == 0);
    std::vector<s2_old_multisample> old(batch);
    for (int first = 0; first < s2_multisample_count; first += batch) {
      if (!read_exact(old.data(), old.size() * sizeof(s2_old_multisample))) return false;
      widen_old_records(old, im.multisamples + first);
    }
  } else if (!read_exact(im.multisamples, sizeof im.multisamples)) {
    return false;
  }
  return read_exact(im.slot_bytes, sizeof im.slot_bytes);
}

bool s2_reader::check_audio(std::uint64_t& end) {
  const s2_image& im = bank_.image();
  std::uint64_t sum = 0;
  end = 0;
  for (const s2_multisample& m : im.multisamples) {
    for (const s2_slot& s : m.slots) {
      const std::uint64_t first = s.first_sector();
      if (first == 0) continue;
      sum += std::uint64_t{s.sector_count} * sector_size;
      end = std::max(end, (first + s.sector_count) * sector_size);
    }
  }
  const std::uint64_t recorded = im.bank_file_info.sample_data_size;
  if (sum == recorded) return true;
  host_.message("Calculated audio data size is different from recorded in QBB file!", "Error");
  host_.message("Calculated offset from software is:\n" + std::to_string(end) + " bytes\n" +
                    "Reported offset from \"bank_file_info.sample_data_size\" is:\n" +
                    std::to_string(recorded) + " bytes",
                "Info:");
  give_up("");
  return false;
}

bool s2_reader::read_names() {
  const std::uint64_t names_size = bank_.image().bank_file_info.names_size;
  const std::uint64_t start = reader_.Position();
  if (names_size >= reader_.TotalSize() - start) {
    give_up("Overal bank size is small and no size for path names !");
    return false;
  }
  // The text is read as one stream of the joined file, so it may cross part boundaries.
  bounded_source text(reader_, names_size);
  line_reader lines(text);
  std::vector<std::string> batch(slots_per_multisample);
  std::vector<std::string_view> views(slots_per_multisample);
  std::size_t count = 0;
  for (int m = 0; m < s2_multisample_count; ++m) {
    for (int j = 0; j < slots_per_multisample; ++j) {
      std::optional<std::string_view> line;
      try {
        line = lines.next();
      } catch (const line_too_long& e) {
        give_up(
            format("Line %llu of the file names of the bank is longer than %zu bytes, which "
                   "no stored path is; the file lists cannot be filled.",
                   static_cast<unsigned long long>(e.line()), max_line_bytes));
        return false;
      }
      if (!line) {
        give_up("The file names of the bank end after " + group_thousands(count) + " of " +
                group_thousands(names_lines) + " lines; the file lists cannot be filled.");
        return false;
      }
      batch[j].assign(*line);
      views[j] = batch[j];
      ++count;
    }
    for (int j = 0; j < slots_per_multisample; ++j) bank_.set_file(m, j, views[j]);
    host_.progress_set_percent(static_cast<std::uint8_t>(m * 100 / s2_multisample_count));
    host_.process_events();
  }
  // Lines past the last list are passed over: the end sector follows the whole text.
  if (reader_.GoToPosition(start + names_size)) return true;
  give_up("");
  return false;
}

s2_read_result s2_reader::run() {
  {
    progress_scope progress(host_, 'r', "Reading QBB file...");
    if (!reader_.Open(parts_, true)) return result_;
    sector_bytes start{};
    if (reader_.TotalSize() < sector_size ||
        reader_.Read(start.data(), sector_size) != sector_size ||
        !std::equal(start.begin(), start.begin() + 511, bank_.image().start_sector)) {
      host_.message(
          "Invalid Ample LEAD 2 Sampler Bank!\n...OR...\n...my be this is PROTECTED!!! Ample LEAD "
          "2 Sampler Bank!",
          "Error");
      return result_;
    }
    int version = start[511];
    if (version < 1 || version > 4) {
      host_.message("Uncown Bank File Version!", "Error");
      return result_;
    }
    if (!read_exact(&bank_.image().bank_file_info, sizeof(s2_bank_file_info))) return result_;
    if (!sizes_agree()) return result_;
    version = guess_version(version);
    result_.version = version;
    if (!read_records(version)) return result_;
    std::uint64_t end = 0;
    if (!check_audio(end)) return result_;
    sector_bytes names{};
    const std::uint64_t total = reader_.TotalSize();
    const bool placed =
        end == 0 || (end <= total && total - end >= sector_size && reader_.GoToPosition(end));
    if (!placed || reader_.TotalSize() - reader_.Position() < sector_size ||
        reader_.Read(names.data(), sector_size) != sector_size || names != s2_names_sector()) {
      give_up("In position where need to be special sector before file names, not correct info!");
      return result_;
    }
    if (!read_names()) return result_;
    sector_bytes last{};
    const bool complete =
        reader_.TotalSize() - reader_.Position() >= 511 && reader_.Read(last.data(), 511) == 511 &&
        std::equal(last.begin(), last.begin() + 511, s2_end_sector_template().begin());
    if (!complete) {
      give_up("Uncown last sector!\n My be bank is not loaded correctly!");
      return result_;
    }
  }
  host_.message("Bank loading OK!", "Info");
  result_.loaded = true;
  return result_;
}

}  // namespace

const sector_bytes& s2_start_sector_template() {
  static const sector_bytes s = make_start_sector();
  return s;
}

const sector_bytes& s2_end_sector_template() {
  static const sector_bytes s = make_end_sector();
  return s;
}

const sector_bytes& s2_names_sector() {
  static const sector_bytes s = [] {
    sector_bytes n{};
    for (int k = 0; k < 32; ++k) std::memcpy(n.data() + 16 * k, "MultisampleNames", 16);
    return n;
  }();
  return s;
}

namespace {

s2_sound make_reset_sound() {
  s2_sound sound{};
  auto* b = reinterpret_cast<std::uint8_t*>(&sound);
  std::memcpy(b, "- - -           ", name_size);
  b[24] = 30;
  b[28] = 10;
  b[30] = 99;
  for (zone& z : sound.zones) z = {0, 127, 0, 127, 0, 127, 64};
  auto put16 = [b](std::size_t at, std::uint16_t v) { std::memcpy(b + at, &v, 2); };
  put16(222, 32);
  b[232] = b[233] = b[234] = b[235] = 2;
  b[237] = 48;
  b[240] = 100;
  b[241] = 10;
  b[242] = 100;
  put16(244, 1);
  put16(246, 30);
  b[248] = 14;
  b[249] = 1;
  b[250] = 15;
  for (std::size_t at = 252; at <= 270; at += 2) b[at] = 100;
  b[272] = 8;
  b[277] = 127;
  b[279] = 8;
  for (std::size_t at = 280; at <= 300; at += 2) b[at] = 100;
  b[304] = 5;
  b[305] = 64;
  b[325] = 15;
  b[348] = 100;
  b[353] = 250;
  b[360] = 5;
  b[361] = 64;
  b[381] = 15;
  return sound;
}

}  // namespace

void reset_s2_sound(s2_sound& sound) {
  // Copied from one record made once: a reset writes 10,000 of them.
  static const s2_sound reset = make_reset_sound();
  constexpr std::size_t keep_from = 400;
  constexpr std::size_t keep_to = 471;
  auto* to = reinterpret_cast<std::uint8_t*>(&sound);
  const auto* from = reinterpret_cast<const std::uint8_t*>(&reset);
  std::memcpy(to, from, keep_from);
  std::memcpy(to + keep_to, from + keep_to, sizeof(s2_sound) - keep_to);
}

s2_bank::s2_bank()
    : image_(std::make_unique<s2_image>()),
      lists_storage_(std::make_unique<std::array<list, s2_multisample_count>>()),
      lists_(*lists_storage_) {
  std::memset(image_.get(), 0, sizeof(s2_image));
  reset();
}

void s2_bank::reset() {
  s2_image& im = *image_;
  std::memcpy(im.start_sector, s2_start_sector_template().data(), sector_size);
  std::memset(&im.bank_file_info, 0, sizeof im.bank_file_info);
  std::memset(&im.global, 0, sizeof im.global);
  // Records are copied whole from reset records made once (a reset writes 40 MB of them).
  static const s2_setup setup = [] {
    s2_setup s{};
    std::memcpy(s.bytes, "- - -                   ", 24);
    return s;
  }();
  static const s2_multisample multisample = [] {
    s2_multisample m{};
    std::memcpy(m.name, "- - -           ", name_size);
    std::memset(m.data, ' ', sizeof m.data - 1);
    m.data[sizeof m.data - 1] = 0;
    for (s2_slot& s : m.slots) s = {0, 0, 0x8100, 0};
    return m;
  }();
  std::fill(std::begin(im.setups), std::end(im.setups), setup);
  for (s2_sound& s : im.sounds) reset_s2_sound(s);
  std::fill(std::begin(im.multisamples), std::end(im.multisamples), multisample);
  paths_.clear();
  static_assert(empty_path_id == 0 && std::is_trivially_copyable_v<list>);
  std::memset(lists_.data(), 0, sizeof lists_);
}

std::string s2_bank::sound_name_text(int n) const {
  const char* name = image_->sounds[n].name;
  return std::string(name, strnlen(name, name_size));
}

s2_read_result s2_bank::read(const std::filesystem::path& path, host& h) {
  file_part_opener files(path);
  return read(files, h);
}

s2_read_result s2_bank::read(part_opener& parts, host& h) {
  try {
    return s2_reader(*this, parts, h).run();
  } catch (...) {
    // A part that cannot be read stops the command; what was read of the records goes with it,
    // so the object never holds a part of a bank.
    reset();
    throw;
  }
}

}  // namespace qbank
