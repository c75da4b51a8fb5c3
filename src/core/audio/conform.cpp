#include "audio/conform.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "audio/conform_codec.h"
#include "audio/conform_manifest.h"
#include "audio/wav_file.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/bank_format.h"
#include "bank/stored_paths.h"
#include "platform/codepage.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/file_stamp.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "ui/host.h"
#include "util/text_format.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

// A slot counts its sectors in 16 bits; a stereo file is folded to mono in the bank, so every
// frame takes 2 bytes there.
constexpr std::uint64_t max_slot_frames = 65535ull * sector_size / 2;
// Numbered names tried before a source is refused for want of a free one.
constexpr int max_numbered_names = 9999;

enum class action { keep, refuse, convert, reuse };

// What happens to one distinct path of the bank.
struct plan_item {
  path_id id = empty_path_id;
  std::string source_text;  // the stored path as the system names it (UTF-8)
  std::string source_key;   // the same, absolute and normalised: what the manifest records
  action what = action::keep;
  std::string note;  // keep/refuse: why; convert: the clash, when a numbered name was taken
  audio_source_info info;
  fs::path source;
  fs::path result;
  std::string result_key;  // in the manifest
  std::string result_stored;
  std::uint64_t result_size = 0;
  file_stamp source_stamp;
  std::uint64_t clipped = 0;
  const plan_item* same_as = nullptr;  // another spelling of a source already planned
};

