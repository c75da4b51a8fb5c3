// The volume layer on Windows: GetVolumeInformationW for the label and the file-system name
// (Windows names FAT12/16 "FAT" and FAT32 "FAT32" itself), GetDiskFreeSpaceW for the clusters,
// GetDiskFreeSpaceExW for the bytes the user may write, GetLogicalDrives and GetDriveTypeW for
// the drive list.
#include "platform/volume.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace fs = std::filesystem;

namespace qbank {
namespace {

std::string utf8_of(const wchar_t* text) {
  const std::u8string u8 = fs::path(text).u8string();
  return std::string(u8.begin(), u8.end());
}

// The root ("E:\", or a mounted folder's root) of the volume that holds `path`.
std::wstring volume_root_of(const fs::path& path) {
  wchar_t root[MAX_PATH + 1] = {};
  std::wstring full = path.wstring();
  if (full.empty() || full.back() != L'\\') full += L'\\';
  if (!::GetVolumePathNameW(full.c_str(), root, MAX_PATH + 1)) return full;
  return root;
}

class win32_volume_layer : public volume_layer {
 public:
  std::optional<volume_stat> stat(const fs::path& root) override {
    // As statfs does: a folder that is not there has no volume facts.
    std::error_code missing;
    if (!fs::exists(root, missing)) return std::nullopt;
    const std::wstring volume = volume_root_of(root);
    wchar_t label[MAX_PATH + 1] = {};
    wchar_t type[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationW(volume.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr,
                                 type, MAX_PATH + 1))
      return std::nullopt;
    volume_stat v;
    v.label = utf8_of(label);
    v.type = utf8_of(type);
    v.root = fs::path(volume);
    DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0, total_clusters = 0;
    if (::GetDiskFreeSpaceW(volume.c_str(), &sectors_per_cluster, &bytes_per_sector, &free_clusters,
                            &total_clusters))
      v.clusters = total_clusters;
    ULARGE_INTEGER available{};
    if (::GetDiskFreeSpaceExW(root.wstring().c_str(), &available, nullptr, nullptr))
      v.free_bytes = available.QuadPart;
    return v;
  }

  std::vector<mounted_volume> mounted() override {
    std::vector<mounted_volume> out;
    const DWORD drives = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
      if ((drives & (DWORD{1} << i)) == 0) continue;
      const wchar_t root[] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', 0};
      const UINT kind = ::GetDriveTypeW(root);
      if (kind == DRIVE_NO_ROOT_DIR || kind == DRIVE_UNKNOWN) continue;
      mounted_volume v;
      v.root = fs::path(root);
      v.removable = kind == DRIVE_REMOVABLE;
      wchar_t label[MAX_PATH + 1] = {};
      wchar_t type[MAX_PATH + 1] = {};
      // A reader without a card answers nothing; the drive is listed all the same.
      if (::GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, type,
                                  MAX_PATH + 1)) {
        v.label = utf8_of(label);
        v.type = utf8_of(type);
      }
      out.push_back(std::move(v));
    }
    std::stable_partition(out.begin(), out.end(),
                          [](const mounted_volume& v) { return v.removable; });
    return out;
  }
};

}  // namespace

std::unique_ptr<volume_layer> make_system_volume_layer() {
  return std::make_unique<win32_volume_layer>();
}

}  // namespace qbank
