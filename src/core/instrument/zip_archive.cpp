#ifdef QBANK_HAVE_XML_INSTRUMENTS
#include "instrument/zip_archive.h"

#include <zip.h>

#include <array>
#include <map>
#include <memory>

#include "platform/file_io.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t piece_bytes = std::size_t{1} << 16;

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
  return out;
}

struct zip_file_closer {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

// The folder the audio of one instrument is taken out into; removed with it.
class extraction_folder {
 public:
  extraction_folder() : path_(create_temporary_folder("qbank-instrument-")) {}
  ~extraction_folder() { remove_folder_tree(path_); }
  extraction_folder(const extraction_folder&) = delete;
  extraction_folder& operator=(const extraction_folder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// A sample's member name checked: relative, '/' separated, inside the archive's root.
std::optional<std::string> inside_name(const fs::path& sample) {
  std::string name = path_to_utf8(sample.lexically_normal());
  for (char& c : name)
    if (c == '\\') c = '/';
  if (name.empty() || name.front() == '/' || (name.size() > 1 && name[1] == ':')) return {};
  const fs::path relative(path_from_utf8(name));
  if (relative.has_root_name() || relative.has_root_directory()) return {};
  for (const fs::path& part : relative)
    if (part == "..") return {};
  return name;
}

}  // namespace

bool is_archive_litter(std::string_view member) {
  if (member.starts_with("__MACOSX/")) return true;
  const std::size_t slash = member.find_last_of('/');
  return member.substr(slash == std::string_view::npos ? 0 : slash + 1).starts_with("._");
}

zip_archive::zip_archive(const fs::path& path) : path_(path) {
  // Opened by us, so that a file that cannot be read is a file_error like every other.
  { input_file probe(path); }
  int code = 0;
  archive_ = zip_open(path_to_utf8(path).c_str(), ZIP_RDONLY, &code);
  if (!archive_) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const std::string reason = zip_error_strerror(&error);
    zip_error_fini(&error);
    fail("not a zip archive (" + reason + ")");
  }
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  for (zip_int64_t k = 0; k < count; ++k) {
    const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(k), ZIP_FL_ENC_GUESS);
    names_.emplace_back(name ? name : "");
  }
}

zip_archive::~zip_archive() {
  if (archive_) zip_discard(archive_);
}

void zip_archive::fail(const std::string& what) const {
  throw instrument_error(path_to_utf8(path_) + ": " + what);
}

std::optional<std::size_t> zip_archive::find(std::string_view name) const {
  for (std::size_t k = 0; k < names_.size(); ++k)
    if (names_[k] == name) return k;
  std::optional<std::size_t> found;
  const std::string wanted = lower(name);
  for (std::size_t k = 0; k < names_.size(); ++k) {
    if (lower(names_[k]) != wanted) continue;
    if (found) return std::nullopt;  // two candidates: neither is the one meant
    found = k;
  }
  return found;
}

std::string zip_archive::read(std::size_t index, std::uint64_t limit) const {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
    fail("\"" + names_[index] + "\" cannot be read (" + zip_strerror(archive_) + ")");
  if (st.size > limit) fail("\"" + names_[index] + "\" is too large");
  std::unique_ptr<zip_file_t, zip_file_closer> file(zip_fopen_index(archive_, index, 0));
  if (!file) fail("\"" + names_[index] + "\" cannot be read (" + zip_strerror(archive_) + ")");
  std::string text(static_cast<std::size_t>(st.size), '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const zip_int64_t n = zip_fread(file.get(), text.data() + got, text.size() - got);
    if (n < 0) fail("\"" + names_[index] + "\" is damaged (" + zip_file_strerror(file.get()) + ")");
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  text.resize(got);
  return text;
}

void zip_archive::extract(std::size_t index, const fs::path& target) const {
  std::unique_ptr<zip_file_t, zip_file_closer> file(zip_fopen_index(archive_, index, 0));
  if (!file) fail("\"" + names_[index] + "\" cannot be read (" + zip_strerror(archive_) + ")");
  atomic_output_file out(target);
  std::vector<char> piece(piece_bytes);
  while (true) {
    const zip_int64_t n = zip_fread(file.get(), piece.data(), piece.size());
    if (n < 0) fail("\"" + names_[index] + "\" is damaged (" + zip_file_strerror(file.get()) + ")");
    if (n == 0) break;
    out.write(piece.data(), static_cast<std::size_t>(n));
  }
  out.commit();
}

void extract_samples(const zip_archive& archive, instrument& inst) {
  auto folder = std::make_shared<extraction_folder>();
  std::map<std::size_t, fs::path> taken;  // member index -> its file in the folder
  for (region& r : inst.regions) {
    const std::optional<std::string> name = inside_name(r.sample);
    if (!name)
      throw instrument_error(path_to_utf8(archive.path()) + ": the sample \"" +
                             path_to_utf8(r.sample) + "\" of " + r.origin +
                             " lies outside the archive");
    const std::optional<std::size_t> index = archive.find(*name);
    if (!index)
      throw instrument_error(path_to_utf8(archive.path()) + ": the sample \"" + *name + "\" of " +
                             r.origin + " is not in the archive");
    auto [it, added] = taken.try_emplace(*index);
    if (added) {
      // The member's own name differs from the checked one in letter case at most.
      it->second = folder->path() / path_from_utf8(archive.names()[*index]);
      if (!create_folders(it->second.parent_path()))
        throw file_error(it->second.parent_path(), "cannot create the folder");
      archive.extract(*index, it->second);
    }
    r.sample = it->second;
  }
  inst.extracted = std::shared_ptr<const void>(folder, folder.get());
}

}  // namespace qbank
#endif
