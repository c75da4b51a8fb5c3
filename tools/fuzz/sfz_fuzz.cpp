// SFZ text from memory: the input is one or more files separated by NUL bytes, the first read
// as "i.sfz" and file k as "k.sfz", so #include reaches the others (and itself). Every input
// either reads or stops with instrument_error; the regions keep their promises.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/sfz_reader.h"
#include "platform/file_io.h"
#include "region_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> files(1);
  for (std::size_t k = 0; k < size; ++k) {
    if (data[k] == 0)
      files.emplace_back();
    else
      files.back() += static_cast<char>(data[k]);
  }
  const qbank::include_opener open = [&files](const std::filesystem::path& p) {
    const std::string stem = p.stem().string();
    std::size_t k = 0;
    if (p.extension() != ".sfz" || stem.empty() || stem.size() > 3 ||
        stem.find_first_not_of("0123456789") != std::string::npos ||
        (k = std::stoul(stem)) >= files.size())
      throw qbank::file_error(p, "not there");
    return std::unique_ptr<qbank::byte_source>(
        std::make_unique<qbank::memory_source>(files[k].data(), files[k].size()));
  };
  qbank::memory_source root(files[0].data(), files[0].size());
  try {
    const qbank::instrument inst = qbank::read_sfz(root, "i.sfz", open);
    qbank::fuzz::check_file_regions(inst);
  } catch (const qbank::instrument_error&) {
  }
  return 0;
}
