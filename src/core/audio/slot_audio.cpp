#include "audio/slot_audio.h"

#include <algorithm>
#include <bit>

#include "audio/wav_file.h"
#include "bank/bank.h"
#include "bank/split_file.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace qbank {
namespace {

static_assert(std::endian::native == std::endian::little,
              "samples are read from little-endian files straight into memory");

constexpr std::string_view bank_extension = ".qbb";

// Nothing to play; the sample memory stays with the result (empty) for the next load.
slot_audio nothing(std::string_view message, std::vector<std::int16_t>& recycled) {
  slot_audio a;
  a.message = message;
  a.samples = std::move(recycled);
  a.samples.clear();
  return a;
}

// The largest buffer kept for sounds of less than half its size: a bank slot's largest sound.
constexpr std::size_t kept_samples = 65535u * sector_size / 2;

// `count` samples in `recycled` when its memory fits, else in fresh memory. A buffer larger than
// any bank slot is not kept for a sound of less than half its size, so one very long WAV file
// does not pin its memory for every short sound after it.
std::vector<std::int16_t> sample_buffer(std::vector<std::int16_t> recycled, std::size_t count) {
  if (recycled.capacity() < count ||
      (recycled.capacity() > kept_samples && recycled.capacity() / 2 > count))
    recycled = {};
  recycled.resize(count);
  return recycled;
}

}  // namespace

slot_audio load_wav_audio(const std::filesystem::path& path, std::vector<std::int16_t> recycled) {
  if (!file_exists(path)) return nothing(plot_file_not_exist, recycled);
  input_file file(path);
  const int kind = check_wav_header(file);
  if (kind == wav_rejected) return nothing(plot_invalid_wav, recycled);
  if (!find_data_chunk(file)) return nothing(plot_no_data_chunk, recycled);
  const std::uint32_t announced = read_chunk_size(file);
  // A "data" size larger than the file is taken for what the file holds: nothing past its end
  // is allocated or shown as sound.
  const std::uint64_t present = file.size() > file.position() ? file.size() - file.position() : 0;
  slot_audio a;
  a.stereo = kind == wav_stereo;
  a.length = static_cast<std::uint32_t>(std::min<std::uint64_t>(announced, present));
  a.samples = sample_buffer(std::move(recycled), (std::size_t{a.length} + 1) / 2);
  a.length = static_cast<std::uint32_t>(file.read(a.samples.data(), a.length));
  return a;
}

slot_audio load_bank_audio(const std::filesystem::path& bank_path, const slot& s, host& h,
                           std::vector<std::int16_t> recycled) {
  if (!file_exists(bank_path)) return nothing(plot_bank_not_exist, recycled);
  const std::uint16_t sectors = s.sector_count;
  if (sectors == 0) return nothing(plot_no_sample, recycled);
  MySplitFileReaderClass reader(h);
  if (!reader.Open(bank_path, true)) return nothing(plot_bank_not_open, recycled);
  // Checked here rather than left to the reader, which would add its own box to the plot's text.
  const std::uint64_t start = std::uint64_t{s.first_sector} * sector_size;
  if (start >= reader.TotalSize() || !reader.GoToPosition(start))
    return nothing(plot_bad_start, recycled);
  // A bank cut short ends the slot's audio where the file ends.
  const std::uint64_t wanted = std::uint64_t{sectors} * sector_size;
  slot_audio a;
  a.length = static_cast<std::uint32_t>(std::min(wanted, reader.TotalSize() - start));
  // A file cut inside a sample leaves half of one: room for it as a whole sample.
  a.samples = sample_buffer(std::move(recycled), (std::size_t{a.length} + 1) / 2);
  if (reader.Read(a.samples.data(), a.length) != a.length)
    return nothing(plot_bad_start, a.samples);
  flip_sample_signs(reinterpret_cast<std::uint8_t*>(a.samples.data()), a.length);
  return a;
}

slot_audio load_selected_slot(const bank& b, int n, int row, int selected_rows, audio_source source,
                              host& h, std::vector<std::int16_t> recycled) {
  if (selected_rows > 1) return nothing(plot_multiple_selection, recycled);
  const bool valid = n >= 0 && n < multisample_count && row >= 0 && row < slots_per_multisample;
  if (source == audio_source::wav_file) {
    if (!valid || b.slot_is_empty(n, row)) return nothing(plot_file_not_exist, recycled);
    return load_wav_audio(native_path(b.file(n, row)), std::move(recycled));
  }
  if (!holds_bank_audio(b)) return nothing(plot_bank_not_exist, recycled);
  if (!valid) return nothing(plot_no_sample, recycled);
  return load_bank_audio(path_from_utf8(b.loaded_file_name()), b.multisample(n).slots[row], h,
                         std::move(recycled));
}

bool holds_bank_audio(const bank& b) {
  const std::string& loaded = b.loaded_file_name();
  return loaded != no_loaded_bank && has_extension(loaded, bank_extension);
}

}  // namespace qbank
