#include "support/temp_dir.h"

#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>

#include "platform/file_io.h"

namespace qbank::testing {

temp_dir::temp_dir() {
  static std::mt19937_64 random{std::random_device{}()};
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        base / ("qbank-test-" + std::to_string(random() % 1'000'000'000'000ull));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

temp_dir::~temp_dir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

bool folder_refuses_writes(const std::filesystem::path& folder) {
  const std::filesystem::path probe = folder / "write-probe";
  std::FILE* f = nullptr;
#ifdef _WIN32
  f = ::_wfopen(probe.c_str(), L"wb");
#else
  f = std::fopen(probe.c_str(), "wb");
#endif
  if (!f) return true;
  std::fclose(f);
  std::error_code ec;
  std::filesystem::remove(probe, ec);
  return false;
}

std::string file_text(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = read_whole_file(path);
  return {bytes.begin(), bytes.end()};
}

}  // namespace qbank::testing
