// Instrument import, each measure against its baseline in the same run:
//   rendering   one region over all 128 keys from a 2 s 44.1 kHz stereo sample: seconds of
//               audio rendered (summed over the slots) per second of wall time, against real time
//   library     import of a generated SFZ library (one 44.1 kHz 24-bit stereo file per key),
//               against conform of the same files: the same decoding and resampling
//   memory      the peak resident size of a fresh process importing a library of 4 x FILES
//               files, against one importing FILES: the audio is taken one sample at a time
// Usage: import_bench [RUNS] [FILES] [SECONDS]   (default 3 runs of 16 files of 10 s; files go to
// $QBANK_BENCH_DIR, else /tmp)
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/conform.h"
#include "bank/bank.h"
#include "bench_support.h"
#include "instrument/instrument_file.h"
#include "instrument/instrument_import.h"
#include "platform/paths.h"

namespace qbank::bench {
namespace {

namespace fs = std::filesystem;

void write_text(const fs::path& path, const std::string& text) {
  write_plain_file(path, text.data(), text.size());
}

// The SFZ of a library of `count` files, one key each from key 24 up.
fs::path make_library(const fs::path& folder, int count, double seconds) {
  fs::create_directories(folder);
  std::string sfz;
  for (int k = 0; k < count; ++k) {
    const std::string name = "Sample " + std::to_string(k) + ".wav";
    if (!fs::exists(folder / name)) make_stereo_source(folder / name, seconds);
    sfz += "<region> sample=" + name + " key=" + std::to_string(24 + k) + "\n";
  }
  write_text(folder / "Library.sfz", sfz);
  return folder / "Library.sfz";
}

void import_file(const fs::path& file, const fs::path& into, fill_mode fill) {
  null_host h;
  auto b = std::make_unique<bank>();
  import_options o;
  o.into = into;
  o.fill = fill;
  o.file = file;
  import_instrument(*b, read_instrument_file(file), o, h);
}

// Seconds of audio in the slot files below `folder` (16-bit stereo at 48000 Hz).
double rendered_seconds(const fs::path& folder) {
  double bytes = 0;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) bytes += static_cast<double>(e.file_size() - 44);
  return bytes / (48000.0 * 4);
}

// The child process of the memory row: imports one library, prints its peak resident size.
int peak_child(const char* file, const char* into) {
  return print_peak_after(
      [&] { import_file(path_from_utf8(file), path_from_utf8(into), fill_mode::root); });
}

}  // namespace
}  // namespace qbank::bench

int main(int argc, char** argv) {
  using namespace qbank::bench;
  using qbank::fill_mode;
  if (argc == 4 && std::string(argv[1]) == "peak") return peak_child(argv[2], argv[3]);
  const int runs = qbank::bench::runs_argument(argc, argv, 3);
  const int count = argc > 2 ? std::atoi(argv[2]) : 16;
  const double seconds = argc > 3 ? std::atof(argv[3]) : 10;
  scratch_dir dir("/tmp");

  // Rendering: every key of one region.
  fs::create_directories(dir / "one");
  make_stereo_source(dir / "one" / "Pad.wav", 2);
  write_text(dir / "one" / "Pad.sfz", "<region> sample=Pad.wav lokey=0 hikey=127\n");
  const fs::path rendered = dir / "rendered";
  const double render_time = best_of(
      runs, [&] { import_file(dir / "one" / "Pad.sfz", rendered, fill_mode::render); },
      [&] { fs::remove_all(rendered); });
  const double render_seconds = rendered_seconds(rendered);

  // A library, imported and conformed.
  const fs::path library = make_library(dir / "lib", count, seconds);
  const fs::path imported = dir / "imported", conformed = dir / "conformed";
  const double import_time = best_of(
      runs, [&] { import_file(library, imported, fill_mode::root); },
      [&] { fs::remove_all(imported); });
  const double conform_time = best_of(
      runs,
      [&] {
        qbank::null_host h;
        auto b = std::make_unique<qbank::bank>();
        for (int k = 0; k < count; ++k)
          b->set_file(1, k,
                      qbank::stored_path(dir / "lib" / ("Sample " + std::to_string(k) + ".wav")));
        qbank::conform_options o;
        o.into = conformed;
        qbank::conform_bank(*b, o, h);
      },
      [&] { fs::remove_all(conformed); });

  // Memory: a library four times as large.
  const fs::path large = make_library(dir / "large", 4 * count, seconds);
  const double large_peak =
      static_cast<double>(run_self({"peak", large.string(), (dir / "peak_large").string()}));
  const double small_peak =
      static_cast<double>(run_self({"peak", library.string(), (dir / "peak_small").string()}));

  ratio_table table;
  table.header("value");
  table.row_at_least("render 128 slots, audio s per s / real time", render_seconds / render_time,
                     1.0, 50);
  table.row("import of a library s / conform of its audio", import_time, conform_time, 1.5);
  table.row("peak RSS MB, 4x library / 1x library", large_peak / (1 << 20), small_peak / (1 << 20),
            1.1);
  return table.done();
}
