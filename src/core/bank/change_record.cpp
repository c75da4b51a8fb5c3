#include "bank/change_record.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "bank/bank.h"

namespace qbank {
namespace {

template <typename T>
bool same_bytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

void swap_bytes(void* a, void* b, std::size_t size) {
  std::swap_ranges(static_cast<std::uint8_t*>(a), static_cast<std::uint8_t*>(a) + size,
                   static_cast<std::uint8_t*>(b));
}

template <typename T>
void swap_bytes(T& a, T& b) {
  swap_bytes(&a, &b, sizeof(T));
}

template <typename Saved>
void shrink(std::vector<Saved>& saved) {
  if (saved.capacity() > saved.size()) saved.shrink_to_fit();
}

// Appends to `into` the entries of `later` whose record `into` does not hold yet.
template <typename Saved>
void add_missing(std::vector<Saved>& into, std::vector<Saved>& later, int record_count) {
  std::vector<bool> held(record_count);
  for (const Saved& s : into) held[s.index] = true;
  for (Saved& s : later)
    if (!held[s.index]) into.push_back(std::move(s));
}

}  // namespace

change_record::change_record() = default;
change_record::change_record(change_record&&) noexcept = default;
change_record& change_record::operator=(change_record&&) noexcept = default;
change_record::~change_record() = default;

bool change_record::empty() const {
  return !start_sector_ && !globals_ && programs_.empty() && multisamples_.empty() &&
         lists_.empty();
}

std::size_t change_record::size_bytes() const {
  std::size_t size = sizeof(change_record);
  if (start_sector_) size += sizeof(*start_sector_);
  if (globals_) size += sizeof(*globals_);
  size += programs_.capacity() * sizeof(program_bytes);
  size += multisamples_.capacity() * sizeof(multisample_bytes);
  size += lists_.capacity() * sizeof(list_texts);
  for (const list_texts& l : lists_)
    if (l.texts.capacity() > sizeof(std::string)) size += l.texts.capacity();
  return size;
}

void change_record::save_list(const bank& b, int n, list_texts& out) {
  out.index = n;
  std::size_t size = 0;
  for (int j = 0; j < slots_per_multisample; ++j) size += b.file(n, j).size();
  out.texts.clear();
  out.texts.reserve(size);
  for (int j = 0; j < slots_per_multisample; ++j) {
    out.texts.append(b.file(n, j));
    out.ends[j] = static_cast<std::uint32_t>(out.texts.size());
  }
}

void change_record::drop_unchanged(const bank& b) {
  const bank_image& now = *b.image_;
  if (start_sector_ && std::memcmp(start_sector_->data(), now.start_sector, sector_size) == 0)
    start_sector_.reset();
  if (globals_ && same_bytes(*globals_, now.global)) globals_.reset();
  std::erase_if(programs_,
                [&](const program_bytes& p) { return same_bytes(p.bytes, now.blends[p.index]); });
  std::erase_if(multisamples_, [&](const multisample_bytes& m) {
    return same_bytes(m.bytes, now.multisamples[m.index]);
  });
  std::erase_if(lists_, [&](const list_texts& l) {
    for (int j = 0; j < slots_per_multisample; ++j)
      if (l.entry(j) != b.file(l.index, j)) return false;
    return true;
  });
  shrink(programs_);
  shrink(multisamples_);
  shrink(lists_);
  for (list_texts& l : lists_) l.texts.shrink_to_fit();
}

void change_record::swap_with(bank& b) {
  // A step open on the bank sees these writes like any other.
  bank_image& now = *b.image_;
  if (start_sector_) {
    if (b.step_) b.note_image();
    swap_bytes(start_sector_->data(), now.start_sector, sector_size);
  }
  if (globals_) swap_bytes(*globals_, b.globals());
  for (program_bytes& p : programs_) swap_bytes(p.bytes, b.program(p.index));
  for (multisample_bytes& m : multisamples_) swap_bytes(m.bytes, b.multisample(m.index));
  std::array<std::string_view, slots_per_multisample> texts;
  std::array<path_id, slots_per_multisample> ids;
  for (list_texts& l : lists_) {
    list_texts current;  // its own, exactly sized: the record keeps it
    save_list(b, l.index, current);
    for (int j = 0; j < slots_per_multisample; ++j) texts[j] = l.entry(j);
    b.paths_.intern_all(texts, ids);
    for (int j = 0; j < slots_per_multisample; ++j) b.set_file_id(l.index, j, ids[j]);
    std::swap(l.texts, current.texts);
    std::swap(l.ends, current.ends);
  }
}

void change_record::merge(change_record&& later, const bank& b) {
  if (!start_sector_) start_sector_ = std::move(later.start_sector_);
  if (!globals_) globals_ = std::move(later.globals_);
  add_missing(programs_, later.programs_, program_count);
  add_missing(multisamples_, later.multisamples_, multisample_count);
  add_missing(lists_, later.lists_, multisample_count);
  later = change_record();
  drop_unchanged(b);
}

}  // namespace qbank
