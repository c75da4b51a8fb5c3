// Bank build and bank reading, each against a baseline measured in the same run:
//   build     build_bank_file of a library of mono and stereo WAV files (1 GiB by default),
//             as throughput against `cp -r` of the same files followed by `sync` of the copies
//   peak      the build's resident high-water mark (VmHWM) above the 15,362,048-byte image,
//             measured in a fresh process: at most 64 MB
//   validate  validate_for_build of 100,000 slot files against a loop that opens each file,
//             reads 64 bytes and closes it, and (for scale) the same loop with an fstat
//   read      read_bank_file of a full bank (header, a 32 MB audio area, 1.28 million distinct
//             paths) against a cat-like loop over the same header and path-name bytes
// Usage: bank_build_bench [RUNS] [LIBRARY_MB] [PARTS]   (files go to $QBANK_BENCH_DIR, else /tmp)
// PARTS names the measures to run, for example "read" or "build,validate"; all by default.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "audio/wav_file.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/bank_reader.h"
#include "bank/script_file.h"
#include "bench_support.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace qbank::bench {
namespace {

namespace fs = std::filesystem;

// A WAV file of `data_bytes` bytes of noise-like audio (varied so nothing is trivially cheap).
std::vector<std::uint8_t> wav_file(int channels, std::uint32_t data_bytes, std::uint32_t seed) {
  const auto header = wav_canonical_header(channels, data_bytes);
  std::vector<std::uint8_t> bytes(header.begin(), header.end());
  bytes.resize(header.size() + data_bytes);
  std::uint32_t x = seed | 1;
  for (std::size_t k = header.size(); k < bytes.size(); ++k) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[k] = static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}

struct library {
  std::uint64_t wav_bytes = 0;
  int files = 0;
};

// Half the bytes in 2 MB mono files, half in 4 MB stereo files, placed in multisamples 1, 2, ...
library make_library(bank& b, const fs::path& dir, std::uint64_t total) {
  fs::create_directories(dir);
  library lib;
  const std::vector<std::uint8_t> mono = wav_file(1, 2u << 20, 7);
  const std::vector<std::uint8_t> stereo = wav_file(2, 4u << 20, 11);
  for (int k = 0; lib.wav_bytes < total; ++k) {
    const std::vector<std::uint8_t>& bytes = k % 3 == 2 ? stereo : mono;
    char name[32];
    std::snprintf(name, sizeof name, "take %04d.wav", k);
    write_plain_file(dir / name, bytes.data(), bytes.size());
    b.set_file(1 + k / slots_per_multisample, k % slots_per_multisample, stored_path(dir / name));
    lib.wav_bytes += bytes.size();
    ++lib.files;
  }
  return lib;
}

// 100,000 small WAV files (1 KiB of audio each) in slots of multisamples 1..782.
std::vector<std::string> make_small_files(bank& b, const fs::path& dir, int count) {
  fs::create_directories(dir);
  const std::vector<std::uint8_t> bytes = wav_file(1, 1024, 3);
  std::vector<std::string> paths;
  for (int k = 0; k < count; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "%03d/s%06d.wav", k / 1000, k);
    const fs::path path = dir / name;
    if (k % 1000 == 0) fs::create_directories(path.parent_path());
    write_plain_file(path, bytes.data(), bytes.size());
    b.set_file(1 + k / slots_per_multisample, k % slots_per_multisample, stored_path(path));
    paths.push_back(path.string());
  }
  return paths;
}

// The baseline of the validation: open, read 64 bytes, close.
void open_read_close(const std::vector<std::string>& paths) {
  char head[64];
  for (const std::string& p : paths) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::read(fd, head, sizeof head) != sizeof head) std::exit(2);
    ::close(fd);
  }
}

// The same with the one call the validation cannot leave out: fstat, for the size the data
// chunk is checked against and to refuse what is not a regular file (a named pipe, a folder).
void open_stat_read_close(const std::vector<std::string>& paths) {
  char head[64];
  struct stat st;
  for (const std::string& p : paths) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, &st) != 0 || ::read(fd, head, sizeof head) != sizeof head)
      std::exit(2);
    ::close(fd);
  }
}

