#include "edit/auto_position.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "edit/note_names.h"
#include "edit/typed_name.h"
#include "platform/codepage.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "ui/host.h"

namespace qbank {
namespace {

bool is_valid(position_criterion c) {
  return static_cast<int>(c) < position_criterion_count;
}

// Up to four bytes of `text` as a little-endian word, the missing bytes 0.
std::uint32_t packed(const char* text, std::size_t length) {
  std::uint8_t bytes[4] = {};
  std::memcpy(bytes, text, length < 4 ? length : 4);
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

}  // namespace

std::string search_text(position_criterion criterion, std::uint8_t t, int slot) {
  // The instrument computes the searched note in 8 bits: with a large downward transpose the
  // low slots wrap around to notes above 127, which ordinary names never hold.
  const auto k = static_cast<std::uint8_t>(slot + t - 48);
  switch (criterion) {
    case position_criterion::number: {
      char text[8];
      std::snprintf(text, sizeof text, " %03u", unsigned{k});
      return text;
    }
    case position_criterion::table_a:
      return note_name(note_table::a, k);
    case position_criterion::table_b:
      return note_name(note_table::b, k);
    case position_criterion::table_c:
      return note_name(note_table::c, k);
  }
  return {};
}

std::vector<std::string> search_texts(position_criterion criterion, std::uint8_t t, int slot) {
  std::vector<std::string> texts{search_text(criterion, t, slot)};
  const auto k = static_cast<std::uint8_t>(slot + t - 48);
  const note_table table = criterion == position_criterion::table_a   ? note_table::a
                           : criterion == position_criterion::table_b ? note_table::b
                                                                      : note_table::c;
  const std::string_view flat = flat_letter(table, k);
  if (criterion != position_criterion::number && !flat.empty())
    texts.push_back(std::string(flat) + std::to_string(k / 12));
  return texts;
}

slot_matcher::slot_matcher(position_criterion criterion, std::uint8_t t) {
  for (int n = 0; n < slots_per_multisample; ++n) {
    for (const std::string& text : search_texts(criterion, t, n)) {
      // Every text has 2..4 bytes and no zero byte, so its packed word is not 0 and no two
      // texts of different lengths share a word; no two slots share a text.
      first_byte_[static_cast<unsigned char>(text[0])] = true;
      lengths_ |= static_cast<std::uint8_t>(1u << text.size());
      const std::uint32_t key = packed(text.data(), text.size());
      std::size_t i = slot_of_key(key);
      while (keys_[i] != 0) i = (i + 1) % table_size;
      keys_[i] = key;
      slots_[i] = static_cast<std::uint8_t>(n);
    }
  }
}

std::array<std::uint64_t, 2> slot_matcher::match(std::string_view path) const {
  std::array<std::uint64_t, 2> found{};
  const char* p = path.data();
  const std::size_t size = path.size();
  for (std::size_t at = 0; at < size; ++at) {
    if (!first_byte_[static_cast<unsigned char>(p[at])]) continue;
    const std::size_t left = size - at;
    const std::uint32_t word = packed(p + at, left);
    for (std::size_t length = 2; length <= 4 && length <= left; ++length) {
      if (!(lengths_ & (1u << length))) continue;
      const std::uint32_t key = length == 4 ? word : word & ((1u << (8 * length)) - 1);
      for (std::size_t i = slot_of_key(key); keys_[i] != 0; i = (i + 1) % table_size) {
        if (keys_[i] == key) {
          found[slots_[i] / 64] |= std::uint64_t{1} << (slots_[i] % 64);
          break;
        }
      }
    }
  }
  return found;
}

placement_counts place_by_name(bank& b, int n, std::span<const std::string> paths,
                               position_criterion criterion, std::uint8_t t) {
  placement_counts counts;
  counts.files = static_cast<unsigned>(paths.size());
  const slot_matcher matcher(criterion, t);
  // File by file in the chosen order: a later file that matches a slot overwrites an earlier
  // one, which is what searching slot by slot over the files in order leaves behind.
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    const auto found = matcher.match(path);
    if ((found[0] | found[1]) == 0) {
      counts.unplaced.push_back(i);
      continue;
    }
    ++counts.placed;
    const path_id id = b.paths().intern(path);
    for (int word = 0; word < 2; ++word) {
      for (std::uint64_t bits = found[word]; bits != 0; bits &= bits - 1) {
        b.set_file_id(n, word * 64 + std::countr_zero(bits), id);
        ++counts.matches;
      }
    }
  }
  return counts;
}

placement_counts add_multiple_by_name(bank& b, int n, std::span<const std::string> paths,
                                      position_criterion criterion, std::uint8_t t, host& h,
                                      const std::function<void()>& refresh) {
  if (!is_valid(criterion)) {
    h.message("Invalid Criteria!", "Info");
    return {};
  }
  const placement_counts counts = place_by_name(b, n, paths, criterion, t);
  if (refresh) refresh();
  char text[64];
  std::snprintf(text, sizeof text, "Added %u from %u files.", counts.matches, counts.files);
  h.message(text, "Info");
  if (!paths.empty()) offer_marker_name(b, n, paths.front(), h);
  return counts;
}

namespace {

bool holds_bytes(const std::filesystem::path& file) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  return !ec && size > 0;
}

}  // namespace

std::vector<std::string> placement_problems(std::span<const std::string> paths,
                                            const placement_counts& counts) {
  std::vector<std::string> lines;
  auto unplaced = counts.unplaced.begin();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string shown = to_utf8(paths[i]);
    if (unplaced != counts.unplaced.end() && *unplaced == i) {
      ++unplaced;
      lines.push_back("Not placed, no note found in the name: " + shown);
      continue;
    }
    // The build's own format check, now rather than when the bank is built: audio in another
    // format. A missing, empty (a stand-in) or overlong file is left to the build's report.
    const char* why = nullptr;
    const wav_check check = check_stored_wav(paths[i]);
    if (check == wav_check::invalid_format ||
        (check == wav_check::no_wav && holds_bytes(native_path(paths[i]))))
      why = "not a 16-bit 48 kHz WAV file (convert it with conform)";
    if (why) lines.push_back(std::string("Placed, but ") + why + ": " + shown);
  }
  return lines;
}

bool offer_marker_name(bank& b, int n, std::string_view first_path, host& h) {
  const auto markers = files_with_extension(native_path(first_path).parent_path(), ".msn");
  if (markers.empty()) return false;
  // The name is read from the file system; one the code page cannot hold is not offered.
  std::string stem;
  try {
    stem = stored_path(markers.front().filename());
  } catch (const std::exception&) {
    return false;
  }
  stem = replace_extension(stem, "");
  char name[name_size];
  store_typed_name(name, stem);
  const std::string shown = to_utf8(std::string(name, std::find(name, name + name_size, '\0')));
  if (!h.ask("Use multisample name: \"" + shown + "\" ?", "Question")) return false;
  std::memcpy(b.multisample(n).name, name, name_size);
  return true;
}

}  // namespace qbank
