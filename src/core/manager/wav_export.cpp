#include "manager/wav_export.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "bank/bank.h"
#include "bank/named_files.h"
#include "bank/split_file.h"
#include "edit/path_tools.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "ui/host.h"
#include "util/text_format.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

constexpr std::string_view not_valid_bank = "Not loaded VALID BANK FILE!";
constexpr std::string_view cannot_open = "Cannot open BANK file for reading!";
// Sectors copied per read. A slot may start anywhere in a part, so a read can reach into the
// next part file; the split-file reader joins the parts for it.
constexpr std::uint32_t sectors_per_block = 128;

std::string path_text(const fs::path& p) {
  return path_to_utf8(p);
}

bool loaded_bank_is_valid(const bank& b, host& h) {
  if (has_extension(b.loaded_file_name(), ".qbb")) return true;
  h.message(not_valid_bank, "Error!");
  return false;
}

enum class copy_outcome { written, read_failed, create_failed, write_failed, link_in_the_way };

struct copy_result {
  copy_outcome outcome;
  std::string reason;  // the system's text, for create_failed and write_failed; the link's path
};

std::string link_line(std::string_view what, std::string_view link) {
  return std::string(what) + ", a link is in the way: " + std::string(link);
}

// Writes one slot's audio as a WAV file at `out` below the chosen `folder`, replacing it. A file
// that cannot be created, a link in the way, a failed read or a failed write removes the new
// file and leaves any old one untouched.
copy_result write_slot(MySplitFileReaderClass& reader, const slot& s, const fs::path& out,
                       const fs::path& folder) {
  std::optional<atomic_output_file> file;
  try {
    file.emplace(out, folder);
  } catch (const link_in_the_way& e) {
    return {copy_outcome::link_in_the_way, path_text(e.path())};
  } catch (const file_error& e) {
    return {copy_outcome::create_failed, e.reason()};
  }
  try {
    if (!export_slot_audio(reader, s, [&file](const void* data, std::size_t count) {
          file->write(data, count);
        })) {
      file->abandon();
      return {copy_outcome::read_failed, {}};
    }
    file->close();
  } catch (const file_error& e) {
    file->abandon();
    return {copy_outcome::write_failed, e.reason()};
  }
  try {
    // The new file takes its name only here, so a name the file system refuses fails here.
    file->commit();
  } catch (const file_error& e) {
    file->abandon();
    return {copy_outcome::create_failed, e.reason()};
  }
  return {copy_outcome::written, {}};
}

// Creates the empty marker file NAME.msn of multisample m in `folder`, at or below the chosen
// folder `base`. Nothing is written when the name cannot be a file name or a link is in the
// way; the report line says which.
std::optional<std::string> write_marker(const bank& b, int m, const fs::path& folder,
                                        const fs::path& base, std::string& file_name) {
  const std::string name = b.multisample_name_text(m);
  file_name = native_path_text(name + ".msn");
  if (!usable_name(name)) return "Not written, unusable multisample name: " + file_name;
  try {
    atomic_output_file marker(folder / native_path(name + ".msn"), base);
    marker.commit();
  } catch (const link_in_the_way& e) {
    return link_line("Not written", path_text(e.path()));
  }
  return std::nullopt;
}

std::string skipped_line(std::string_view why, std::string_view entry) {
  return std::string(why) + native_path_text(entry);
}

// The report line of a slot whose file was not written, or none when it was.
std::optional<std::string> failure_line(const copy_result& done, std::string_view entry,
                                        const fs::path& out) {
  switch (done.outcome) {
    case copy_outcome::written:
      return std::nullopt;
    case copy_outcome::read_failed:
      return skipped_line("Not exported, audio outside the bank file: ", entry);
    case copy_outcome::create_failed:
      return skipped_line("Not exported, the file cannot be created: ", entry) + " (" +
             path_text(out) + ": " + done.reason + ")";
    case copy_outcome::write_failed:
      return skipped_line("Not exported, write error: ", entry) + " (" + done.reason + ")";
    case copy_outcome::link_in_the_way:
      return link_line("Not exported", done.reason);
  }
  return std::nullopt;
}

