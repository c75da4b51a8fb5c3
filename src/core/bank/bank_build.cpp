#include "bank/bank_build.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "audio/wav_file.h"
#include "bank/bank.h"
#include "bank/script_file.h"
#include "bank/start_sector.h"
#include "platform/codepage.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "ui/host.h"
#include "util/text_format.h"

namespace qbank {
namespace {

// The last sector a slot record can name (its first sector is a 32-bit number).
constexpr std::uint64_t last_addressable_sector = 0xFFFF'FFFFull;
// A slot record counts its sectors in 16 bits.
constexpr std::uint32_t max_slot_sectors = 65535;
// Audio is streamed through buffers of this size (a multiple of a stereo frame and of a sector).
constexpr std::size_t copy_chunk = 4 << 20;

enum class wav_status { ok, missing, no_wav, invalid_format, too_long, empty };

// What the checks found out about one WAV file.
struct wav_audio {
  wav_status status = wav_status::missing;
  int channels = 0;
  std::uint32_t data_bytes = 0;   // size of the "data" chunk
  std::uint64_t data_offset = 0;  // where the audio starts in the file
  std::uint32_t bank_bytes = 0;   // audio bytes in the bank (a stereo file folded to mono)
  std::uint32_t sectors = 0;
};

wav_audio examine_wav(byte_source& file) {
  // The header and the chunks before the audio; the usual files hold them in their first
  // hundred bytes, and a longer chunk list is read on from the file.
  head_cached_source in(file, 512);
  wav_audio a;
  a.channels = check_wav_header(in);
  if (a.channels == wav_rejected) {
    a.status = wav_status::no_wav;
    return a;
  }
  if (!find_data_chunk(in)) {
    a.status = wav_status::invalid_format;
    return a;
  }
  a.data_bytes = read_chunk_size(in);
  a.data_offset = in.position();
  // A chunk that claims more audio than the file holds would leave the bank short of the
  // sectors its slot table promises.
  if (a.data_offset > in.size() || a.data_bytes > in.size() - a.data_offset) {
    a.status = wav_status::invalid_format;
    return a;
  }
  if (a.data_bytes == 0) {
    a.status = wav_status::empty;
    return a;
  }
  a.bank_bytes = a.channels == wav_stereo ? a.data_bytes / 2 : a.data_bytes;
  a.sectors = (a.bank_bytes + sector_size - 1) / sector_size;
  a.status = a.sectors > max_slot_sectors ? wav_status::too_long : wav_status::ok;
  return a;
}

wav_audio examine_stored_path(std::string_view stored) {
  const std::filesystem::path path = native_path(stored);
  // Open first and ask whether the file exists only when that fails: a path lookup is a good
  // part of the cost of validating many small files.
  std::optional<input_file> file;
  try {
    file.emplace(path);
  } catch (const file_error&) {
    if (!file_exists(path)) return {};
    throw;
  }
  return examine_wav(*file);
}

// The text of a multisample's report header: the record from its start up to the first 0 byte,
// which is the 16-byte name directly followed by the comment.
std::string multisample_head_text(const struct multisample& m) {
  const char* begin = m.name;
  const std::size_t limit = name_size + comment_size;
  const char* end = static_cast<const char*>(std::memchr(begin, 0, limit));
  return to_utf8(std::string_view(begin, end ? static_cast<std::size_t>(end - begin) : limit));
}

// One of the three reports of the validation.
struct problem_list {
  std::uint32_t count = 0;
  std::vector<std::string> lines;
  int header_for = -1;  // the multisample whose header line was written last

  void add(int n, const bank& b, const char* line_format, std::string_view stored) {
    ++count;
    if (header_for != n) {
      header_for = n;
      lines.push_back(format("Multisample Num: %u - %s", static_cast<unsigned>(n + 1),
                             multisample_head_text(b.multisample(n)).c_str()));
    }
    // The entry as stored, separators untouched: text copied from the report must match it
    // exactly in "Replace text in file path...".
    lines.push_back(format(line_format, count, to_utf8(stored).c_str()));
  }

