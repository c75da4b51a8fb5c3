#include "platform/volume.h"

#include <charconv>

namespace qbank {

std::string file_system_name(const volume_stat& stat) {
  if (!stat.fat) return stat.type;
  return stat.clusters >= fat32_min_clusters ? "FAT32" : "FAT";
}

std::optional<volume_stat> fixed_volume_layer::stat(const std::filesystem::path& folder) {
  std::optional<volume_stat> out = stat_;
  if (out && out->root.empty()) out->root = root_.empty() ? folder : root_;
  return out;
}

std::vector<mounted_volume> fixed_volume_layer::mounted() {
  const std::filesystem::path root = stat_ && !stat_->root.empty() ? stat_->root : root_;
  if (!stat_ || root.empty()) return {};
  return {mounted_volume{root, stat_->label, file_system_name(*stat_), true}};
}

namespace {

bool read_number(const std::string& text, std::uint64_t& out) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && p == end && !text.empty();
}

}  // namespace

std::optional<std::optional<volume_stat>> parse_volume_description(const std::string& text) {
  if (text == "none") return std::optional<volume_stat>{};
  volume_stat stat;
  std::uint64_t cluster_size = 0, free_clusters = 0, free_bytes = 0;
  bool have_free_clusters = false, have_free_bytes = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string pair = text.substr(start, comma - start);
    start = comma + 1;
    if (pair.empty()) continue;
    const std::size_t colon = pair.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const std::string key = pair.substr(0, colon), value = pair.substr(colon + 1);
    bool ok = true;
    if (key == "fs") {
      stat.fat = value == "fat";
      stat.type = stat.fat ? "msdos" : value;
    } else if (key == "label") {
      stat.label = value;
    } else if (key == "root") {
      ok = !value.empty();
      stat.root = std::filesystem::path(std::u8string(value.begin(), value.end()));
    } else if (key == "clusters") {
      ok = read_number(value, stat.clusters);
    } else if (key == "cluster_size") {
      ok = read_number(value, cluster_size);
    } else if (key == "free_clusters") {
      ok = have_free_clusters = read_number(value, free_clusters);
    } else if (key == "free_bytes") {
      ok = have_free_bytes = read_number(value, free_bytes);
    } else {
      ok = false;
    }
    if (!ok) return std::nullopt;
  }
  if (have_free_bytes)
    stat.free_bytes = free_bytes;
  else if (have_free_clusters)
    stat.free_bytes = free_clusters * cluster_size;
  return std::optional<volume_stat>{stat};
}

}  // namespace qbank
