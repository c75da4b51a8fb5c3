// What one editing step changed in a bank, for undo and redo: the records the step wrote (the
// start sector, the 2048-byte system settings, 512-byte programs, 1024-byte multisamples) and the
// 128-entry file lists, each with its contents from before the step. A step costs what it
// changed, not a copy of the bank.
//
// A bank makes one with begin_step() / end_step() (bank.h): while a step is open, every record
// the bank hands out for writing is saved the first time in that step (copy on first write).
// end_step() drops the records whose bytes did not change.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bank/bank_format.h"

namespace qbank {

class bank;

class change_record {
 public:
  change_record();
  change_record(change_record&&) noexcept;
  change_record& operator=(change_record&&) noexcept;
  ~change_record();

  // True when the step changed nothing it holds.
  bool empty() const;
  // True when the bank was reset or replaced as a whole during the step (a clear or an open):
  // the record then holds nothing, and steps recorded before it no longer apply.
  bool restarted() const { return restarted_; }
  // Memory the record holds, in bytes (saved records, texts and bookkeeping).
  std::size_t size_bytes() const;

  // Exchanges the saved contents with the bank's. Applied after the step it restores the bank
  // from before the step and keeps what it replaced, so applying it again redoes the step.
  // File-list entries are stored as texts, so this holds across replace_in_paths (which renames
  // every id). The loaded file name is not part of it.
  void swap_with(bank& b);

  // Folds `later`, the step that followed this one, into this one (a drag gesture is one step);
  // then drops what `b` (the bank after both) holds unchanged from before this step.
  void merge(change_record&& later, const bank& b);

 private:
  friend class bank;

  struct program_bytes {
    std::int32_t index;
    blend bytes;
  };
  struct multisample_bytes {
    std::int32_t index;
    struct multisample bytes;
  };
  // The texts of one file list, back to back; entry j ends at ends[j].
  struct list_texts {
    std::int32_t index;
    std::array<std::uint32_t, slots_per_multisample> ends;
    std::string texts;

    std::string_view entry(int j) const {
      const std::uint32_t from = j == 0 ? 0 : ends[j - 1];
      return std::string_view(texts).substr(from, ends[j] - from);
    }
  };

  // Fills `out` with the texts of list n of `b`.
  static void save_list(const bank& b, int n, list_texts& out);
  // Removes what equals `b`'s current contents and releases spare capacity.
  void drop_unchanged(const bank& b);

  std::unique_ptr<std::array<std::uint8_t, sector_size>> start_sector_;
  std::unique_ptr<global_parameter> globals_;
  std::vector<program_bytes> programs_;
  std::vector<multisample_bytes> multisamples_;
  std::vector<list_texts> lists_;
  bool restarted_ = false;
};

}  // namespace qbank
