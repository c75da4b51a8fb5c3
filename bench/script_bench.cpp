// Script file speed and memory, each against a baseline measured in the same run:
//   load   load_script of a full version-6 script   vs reading the file and counting its lines
//   save   save_script of that bank                 vs writing the same bytes in one write call
//   memory resident growth of a bank holding the script's 1.28 million distinct paths
//          vs the paths' text plus the 15,362,048-byte image; and of what the window holds at
//          most: two such banks (main and manager) and a full second-generation bank
// The script: 10000 multisamples x 128 distinct paths of about 60 characters (~87 MB).
// Usage: script_bench [RUNS]   (files go to $QBANK_BENCH_DIR, else /dev/shm)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "bench_support.h"
#include "manager/s2_bank.h"
#include "platform/file_io.h"

namespace qbank::bench {
namespace {

// Writes the script directly (not through save_script, which is measured): the records of a
// reset bank, then every path. Returns the bytes of path text (without line ends).
std::uint64_t write_bench_script(const std::filesystem::path& path) {
  bank b;
  std::vector<char> bytes;
  bytes.reserve(96u << 20);
  auto put = [&](const void* p, std::size_t n) {
    bytes.insert(bytes.end(), static_cast<const char*>(p), static_cast<const char*>(p) + n);
  };
  put(&b.image().global, sizeof(global_parameter));
  put(b.image().blends, sizeof b.image().blends);
  for (int n = 0; n < multisample_count; ++n) put(&b.multisample(n), name_size + comment_size);
  std::uint64_t text = 0;
  for (int n = 0; n < multisample_count; ++n) {
    for (int j = 0; j < slots_per_multisample; ++j) {
      const std::string p = full_bank_path(n, j);
      put(p.data(), p.size());
      put("\r\n", 2);
      text += p.size();
    }
  }
  write_whole_file(path, bytes.data(), bytes.size());
  return text;
}

// The baseline reader: the whole file in 4 MiB blocks, counting line feeds.
std::uint64_t count_lines(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) std::exit(2);
  std::vector<char> block(4u << 20);
  std::uint64_t lines = 0;
  for (;;) {
    const ssize_t n = ::read(fd, block.data(), block.size());
    if (n <= 0) break;
    lines += static_cast<std::uint64_t>(std::count(block.data(), block.data() + n, '\n'));
  }
  ::close(fd);
  return lines;
}

// The least any loader that keeps the texts must do: the whole file read into freshly
// allocated memory and its line ends found, nothing stored or compared. Returns the lines.
std::uint64_t read_and_split(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) std::exit(2);
  const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
  std::unique_ptr<char[]> memory(new char[size]);
  if (::read(fd, memory.get(), size) != static_cast<ssize_t>(size)) std::exit(2);
  ::close(fd);
  std::uint64_t lines = 0;
  const char* p = memory.get();
  const char* end = p + size;
  while (const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
    ++lines;
    p = static_cast<const char*>(nl) + 1;
  }
  return lines;
}

// The child of the memory measure: the resident growth of loading the script into a new bank.
int measure_memory(const char* script) {
  null_host h;
  const std::uint64_t before = proc_status_bytes("VmRSS");
  bank b;
  load_script(b, script, 6, h);
  const std::uint64_t after = proc_status_bytes("VmRSS");
  if (b.paths().size() != 1 + 1'280'000u) return 3;
  std::printf("%llu\n", static_cast<unsigned long long>(after - before));
  return 0;
}

// The child of the window-sized memory measure: the main and the manager bank loaded from the
// script, and a second-generation bank whose 10000 x 128 slots all name distinct paths.
int measure_window_memory(const char* script) {
  null_host h;
  const std::uint64_t before = proc_status_bytes("VmRSS");
  bank main_bank, manager_bank;
  load_script(main_bank, script, 6, h);
  load_script(manager_bank, script, 6, h);
  s2_bank s2;
  for (int n = 0; n < s2_multisample_count; ++n)
    for (int j = 0; j < slots_per_multisample; ++j) s2.set_file(n, j, full_bank_path(n, j));
  const std::uint64_t after = proc_status_bytes("VmRSS");
  if (s2.file(9999, 127) != full_bank_path(9999, 127)) return 3;
  std::printf("%llu\n", static_cast<unsigned long long>(after - before));
  return 0;
}

