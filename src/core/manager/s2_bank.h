// The second-generation bank: the head of a second-generation bank file (records of sounds,
// setups and multisamples) and, per multisample, the 128 WAV paths of its slots. Filled by
// read() from a bank file of version 1 to 4, whole or split; never written to a file.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "bank/path_pool.h"
#include "bank/start_sector.h"
#include "manager/s2_format.h"

namespace qbank {

class host;
class part_opener;

// The start-sector template (byte 511: 4) and the end-sector template; readers compare bytes
// 0..510 only.
const sector_bytes& s2_start_sector_template();
const sector_bytes& s2_end_sector_template();
// "MultisampleNames" 32 times: the sector in front of the names text.
const sector_bytes& s2_names_sector();

// What one read() found.
struct s2_read_result {
  bool loaded = false;  // "Bank loading OK!" was shown
  int version = 0;      // the version the records were read as (0 before it was known)
};

class s2_bank {
 public:
  // Allocates the image and the file lists with the reset values.
  s2_bank();
  s2_bank(const s2_bank&) = delete;
  s2_bank& operator=(const s2_bank&) = delete;

  // The reset values: templates, reset sounds and multisamples, empty file lists.
  void reset();

  // Reads the bank file `path` and its part files into this object, which the caller has
  // reset. Reports every outcome through `h`; on a failure after the start sector and the
  // version were accepted it shows "Bank loading is aborted!" and resets the object, so the
  // object holds either a complete bank or the reset values.
  s2_read_result read(const std::filesystem::path& path, host& h);
  // The same from parts that `parts` opens (memory, for instance).
  s2_read_result read(part_opener& parts, host& h);

  s2_image& image() { return *image_; }
  const s2_image& image() const { return *image_; }
  const s2_sound& sound(int n) const { return image_->sounds[n]; }
  s2_sound& sound(int n) { return image_->sounds[n]; }
  const s2_multisample& multisample(int n) const { return image_->multisamples[n]; }
  s2_multisample& multisample(int n) { return image_->multisamples[n]; }

  // Entry j of multisample n's file list as raw code-page bytes ("- - -" for an empty slot).
  std::string_view file(int n, int j) const { return paths_.text(lists_[n][j]); }
  void set_file(int n, int j, std::string_view path) { lists_[n][j] = paths_.intern(path); }
  bool slot_is_empty(int n, int j) const { return lists_[n][j] == empty_path_id; }

  // The 16-byte name of sound n as text, ended early by an embedded 0.
  std::string sound_name_text(int n) const;

 private:
  using list = std::array<path_id, slots_per_multisample>;

  std::unique_ptr<s2_image> image_;
  std::unique_ptr<std::array<list, s2_multisample_count>> lists_storage_;
  std::array<list, s2_multisample_count>& lists_;
  path_pool paths_;
};

// The reset image of one sound record; bytes 400..470 are not part of the reset (`keep`).
void reset_s2_sound(s2_sound& sound);

}  // namespace qbank
