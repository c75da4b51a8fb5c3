// System parameter files (.qsp): exactly the 2048 bytes of a bank's global_parameter record.
#pragma once

#include <filesystem>

namespace qbank {

class bank;
class byte_source;
class host;

inline constexpr std::size_t param_file_size = 2048;

// Writes the main bank's global_parameter to `path` (replaced atomically). Throws file_error.
void save_system_parameters(const bank& b, const std::filesystem::path& path, host& h);

// Reads up to 2048 bytes from the start of `path` into global_parameter; a shorter file fills
// only its first bytes, bytes past 2048 are ignored. Throws file_error, bank unchanged then.
void read_system_parameters(bank& b, const std::filesystem::path& path, host& h);
// The same from `in`, read from its position.
void read_system_parameters(bank& b, byte_source& in, host& h);

}  // namespace qbank
