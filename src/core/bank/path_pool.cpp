#include "bank/path_pool.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qbank {
namespace {

// Eight bytes a step: each step is a bijection of the state for a fixed word, so texts that
// differ in one word (paths share long prefixes and differ near the end) never collide, and
// the final mix spreads every input bit over the low bits used for the table index.
std::uint32_t hash_text(std::string_view text) {
  constexpr std::uint64_t k = 0x9E3779B97F4A7C15ull;
  const char* p = text.data();
  std::size_t n = text.size();
  std::uint64_t h = k ^ (n * 0xC2B2AE3D27D4EB4Full);
  auto step = [&h](std::uint64_t word) {
    h = (h ^ word) * k;
    h ^= h >> 32;
  };
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    step(word);
  }
  if (n > 0) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, n);
    step(word);
  }
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return static_cast<std::uint32_t>(h);
}

constexpr std::uint64_t slot_of(std::uint32_t hash, path_id id) {
  return (std::uint64_t{hash} << 32) | (std::uint64_t{id} + 1);
}
constexpr std::uint32_t slot_hash(std::uint64_t slot) {
  return static_cast<std::uint32_t>(slot >> 32);
}
constexpr path_id slot_id(std::uint64_t slot) {
  return static_cast<path_id>(slot) - 1;
}

// The stored size: 7 bits a byte, low bits first, the high bit set on all but the last byte.
std::size_t size_bytes(std::size_t size) {
  std::size_t n = 1;
  while (size >= 0x80) size >>= 7, ++n;
  return n;
}

}  // namespace

path_pool::path_pool() {
  clear();
}

void path_pool::entry_array::reserve(std::size_t count) {
  if (count <= capacity_) return;
  large_memory bigger = allocate_large(count * sizeof(const char*));
  if (size_ != 0) std::memcpy(bigger.get(), memory_.get(), size_ * sizeof(const char*));
  memory_ = std::move(bigger);
  capacity_ = count;
}

void path_pool::entry_array::swap(entry_array& other) noexcept {
  memory_.swap(other.memory_);
  std::swap(size_, other.size_);
  std::swap(capacity_, other.capacity_);
}

void path_pool::clear() {
  blocks_.clear();
  block_used_ = 0;
  block_capacity_ = 0;
  text_bytes_ = 0;
  entries_.clear();
  if (table_size_ == min_table_size) {
    // A small table is emptied in place: banks are reset far more often than they grow.
    std::memset(slots_, 0, table_size_ * sizeof(std::uint64_t));
  } else {
    table_.reset();
    slots_ = nullptr;
    table_size_ = 0;
    rehash(min_table_size);
  }
  intern(empty_slot_marker);
}

void path_pool::swap(path_pool& other) noexcept {
  blocks_.swap(other.blocks_);
  std::swap(block_used_, other.block_used_);
  std::swap(block_capacity_, other.block_capacity_);
  std::swap(text_bytes_, other.text_bytes_);
  entries_.swap(other.entries_);
  table_.swap(other.table_);
  std::swap(slots_, other.slots_);
  std::swap(table_size_, other.table_size_);
  hashes_.swap(other.hashes_);
}

void path_pool::reserve(std::size_t count, std::size_t /*text_bytes*/) {
  // Untouched capacity costs address space only, in the entries as in the table.
  entries_.reserve(count);
  make_room(count > entries_.size() ? count - entries_.size() : 0);
}

std::string_view path_pool::long_text(const unsigned char* p) {
  std::size_t size = 0;
  int shift = 0;
  do {
    size |= std::size_t{*p & 0x7Fu} << shift;
    shift += 7;
  } while (*p++ & 0x80);
  return {reinterpret_cast<const char*>(p), size};
}

const char* path_pool::store(std::string_view text) {
  const std::size_t need = size_bytes(text.size()) + text.size();
  text_bytes_ += need;
  char* p;
  if (need > block_size / 4) {
    // A long text gets a block of its own, inserted before the current one so that the
    // current block keeps filling.
    large_memory own = allocate_large(need);
    p = own.get();
    blocks_.insert(blocks_.empty() ? blocks_.end() : blocks_.end() - 1, std::move(own));
  } else {
    if (block_used_ + need > block_capacity_) {
      // A pool starts small (most hold a few texts: a new bank's marker, a short script) and
      // doubles its blocks up to block_size.
      block_capacity_ = text_bytes_ > 4 * block_size ? big_block_size
                        : block_capacity_ == 0      ? first_block_size
                                                    : std::min(block_size, block_capacity_ * 2);
      block_capacity_ = std::max(block_capacity_, need);
      blocks_.push_back(allocate_large(block_capacity_));
      block_used_ = 0;
    }
    p = blocks_.back().get() + block_used_;
    block_used_ += need;
  }
  char* out = p;
  std::size_t size = text.size();
  while (size >= 0x80) {
    *out++ = static_cast<char>((size & 0x7F) | 0x80);
    size >>= 7;
  }
  *out++ = static_cast<char>(size);
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  return p;
}

void path_pool::rehash(std::size_t slots) {
  large_memory bigger = allocate_large(slots * sizeof(std::uint64_t));
  auto* to = reinterpret_cast<std::uint64_t*>(bigger.get());
  const std::size_t mask = slots - 1;
  for (std::size_t k = 0; k < table_size_; ++k) {
    const std::uint64_t slot = slots_[k];
    if (slot == 0) continue;
    std::size_t i = slot_hash(slot) & mask;
    while (to[i] != 0) i = (i + 1) & mask;
    to[i] = slot;
  }
  table_ = std::move(bigger);
  slots_ = to;
  table_size_ = slots;
}

void path_pool::make_room(std::size_t more) {
  std::size_t slots = table_size_;
  while ((entries_.size() + more) * 4 > slots * 3) slots *= 2;
  if (slots != table_size_) rehash(slots);
}

path_id path_pool::find_or_add(std::string_view text, std::uint32_t hash) {
  const std::size_t mask = table_size_ - 1;
  std::size_t i = hash & mask;
  while (slots_[i] != 0) {
    const std::uint64_t slot = slots_[i];
    if (slot_hash(slot) == hash && this->text(slot_id(slot)) == text) return slot_id(slot);
    i = (i + 1) & mask;
  }
  const auto id = static_cast<path_id>(entries_.size());
  entries_.push_back(store(text));
  slots_[i] = slot_of(hash, id);
  return id;
}

path_id path_pool::intern(std::string_view text) {
  make_room(1);
  return find_or_add(text, hash_text(text));
}

void path_pool::intern_all(std::span<const std::string_view> texts, std::span<path_id> ids) {
  make_room(texts.size());
  hashes_.resize(texts.size());
  for (std::size_t k = 0; k < texts.size(); ++k) hashes_[k] = hash_text(texts[k]);
  // A full bank's table is far larger than the caches: ask for the slots a few texts ahead.
  constexpr std::size_t ahead = 16;
  const std::size_t mask = table_size_ - 1;
  for (std::size_t k = 0; k < std::min(ahead, texts.size()); ++k)
    __builtin_prefetch(&slots_[hashes_[k] & mask]);
  for (std::size_t k = 0; k < texts.size(); ++k) {
    if (k + ahead < texts.size()) __builtin_prefetch(&slots_[hashes_[k + ahead] & mask]);
    ids[k] = find_or_add(texts[k], hashes_[k]);
  }
}

}  // namespace qbank
