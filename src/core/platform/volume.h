// Volumes: what the system says about the file system a folder lives on (its label, the name of
// its file system, its cluster count and the bytes free) and which volumes are mounted. The
// platform calls live in one small file per system (posix/volume.cpp, win32/volume.cpp) behind
// `volume_layer`, so tests and `qbank`'s test hook can stand in a volume of their choosing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qbank {

// One volume as the system reports it, before it is named for the user.
struct volume_stat {
  std::string label;  // the volume's label (UTF-8); empty when the system knows none
  std::string type;   // the system's own name of its file system ("ext4", "exfat", "NTFS", ...)
  bool fat = false;   // a FAT file system of a width the system does not tell (Linux "msdos")
  std::uint64_t clusters = 0;               // clusters (allocation blocks) of the volume
  std::optional<std::uint64_t> free_bytes;  // bytes the user may still write; none: unknown
  // The folder the volume is reached at (its mount point, or "E:\"); empty when the system does
  // not tell. A card is written only at this folder: the instrument looks nowhere else.
  std::filesystem::path root;
};

// The file-system name shown and checked: a FAT volume is "FAT32" from 65525 clusters on (the
// rule that tells FAT32 from FAT12/16) and "FAT" below; any other keeps the system's name.
std::string file_system_name(const volume_stat& stat);

inline constexpr std::uint64_t fat32_min_clusters = 65525;

struct mounted_volume {
  std::filesystem::path root;  // where its files are reached (mount point, or "E:\")
  std::string label;           // may be empty
  std::string type;            // the system's name of its file system, may be empty
  bool removable = false;      // a card or stick rather than a fixed disk
};

class volume_layer {
 public:
  virtual ~volume_layer() = default;
  // The volume that holds `root`; none when the system cannot tell (no such folder, no medium).
  virtual std::optional<volume_stat> stat(const std::filesystem::path& root) = 0;
  // The mounted volumes, removable ones first, each group in the system's order.
  virtual std::vector<mounted_volume> mounted() = 0;
};

// The system's own answers.
std::unique_ptr<volume_layer> make_system_volume_layer();

// A layer that gives the same volume for every folder (or none), and lists that one volume at
// `root`. For tests and for `qbank`'s test hook. The volume's root is the stat's own when it
// names one, else `root`, else the folder asked about (every folder then counts as the root of
// a volume of its own, so that a plain folder can play a card).
class fixed_volume_layer : public volume_layer {
 public:
  explicit fixed_volume_layer(std::optional<volume_stat> stat, std::filesystem::path root = {})
      : stat_(std::move(stat)), root_(std::move(root)) {}
  std::optional<volume_stat> stat(const std::filesystem::path& folder) override;
  std::vector<mounted_volume> mounted() override;

 private:
  std::optional<volume_stat> stat_;
  std::filesystem::path root_;
};

// Reads a volume from "key:value" pairs separated by commas, for example
// "fs:fat,clusters:70000,cluster_size:32768,free_clusters:1000,label:CARD"; "fs:fat" is a FAT
// volume named by the cluster rule, any other fs value is the file-system name as given;
// "root:PATH" names the volume's root (the rest of the pair, colons included; no commas);
// "none" is a volume that is not ready. Free space is free_clusters x cluster_size, or
// free_bytes when given. None when the text cannot be read.
std::optional<std::optional<volume_stat>> parse_volume_description(const std::string& text);

}  // namespace qbank