  void offer(host& h, const char* question, const char* first_line, const char* title) {
    if (count == 0) return;
    if (!h.ask(format(question, count), "Info")) return;
    lines.insert(lines.begin(), format(first_line, count));
    show_report(h, title, lines);
  }
};

std::uint8_t percent(std::uint64_t done, std::uint64_t total) {
  return static_cast<std::uint8_t>(std::min<std::uint64_t>(done * 100 / total, 100));
}

// Bytes of the path-name area: every entry of every list with its CR LF.
std::uint64_t path_area_size(const bank& b) {
  std::uint64_t total = 0;
  for (int n = 0; n < multisample_count; ++n)
    for (path_id id : b.files(n)) total += b.paths().text(id).size() + 2;
  return total;
}

// Copies a slot's audio into the bank: a stereo file folded to mono, every sample in offset
// binary, then padding to the end of the sector. Returns the bytes written before the padding.
class slot_writer {
 public:
  // The buffers are filled by each read before use, so never cleared.
  slot_writer() : in_(new std::uint8_t[copy_chunk]), out_(new std::uint8_t[copy_chunk / 2]) {
    for (std::size_t k = 0; k < padding_.size(); k += 2) {
      padding_[k] = 0x00;
      padding_[k + 1] = 0x80;
    }
  }

  void copy(input_file& file, const wav_audio& a, MySplitFileWriter& writer,
            std::string_view stored) {
    file.seek(a.data_offset);
    std::uint64_t left = a.data_bytes;
    std::uint32_t written = 0;
    while (left > 0) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, copy_chunk));
      if (file.read(in_.get(), want) != want) throw changed_file(stored);
      left -= want;
      if (a.channels == wav_stereo) {
        const std::size_t frames = want / 4;
        // Whole samples loaded and stored: the system is little-endian, as the files are.
        std::int16_t pair[2];
        for (std::size_t f = 0; f < frames; ++f) {
          std::memcpy(pair, in_.get() + 4 * f, 4);
          // The sum in 32 bits, the quotient truncated toward zero, as the instrument expects.
          const std::int32_t sum = std::int32_t{pair[0]} + pair[1];
          const auto s = static_cast<std::uint16_t>(static_cast<std::uint16_t>(sum / 2) ^ 0x8000u);
          std::memcpy(out_.get() + 2 * f, &s, 2);
        }
        writer.Write(out_.get(), 2 * frames);
        written += static_cast<std::uint32_t>(2 * frames);
      } else {
        // Adding 0x8000 modulo 65536 flips the top bit of each sample's high byte. A final odd
        // byte is not a whole sample and is copied as it is. Every read but the last is of
        // copy_chunk bytes, an even count, so each starts on a sample.
        flip_sample_signs(in_.get(), want);
        writer.Write(in_.get(), want);
        written += static_cast<std::uint32_t>(want);
      }
    }
    // A stereo chunk that ends inside a frame still owns half its bytes in the bank; they are
    // filled like the padding, so the slot keeps exactly the size its record gives.
    if (written < a.bank_bytes) {
      writer.Write(padding_.data(), a.bank_bytes - written);
      written = a.bank_bytes;
    }
    if (const std::uint32_t tail = written % sector_size; tail != 0)
      writer.Write(padding_.data(), sector_size - tail);
  }

  static command_error changed_file(std::string_view stored) {
    return command_error("The WAV file " + native_path_text(stored) +
                         " changed after it was checked; the bank file is not created.");
  }

 private:
  std::unique_ptr<std::uint8_t[]> in_;
  std::unique_ptr<std::uint8_t[]> out_;
  std::array<std::uint8_t, sector_size> padding_{};
};

