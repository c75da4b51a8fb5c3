#include "instrument/instrument_file.h"

#include <cctype>
#include <string>
#include <system_error>

#include "instrument/audio_folder_reader.h"
#include "instrument/sf2_reader.h"
#include "instrument/sfz_reader.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#ifdef QBANK_HAVE_XML_INSTRUMENTS
#include "instrument/bitwig_reader.h"
#include "instrument/decent_sampler_reader.h"
#endif

namespace qbank {

instrument read_instrument_file(const std::filesystem::path& path, std::string_view preset) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
#ifdef QBANK_HAVE_XML_INSTRUMENTS
    // A Bitwig multisample may also come as a folder: its XML says more than the file names.
    if (file_exists(path / "multisample.xml")) return read_multisample_folder(path);
#endif
    return read_audio_folder(path);
  }
  std::string ext = path_to_utf8(path.extension());
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".sfz") return read_sfz_file(path);
  if (ext == ".sf2") return read_sf2_file(path, preset);
  if (ext == ".dspreset" || ext == ".dslibrary" || ext == ".multisample") {
#ifdef QBANK_HAVE_XML_INSTRUMENTS
    if (ext == ".dspreset") return read_dspreset_file(path);
    if (ext == ".dslibrary") return read_dslibrary_file(path, preset);
    return read_multisample_file(path);
#else
    throw instrument_error(path_to_utf8(path) + ": " + ext +
                           " instruments are not available in this build (it was made without "
                           "pugixml and libzip)");
#endif
  }
  throw instrument_error(path_to_utf8(path) +
                         ": not an instrument this program reads (.sfz, .sf2, .dspreset, "
                         ".dslibrary, .multisample, or a folder of audio files)");
}

}  // namespace qbank
