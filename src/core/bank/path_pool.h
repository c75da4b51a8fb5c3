// Interned file-list entries. Every distinct path text is stored once and named by a 32-bit id;
// the empty slot marker "- - -" is always id 0. Equal texts have equal ids, so equality, "free"
// tests and duplicate searches compare integers.
//
// Texts are raw bytes in the Windows ANSI code page, exactly as read from a file. The views
// returned by text() stay valid until clear(): strings live in fixed blocks that never move.
#pragma once

#include <cstdint>
#include <memory>
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
  std::string_view text(path_id id) const { return entries_[id]; }
  // Number of distinct texts held, the marker included.
  std::size_t size() const { return entries_.size(); }
  // Forgets every text but the marker. Invalidates all ids but empty_path_id and all views.
  void clear();
  // Hint: about this many distinct texts of about this total length will follow.
  void reserve(std::size_t count, std::size_t text_bytes);

 private:
  static constexpr std::size_t block_size = 1 << 20;
  char* store(std::string_view text);
  void grow_table();

  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t block_used_ = block_size;
  std::vector<std::string_view> entries_;
  std::vector<path_id> table_;  // open addressing; slot holds id + 1, 0 = free
};

}  // namespace qbank
