// Interned file-list entries. Every distinct path text is stored once and named by a 32-bit id;
// the empty slot marker "- - -" is always id 0. Equal texts have equal ids, so equality, "free"
// tests and duplicate searches compare integers.
//
// Texts are raw bytes in the Windows ANSI code page, exactly as read from a file. The views
// returned by text() stay valid until clear(): strings live in fixed blocks that never move.
//
// A full bank holds 1.28 million distinct paths, so the per-text overhead is kept small: each
// text is stored behind a variable-length size (one byte below 128), an entry is one pointer,
// and a table slot (8 bytes) keeps 32 bits of the text's hash beside its id, so that probing
// and growing the table rarely touch the texts themselves.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace qbank {

using path_id = std::uint32_t;

inline constexpr std::string_view empty_slot_marker = "- - -";
inline constexpr path_id empty_path_id = 0;

class path_pool {
 public:
  path_pool();
  path_pool(const path_pool&) = delete;
  path_pool& operator=(const path_pool&) = delete;

  // The id of `text`, adding it when it is new.
  path_id intern(std::string_view text);
  // intern() of each text in order, ids[k] for texts[k]; faster for many texts at once (a file
  // list), because the table's cache misses overlap instead of following one another.
  void intern_all(std::span<const std::string_view> texts, std::span<path_id> ids);
  std::string_view text(path_id id) const {
    const auto* p = reinterpret_cast<const unsigned char*>(entries_[id]);
    if (*p < 0x80) return {reinterpret_cast<const char*>(p + 1), *p};
    return long_text(p);
  }
  // Number of distinct texts held, the marker included.
  std::size_t size() const { return entries_.size(); }
  // Forgets every text but the marker. Invalidates all ids but empty_path_id and all views.
  void clear();
  // Exchanges the texts and ids of two pools; views into either stay valid (they now belong
  // to the other pool).
  void swap(path_pool& other) noexcept;
  // Hint: at most about this many distinct texts of about this total length will follow. Only
  // address space is set aside; memory is used as texts arrive.
  void reserve(std::size_t count, std::size_t text_bytes);

 private:
  static constexpr std::size_t block_size = 1 << 20;
  static std::string_view long_text(const unsigned char* p);
  const char* store(std::string_view text);
  void grow_table();
  // Grows the table so that `more` new texts fit.
  void make_room(std::size_t more);
  // The probe and insert of intern(), for a table with room for one more text.
  path_id find_or_add(std::string_view text, std::uint32_t hash);

  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t block_used_ = block_size;
  std::vector<const char*> entries_;  // each points at the stored size, then the text
  // Open addressing, linear probing. A slot holds (hash32 << 32) | (id + 1); 0 = free. The
  // slot's index comes from the low bits of hash32, so growing needs no text.
  std::vector<std::uint64_t> table_;
  std::vector<std::uint32_t> hashes_;  // intern_all's scratch
};

}  // namespace qbank