// A full bank file written directly: the records of a bank whose multisample 1 has one slot of
// 65535 sectors (left as a hole in the file), then the path-name area of 1.28 million distinct
// paths. Returns where the path-name area starts.
std::uint64_t make_full_bank(const fs::path& path) {
  bank b;
  slot& s = b.multisample(1).slots[0];
  s.first_sector = bank_image_sectors;
  s.sector_count = 65535;
  const std::uint64_t area = (std::uint64_t{s.first_sector} + s.sector_count) * sector_size;
  std::vector<char> bytes(reinterpret_cast<const char*>(b.image_bytes()),
                          reinterpret_cast<const char*>(b.image_bytes()) + bank_image_size);
  bytes.resize(area, '\0');
  for (int n = 0; n < multisample_count; ++n) {
    for (int j = 0; j < slots_per_multisample; ++j) {
      const std::string p = full_bank_path(n, j);
      bytes.insert(bytes.end(), p.begin(), p.end());
      bytes.push_back('\r');
      bytes.push_back('\n');
    }
  }
  write_plain_file(path, bytes.data(), bytes.size());
  return area;
}

// What `cat` does with byte ranges of a file: 128 KiB reads, each written to /dev/null.
// The least any reader that keeps the path texts must do: read the header and the path-name
// area into freshly allocated memory and find the line ends, without storing or comparing a
// single path. Returns the number of lines, so that nothing is optimised away.
std::size_t read_and_split(const fs::path& path, std::uint64_t area, std::uint64_t size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) std::exit(2);
  const std::size_t bytes = bank_image_size + static_cast<std::size_t>(size - area);
  std::unique_ptr<char[]> memory(new char[bytes]);
  if (::pread(fd, memory.get(), bank_image_size, 0) != static_cast<ssize_t>(bank_image_size) ||
      ::pread(fd, memory.get() + bank_image_size, bytes - bank_image_size,
              static_cast<off_t>(area)) != static_cast<ssize_t>(bytes - bank_image_size))
    std::exit(2);
  ::close(fd);
  std::size_t lines = 0;
  const char* p = memory.get() + bank_image_size;
  const char* end = memory.get() + bytes;
  while (const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
    ++lines;
    p = static_cast<const char*>(nl) + 1;
  }
  return lines;
}

void cat_ranges(const fs::path& path,
                std::initializer_list<std::pair<std::uint64_t, std::uint64_t>> ranges) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (fd < 0 || null < 0) std::exit(2);
  std::vector<char> block(128 << 10);
  for (const auto& [from, to] : ranges) {
    for (std::uint64_t at = from; at < to;) {
      const ssize_t n = ::pread(fd, block.data(), std::min<std::uint64_t>(block.size(), to - at),
                                static_cast<off_t>(at));
      if (n <= 0 || ::write(null, block.data(), static_cast<std::size_t>(n)) != n) std::exit(2);
      at += static_cast<std::uint64_t>(n);
    }
  }
  ::close(fd);
  ::close(null);
}

// The child of the peak measure: load the script, build, and report the high-water mark above
// the process's size before the bank existed and above the image.
int measure_build_peak(const char* script, const char* out) {
  null_host h;
  const std::uint64_t before = proc_status_bytes("VmRSS");
  bank b;
  load_script(b, script, 6, h);
  if (!build_bank_file(b, out, h)) return 3;
  const auto excess = static_cast<long long>(proc_status_bytes("VmHWM")) -
                      static_cast<long long>(before) - static_cast<long long>(bank_image_size);
  std::printf("%lld\n", std::max(0LL, excess));
  return 0;
}