std::string fold_case(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// The common folder: the common path up to and with its last separator.
std::string common_folder(const bank& b) {
  std::string common = library_common_path(b);
  const std::size_t sep = common.find_last_of("\\/");
  return sep == std::string::npos ? std::string() : common.substr(0, sep + 1);
}

// The result's path below the folder for stored path `stored`, as UTF-8 with "/" between its
// parts and without the extension; none when no usable name is left.
std::optional<std::string> mirrored_stem(std::string_view stored, std::string_view common) {
  const bool below =
      !common.empty() && stored.size() > common.size() && stored.substr(0, common.size()) == common;
  std::optional<std::string> rest =
      relative_below(below ? stored.substr(common.size()) : without_root(stored));
  if (!rest) return std::nullopt;
  std::string text = to_utf8(replace_extension(*rest, ""));
  std::replace(text.begin(), text.end(), '\\', '/');
  if (text.empty() || text.back() == '/') return std::nullopt;
  return text;
}

std::string numbered(const std::string& stem, int k) {
  return k == 1 ? stem + ".wav" : stem + " (" + std::to_string(k) + ").wav";
}

bool name_in_use(const fs::path& path) {
  std::error_code ec;
  // Anything there, a dangling link included; a name that cannot be looked at counts as taken.
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

// The checks of one source the validation refuses, up to the name of its result.
class planner {
 public:
  planner(const fs::path& into, const conform_manifest& manifest)
      : into_(into), manifest_(manifest) {}

  void plan_conversion(plan_item& item, std::string_view stored, std::string_view common) {
    try {
      input_file in(item.source);
      item.info = probe_audio(in);
    } catch (const file_error& e) {
      return refuse(item, "cannot be opened: " + e.reason());
    }
    const audio_source_info& a = item.info;
    if (!a.decodable) return refuse(item, a.reason);
    if (a.channels < 1 || a.channels > 2)
      return refuse(item, format("%d channels; the instrument plays mono or stereo", a.channels));
    if (a.frames == 0) return refuse(item, "it holds no audio");
    if (conformed_frames(a) > max_slot_frames)
      return refuse(item, format("too long for a slot: %llu frames at 48000 Hz, at most %llu",
                                 static_cast<unsigned long long>(conformed_frames(a)),
                                 static_cast<unsigned long long>(max_slot_frames)));
    const std::optional<std::string> stem = mirrored_stem(stored, common);
    if (!stem) return refuse(item, "no usable file name below the folder");
    const std::optional<file_stamp> stamp = stamp_of(item.source);
    if (!stamp) return refuse(item, "cannot be opened");
    item.source_stamp = *stamp;
    item.result_size = wav_canonical_header_size + conformed_data_bytes(a);
    choose_name(item, *stem);
  }

 private:
  static void refuse(plan_item& item, std::string why) {
    item.what = action::refuse;
    item.note = std::move(why);
  }

  void choose_name(plan_item& item, const std::string& stem) {
    // A folder link below the folder would take every numbered name elsewhere.
    if (const auto link = link_below(into_, (into_ / path_from_utf8(stem)).parent_path()))
      return refuse(item, std::string(link_in_the_way_reason) + ": " + path_to_utf8(*link));
    for (int k = 1; k <= max_numbered_names; ++k) {
      const std::string key = numbered(stem, k);
      const std::string folded = fold_case(key);
      if (claimed_.count(folded)) continue;
      const fs::path path = into_ / path_from_utf8(key);
      const std::optional<file_stamp> on_disk = stamp_of(path);
      const manifest_entry* e = manifest_.find(key);
      if (e && e->source == item.source_key) {
        // An earlier result of this source, unless someone has put another file there since.
        if (on_disk && on_disk->size != e->result_size) continue;
      } else if (e || name_in_use(path)) {
        continue;  // another source's result, or somebody else's file
      }
      claimed_.insert(folded);
      item.result = path;
      item.result_key = key;
      if (k > 1) item.note = numbered(stem, 1);
      item.what = action::convert;
      if (e && on_disk && e->source_stamp == item.source_stamp &&
          e->result_size == item.result_size &&
          check_stored_wav(stored_path(path)) == wav_check::accepted)
        item.what = action::reuse;
      return;
    }
    refuse(item, "no free name for its result below the folder");
  }

  fs::path into_;
  const conform_manifest& manifest_;
  std::unordered_set<std::string> claimed_;
};

std::string kept_note(wav_check c) {
  switch (c) {
    case wav_check::accepted:
      return "the instrument takes it as it is";
    case wav_check::missing:
      return "missing";
    case wav_check::too_long:
      return "WAV file too long";
    case wav_check::empty:
      return "null size WAV file";
    default:
      return {};
  }
}

void write_manifest(const fs::path& into, const conform_manifest& manifest, std::string& written) {
  const std::string text = manifest.text();
  if (text == written) return;
  const fs::path file = into / path_from_utf8(conform_manifest_name);
  atomic_output_file out(file, into);
  out.write(text);
  out.commit();
  written = text;
}

// Removes what stopped runs left of the results about to be written: one look per folder.
void remove_leftovers(const std::vector<plan_item*>& writes, const fs::path& manifest_file) {
  std::map<fs::path, std::vector<fs::path>> by_folder;
  by_folder[manifest_file.parent_path()].push_back(manifest_file);
  for (const plan_item* item : writes)
    by_folder[item->result.parent_path()].push_back(item->result);
  for (const auto& [folder, targets] : by_folder) remove_leftover_temporaries(targets);
}

std::uint8_t percent(std::size_t done, std::size_t total) {
  return static_cast<std::uint8_t>(total == 0 ? 100
                                              : std::min<std::size_t>(done * 100 / total, 100));
}

std::string report_line(const plan_item& item, bool dry_run) {
  const std::string source = item.source_text;
  switch (item.what) {
    case action::keep:
      return "Kept: " + source + " (" + item.note + ")";
    case action::refuse:
      return "Refused: " + source + " (" + item.note + ")";
    case action::reuse:
      return "Converted earlier: " + source + " -> " + path_to_utf8(item.result);
    case action::convert:
      break;
  }
  std::string line =
      "Converted: " + source + " (" + item.info.format_text + ") -> " + path_to_utf8(item.result);
  if (item.same_as)
    line += "; the same file as " + item.same_as->source_text;
  else if (!item.note.empty())
    line += "; the name " + item.note + " is taken by another file";
  if (!dry_run && item.clipped > 0)
    line += format("; %llu samples clipped", static_cast<unsigned long long>(item.clipped));
  return line;
}

}  // namespace

conform_totals conform_bank(bank& b, const conform_options& options, host& h) {
  if (!conform_available()) throw command_error(std::string(conform_unavailable_text));
  const fs::path into = fs::absolute(options.into);
  stored_path(into);  // refuses a folder whose name the bank's code page cannot hold
  {
    std::error_code ec;
    if (fs::exists(into, ec) && !fs::is_directory(into, ec))
      throw command_error("\"" + path_to_utf8(into) + "\" is not a folder.");
  }

  // Every distinct path once, in the order the slots first name them.
  std::vector<plan_item> items;
  {
    std::vector<std::uint8_t> seen(b.paths().size(), 0);
    seen[empty_path_id] = 1;
    for (int n = 0; n < multisample_count; ++n)
      for (path_id id : b.files(n))
        if (!seen[id]) {
          seen[id] = 1;
          items.emplace_back().id = id;
        }
  }

  const bool into_exists = fs::is_directory(into);
  const conform_manifest old_manifest =
      into_exists ? conform_manifest::read(into) : conform_manifest();
  conform_manifest manifest = old_manifest;
  std::string manifest_written = old_manifest.empty() ? std::string() : old_manifest.text();
  conform_totals totals;
  std::optional<progress_scope> progress;
  progress.emplace(h, 'w', "Conform WAV files...");
  {
    const std::string common = common_folder(b);
    planner plan(into, old_manifest);
    std::unordered_map<std::string, const plan_item*> by_source;
    for (std::size_t k = 0; k < items.size(); ++k) {
      plan_item& item = items[k];
      const std::string_view stored = b.paths().text(item.id);
      item.source = native_path(stored);
      item.source_text = path_to_utf8(item.source);
      h.progress_set_title(item.source_text);
      h.progress_set_percent(percent(k, items.size()));
      h.process_events();
      wav_check check;
      try {
        check = check_stored_wav(stored);
      } catch (const file_error& e) {
        item.what = action::refuse;
        item.note = "cannot be opened: " + e.reason();
        continue;
      }
      if (check != wav_check::no_wav && check != wav_check::invalid_format) {
        item.note = kept_note(check);
        continue;
      }
      // Two spellings of one file ("D:\a.aif", "D:/a.aif") are converted once.
      std::error_code ec;
      const std::string key = path_to_utf8(fs::absolute(item.source, ec).lexically_normal());
      item.source_key = key;
      if (const auto it = by_source.find(key); it != by_source.end()) {
        item.same_as = it->second;
        continue;
      }
      plan.plan_conversion(item, stored, common);
      by_source.emplace(key, &item);
    }
  }
  for (plan_item& item : items)
    if (item.same_as) {
      const plan_item* first = item.same_as;
      item.what = first->what;
      item.note = first->note;
      item.info = first->info;
      item.result = first->result;
      item.result_key = first->result_key;
    }

  std::vector<plan_item*> writes;
  for (plan_item& item : items)
    if (item.what == action::convert && !item.same_as) writes.push_back(&item);

  if (!options.dry_run) {
    // The manifest names every result before it is written, so that a run stopped half-way
    // leaves no result the next run would take for another file.
    for (plan_item& item : items) {
      if ((item.what != action::convert && item.what != action::reuse) || item.same_as) continue;
      item.result_stored = stored_path(item.result);
      manifest.put({item.result_key, item.source_key, item.source_stamp, item.result_size});
    }
    const fs::path manifest_file = into / path_from_utf8(conform_manifest_name);
    if (!writes.empty()) {
      if (!create_folders(into)) throw file_error(into, "the folder cannot be created");
      remove_leftovers(writes, manifest_file);
      write_manifest(into, manifest, manifest_written);
    } else if (into_exists) {
      const fs::path targets[] = {manifest_file};
      remove_leftover_temporaries(targets);
    }
    std::size_t done = 0;
    for (plan_item* item : writes) {
      h.progress_set_title(item->source_text);
      h.progress_set_percent(percent(done++, writes.size()));
      if (!create_folders_below(into, item->result.parent_path()))
        throw file_error(item->result.parent_path(), "the folder cannot be created");
      conform_outcome outcome;
      {
        atomic_output_file out(item->result, into);
        try {
          input_file in(item->source);
          outcome = write_conformed(in, item->info, out, h);
        } catch (const file_error& e) {
          if (e.path() != item->source) throw;
          outcome.reason = "cannot be read: " + e.reason();
        }
        if (outcome.ok && out.size() != item->result_size) {
          outcome.ok = false;
          outcome.reason = "it changed while it was being conformed";
        }
        if (outcome.ok) out.commit();
      }
      if (!outcome.ok) {
        item->what = action::refuse;
        item->note = outcome.reason;
        manifest.erase(item->result_key);
        continue;
      }
      item->clipped = outcome.clipped;
    }
    if (!writes.empty()) write_manifest(into, manifest, manifest_written);

    // Every slot that named a converted source now names its result.
    std::unordered_map<path_id, path_id> moved;
    for (plan_item& item : items) {
      if (item.what != action::convert && item.what != action::reuse) continue;
      if (item.same_as) {
        if (item.same_as->what == action::refuse) {
          item.what = action::refuse;
          item.note = item.same_as->note;
          continue;
        }
        item.result_stored = item.same_as->result_stored;
      }
      moved.emplace(item.id, b.paths().intern(item.result_stored));
    }
    for (int n = 0; n < multisample_count && !moved.empty(); ++n)
      for (int j = 0; j < slots_per_multisample; ++j)
        if (const auto it = moved.find(b.file_id(n, j)); it != moved.end()) {
          b.set_file_id(n, j, it->second);
          totals.paths_changed = true;
        }
  }

  std::vector<std::string> lines;
  for (const plan_item& item : items) {
    lines.push_back(report_line(item, options.dry_run));
    switch (item.what) {
      case action::keep:
        ++totals.kept;
        break;
      case action::refuse:
        ++totals.refused;
        break;
      case action::convert:
        ++totals.converted;
        break;
      case action::reuse:
        ++totals.converted_earlier;
        break;
    }
  }
  lines.push_back(format("Totals: %u converted, %u converted earlier, %u kept, %u refused",
                         totals.converted, totals.converted_earlier, totals.kept, totals.refused));
  if (options.dry_run) lines.push_back("Dry run: nothing was written.");
  progress.reset();
  show_report(h, conform_report_title, lines);
  return totals;
}

}  // namespace qbank
