#include "bank/bank_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "bank/split_file.h"
#include "bank/start_sector.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "ui/host.h"
#include "util/text_format.h"

namespace qbank {
namespace {

// How far one read got: the version it recognised (none when it stopped at the start sector)
// and whether it consumed the file to its end.
struct read_outcome {
  std::optional<int> version;
  bool whole = false;
  bool loaded_records = false;
  bool path_area = false;
};

void say_short_header(host& h, const std::filesystem::path& path, std::uint64_t size,
                      std::uint64_t needed) {
  h.message("The bank file is shorter than its header: " + path_to_utf8(path) + "\nIt holds " +
                group_thousands(size) + " bytes, its header needs " + group_thousands(needed) +
                " bytes.\n\nNothing is loaded.",
            "Error");
}

std::string part_name(const std::filesystem::path& path, int index) {
  return path_to_utf8(split_part_path(path, index).filename());
}

int last_part(const MySplitFileReaderClass& reader) {
  int last = 0;
  for (int i = 0; i < max_split_parts; ++i)
    if (reader.PartSizes()[i] != 0) last = i;
  return last;
}

// The writer fills every part but the last to the same limit, so parts of other sizes (or a
// missing part between two others) come from different builds: reading them as one bank would
// mix two banks' records, audio and paths.
bool parts_belong_together(const MySplitFileReaderClass& reader, const std::filesystem::path& path,
                           host& h) {
  const auto& sizes = reader.PartSizes();
  const int last = last_part(reader);
  if (last == 0) return true;
  const std::uint64_t full = sizes[0];
  for (int i = 0; i <= last; ++i) {
    const bool fits = i < last ? sizes[i] == full : sizes[i] <= full;
    if (fits) continue;
    h.message(format("The part files of the bank %s do not belong together: %s holds %s bytes, "
                     "but every part before the last must hold as many bytes as the first (%s) "
                     "and none may be missing.\nThe bank is not loaded.",
                     path_to_utf8(path).c_str(), part_name(path, i).c_str(),
                     group_thousands(sizes[i]).c_str(), group_thousands(full).c_str()),
              "Error");
    return false;
  }
  return true;
}

// True (with a message) when the bank's data ends at `data_end` before its last part begins:
// that part, and any after it, is left from an earlier, larger bank of the same name.
bool stale_part(const MySplitFileReaderClass& reader, const std::filesystem::path& path,
                std::uint64_t data_end, host& h) {
  const int last = last_part(reader);
  std::uint64_t last_start = 0;
  for (int i = 0; i < last; ++i) last_start += reader.PartSizes()[i];
  if (last == 0 || data_end > last_start) return false;
  h.message(format("The part file %s does not belong to the bank %s: the bank's data ends "
                   "before it. It is left from an earlier, larger bank; remove it.",
                   part_name(path, last).c_str(), path_to_utf8(path).c_str()),
            "Error");
  return true;
}

read_outcome read_records(bank& b, part_opener& parts, reader_variant variant, host& h) {
  const bool main = variant == reader_variant::main;
  const std::filesystem::path& path = parts.bank_path();
  read_outcome out;
  MySplitFileReaderClass reader(h);
  if (!reader.Open(parts, true)) {
    if (main) h.message("Problem with opening bank file!", "Error");
    return out;
  }
  if (reader.TotalSize() < sector_size) {
    say_short_header(h, path, reader.TotalSize(), sector_size);
    return out;
  }
  if (!parts_belong_together(reader, path, h)) return out;
  sector_bytes start{};
  reader.Read(start.data(), start.size());
  if (std::memcmp(start.data(), b.image().start_sector, sector_size - 1) != 0) {
    h.message(main ? "Invalid Ample LEAD Sampler Bank!\n...OR...\n...my be this is PROTECTED!!! "
                     "Ample LEAD Sampler Bank!"
                   : "Invalid bank start sector!",
              "Error");
    return out;
  }
  out.version = bank_file_version(start);
  if (!out.version) {
    h.message("Uncown Bank File Version!", "Error");
    return out;
  }
  const int version = *out.version;
  // A file cut inside its records would otherwise report every record that passes the end.
  if (reader.TotalSize() < header_size(version)) {
    say_short_header(h, path, reader.TotalSize(), header_size(version));
    return out;
  }
  out.loaded_records = true;
  const int programs = programs_in_version(version);
  const int multisamples = multisamples_in_version(version);
  reader.Read(&b.globals(), sizeof(global_parameter));
  split_file_source source(reader);
  read_programs(b, source, programs);
  // Programs past the version's own keep their reset values: the caller reset the bank, so
  // resetting them again (9,000 records) would change nothing. Only the loaded name, which
  // resetting a program forgets, is forgotten here.
  if (programs < program_count) b.set_loaded_file_name(std::string(no_loaded_bank));
  reader.Read(b.image().multisamples, static_cast<std::size_t>(multisamples) * sizeof(multisample));

  if (const audio_extent audio = find_audio_extent(b, multisamples); audio.end != 0) {
    // Slot tables that point into the header or past the end of the file do not lead to the
    // path-name area; reading lines from there would fill the lists with audio or records.
    if (audio.first < header_size(version)) {
      h.message("The slot tables of the bank file point into its header: " + path_to_utf8(path) +
                    "\nThe file lists are not loaded.",
                "Error");
      return out;
    }
    if (!reader.GoToPosition(audio.end)) return out;
  }
  const std::uint64_t needed = main ? 0 : static_cast<std::uint64_t>(multisamples);
  if (reader.Position() + needed >= reader.TotalSize()) {
    // Only the first generation (code 0xAA, read as version 2) wrote banks without the area;
    // any later version that ends with its audio has lost its end.
    if (version != 2 && reader.Position() >= reader.TotalSize()) {
      h.message(format("The bank file is damaged: %s\nA version %d bank file has the paths of "
                       "its WAV files after its audio, and this one ends with its audio.\nThe "
                       "file lists are not loaded.",
                       path_to_utf8(path).c_str(), version),
                "Error");
      return out;
    }
    h.message("Open from Bank File Version 1!\nMultisamples is not loaded!", "Info");
    out.whole =
        reader.Position() == reader.TotalSize() && !stale_part(reader, path, reader.Position(), h);
    return out;
  }
  out.path_area = true;
  const std::uint64_t area_start = reader.Position();
  const std::uint64_t area_used =
      read_file_lists(b, source, multisamples, h, "The path-name area of the bank file");
  if (stale_part(reader, path, area_start + area_used, h)) return out;
  // The area counts as read to its end: lines past the last list are passed over.
  reader.GoToPosition(reader.TotalSize());
  out.whole = reader.Position() == reader.TotalSize();
  return out;
}

}  // namespace

bool read_bank_file(bank& b, const std::filesystem::path& path, reader_variant variant, host& h,
                    int* file_version) {
  file_part_opener files(path);
  return read_bank_file(b, files, variant, h, file_version);
}

bool read_bank_file(bank& b, part_opener& parts, reader_variant variant, host& h,
                    int* file_version) {
  h.process_events();
  read_outcome out;
  {
    progress_scope progress(h, 'r', "Reading QBB file...");
    out = read_records(b, parts, variant, h);
  }
  if (file_version) {
    // Versions 1 and 2 share their code; a version-1 file ends with its audio area.
    *file_version = out.version.value_or(0);
    if (*file_version == 2 && out.loaded_records && !out.path_area) *file_version = 1;
  }
  if (out.loaded_records && *out.version != 6) h.message(old_version_notice(*out.version), "Info");
  if (variant == reader_variant::main && out.whole) h.message("Bank loading OK!", "Info");
  return out.whole;
}

bool open_bank_file(bank& b, const std::filesystem::path& path, host& h, int* file_version,
                    reader_variant variant) {
  input_file{path};
  // Read into a bank of its own: a file refused half way (cut, mixed parts, bad slot tables)
  // leaves the bank, its name and the window as they were.
  bank fresh;
  if (!read_bank_file(fresh, path, variant, h, file_version)) return false;
  fresh.set_loaded_file_name(path_to_utf8(path));
  b.swap(fresh);
  return true;
}

bool looks_like_bank_file(const std::filesystem::path& path) {
  if (has_extension(path_to_utf8(path), ".qbb")) return true;
  std::uint8_t head[511];
  try {
    input_file in(path);
    if (in.read(head, sizeof head) != sizeof head) return false;
  } catch (const std::exception&) {
    return false;
  }
  const sector_bytes& t = start_sector_template(6);
  return std::equal(t.begin(), t.begin() + sizeof head, head);
}

}  // namespace qbank
