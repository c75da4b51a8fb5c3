// The SD card write assistant: the bank file with its part files and script, the instrument's
// operating-system files and MP3 files, a destination volume, the three checks (FAT32, free
// space, empty card) and the copy with progress and cancel. Held by the window for the whole
// run; `qbank sd-write` drives it once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qbank {

class host;
class volume_layer;

// The only size an operating-system file of the instrument may have.
inline constexpr std::uint64_t os_file_size = 456704;
// The bank file, its part files .Q01 to .Q98, its .TXT and its .QBS.
inline constexpr int bank_set_count = 101;

inline constexpr const char* sd_write_caption = "SD Write Assystant";
inline constexpr const char* write_complete_text = "Write COMPLETE!";
inline constexpr const char* not_copied_title = "Report: Files Not Copied";

struct bank_set_member {
  std::filesystem::path path;  // as found on disk, in its own letter case
  std::uint64_t size = 0;      // 0: missing, unreadable, or the same file as an earlier member
};

// The 101 members in copy order: `bank_file`, then the same name with the extensions .Q01 to
// .Q98, .TXT and .QBS. Each is found whatever the letter case of its name (the exact spelling
// first); a missing member does not end the set. Files that are not there have size 0.
std::vector<bank_set_member> find_bank_set(const std::filesystem::path& bank_file);

// The percentage the progress window shows for `copied` of `total` bytes: whole KiB of each,
// so that 4 GiB parts never overflow; a file under 1 KiB shows 0 until it is copied, then 100.
std::uint8_t copy_percent(std::uint64_t total, std::uint64_t copied);

// What a group of the tab shows: its status picture (0 not ready, 1 ready) and its total.
struct group_display {
  int picture = 0;
  std::string total_text;  // "N bytes"
};

// What the destination fields show.
struct destination_display {
  std::filesystem::path root;
  std::string name;         // "Name: LABEL", or "Drive Not Ready!"
  std::string file_system;  // "File system: FAT32", or empty
  std::string free_space;   // "Free space: N", or empty
  int fat32_picture = 0;    // 1 when the volume is FAT32 and its free space is known
};

enum class write_result {
  refused,     // a check failed; nothing was written
  complete,    // every chosen file was copied and read back equal
  incomplete,  // some files were not copied; the report says which and why
  cancelled,   // the user cancelled; the files copied before stay on the card
};

class sd_write_assistant {
 public:
  sd_write_assistant();

  // Bank group. `file` none: the dialog was cancelled, the selection is dropped. A build of the
  // bank that stopped while it replaced the parts is completed first, as every reader does.
  void choose_bank(const std::optional<std::filesystem::path>& file);
  bool bank_chosen() const { return bank_chosen_; }
  // "NAME   Size: N bytes" for each member found.
  const std::vector<std::string>& bank_lines() const { return bank_lines_; }
  const std::vector<bank_set_member>& bank_set() const { return bank_set_; }
  std::uint64_t bank_total() const { return bank_total_; }

  // Operating-system group. Files of a size other than os_file_size are refused one by one with
  // a message; files that do not exist are left out silently.
  void set_os_ticked(bool ticked);
  bool os_ticked() const { return os_ticked_; }
  void choose_os_files(const std::optional<std::vector<std::filesystem::path>>& files, host& h);
  const std::vector<std::filesystem::path>& os_files() const { return os_files_; }
  std::uint64_t os_total() const { return os_total_; }

  // MP3 group (MP3 files and MP3_LIST.TXT): no size check.
  void set_mp3_ticked(bool ticked);
  bool mp3_ticked() const { return mp3_ticked_; }
  void choose_mp3_files(const std::optional<std::vector<std::filesystem::path>>& files);
  const std::vector<std::filesystem::path>& mp3_files() const { return mp3_files_; }
  std::uint64_t mp3_total() const { return mp3_total_; }

  group_display bank_display() const;
  group_display os_display() const;
  group_display mp3_display() const;

  // Destination: reads the volume that holds `root`.
  void choose_destination(const std::filesystem::path& root, volume_layer& volumes);
  const destination_display& destination() const { return destination_; }
  const std::string& file_system() const { return file_system_; }
  std::uint64_t free_space() const { return free_space_; }

  // The checks, then the copy. The destination must be FAT32 and the root of its volume. The
  // bank is opened as `qbank info` opens it (a build that stopped half-way is completed, the
  // parts are checked) and refused with the reader's messages when it is not one whole bank;
  // its part files are then exactly those the reader read. The bank, operating-system and MP3
  // files must fit the free space, and the card must be empty (temporary files a stopped copy
  // left are named). `cancel_flag` is handed to the progress window and set to 0 again at the
  // end. Throws file_error when the card's folder or the bank's journal cannot be read.
  write_result write(host& h, std::int32_t& cancel_flag);

 private:
  // The bank as the reader sees it now; false, with the reader's messages shown, when the
  // reader does not take it whole.
  bool read_bank_set(host& h);
  void count_bank_set();

  std::filesystem::path bank_file_;
  std::vector<bank_set_member> bank_set_;
  std::vector<std::string> bank_lines_;
  std::uint64_t bank_total_ = 0;
  bool bank_chosen_ = false;

  bool os_ticked_ = false, os_selected_ = false;
  std::vector<std::filesystem::path> os_files_;
  std::uint64_t os_total_ = 0;

  bool mp3_ticked_ = false, mp3_selected_ = false;
  std::vector<std::filesystem::path> mp3_files_;
  std::uint64_t mp3_total_ = 0;

  destination_display destination_;
  std::string file_system_;
  std::filesystem::path volume_root_;
  std::uint64_t free_space_ = 0;
};

}  // namespace qbank