void write_header(const bank& b, MySplitFileWriter& writer) {
  // Whatever the image's own start sector holds, a built file is version 6.
  writer.Write(start_sector_template(6).data(), sector_size);
  writer.Write(b.image_bytes() + sector_size, bank_image_size - sector_size);
}

void write_audio(const bank& b, MySplitFileWriter& writer, host& h) {
  slot_writer slots;
  const std::uint64_t used = b.count_used_slots();
  std::uint64_t processed = 0;
  for (int n = 0; n < multisample_count; ++n) {
    const struct multisample& m = b.multisample(n);
    for (int j = 0; j < slots_per_multisample; ++j) {
      if (b.slot_is_empty(n, j)) continue;
      const std::string_view stored = b.file(n, j);
      h.progress_set_title(native_path_text(stored));
      input_file file(native_path(stored));
      const wav_audio a = examine_wav(file);
      // The slot table was written from the validation; the audio must land where it says.
      const slot& s = m.slots[j];
      if (a.status != wav_status::ok || a.sectors != s.sector_count ||
          writer.Size() != std::uint64_t{s.first_sector} * sector_size)
        throw slot_writer::changed_file(stored);
      slots.copy(file, a, writer, stored);
      ++processed;
    }
    h.progress_set_percent(percent(processed, used));
    h.process_events();
  }
}

void write_path_area(const bank& b, MySplitFileWriter& writer, host& h) {
  h.progress_set_title("Saving Multisamples Path");
  std::array<std::string_view, slots_per_multisample> lines;
  for (int n = 0; n < multisample_count; ++n) {
    for (int j = 0; j < slots_per_multisample; ++j) lines[j] = b.file(n, j);
    writer.WriteList(lines);
    h.progress_set_percent(percent(n + 1, multisample_count));
    h.process_events();
  }
}

}  // namespace

wav_check check_stored_wav(std::string_view stored) {
  switch (examine_stored_path(stored).status) {
    case wav_status::ok:
      return wav_check::accepted;
    case wav_status::missing:
      return wav_check::missing;
    case wav_status::no_wav:
      return wav_check::no_wav;
    case wav_status::invalid_format:
      return wav_check::invalid_format;
    case wav_status::too_long:
      return wav_check::too_long;
    case wav_status::empty:
      return wav_check::empty;
  }
  return wav_check::no_wav;
}

