// The DecentSampler reader: `.dspreset` files (XML) and `.dslibrary` archives holding them.
//
//   <DecentSampler>
//     <groups volume="-3dB" attack="0.01">           attributes of <groups> and <group> are the
//       <group loVel="1" hiVel="64" groupTuning="1">  defaults of the <sample>s below them
//         <sample path="Samples/Piano C4.wav" rootNote="60" loNote="58" hiNote="62"/>
//         <sample path="Samples/Rel C4.wav" rootNote="60" trigger="release"/>
//
// Volumes are linear (1.0 = as recorded) or decibels with "dB" appended; the volumes of
// <groups>, <group> and <sample> multiply. Tunings are semitones: globalTuning (<groups>),
// groupTuning (<group>) and tuning add up. `start` and `end` are frames, `end` the last one
// played. attack and release are seconds. Sample paths are relative to the preset's folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "instrument/instrument.h"
#include "platform/file_io.h"

namespace qbank {

// Reads the preset in `source`. `label` names it in messages ("FILE:LINE: ..."); the
// instrument is named after `label`'s file name. Each sample is `samples` / its path, made
// normal (`..` taken away where it can be). Throws instrument_error naming the label and line.
instrument read_dspreset(byte_source& source, const std::string& label,
                         const std::filesystem::path& samples);

// The preset at `path`, its samples beside it on disk.
instrument read_dspreset_file(const std::filesystem::path& path);

// The preset of the `.dslibrary` archive at `path` whose name (without folder and extension,
// in any letter case) is PRESET, or the archive's first preset when PRESET is empty; its audio
// is taken out into a temporary folder that the instrument keeps (see extract_samples).
instrument read_dslibrary_file(const std::filesystem::path& path, std::string_view preset);

}  // namespace qbank
