// The bank manager's heavy operations, each against a baseline measured in the same run:
//   transfer  transfer_program of a program with 14 references into a full main bank (9999
//             multisamples of 128 distinct paths): against a budget of 5 ms, and, for scale,
//             against one pass that reads every file-list entry of the main bank once
//   export    export_library of a bank built from mono WAV files (256 MB by default), as
//             throughput against `cp -r` of the same WAV files followed by `sync` of the copies
// Usage: manager_bench [RUNS] [LIBRARY_MB]   (files go to $QBANK_BENCH_DIR, else /tmp)
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "audio/wav_file.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/bank_reader.h"
#include "bench_support.h"
#include "manager/program_transfer.h"
#include "manager/wav_export.h"
#include "platform/paths.h"

namespace qbank::bench {
namespace {

namespace fs = std::filesystem;

void transfer_rows(ratio_table& table, int runs) {
  null_host h;
  auto main = std::make_unique<bank>();
  for (int n = 1; n < multisample_count; ++n) {
    std::memcpy(main->multisample(n).name, "Instrument      ", 16);
    for (int j = 0; j < slots_per_multisample; ++j) main->set_file(n, j, full_bank_path(n, j));
  }
  auto source = std::make_unique<bank>();
  // Seven references equal to main multisamples spread over the bank, seven that find no free
  // one (the main bank is full): the worst case for the lookups.
  blend& p = source->program(0);
  auto refs = multisample_references(p);
  for (int r = 0; r < 14; ++r) {
    const int n = r + 1;
    *refs[r] = static_cast<std::uint16_t>(n);
    std::memcpy(source->multisample(n).name, "Instrument      ", 16);
    const int like = r < 7 ? 1400 * (r + 1) : 20000 + r;
    for (int j = 0; j < slots_per_multisample; ++j) source->set_file(n, j, full_bank_path(like, j));
  }
  const double transfer = best_of(runs * 5, [&] { transfer_program(*main, *source, 0, 0, h); });
  std::uint64_t sum = 0;
  const double scan = best_of(runs * 5, [&] {
    for (int n = 0; n < multisample_count; ++n)
      for (path_id id : main->files(n)) sum += id;
  });
  if (sum == 42) std::printf(" ");
  table.row("transfer_program (ms) / 5 ms budget", transfer * 1e3, 5.0, 1.0);
  table.row_info("transfer_program / one pass over the lists", transfer, scan);
}

void export_rows(ratio_table& table, int runs, std::uint64_t library_mb) {
  scratch_dir dir("/tmp");
  null_host h;
  const fs::path lib = dir / "library";
  fs::create_directories(lib);
  const std::uint32_t file_bytes = 2u << 20;
  std::vector<std::uint8_t> wav(44 + file_bytes);
  const auto header = wav_canonical_header(1, file_bytes);
  std::memcpy(wav.data(), header.data(), header.size());
  std::uint32_t x = 7;
  for (std::size_t k = 44; k < wav.size(); ++k) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    wav[k] = static_cast<std::uint8_t>(x >> 24);
  }
  auto b = std::make_unique<bank>();
  const int files = static_cast<int>(std::max<std::uint64_t>(1, (library_mb << 20) / file_bytes));
  for (int k = 0; k < files; ++k) {
    const fs::path file = lib / ("Sample " + std::to_string(k) + ".wav");
    write_plain_file(file, wav.data(), wav.size());
    b->set_file(1 + k / slots_per_multisample, k % slots_per_multisample, stored_path(file));
  }
  if (!build_bank_file(*b, dir / "bench.qbb", h)) std::exit(2);
  if (!open_bank_file(*b, dir / "bench.qbb", h)) std::exit(2);
  const double copy = best_of(
      runs,
      [&] {
        shell("cp -r '" + lib.string() + "' '" + (dir / "copy").string() + "' && sync '" +
              (dir / "copy").string() + "'/*");
      },
      [&] { fs::remove_all(dir / "copy"); });
  fs::remove_all(dir / "copy");
  const folder_chooser into = [&](std::string_view, std::string_view) {
    return std::optional<fs::path>(dir / "export");
  };
  const double exported = best_of(
      runs, [&] { export_library(*b, into, h); },
      [&] {
        fs::remove_all(dir / "export");
        fs::create_directories(dir / "export");
      });
  const double bytes = static_cast<double>(files) * file_bytes / (1 << 20);
  table.row_at_least("export_library MB/s / cp -r + sync", bytes / exported, bytes / copy, 0.8);
}

}  // namespace
}  // namespace qbank::bench

int main(int argc, char** argv) {
  const int runs = qbank::bench::runs_argument(argc, argv, 3);
  const std::uint64_t library_mb = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 256;
  qbank::bench::ratio_table table;
  table.header("value");
  qbank::bench::transfer_rows(table, runs);
  qbank::bench::export_rows(table, runs, library_mb);
  return table.done();
}