validation_result validate_for_build(bank& b, host& h, const build_options& options) {
  problem_list invalid, missing, empty, too_large;
  std::uint64_t audio_sectors = 0;
  {
    progress_scope progress(h, 'l', "Calculating...");
    const std::uint64_t used = b.count_used_slots();
    std::uint64_t processed = 0;
    // A path used by many slots is examined once; the files do not change during validation.
    std::unordered_map<path_id, wav_audio> seen;
    std::uint64_t counter = bank_image_sectors;
    for (int n = 0; n < multisample_count; ++n) {
      struct multisample& m = b.multisample(n);
      for (int j = 0; j < slots_per_multisample; ++j) {
        slot& s = m.slots[j];
        s.first_sector = 0;
        s.sector_count = 0;
        const path_id id = b.file_id(n, j);
        if (id == empty_path_id) continue;
        const std::string_view stored = b.paths().text(id);
        auto found = seen.find(id);
        if (found == seen.end()) found = seen.emplace(id, examine_stored_path(stored)).first;
        const wav_audio& a = found->second;
        if (a.status == wav_status::missing) {
          missing.add(n, b, "%u. Missing file: %s", stored);
          continue;
        }
        ++processed;
        switch (a.status) {
          case wav_status::no_wav:
            invalid.add(n, b, "%u. No WAV file: %s", stored);
            break;
          case wav_status::invalid_format:
            invalid.add(n, b, "%u. Invalid WAV format: %s", stored);
            break;
          case wav_status::too_long:
            invalid.add(n, b, "%u. WAV file too long: %s", stored);
            break;
          case wav_status::empty:
            empty.add(n, b, "%u. Null size WAV file: %s", stored);
            break;
          default:
            // Slot records hold 32-bit sector numbers: audio past them cannot be found again.
            if (counter + a.sectors > last_addressable_sector + 1) {
              too_large.add(n, b, "%u. Audio would pass sector 4294967295 of the bank: %s", stored);
              break;
            }
            s.first_sector = static_cast<std::uint32_t>(counter);
            s.sector_count = static_cast<std::uint16_t>(a.sectors);
            counter += a.sectors;
            audio_sectors += a.sectors;
        }
      }
      h.progress_set_percent(percent(processed, used));
      h.process_events();
    }
  }
  invalid.offer(h, "Found %u invalid WAV files!!!\n\nShow invalid files ?",
                "Found %u invalid WAV files!!!", "Report: Invalid Files");
  missing.offer(h, "Missing %u WAV files!!!\n\nShow missing files ?", "Missing %u WAV files!!!",
                "Report: Missing Files");
  empty.offer(h, "Null size WAV files %u !!!\n\nShow null size files ?",
              "Null size WAV files %u !!!", "Report: Null Size WAV Files");

  validation_result r;
  r.expected_bank_size = audio_sectors * sector_size + bank_image_size + path_area_size(b);
  const std::uint64_t limit = options.part_limit == 0 ? default_part_limit : options.part_limit;
  if (const std::uint64_t parts = (r.expected_bank_size + limit - 1) / limit;
      options.split && parts > max_split_parts) {
    ++too_large.count;
    too_large.lines.push_back(format(
        "The bank needs %llu part files of %s bytes; at most %d can "
        "be read.",
        static_cast<unsigned long long>(parts), group_thousands(limit).c_str(), max_split_parts));
  }
  too_large.offer(h, "The bank is too large to build: %u problems!!!\n\nShow them ?",
                  "The bank is too large to build: %u problems!!!", "Report: Bank Too Large");
  r.invalid = invalid.count;
  r.missing = missing.count;
  r.empty = empty.count;
  r.too_large = too_large.count;
  return r;
}

bool build_bank_file(bank& b, const std::filesystem::path& path, host& h,
                     const build_options& options) {
  h.process_events();
  // Refused before anything is written: no part file of a bank that cannot be built is made.
  const validation_result checked = validate_for_build(b, h, options);
  if (checked.errors() != 0) {
    h.message(format("ERRORR...\nCreation of bank is IMPOSSIBLE!\nFound %u erros!\n\nBank is NOT "
                     "created!",
                     checked.errors()),
              "Bank creation...");
    return false;
  }
  progress_scope progress(h, 'w', "Saving QBB file...");
  MySplitFileWriter writer(options.part_limit);
  if (!writer.Open(path, options.split)) throw file_error(path, writer.last_error());
  write_header(b, writer);
  write_audio(b, writer, h);
  write_path_area(b, writer, h);
  writer.Close();
  return true;
}

void validate_and_save_script(bank& b, const std::filesystem::path& path, host& h) {
  validate_for_build(b, h);
  save_script(b, path, h);
  b.set_loaded_file_name(path_to_utf8(path));
}

bool save_script_and_build(bank& b, const std::filesystem::path& path, host& h,
                           const build_options& options) {
  validate_and_save_script(b, path_with_extension(path, ".QBS"), h);
  return build_bank_file(b, path, h, options);
}

validation_result calculate_bank_size(bank& b, host& h) {
  const validation_result r = validate_for_build(b, h);
  h.message(
      "Estimated Bank Size in Version 5 is: " + group_thousands(r.expected_bank_size) + " bytes.",
      "Sample Editor");
  return r;
}

void reform_loaded_name(bank& b) {
  // Without a loaded file there is no name to re-extend.
  if (b.loaded_file_name() == no_loaded_bank) return;
  b.set_loaded_file_name(replace_extension(b.loaded_file_name(), ".QBB"));
}

}  // namespace qbank
