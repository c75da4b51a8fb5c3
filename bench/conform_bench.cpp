// Conform against sox, each measured in the same run:
//   throughput  conform of a folder of 44.1 kHz 24-bit stereo files into 16-bit 48 kHz ones,
//               against `sox IN -b 16 -r 48000 OUT rate -v` run over the same files one by one
//               (the same resampler at its very-high quality, with sox's dither)
//   memory      the peak resident size of a fresh process conforming one long file, against
//               one conforming a short file: conform works in blocks, so the length of the file
//               must not show
// Usage: conform_bench [RUNS] [FILES] [SECONDS]   (default 3 runs of 8 files of 20 s; files go to
// $QBANK_BENCH_DIR, else /tmp)
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/conform.h"
#include "bank/bank.h"
#include "bench_support.h"
#include "platform/paths.h"

namespace qbank::bench {
namespace {

namespace fs = std::filesystem;

void conform_files(const std::vector<fs::path>& files, const fs::path& into) {
  null_host h;
  auto b = std::make_unique<bank>();
  for (std::size_t k = 0; k < files.size(); ++k)
    b->set_file(1, static_cast<int>(k), stored_path(files[k]));
  conform_options o;
  o.into = into;
  conform_bank(*b, o, h);
}

// The child process of the memory rows: conforms one file, prints its peak resident size.
int peak_child(const char* file, const char* into) {
  return print_peak_after([&] { conform_files({path_from_utf8(file)}, path_from_utf8(into)); });
}

}  // namespace
}  // namespace qbank::bench

int main(int argc, char** argv) {
  using namespace qbank::bench;
  if (argc == 4 && std::string(argv[1]) == "peak") return peak_child(argv[2], argv[3]);
  const int runs = qbank::bench::runs_argument(argc, argv, 3);
  const int count = argc > 2 ? std::atoi(argv[2]) : 8;
  const int seconds = argc > 3 ? std::atoi(argv[3]) : 20;
  scratch_dir dir("/tmp");
  const fs::path lib = dir / "lib";
  fs::create_directories(lib);
  std::vector<fs::path> files;
  for (int k = 0; k < count; ++k) {
    files.push_back(lib / ("Sample " + std::to_string(k) + ".wav"));
    make_stereo_source(files.back(), seconds);
  }
  const fs::path out = dir / "out";
  const fs::path sox_out = dir / "sox";
  const double conform_time = best_of(
      runs, [&] { conform_files(files, out); },
      [&] {
        fs::remove_all(out);
        fs::create_directories(out);
      });
  std::string sox_command;
  for (const fs::path& f : files)
    sox_command += "sox '" + f.string() + "' -b 16 -r 48000 '" + (sox_out / f.filename()).string() +
                   "' rate -v && ";
  sox_command += "true";
  const double sox_time = best_of(
      runs, [&] { shell(sox_command); },
      [&] {
        fs::remove_all(sox_out);
        fs::create_directories(sox_out);
      });
  const double audio_seconds = static_cast<double>(count) * seconds;

  const fs::path long_file = lib / "long.wav";
  const fs::path short_file = lib / "short.wav";
  make_stereo_source(long_file, 300);
  make_stereo_source(short_file, 1);
  const double long_peak =
      static_cast<double>(run_self({"peak", long_file.string(), (dir / "peak_long").string()}));
  const double short_peak =
      static_cast<double>(run_self({"peak", short_file.string(), (dir / "peak_short").string()}));

  ratio_table table;
  table.header("value");
  table.row_at_least("conform audio s per s / sox rate -v", audio_seconds / conform_time,
                     audio_seconds / sox_time, 0.5);
  table.row("peak RSS MB, 300 s file / 1 s file", long_peak / (1 << 20), short_peak / (1 << 20),
            1.1);
  return table.done();
}
