#include "bank/bank_reader.h"

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

read_outcome read_records(bank& b, const std::filesystem::path& path, reader_variant variant,
                          host& h) {
  const bool main = variant == reader_variant::main;
  read_outcome out;
  MySplitFileReaderClass reader(h);
  if (!reader.Open(path, true)) {
    if (main) h.message("Problem with opening bank file!", "Error");
    return out;
  }
  if (reader.TotalSize() < sector_size) {
    say_short_header(h, path, reader.TotalSize(), sector_size);
    return out;
  }
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
  for (int i = programs; i < program_count; ++i) b.reset_program(i);
  reader.Read(b.image().multisamples, static_cast<std::size_t>(multisamples) * sizeof(multisample));

  if (const std::uint64_t audio_end = end_of_audio(b, multisamples); audio_end != 0) {
    // Slot tables that point into the header or past the end of the file do not lead to the
    // path-name area; reading lines from there would fill the lists with audio or records.
    if (audio_end < header_size(version)) {
      h.message("The slot tables of the bank file point into its header: " + path_to_utf8(path) +
                    "\nThe file lists are not loaded.",
                "Error");
      return out;
    }
    if (!reader.GoToPosition(audio_end)) return out;
  }
  const std::uint64_t needed = main ? 0 : static_cast<std::uint64_t>(multisamples);
  if (reader.Position() + needed >= reader.TotalSize()) {
    h.message("Open from Bank File Version 1!\nMultisamples is not loaded!", "Info");
    out.whole = reader.Position() == reader.TotalSize();
    return out;
  }
  out.path_area = true;
  read_file_lists(b, source, multisamples, h, "The path-name area of the bank file");
  // The area counts as read to its end: lines past the last list are passed over.
  reader.GoToPosition(reader.TotalSize());
  out.whole = reader.Position() == reader.TotalSize();
  return out;
}

}  // namespace

bool read_bank_file(bank& b, const std::filesystem::path& path, reader_variant variant, host& h,
                    int* file_version) {
  h.process_events();
  read_outcome out;
  {
    progress_scope progress(h, 'r', "Reading QBB file...");
    out = read_records(b, path, variant, h);
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

bool open_bank_file(bank& b, const std::filesystem::path& path, host& h, int* file_version) {
  // A file that cannot be opened stops the command before the reset, so the bank is kept.
  input_file{path};
  b.reset();
  try {
    const bool whole = read_bank_file(b, path, reader_variant::main, h, file_version);
    b.set_loaded_file_name(path_to_utf8(path));
    return whole;
  } catch (...) {
    b.set_loaded_file_name(path_to_utf8(path));
    throw;
  }
}

}  // namespace qbank
