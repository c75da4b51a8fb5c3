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

#include "platform/large_memory.h"

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
  // Hint: at most about this many distinct texts of about this total length will follow. The
  // table is sized for them at once, so it is never rehashed while they arrive; only address
  // space is set aside, memory is used as texts arrive (an untouched part of the table is
  // never written, so an overestimate costs no memory).
  void reserve(std::size_t count, std::size_t text_bytes);

 private:
  // Texts go into blocks that double from first_block_size to block_size bytes, and once a pool
  // holds more than a few of those into blocks of big_block_size bytes, which take huge pages
  // where the system has them.
  static constexpr std::size_t first_block_size = 4 << 10;
  static constexpr std::size_t block_size = 1 << 20;
  static constexpr std::size_t big_block_size = 8 << 20;
  static constexpr std::size_t min_table_size = 1024;
  static std::string_view long_text(const unsigned char* p);
  const char* store(std::string_view text);
  // A table of `slots` free slots (a power of two), the old one's entries moved in.
  void rehash(std::size_t slots);
  void grow_table() { rehash(table_size_ * 2); }
  // Grows the table so that `more` new texts fit.
  void make_room(std::size_t more);
  // The probe and insert of intern(), for a table with room for one more text.
  path_id find_or_add(std::string_view text, std::uint32_t hash);

  // The texts' pointers, in memory that fills page by page (a full bank's 10 MB of them).
  class entry_array {
   public:
    std::size_t size() const { return size_; }
    const char* operator[](std::size_t k) const { return data()[k]; }
    void push_back(const char* entry) {
      if (size_ == capacity_) reserve(capacity_ < 512 ? 1024 : capacity_ * 2);
      data()[size_++] = entry;
    }
    void reserve(std::size_t count);
    void clear() { size_ = 0; }
    void swap(entry_array& other) noexcept;

   private:
    const char** data() const { return reinterpret_cast<const char**>(memory_.get()); }
    large_memory memory_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
  };

  std::vector<large_memory> blocks_;
  std::size_t block_used_ = 0;
  std::size_t block_capacity_ = 0;  // of the block being filled, blocks_.back()
  std::size_t text_bytes_ = 0;      // stored so far, sizes included
  entry_array entries_;             // each points at the stored size, then the text
  // Open addressing, linear probing. A slot holds (hash32 << 32) | (id + 1); 0 = free. The
  // slot's index comes from the low bits of hash32, so growing needs no text. A large table's
  // pages cost memory only once a text lands in them.
  large_memory table_;
  std::uint64_t* slots_ = nullptr;  // table_'s memory
  std::size_t table_size_ = 0;
  std::vector<std::uint32_t> hashes_;  // intern_all's scratch
};

}  // namespace qbank
