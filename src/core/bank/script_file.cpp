#include "bank/script_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "bank/bank.h"
#include "bank/start_sector.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "ui/host.h"
#include "util/line_reader.h"
#include "util/text_format.h"

namespace qbank {
namespace {

constexpr std::size_t multisample_head_size = name_size + comment_size;
static_assert(script_v6_binary_size == sizeof(global_parameter) + program_count * sizeof(blend) +
                                           multisample_count * multisample_head_size);

void read_lists(bank& b, line_reader& lines, int multisamples, host& h, std::string_view what) {
  // Each multisample's lines are copied out of the reader and interned together, so that the
  // cache misses of a large pool's table overlap instead of following one another.
  std::string held;
  std::array<std::size_t, slots_per_multisample + 1> starts{};
  std::array<std::string_view, slots_per_multisample> list;
  std::array<path_id, slots_per_multisample> ids;
  for (int n = 0; n < multisamples; ++n) {
    held.clear();
    int j = 0;
    for (; j < slots_per_multisample; ++j) {
      const std::optional<std::string_view> line = lines.next();
      if (!line) break;
      starts[j] = held.size();
      held.append(*line);
    }
    starts[j] = held.size();
    for (int k = 0; k < j; ++k)
      list[k] = std::string_view(held).substr(starts[k], starts[k + 1] - starts[k]);
    b.paths().intern_all({list.data(), static_cast<std::size_t>(j)},
                         {ids.data(), static_cast<std::size_t>(j)});
    for (int k = 0; k < j; ++k) b.set_file_id(n, k, ids[k]);
    if (j < slots_per_multisample) {
      // The entries not reached keep the marker, so every list still holds 128 entries.
      for (int k = j; k < slots_per_multisample; ++k) b.set_file_id(n, k, empty_path_id);
      throw command_error(std::string(what) +
                          format(" ends too early: it holds %llu of the %d text lines of its "
                                 "file lists (multisample %d is incomplete).",
                                 static_cast<unsigned long long>(n) * slots_per_multisample + j,
                                 multisamples * slots_per_multisample, n));
    }
    h.progress_set_percent(static_cast<std::uint8_t>(n * 100 / multisamples));
    h.process_events();
  }
}

}  // namespace

const char* old_version_notice(int version) {
  switch (version) {
    case 3:
      return "Open old bank version 3.\nLoaded only first 256 programs!";
    case 4:
      return "Open old bank version 4.\nLoaded only first 999 programs!";
    case 5:
      return "Open old bank version 5.\nLoaded only first 2048 multisamples!";
    case 6:
      return nullptr;
    default:
      return "Open old bank version: 1 or 2.\nLoaded only first 128 programs!";
  }
}

void read_programs(bank& b, byte_source& in, int programs) {
  // One read for all records (thousands of small reads cost more than the bytes): a short
  // source fills what it holds and the rest keeps its reset values, which need no repair.
  in.read(b.image().blends, static_cast<std::size_t>(programs) * sizeof(blend));
  for (int i = 0; i < programs; ++i) repair_loaded_program(b.program(i));
}

std::uint64_t read_file_lists(bank& b, byte_source& text, int multisamples, host& h,
                              std::string_view what) {
  // At most one new text a line: tell the pool what may come so that its table is sized once.
  // A stored path with its line end is rarely under 16 bytes, so a short text gets a small
  // table (a few pages to clear instead of one per line); where short paths are many after
  // all, the table grows as they arrive.
  const std::uint64_t text_bytes =
      text.size() > text.position() ? text.size() - text.position() : 0;
  const std::uint64_t most = static_cast<std::uint64_t>(multisamples) * slots_per_multisample;
  constexpr std::uint64_t usual_shortest_line = 16;
  b.paths().reserve(static_cast<std::size_t>(std::min(most, text_bytes / usual_shortest_line)) + 1,
                    text_bytes);

  line_reader lines(text);
  try {
    read_lists(b, lines, multisamples, h, what);
  } catch (const line_too_long& e) {
    throw command_error(std::string(what) + format(": text line %llu of its file lists is longer "
                                                   "than %zu bytes, which no stored path is; "
                                                   "nothing after it is read.",
                                                   static_cast<unsigned long long>(e.line()),
                                                   max_line_bytes));
  }
  return lines.consumed();
}

void save_script(const bank& b, const std::filesystem::path& path, host& h) {
  progress_scope progress(h, 'w', "Saving QBS file...");
  atomic_output_file out(path);
  out.write(&b.image().global, sizeof(global_parameter));
  out.write(b.image().blends, sizeof b.image().blends);
  for (int n = 0; n < multisample_count; ++n) out.write(&b.multisample(n), multisample_head_size);
  for (int n = 0; n < multisample_count; ++n) {
    for (path_id id : b.files(n)) {
      out.write(b.paths().text(id));
      out.write("\r\n", 2);
    }
    h.progress_set_percent(static_cast<std::uint8_t>(n * 100 / multisample_count));
    h.process_events();
  }
  out.commit();
}

void load_script(bank& b, const std::filesystem::path& path, int version, host& h) {
  input_file in(path);
  load_script(b, in, version, h);
}

void load_script(bank& b, byte_source& in, int version, host& h) {
  if (version < 1 || version > 6) version = 2;
  {
    progress_scope progress(h, 'r', "Reading QBS file...");
    // A short file fills what it holds; the rest keeps its reset value.
    in.read(&b.globals(), sizeof(global_parameter));
    const int programs = programs_in_version(version);
    const int multisamples = multisamples_in_version(version);
    read_programs(b, in, programs);
    // The names and comments in reads of many records, then each into its record.
    constexpr int heads_per_read = 256;
    std::vector<char> heads(heads_per_read * multisample_head_size);
    for (int first = 0; first < multisamples; first += heads_per_read) {
      const int count = std::min(heads_per_read, multisamples - first);
      const std::size_t got = in.read(heads.data(), count * multisample_head_size);
      for (std::size_t at = 0, n = first; at < got; at += multisample_head_size, ++n)
        std::memcpy(&b.multisample(static_cast<int>(n)), heads.data() + at,
                    std::min(multisample_head_size, got - at));
      if (got < count * multisample_head_size) break;
    }
    read_file_lists(b, in, multisamples, h, "The script file");
  }
  if (const char* notice = old_version_notice(version)) h.message(notice, "Info");
}

void open_script(bank& b, const std::filesystem::path& path, int version, host& h) {
  // A file that cannot be opened stops the command before the reset, so the bank is kept.
  input_file{path};
  // Read into a bank of its own, so a script that turns out to be damaged or of another layout
  // half way through leaves the bank, its name and the window as they were.
  bank fresh;
  load_script(fresh, path, version, h);
  fresh.set_loaded_file_name(path_to_utf8(path));
  b.swap(fresh);
}

}  // namespace qbank
