// The SoundFont 2 reader: one preset of a `.sf2` file as regions. The file is RIFF:
//
//   RIFF "sfbk"
//     LIST "INFO"   ifil, INAM, ...                       (not needed here)
//     LIST "sdta"   smpl (16-bit frames), sm24 (their low bytes, optional)
//     LIST "pdta"   phdr 38  pbag 4  pmod 10  pgen 4      record sizes in bytes; each of
//                   inst 22  ibag 4  imod 10  igen 4      phdr, inst and shdr ends with a
//                   shdr 46                               terminal record
//
// A preset's zones point at instruments, an instrument's zones at sample headers; a first zone
// without that pointer is the global zone, the defaults of the others. A region is an instrument
// zone under a preset zone: key and velocity ranges intersected, tuning and attenuation of both
// added. The audio is not read: each region names its sample header and frames in `embedded`.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "instrument/instrument.h"
#include "platform/file_io.h"

namespace qbank {

struct sf2_preset {
  int bank = 0;
  int program = 0;
  std::string name;
};

// The presets of the SoundFont in `source` (from `path`, named in messages), in file order.
// Throws instrument_error naming the chunk for a damaged file.
std::vector<sf2_preset> sf2_presets(byte_source& source, const std::filesystem::path& path);

// One preset of the SoundFont in `source` as an instrument named after it. `preset` chooses it:
// empty for the first in the file, "bank:program", "program" (the lowest bank that has it), or
// a name (exact, else in any letter case). Generators, modulators, loops and samples with no
// place in a region are listed in not_carried_over. Throws instrument_error naming the chunk for
// a damaged file (every size and index is checked against the file), and for a preset that is
// not there.
instrument read_sf2(byte_source& source, const std::filesystem::path& path,
                    std::string_view preset = {});
// The same from the file at `path`; throws file_error when it cannot be opened.
instrument read_sf2_file(const std::filesystem::path& path, std::string_view preset = {});

}  // namespace qbank
