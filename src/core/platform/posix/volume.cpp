// The volume layer on Linux: statfs(2) for the file system and its space, /proc/self/mounts for
// the mounted volumes and their type names, /dev/disk/by-label for labels and /sys/class/block for
// the removable flag.
#include "platform/volume.h"

#include <sys/vfs.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace qbank {
namespace {

constexpr unsigned long msdos_super_magic = 0x4d44;  // MSDOS_SUPER_MAGIC: vfat and msdos

struct mount_entry {
  std::string source;
  fs::path point;
  std::string type;
};

// /proc/self/mounts writes space, tab, newline and backslash as \ooo.
std::string unescape_octal(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() &&
        std::all_of(text.begin() + static_cast<long>(i) + 1,
                    text.begin() + static_cast<long>(i) + 4,
                    [](char c) { return c >= '0' && c <= '7'; })) {
      out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                               (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

// udev writes unsafe characters of labels as \xNN.
std::string unescape_hex(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<mount_entry> read_mounts() {
  std::vector<mount_entry> mounts;
  std::ifstream in("/proc/self/mounts");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    mount_entry e;
    std::string point;
    if (!(fields >> e.source >> point >> e.type)) continue;
    e.source = unescape_octal(e.source);
    e.point = fs::path(unescape_octal(point));
    mounts.push_back(std::move(e));
  }
  return mounts;
}

bool is_pseudo(const std::string& type) {
  static const char* const pseudo[] = {
      "proc",       "sysfs",   "devtmpfs",        "devpts",     "cgroup", "cgroup2",  "mqueue",
      "securityfs", "debugfs", "tracefs",         "pstore",     "bpf",    "autofs",   "hugetlbfs",
      "configfs",   "fusectl", "binfmt_misc",     "rpc_pipefs", "nsfs",   "efivarfs", "ramfs",
      "selinuxfs",  "nfsd",    "fuse.gvfsd-fuse", "fuse.portal"};
  return std::find(std::begin(pseudo), std::end(pseudo), type) != std::end(pseudo);
}

// Folders of the system itself (/proc, /sys, /dev, /run except /run/media), never a card.
bool is_system_place(const fs::path& point) {
  const std::string text = point.string();
  for (const char* place : {"/proc", "/sys", "/dev", "/run"})
    if (text == place || text.starts_with(std::string(place) + "/"))
      return !text.starts_with("/run/media/");
  return false;
}

// The mount that holds `path`: the longest mount point that is a prefix of it (the last one
// mounted when several share a point).
const mount_entry* mount_of(const std::vector<mount_entry>& mounts, const fs::path& path) {
  std::error_code ec;
  const fs::path full = fs::weakly_canonical(path, ec);
  const std::string text = (ec ? path : full).string();
  const mount_entry* best = nullptr;
  std::size_t best_len = 0;
  for (const mount_entry& m : mounts) {
    const std::string point = m.point.string();
    const bool inside =
        text == point || point == "/" ||
        (text.starts_with(point) && text.size() > point.size() && text[point.size()] == '/');
    if (inside && point.size() >= best_len) {
      best = &m;
      best_len = point.size();
    }
  }
  return best;
}

std::string label_of(const std::string& source) {
  std::error_code ec;
  const fs::path device = fs::canonical(source, ec);
  if (ec) return {};
  for (fs::directory_iterator it("/dev/disk/by-label", ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code ec2;
    if (fs::canonical(it->path(), ec2) == device && !ec2)
      return unescape_hex(it->path().filename().string());
  }
  return {};
}

bool read_flag(const fs::path& file) {
  std::ifstream in(file);
  int value = 0;
  return in >> value && value != 0;
}

bool is_removable(const mount_entry& m) {
  const std::string point = m.point.string();
  if (point.starts_with("/media/") || point.starts_with("/run/media/")) return true;
  if (!m.source.starts_with("/dev/")) return false;
  std::error_code ec;
  const fs::path device = fs::canonical(m.source, ec);
  if (ec) return false;
  const std::string name = device.filename().string();
  if (name.starts_with("mmcblk")) return true;  // SD slots often say "not removable"
  const fs::path sys = fs::canonical(fs::path("/sys/class/block") / name, ec);
  if (ec) return false;
  // A partition's own folder has no "removable"; its disk, one level up, has.
  return fs::exists(sys / "removable") ? read_flag(sys / "removable")
                                       : read_flag(sys.parent_path() / "removable");
}

class posix_volume_layer : public volume_layer {
 public:
  std::optional<volume_stat> stat(const fs::path& root) override {
    struct statfs st {};
    if (::statfs(root.c_str(), &st) != 0) return std::nullopt;
    volume_stat v;
    v.fat = static_cast<unsigned long>(st.f_type) == msdos_super_magic;
    v.clusters = static_cast<std::uint64_t>(st.f_blocks);
    v.free_bytes = static_cast<std::uint64_t>(st.f_bavail) * static_cast<std::uint64_t>(st.f_bsize);
    const std::vector<mount_entry> mounts = read_mounts();
    if (const mount_entry* m = mount_of(mounts, root)) {
      v.type = m->type;
      v.label = label_of(m->source);
      v.root = m->point;
    }
    if (v.type.empty()) v.type = v.fat ? "vfat" : "unknown";
    return v;
  }

  std::vector<mounted_volume> mounted() override {
    std::vector<mounted_volume> out;
    for (const mount_entry& m : read_mounts()) {
      std::error_code ec;
      // Files bound over files (a container's /etc/hosts) are no place to write a card to.
      if (is_pseudo(m.type) || is_system_place(m.point) || !fs::is_directory(m.point, ec)) continue;
      out.push_back({m.point, label_of(m.source), m.type, is_removable(m)});
    }
    std::stable_partition(out.begin(), out.end(),
                          [](const mounted_volume& v) { return v.removable; });
    return out;
  }
};

}  // namespace

std::unique_ptr<volume_layer> make_system_volume_layer() {
  return std::make_unique<posix_volume_layer>();
}

}  // namespace qbank
