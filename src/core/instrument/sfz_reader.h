// The SFZ reader: the text format of software samplers, read as its players read it.
//
//   <control> default_path=Samples\ note_offset=0 octave_offset=0
//   <global> ampeg_release=0.4        each level is the default of the levels below it:
//   <master> ...                      region over group over master over global; a header
//   <group> lovel=1 hivel=64          starts its level afresh, and the levels below it
//   <region> sample=Piano C4.wav key=c4
//
// A value runs to the next `name=` on its line (sample paths hold spaces), to a header or to a
// comment (`//` to the line's end, `/* ... */` over lines). `#define $X value` makes later
// `$X` read as `value`; `#include "file"` reads the file there, relative to the including one.
// Note names count c4 = 60 (c-1 = 0), with sharps (`c#4`) and flats (`db4`). Sample paths are
// relative to the folder of the first file, after `default_path`; `\` and `/` both separate.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "instrument/instrument.h"
#include "platform/file_io.h"

namespace qbank {

// Opens the file an #include names (its path made from the including file's folder); throws
// file_error when it cannot.
using include_opener = std::function<std::unique_ptr<byte_source>(const std::filesystem::path&)>;

// Reads the SFZ text in `source`, which came from `path` (named in messages; samples and
// #include are relative to its folder). The instrument is named after the file. Every opcode
// that has no place in a region is listed in not_carried_over. Throws instrument_error naming
// the file and line for a text that is not SFZ, and for an #include that cannot be opened.
instrument read_sfz(byte_source& source, const std::filesystem::path& path,
                    const include_opener& open);
// The SFZ file at `path`, its #include files from the disk. Throws file_error when `path` cannot
// be opened, instrument_error as above.
instrument read_sfz_file(const std::filesystem::path& path);

// The note number of an SFZ note name ("c4" = 60, "C#4", "db4", "c-1" = 0): none for text that
// is not one. The number may lie outside 0..127 ("b9" = 131).
std::optional<int> sfz_note_number(std::string_view name);

}  // namespace qbank