int run(int runs) {
  scratch_dir dir("/dev/shm");
  const std::filesystem::path script = dir / "bench.qbs";
  const std::filesystem::path saved = dir / "saved.qbs";
  const std::uint64_t text_bytes = write_bench_script(script);
  const std::uint64_t file_bytes = std::filesystem::file_size(script);
  std::printf("script: %llu bytes, %llu bytes of path text, in %s; best of %d runs\n\n",
              static_cast<unsigned long long>(file_bytes),
              static_cast<unsigned long long>(text_bytes), dir.path().c_str(), runs);

  // Memory in a fresh process, whose heap holds nothing of this one's.
  const std::uint64_t grown = run_self({"--memory", script.string()});
  const std::uint64_t window_grown = run_self({"--window-memory", script.string()});

  null_host h;
  bank b;
  std::uint64_t lines = 0;
  const double read_lines = best_of(runs, [&] { lines = count_lines(script); });
  const double load = best_of(
      runs, [&] { load_script(b, script, 6, h); }, [&] { b.reset(); });
  // The records hold a few 0x0A bytes too, so the count is a little above the 1,280,000 lines.
  if (lines < 1'280'000u || b.file(9999, 127) != full_bank_path(9999, 127)) {
    std::fprintf(stderr, "the script did not load back as written\n");
    return 2;
  }

  std::uint64_t split_lines = 0;
  const double floor = best_of(runs, [&] { split_lines = read_and_split(script); });
  if (split_lines != lines) std::exit(2);

  const std::vector<std::uint8_t> bytes = read_whole_file(script);
  const double write_once =
      best_of(runs, [&] { write_in_one_call(saved, bytes.data(), bytes.size()); });
  const double save = best_of(runs, [&] { save_script(b, saved, h); });
  if (read_whole_file(saved) != bytes) {
    std::fprintf(stderr, "save_script did not write the bytes it loaded\n");
    return 2;
  }

  ratio_table table;
  table.header("seconds");
  table.row("load_script / read + count lines", load, read_lines, 5.0);
  table.row("load_script / floor", load, floor, 1.3);
  table.row_info("  floor: read into memory + split lines", floor, read_lines);
  table.row("save_script / one write call", save, write_once, 5.0);
  std::printf("\n");
  table.header("MB");
  const double budget = 1.5 * static_cast<double>(text_bytes) + bank_image_size;
  table.row("bank RSS growth / (1.5 x text + image)", grown / 1e6, budget / 1e6, 1.0);
  std::printf("  (RSS growth %.1f MB = image %.1f MB + %.2f x the path text %.1f MB)\n\n",
              grown / 1e6, bank_image_size / 1e6,
              (static_cast<double>(grown) - bank_image_size) / static_cast<double>(text_bytes),
              text_bytes / 1e6);
  // The second-generation bank holds the same 1.28 million texts as either bank.
  const double window_budget = 3 * 1.5 * static_cast<double>(text_bytes) + 2 * bank_image_size +
                               static_cast<double>(sizeof(s2_image));
  table.row("window's 3 banks RSS / (1.5 x text + images)", window_grown / 1e6, window_budget / 1e6,
            1.0);
  std::printf("\n");
  return table.done();
}

}  // namespace
}  // namespace qbank::bench

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--memory")
    return qbank::bench::measure_memory(argv[2]);
  if (argc == 3 && std::string_view(argv[1]) == "--window-memory")
    return qbank::bench::measure_window_memory(argv[2]);
  const int runs = qbank::bench::runs_argument(argc, argv, 5);
  return qbank::bench::run(runs);
}
