// One way in for every instrument format: the reader is chosen by the file's kind.
#pragma once

#include <filesystem>
#include <string_view>

#include "instrument/instrument.h"

namespace qbank {

// Reads the instrument in PATH: `.sfz`, `.sf2` (PRESET chosen by number or name, the first
// when empty), `.dspreset`, `.dslibrary`, `.multisample`, or a folder of audio files. Throws
// instrument_error naming the file and where reading stopped; a kind it does not know is an
// instrument_error too.
instrument read_instrument_file(const std::filesystem::path& path, std::string_view preset = {});

}  // namespace qbank
