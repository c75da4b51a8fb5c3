// The player's sound: the audio of one multisample slot, taken either from the slot's WAV file
// or from the slot's sectors inside the bank file that was last loaded or built. A load that
// finds nothing to play says why in the text the plot shows instead of a waveform.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qbank {

class bank;
class host;
struct slot;

// The texts the plot shows when a slot cannot be loaded.
inline constexpr std::string_view plot_multiple_selection = "Multiple selection";
inline constexpr std::string_view plot_file_not_exist = "File Not Exist";
inline constexpr std::string_view plot_invalid_wav = "Invalid WAV File Format";
inline constexpr std::string_view plot_no_data_chunk = "No Valid WAVE Chink";
inline constexpr std::string_view plot_bank_not_exist = "QBB File Not Exist";
inline constexpr std::string_view plot_no_sample = "No Sample";
inline constexpr std::string_view plot_bank_not_open = "QBB File Not Open Correctly";
inline constexpr std::string_view plot_bad_start = "Invalid Sample Start Position in QBB file";

// Where the player takes a slot's audio from.
enum class audio_source { wav_file, bank_file };

// A loaded sound: 16-bit signed samples (stereo interleaved left, right) and the audio length
// in bytes as the file gave it. Nothing to play when `length` is 0; `message` is then the
// plot's text, or empty when an empty waveform is shown (a WAV file with no audio).
struct slot_audio {
  std::vector<std::int16_t> samples;  // (length + 1) / 2 values
  std::uint32_t length = 0;
  bool stereo = false;
  std::string message;

  bool loaded() const { return message.empty(); }
  // Bytes of whole frames, the part a device can play.
  std::uint32_t playable_bytes() const { return length - length % (stereo ? 4u : 2u); }
};

// The audio of the WAV file `path` (native). The length is the "data" chunk's size, cut to the
// bytes the file really holds. Throws file_error when an existing file cannot be opened.
// `recycled` is the previous sound's sample buffer: its memory is used again when it fits, since
// fresh memory for a sound of tens of megabytes costs more than reading the sound.
slot_audio load_wav_audio(const std::filesystem::path& path,
                          std::vector<std::int16_t> recycled = {});

// The audio of slot `s` inside the bank file `bank_path` (native; its part files are found
// beside it): sector_count x 512 bytes from sector first_sector, offset-binary made signed,
// always mono, the padding of the last sector included.
slot_audio load_bank_audio(const std::filesystem::path& bank_path, const slot& s, host& h,
                           std::vector<std::int16_t> recycled = {});

// Whether `b` came from a bank file (read or built), whose sectors hold its slots' audio; a
// script, or no file at all, names no sectors to play.
bool holds_bank_audio(const bank& b);

// What the player loads for the slot grid's selection: slot `row` (0..127) of multisample `n`
// of `b`, from the slot's WAV file or from the bank file named by b.loaded_file_name().
// `selected_rows` above 1 loads nothing ("Multiple selection"). Throws file_error as above.
slot_audio load_selected_slot(const bank& b, int n, int row, int selected_rows, audio_source source,
                              host& h, std::vector<std::int16_t> recycled = {});

}  // namespace qbank
