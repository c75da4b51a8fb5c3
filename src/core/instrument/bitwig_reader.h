// The Bitwig / PreSonus multisample reader: a `.multisample` zip archive whose root holds
// `multisample.xml` beside the audio.
//
//   <multisample name="Toy Piano">
//     <group name="Soft"/>
//     <sample file="C4 soft.wav" gain="-3.0" sample-start="0" sample-stop="48000" group="0">
//       <key root="60" low="58" high="62" tune="0.1" track="1"/>
//       <velocity low="1" high="64"/>
//       <loop mode="off"/>
//     </sample>
//
// `gain` is in dB, `tune` in semitones, `sample-stop` one past the last frame played; keys
// and velocities are MIDI numbers. Samples also stand inside <group> elements in some files.
// The same layout may also be a plain folder instead of an archive.
#pragma once

#include <filesystem>
#include <string>

#include "instrument/instrument.h"
#include "platform/file_io.h"

namespace qbank {

// Reads the multisample.xml text in `source`; `label` names it in messages ("FILE:LINE: ...").
// Each sample is `samples` / its file, made normal. The instrument takes the multisample's name
// (else `fallback_name`). Throws instrument_error naming the label and line.
instrument read_multisample_xml(byte_source& source, const std::string& label,
                                const std::filesystem::path& samples,
                                const std::string& fallback_name);

// A folder laid out as the archive is (multisample.xml beside the audio), read in place.
instrument read_multisample_folder(const std::filesystem::path& folder);

// The `.multisample` archive at `path`; its audio is taken out into a temporary folder that the
// instrument keeps (see extract_samples).
instrument read_multisample_file(const std::filesystem::path& path);

}  // namespace qbank