// Why the file of `entry` is not written at `out`: it is the entry's own source file, or
// another file the bank names (which the export must leave as it is); none when `out` is free.
std::optional<std::string> taken_line(named_files& named, const fs::path& out,
                                      std::string_view entry) {
  if (same_file(out, native_path(entry)))
    return skipped_line("Not exported, the output is the source file: ", entry);
  if (named.holds(out))
    return skipped_line("Not exported, the output is a file the bank names: ", entry) + " (" +
           path_text(out) + ")";
  return std::nullopt;
}

}  // namespace

std::array<std::uint8_t, 44> export_wav_header(std::uint32_t data_bytes) {
  std::array<std::uint8_t, 44> h{};
  auto put32 = [&h](std::size_t at, std::uint32_t v) { std::memcpy(h.data() + at, &v, 4); };
  auto put16 = [&h](std::size_t at, std::uint16_t v) { std::memcpy(h.data() + at, &v, 2); };
  std::memcpy(h.data(), "RIFF", 4);
  put32(4, data_bytes + 36);
  std::memcpy(h.data() + 8, "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, 1);
  put32(24, 48000);
  put32(28, 96000);
  put16(32, 2);
  put16(34, 16);
  std::memcpy(h.data() + 36, "data", 4);
  put32(40, data_bytes);
  return h;
}

bool export_slot_audio(MySplitFileReaderClass& reader, const slot& s,
                       const std::function<void(const void*, std::size_t)>& out) {
  const std::uint64_t bytes = std::uint64_t{s.sector_count} * sector_size;
  const auto header = export_wav_header(static_cast<std::uint32_t>(bytes));
  out(header.data(), header.size());
  if (bytes > 0 && !reader.GoToPosition(std::uint64_t{s.first_sector} * sector_size)) return false;
  // Filled by each read before use, so never cleared.
  const std::unique_ptr<std::uint8_t[]> block(
      new std::uint8_t[std::size_t{sectors_per_block} * sector_size]);
  for (std::uint32_t left = s.sector_count; left > 0;) {
    const std::uint32_t n = std::min(left, sectors_per_block);
    const std::size_t size = std::size_t{n} * sector_size;
    if (reader.Read(block.get(), size) != size) return false;
    flip_sample_signs(block.get(), size);
    out(block.get(), size);
    left -= n;
  }
  return true;
}

std::optional<std::string> library_export_path(std::string_view entry, std::string_view common) {
  // The common path is replaced by the chosen folder. Where it leaves no file name (or there is
  // none), the whole stored path goes below the folder without its drive, so a source file is
  // never the output.
  const bool below_common =
      !common.empty() && entry.size() > common.size() && entry.substr(0, common.size()) == common;
  return relative_below(below_common ? entry.substr(common.size()) : without_root(entry));
}

export_counts export_multisample(const bank& b, int m, const folder_chooser& choose, host& h) {
  if (!loaded_bank_is_valid(b, h)) return {};
  if (!b.multisample_has_files(m)) {
    h.message("Not possible to EXPORT EMPTY multisample!", "Error!");
    return {};
  }
  const auto folder =
      choose("Sellect Path For Multisample WAV Files Export...", "Start WAV FIles Export...");
  if (!folder) return {};
  export_counts counts;
  std::vector<std::string> lines;
  unsigned written = 0;
  {
    progress_scope progress(h, 'w', "Export Multisample...");
    MySplitFileReaderClass reader(h);
    if (!reader.Open(path_from_utf8(b.loaded_file_name()), true)) {
      h.message(cannot_open, "Error");
      return {};
    }
    named_files named(b);
    for (int j = 0; j < slots_per_multisample; ++j) {
      if (!b.slot_is_empty(m, j)) {
        const std::string_view entry = b.file(m, j);
        const std::string_view name = stored_file_name(entry);
        const fs::path out = *folder / native_path(name);
        std::optional<std::string> not_written;
        if (!usable_name(name)) {
          not_written = skipped_line("Not exported, unusable file name: ", entry);
        } else if (!(not_written = taken_line(named, out, entry))) {
          const copy_result done = write_slot(reader, b.multisample(m).slots[j], out, *folder);
          if (done.outcome == copy_outcome::write_failed)
            h.message("ExtractSelectedMultisample Write Error!\nNot write 512 bytes!", "Error");
          not_written = failure_line(done, entry, out);
        }
        if (not_written) {
          lines.push_back(std::move(*not_written));
          ++counts.not_exported;
        } else {
          lines.push_back(path_text(out));
          ++written;
        }
      }
      h.progress_set_percent(static_cast<std::uint8_t>(j * 100 / slots_per_multisample));
      h.process_events();
    }
    if (written > 0) {
      std::string marker;
      lines.emplace_back();
      if (auto why = write_marker(b, m, *folder, *folder, marker))
        lines.push_back(std::move(*why));
      else
        lines.push_back("Exported MULTISAMPLE NAME: " + marker);
    }
  }
  counts.written = written;
  if (counts.not_exported == 0) {
    lines.insert(lines.begin(), {"Export OK!", format("Exported files count: %u", written), ""});
  } else {
    // Only an export of every file is OK; otherwise the report says how many were left out
    // before it lists them, so a failure is never read as a success.
    lines.insert(lines.begin(), {written == 0 ? "Nothing exported!" : "Export incomplete!",
                                 format("Exported files count: %u", written),
                                 format("Not exported files count: %u", counts.not_exported), ""});
  }
  show_report(h, "Report: Exported sample names", lines);
  return counts;
}

export_counts export_library(const bank& b, const folder_chooser& choose, host& h) {
  if (!loaded_bank_is_valid(b, h)) return {};
  if (!h.ask("This is massive and long time consumption operation!\nYou need large free disk "
             "size for this operation!\n\nAre You Sure to contonue?",
             "WARNING!!!"))
    return {};
  const auto folder =
      choose("Sellect Common Path For Exported Library...", "Start Library Export...");
  if (!folder) return {};
  const fs::path bank_path = path_from_utf8(b.loaded_file_name());
  std::uint64_t total_size = 0;
  {
    MySplitFileReaderClass probe(h);
    if (!probe.Open(bank_path, true)) {
      h.message("Can not get loaded bank size!", "Error!");
      return {};
    }
    total_size = probe.TotalSize();
  }
  const std::uint64_t free = free_space(*folder);
  if (free <= total_size) {
    h.message("No available disk free space for make library export!\nNeed: " +
                  group_thousands(total_size) + " bites\nAvailable: " + group_thousands(free) +
                  " bytes",
              "Error!");
    return {};
  }
  const std::string common = library_common_path(b);
  std::vector<std::string> skipped;
  export_counts counts;
  unsigned& written = counts.written;
  named_files named(b);
  {
    progress_scope progress(h, 'w', "Export All Library Samples...");
    MySplitFileReaderClass reader(h);
    if (!reader.Open(bank_path, true)) {
      h.message(cannot_open, "Error");
      return {};
    }
    const std::uint32_t total = b.count_used_slots();
    for (int m = 0; m < multisample_count; ++m) {
      std::optional<fs::path> last_folder;
      for (int j = 0; j < slots_per_multisample; ++j) {
        if (b.slot_is_empty(m, j)) continue;
        const std::string_view entry = b.file(m, j);
        const auto rest = library_export_path(entry, common);
        const auto not_exported = [&](std::string line) {
          skipped.push_back(std::move(line));
          ++counts.not_exported;
        };
        if (!rest) {
          not_exported(skipped_line("Not exported, path outside the export folder: ", entry));
          continue;
        }
        const fs::path out = *folder / native_path(*rest);
        if (auto taken = taken_line(named, out, entry)) {
          not_exported(std::move(*taken));
          continue;
        }
        if (const auto link = link_below(*folder, out)) {
          not_exported(link_line("Not exported", path_text(*link)));
          continue;
        }
        if (!create_folders_below(*folder, out.parent_path())) {
          not_exported(skipped_line("Not exported, its folder cannot be created: ", entry));
          continue;
        }
        h.progress_set_title(path_text(out));
        const copy_result done = write_slot(reader, b.multisample(m).slots[j], out, *folder);
        if (auto line = failure_line(done, entry, out)) {
          not_exported(std::move(*line));
          continue;
        }
        ++written;
        last_folder = out.parent_path();
      }
      if (last_folder) {
        std::string marker;
        if (auto why = write_marker(b, m, *last_folder, *folder, marker))
          skipped.push_back(std::move(*why));
      }
      if (total > 0)
        h.progress_set_percent(
            static_cast<std::uint8_t>(std::min<std::uint64_t>(100, written * 100ull / total)));
      h.process_events();
    }
  }
  if (!skipped.empty()) show_report(h, "Report: Files not exported", skipped);
  return counts;
}

}  // namespace qbank