int run(int runs, std::uint64_t library_mb, std::string_view parts) {
  scratch_dir dir("/tmp");
  null_host h;
  ratio_table table;
  std::printf("files in %s; best of %d runs\n\n", dir.path().c_str(), runs);
  const auto wanted = [parts](std::string_view part) {
    return parts.empty() || parts.find(part) != std::string_view::npos;
  };

  if (wanted("build")) {
    bank b;
    const library lib = make_library(b, dir / "library", library_mb << 20);
    const fs::path bank_file = dir / "out" / "bench.qbb";
    fs::create_directories(bank_file.parent_path());
    const double copy = best_of(
        runs,
        [&] {
          shell("cp -r '" + (dir / "library").string() + "' '" + (dir / "copy").string() +
                "' && sync '" + (dir / "copy").string() + "'/*");
        },
        [&] { fs::remove_all(dir / "copy"); });
    fs::remove_all(dir / "copy");
    const double build = best_of(
        runs,
        [&] {
          if (!build_bank_file(b, bank_file, h)) std::exit(2);
        },
        [&] { fs::remove(bank_file); });
    const double mb = lib.wav_bytes / 1e6;
    const std::uint64_t bank_bytes = fs::file_size(bank_file);
    std::printf("library: %d WAV files, %.0f MB (a third of the files stereo); bank %.0f MB\n",
                lib.files, mb, bank_bytes / 1e6);
    fs::remove(bank_file);
    // The disk's own write speed: dd writing as many bytes as the bank holds, synced at the end.
    const fs::path dd_file = dir / "out" / "dd.bin";
    const double dd = best_of(
        runs,
        [&] {
          shell("dd if=/dev/zero of='" + dd_file.string() + "' bs=4M count=" +
                std::to_string(bank_bytes) + " iflag=count_bytes conv=fdatasync status=none");
        },
        [&] { fs::remove(dd_file); });
    fs::remove(dd_file);
    table.header("MB/s");
    table.row_at_least("build throughput / cp + sync", mb / build, mb / copy, 0.8);
    table.row_at_least("build bank bytes / dd conv=fdatasync", bank_bytes / 1e6 / build,
                       bank_bytes / 1e6 / dd, 0.9);

    save_script(b, dir / "library.qbs", h);
    const auto excess = static_cast<double>(
        run_self({"--build-peak", (dir / "library.qbs").string(), bank_file.string()}));
    table.header("MB");
    table.row("build peak RSS above the image / 64 MB", excess / 1e6, 64.0 * (1 << 20) / 1e6, 1.0);
    fs::remove(bank_file);
    fs::remove_all(dir / "library");
  }
  std::printf("\n");
  if (wanted("validate")) {
    bank b;
    const std::vector<std::string> paths = make_small_files(b, dir / "small", 100'000);
    const double loop = best_of(runs, [&] { open_read_close(paths); });
    const double stat_loop = best_of(runs, [&] { open_stat_read_close(paths); });
    validation_result r;
    const double validate = best_of(runs, [&] { r = validate_for_build(b, h); });
    if (r.errors() != 0) std::exit(2);
    table.header("seconds");
    table.row("validate 100,000 files / open+read+close", validate, loop, 1.2);
    table.row_info("  floor: open+fstat+read+close / open+read+close", stat_loop, loop);
    table.row_info("validate 100,000 files / floor", validate, stat_loop);
    fs::remove_all(dir / "small");
  }
  if (wanted("read")) {
    const fs::path full = dir / "full.qbb";
    const std::uint64_t area = make_full_bank(full);
    const std::uint64_t size = fs::file_size(full);
    const double cat = best_of(runs, [&] {
      cat_ranges(full, {{0, bank_image_size}, {area, size}});
    });
    bank b;
    const double read = best_of(
        runs,
        [&] {
          if (!read_bank_file(b, full, reader_variant::main, h)) std::exit(2);
        },
        [&] { b.reset(); });
    if (b.file(9999, 127) != full_bank_path(9999, 127)) std::exit(2);
    table.row("read full bank (header+paths) / cat", read, cat, 3.0);
    std::size_t lines = 0;
    const double floor = best_of(runs, [&] { lines = read_and_split(full, area, size); });
    if (lines != 1'280'000) std::exit(2);
    table.row_info("  floor: read into memory + split lines / cat", floor, cat);
    table.row("read full bank (header+paths) / floor", read, floor, 1.3);
  }
  std::printf("\n");
  return table.done();
}

}  // namespace
}  // namespace qbank::bench

int main(int argc, char** argv) {
  if (argc == 4 && std::string_view(argv[1]) == "--build-peak")
    return qbank::bench::measure_build_peak(argv[2], argv[3]);
  const int runs = qbank::bench::runs_argument(argc, argv, 3);
  const std::uint64_t library_mb = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1024;
  return qbank::bench::run(runs, library_mb, argc > 3 ? argv[3] : "");
}
