// A folder of audio files (.wav, .aif, .aiff, .flac, .ogg) read as an instrument: one region per
// file, its root note from the file itself (a WAV `smpl` chunk's unity note, else a WAV `inst`
// chunk's or an AIFF `INST` chunk's base note), else from a note name in the file name as the
// placement by name writes them ("Piano Db3.wav", "pad_C#4.wav", "Str D 3.wav"; C0 = note 0)
// or a note number after a blank ("Piano 060.wav"). Each file's key range reaches halfway to
// the roots of the files next to it, the lowest down to key 0 and the highest up to 127.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "instrument/instrument.h"
#include "platform/file_io.h"

namespace qbank {

// The root the file's own chunks give, and the fine tuning (cents) they give with it.
struct chunk_root {
  int note = 60;
  double tune = 0;
};
// Reads the chunks of a WAV (RIFF) or AIFF file; none when it holds no root note or is not
// one of those (a damaged file is not an error here: its name may still say the note).
std::optional<chunk_root> audio_chunk_root(byte_source& source);

// The note a file name says, by the bank's note names (sharps and flats, either case) or a
// note number " NNN"; the last one in the name when it holds several. None when it says none.
std::optional<int> note_in_file_name(std::string_view stem);

// Reads the folder at `path`. Files whose note is found nowhere, and files whose root another
// file already has, are listed in not_carried_over. Throws instrument_error when the folder
// holds no audio file.
instrument read_audio_folder(const std::filesystem::path& path);

}  // namespace qbank
