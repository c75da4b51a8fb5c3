// The in-memory bank: the 15,362,048-byte image (start sector, system settings, 9999 programs,
// 10000 multisamples) plus, for every multisample, the list of the 128 WAV paths of its slots.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "bank/bank_format.h"
#include "bank/path_pool.h"

namespace qbank {

class change_record;  // bank/change_record.h

inline constexpr std::string_view no_loaded_bank = "No loaded bank!";
inline constexpr std::string_view title_prefix =
    "Quorvatek Samplers Bank Manager - Version: 3.54 / ";

using file_list = std::array<path_id, slots_per_multisample>;

class bank {
 public:
  // Allocates the image and the file lists; the contents are those of reset().
  bank();
  bank(const bank&) = delete;
  bank& operator=(const bank&) = delete;
  ~bank();

  // Exchanges the whole contents (image, file lists, path texts, loaded file name) with
  // `other` without copying them: a load fills a fresh bank and swaps it in once it has ended.
  // An open step stays with its bank and is marked restarted (see end_step()).
  void swap(bank& other) noexcept;

  // Undo steps. Between begin_step() and end_step(), every record the bank hands out for
  // writing (the non-const accessors below, set_file, reset_program, reset_multisample,
  // replace_in_paths) has its contents saved the first time in the step; the non-const image()
  // and image_bytes() save the whole image once (a coarse copy, reduced to the records that
  // changed when the step ends). Const access costs nothing. begin_step() on an open step
  // keeps it open.
  void begin_step();
  // Closes the open step and returns what it changed (empty when none is open). A reset() or
  // swap() during the step leaves the record empty and restarted().
  change_record end_step();
  bool step_open() const { return step_ != nullptr; }

  // The whole bank to its defaults; the loaded bank file name becomes "No loaded bank!".
  void reset();
  // Program i (0..9998) to its defaults, keeping bytes 272..431; also forgets the loaded name.
  void reset_program(int i);
  // Multisample n (0..9999) to its defaults, its file list to 128 empty slot markers.
  void reset_multisample(int n);

  bank_image& image() {
    if (step_) [[unlikely]]
      note_image();
    return *image_;
  }
  const bank_image& image() const { return *image_; }
  std::uint8_t* image_bytes() { return reinterpret_cast<std::uint8_t*>(&image()); }
  const std::uint8_t* image_bytes() const {
    return reinterpret_cast<const std::uint8_t*>(image_.get());
  }
  global_parameter& globals() {
    if (step_) [[unlikely]]
      note_globals();
    return image_->global;
  }
  const global_parameter& globals() const { return image_->global; }
  blend& program(int i) {
    if (step_) [[unlikely]]
      note_program(i);
    return image_->blends[i];
  }
  const blend& program(int i) const { return image_->blends[i]; }
  struct multisample& multisample(int n) {
    if (step_) [[unlikely]]
      note_multisample(n);
    return image_->multisamples[n];
  }
  const struct multisample& multisample(int n) const { return image_->multisamples[n]; }

  // File lists: entry j of multisample n, as raw code-page bytes ("- - -" for an empty slot).
  std::string_view file(int n, int j) const { return paths_.text(lists_[n][j]); }
  path_id file_id(int n, int j) const { return lists_[n][j]; }
  void set_file(int n, int j, std::string_view path) { set_file_id(n, j, paths_.intern(path)); }
  void set_file_id(int n, int j, path_id id) {
    if (step_) [[unlikely]]
      note_list(n);
    lists_[n][j] = id;
  }
  bool slot_is_empty(int n, int j) const { return lists_[n][j] == empty_path_id; }
  const file_list& files(int n) const { return lists_[n]; }
  path_pool& paths() { return paths_; }
  const path_pool& paths() const { return paths_; }

  // Replaces every occurrence of `old_text` by `new_text` (exact case, left to right, replaced
  // text not searched again) in every non-empty entry. Entries that become equal share one
  // text, and texts no entry names any more leave the pool, so the pool holds only texts in use.
  void replace_in_paths(std::string_view old_text, std::string_view new_text);

  // The 16-byte names as text: all 16 bytes, ended early by an embedded 0.
  std::string program_name_text(int i) const;
  std::string multisample_name_text(int n) const;
  // True when some entry of multisample n's list is not the empty slot marker.
  bool multisample_has_files(int n) const;
  // Entries that are not the empty slot marker, over all multisamples; 0 is given as 1.
  std::uint32_t count_used_slots() const;
  // True when one of the program's 14 multisample numbers is not 0.
  bool program_is_used(int i) const;

  // Bank-wide program fixes; each returns its count.
  int octave_shift(bool up);
  int convert_lfo_speed();
  int clear_qs2_mono_hold();
  int fix_accordion_release();

  // Full path of the last script or bank file opened or saved, "No loaded bank!" otherwise.
  const std::string& loaded_file_name() const { return loaded_file_name_; }
  void set_loaded_file_name(std::string name) { loaded_file_name_ = std::move(name); }
  // The main window's title: the prefix and the file-name part of the loaded file name.
  std::string window_title() const;

 private:
  friend class change_record;
  struct open_step;

  void reset_multisample_record(int n);
  // Save a record's contents the first time in the open step.
  void note_image();
  void note_globals();
  void note_program(int i);
  void note_multisample(int n);
  void note_list(int n);
  // The open step (if any) no longer applies: the bank was reset or replaced.
  void restart_step() noexcept;

  std::span<file_list, multisample_count> all_lists() {
    return std::span<file_list, multisample_count>(lists_.get(), multisample_count);
  }
  std::span<const file_list, multisample_count> all_lists() const {
    return std::span<const file_list, multisample_count>(lists_.get(), multisample_count);
  }

  std::unique_ptr<bank_image> image_;
  std::unique_ptr<file_list[]> lists_;  // multisample_count lists
  path_pool paths_;
  std::string loaded_file_name_;
  std::unique_ptr<open_step> step_;
};

// Reset values of a program written by reset_program (exposed for tests and editors).
void reset_blend(blend& b);

// Load-time repairs of a program read from a script or bank file.
void repair_loaded_program(blend& b);

}  // namespace qbank
