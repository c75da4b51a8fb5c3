// The WAV export's data path from memory. Input: the part size, a stored path and a common
// path (each a length byte and the bytes), the number of slot records, the records (first
// sector, sector count), then the bank file's bytes, cut into parts. Each slot's audio is
// exported into a counter rather than a file; the stored path is mapped below the export
// folder and must stay there.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "bank/bank_format.h"
#include "bank/split_file.h"
#include "fuzz_input.h"
#include "manager/wav_export.h"
#include "ui/null_host.h"

namespace {

std::string_view text(std::span<const std::uint8_t> s) {
  return {reinterpret_cast<const char*>(s.data()), s.size()};
}

// The mapped path: relative, no drive, no empty, "." or ".." component, no forbidden character.
void check_below(const std::string& p) {
  QBANK_FUZZ_CHECK(!p.empty() && p.front() != '\\' && p.back() != '\\');
  std::size_t begin = 0;
  while (begin <= p.size()) {
    std::size_t end = p.find('\\', begin);
    if (end == std::string::npos) end = p.size();
    const std::string_view part(p.data() + begin, end - begin);
    QBANK_FUZZ_CHECK(!part.empty() && part != "." && part != "..");
    for (char c : part)
      QBANK_FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 &&
                       std::string_view("/:*?\"<>|").find(c) == std::string_view::npos);
    begin = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qbank::fuzz::input in(data, size);
  const std::uint64_t limit = 512 * (1 + in.byte() % 16) + in.byte() % 3;
  const auto entry = in.take(in.byte());
  const auto common = in.take(in.byte());
  if (const auto p = qbank::library_export_path(text(entry), text(common))) check_below(*p);
  const std::size_t count = in.byte() % 17;
  qbank::slot slots[16];
  for (std::size_t k = 0; k < count; ++k) {
    slots[k].first_sector = static_cast<std::uint32_t>(in.number(4));
    slots[k].sector_count = static_cast<std::uint16_t>(in.number(2) % 512);
  }
  const auto bank = in.rest();
  qbank::memory_part_opener parts({bank}, limit);
  qbank::null_host h;
  qbank::MySplitFileReaderClass reader(h);
  if (!reader.Open(parts, true)) return 0;
  for (std::size_t k = 0; k < count; ++k) {
    std::uint64_t written = 0;
    const bool whole = qbank::export_slot_audio(
        reader, slots[k], [&written](const void*, std::size_t n) { written += n; });
    if (whole) QBANK_FUZZ_CHECK(written == 44 + std::uint64_t{slots[k].sector_count} * 512);
    if (whole && slots[k].sector_count > 0)
      QBANK_FUZZ_CHECK(std::uint64_t{slots[k].first_sector} * 512 +
                           std::uint64_t{slots[k].sector_count} * 512 <=
                       reader.TotalSize());
  }
  return 0;
}
