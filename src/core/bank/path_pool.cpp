#include "bank/path_pool.h"

#include <cstring>

namespace qbank {
namespace {

// FNV-1a, 64-bit: paths share long prefixes, so every byte takes part.
std::uint64_t hash_text(std::string_view text) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h ^ (h >> 29);
}

}  // namespace

path_pool::path_pool() {
  clear();
}

void path_pool::clear() {
  blocks_.clear();
  block_used_ = block_size;
  entries_.clear();
  table_.assign(1024, 0);
  intern(empty_slot_marker);
}

void path_pool::reserve(std::size_t count, std::size_t /*text_bytes*/) {
  entries_.reserve(count);
  while (table_.size() < count * 2) grow_table();
}

char* path_pool::store(std::string_view text) {
  if (text.size() > block_size / 4) {
    // A long text gets a block of its own, inserted before the current one so that the
    // current block keeps filling.
    auto own = std::make_unique<char[]>(text.size());
    char* p = own.get();
    blocks_.insert(blocks_.empty() ? blocks_.end() : blocks_.end() - 1, std::move(own));
    std::memcpy(p, text.data(), text.size());
    return p;
  }
  if (block_used_ + text.size() > block_size) {
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(block_size));
    block_used_ = 0;
  }
  char* p = blocks_.back().get() + block_used_;
  std::memcpy(p, text.data(), text.size());
  block_used_ += text.size();
  return p;
}

void path_pool::grow_table() {
  std::vector<path_id> bigger(table_.size() * 2, 0);
  const std::size_t mask = bigger.size() - 1;
  for (path_id slot : table_) {
    if (slot == 0) continue;
    std::size_t i = hash_text(entries_[slot - 1]) & mask;
    while (bigger[i] != 0) i = (i + 1) & mask;
    bigger[i] = slot;
  }
  table_ = std::move(bigger);
}

path_id path_pool::intern(std::string_view text) {
  if ((entries_.size() + 1) * 4 > table_.size() * 3) grow_table();
  const std::size_t mask = table_.size() - 1;
  std::size_t i = hash_text(text) & mask;
  while (table_[i] != 0) {
    if (entries_[table_[i] - 1] == text) return table_[i] - 1;
    i = (i + 1) & mask;
  }
  const auto id = static_cast<path_id>(entries_.size());
  entries_.emplace_back(text.empty() ? text.data() : store(text), text.size());
  table_[i] = id + 1;
  return id;
}

}  // namespace qbank
