// Whole-bank tools on a full bank, each against a baseline measured in the same run:
//   duplicate-sample report     find_duplicate_samples        vs `sort | uniq -d` of the same
//                                                                1.28 million paths
//   duplicate-multisample merge remove_duplicate_multisamples vs a fixed 100 ms
//   unused-multisample removal  remove_unused_multisamples    vs a fixed 100 ms
//   silence check               scan_silence (20 thresholds)  vs a cat-like read of the files
// The bank: 9999 programs using 9500 of the multisamples; 10000 multisamples x 128 paths of
// which 1% are copies of another multisample's list (so 1% of the paths are duplicated).
// Usage: bulk_bench [RUNS] [LIBRARY_MB]   (files go to $QBANK_BENCH_DIR, else /dev/shm)
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/duplicates.h"
#include "audio/silence.h"
#include "audio/wav_file.h"
#include "bank/bank.h"
#include "bench_support.h"
#include "edit/bulk_operations.h"

namespace qbank::bench {
namespace {

constexpr int copied_every = 100;  // every 100th multisample copies the list of the one before

// Fills the file lists: distinct paths, except that multisample m with m % 100 == 0 holds the
// list of m - 1. Programs use multisamples 1..9500 (two zones each).
void fill_full_bank(bank& b) {
  for (int m = 1; m < multisample_count; ++m)
    for (int j = 0; j < slots_per_multisample; ++j)
      b.set_file(m, j, full_bank_path(m % copied_every == 0 ? m - 1 : m, j));
  for (int i = 0; i < program_count; ++i) {
    b.program(i).zones[0].multisample = static_cast<std::uint16_t>(1 + i % 9500);
    b.program(i).release_zone.multisample = static_cast<std::uint16_t>(1 + (i * 7) % 9500);
  }
}

// Puts back what a removal changed, untimed: lists and zone references.
void restore(bank& b, const std::vector<file_list>& lists) {
  for (int m = 1; m < multisample_count; ++m)
    for (int j = 0; j < slots_per_multisample; ++j) b.set_file_id(m, j, lists[m][j]);
  for (int i = 0; i < program_count; ++i) {
    b.program(i).zones[0].multisample = static_cast<std::uint16_t>(1 + i % 9500);
    b.program(i).release_zone.multisample = static_cast<std::uint16_t>(1 + (i * 7) % 9500);
  }
}

// What `cat FILES > /dev/null` does: 128 KiB reads, each written to /dev/null.
void cat_files(const std::vector<std::filesystem::path>& files) {
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  std::vector<char> block(128 << 10);
  for (const auto& f : files) {
    const int fd = ::open(f.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) std::exit(2);
    for (ssize_t n; (n = ::read(fd, block.data(), block.size())) > 0;)
      if (::write(null, block.data(), static_cast<std::size_t>(n)) != n) std::exit(2);
    ::close(fd);
  }
  ::close(null);
}

// A library of mono 48 kHz WAV files of 1 MB each; `silent_tail` of their samples at the end
// are silent (the rest a loud tone), all of them when `silent_tail` covers the file.
std::vector<std::filesystem::path> write_library(const scratch_dir& dir, const char* name,
                                                 int files, std::uint32_t silent_tail) {
  constexpr std::uint32_t samples = 512 * 1024;
  std::vector<std::uint8_t> bytes(wav_canonical_header_size + samples * 2);
  const auto header = wav_canonical_header(1, samples * 2);
  std::copy(header.begin(), header.end(), bytes.begin());
  for (std::uint32_t i = 0; i < samples; ++i) {
    const std::int16_t s =
        i + silent_tail >= samples ? static_cast<std::int16_t>(i % 7) : (i % 2 ? 12000 : -12000);
    bytes[44 + 2 * i] = static_cast<std::uint8_t>(s);
    bytes[45 + 2 * i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8);
  }
  std::vector<std::filesystem::path> paths;
  std::filesystem::create_directories(dir / name);
  for (int k = 0; k < files; ++k) {
    paths.push_back(dir / name / ("note" + std::to_string(k) + ".wav"));
    write_plain_file(paths.back(), bytes.data(), bytes.size());
  }
  return paths;
}

int run(int runs, int library_mb) {
  null_host h;
  ratio_table table;
  table.header("seconds");

  {
    bank b;
    fill_full_bank(b);
    std::vector<file_list> lists(multisample_count);
    for (int m = 0; m < multisample_count; ++m) lists[m] = b.files(m);
    scratch_dir dir("/dev/shm");
    {
      std::string text;
      for (int m = 1; m < multisample_count; ++m)
        for (int j = 0; j < slots_per_multisample; ++j) (text += b.file(m, j)) += '\n';
      write_plain_file(dir / "paths.txt", text.data(), text.size());
    }
    const double sort_uniq = best_of(runs, [&] {
      shell("LC_ALL=C sort '" + (dir / "paths.txt").string() + "' | uniq -d > /dev/null");
    });
    std::uint64_t pairs = 0;
    const double report = best_of(runs, [&] { pairs = find_duplicate_samples(b, h); });
    if (pairs != 99u * 128)
      std::fprintf(stderr, "unexpected pair count %llu\n", (unsigned long long)pairs);
    table.row("duplicate-sample report / sort|uniq -d", report, sort_uniq, 3);

    std::uint32_t merged = 0;
    const double merge = best_of(
        runs, [&] { merged = remove_duplicate_multisamples(b, h); }, [&] { restore(b, lists); });
    if (merged != 99) std::fprintf(stderr, "unexpected merge count %u\n", merged);
    table.row("duplicate-multisample merge / 100 ms", merge, 0.1, 1);

    std::uint32_t removed = 0;
    const double unused = best_of(
        runs, [&] { removed = remove_unused_multisamples(b, h); }, [&] { restore(b, lists); });
    if (removed != 9999 - 9500) std::fprintf(stderr, "unexpected removal count %u\n", removed);
    table.row("unused-multisample removal / 100 ms", unused, 0.1, 1);
  }

  // The silence check reads files; MB per second against the cat-like loop over the same files.
  table.header("MB/s");
  scratch_dir dir("/dev/shm");
  const int files = std::max(1, library_mb);
  struct library {
    const char* name;
    const char* row;
    std::uint32_t tail;
  };
  for (const library& lib : {library{"notes", "silence check, 20 ms tails / cat", 960},
                             library{"silent", "silence check, silent files / cat", 512 * 1024}}) {
    const auto paths = write_library(dir, lib.name, files, lib.tail);
    bank b;
    for (std::size_t k = 0; k < paths.size(); ++k)
      b.set_file(static_cast<int>(k / 128), static_cast<int>(k % 128), paths[k].string());
    const double mb = files * (1 + 44.0 / (1 << 20));
    const double cat = best_of(runs, [&] { cat_files(paths); });
    const double scan = best_of(runs, [&] { scan_silence(b, h, true); });
    table.row_at_least(lib.row, mb / scan, mb / cat, 0.7);
  }
  return table.done();
}

}  // namespace
}  // namespace qbank::bench

int main(int argc, char** argv) {
  const int runs = qbank::bench::runs_argument(argc, argv, 5);
  const int library_mb = argc > 2 ? std::atoi(argv[2]) : 256;
  return qbank::bench::run(runs < 1 ? 1 : runs, library_mb);
}
