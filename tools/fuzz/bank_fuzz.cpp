// Bank reading from memory, split into parts. Input: the start sector's version code
// (0xA9..0xAF, unknown codes included), the part size (a small limit, so the file has many
// parts and records and lines cross part boundaries), a part to leave out (most inputs leave
// none out; its low bit also has the manager's variant read the file), the number of slot records
// given, those records (first sector, sector count) for multisamples 0.., then the bytes that
// follow the header: audio and the path-name area. The header itself is a well-formed one kept
// between runs; only the given records change it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bank/bank.h"
#include "bank/bank_reader.h"
#include "bank/split_file.h"
#include "bank/start_sector.h"
#include "fuzz_input.h"
#include "platform/file_error.h"
#include "reused_bank.h"
#include "ui/null_host.h"

namespace {

constexpr std::size_t max_slot_records = 256;

// The header of a file of version `v`, code `code`: start sector, zeroed programs, and
// multisample records as a reset bank holds them (so that a read leaves most of them as the
// next run's reset finds them).
std::vector<std::uint8_t>& header_for(int v, std::uint8_t code) {
  static std::array<std::vector<std::uint8_t>, 7> headers;
  std::vector<std::uint8_t>& h = headers[v];
  if (h.empty()) {
    h.assign(qbank::header_size(v), 0);
    std::memcpy(h.data(), qbank::start_sector_template(6).data(), 512);
    const auto blank = std::make_unique<qbank::bank>();
    const std::size_t records = 512 + 2048 + 512ull * qbank::programs_in_version(v);
    for (int n = 0; n < qbank::multisamples_in_version(v); ++n)
      std::memcpy(h.data() + records + 1024ull * n, &blank->multisample(n), 1024);
  }
  h[511] = code;
  return h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static qbank::fuzz::reused_bank reused;
  qbank::fuzz::input in(data, size);
  // Versions 5 and 6 (9999 programs, version 6 10000 multisamples) cost up to ten times as
  // much a run as the others and share their code: only the top 4 byte values choose them, the
  // rest the smaller layouts and unknown codes.
  static constexpr std::uint8_t small_codes[] = {0xA9, 0xAA, 0xAB, 0xAC, 0xAF};
  const std::uint8_t choice = in.byte();
  const std::uint8_t code = choice >= 0xFC ? 0xAD + choice % 2 : small_codes[choice % 5];
  const bool known = code >= 0xAA && code <= 0xAE;
  // An unknown code is refused at the start sector: its header is the small one of version 2.
  const int v = known ? code - 0xA8 : 2;
  std::vector<std::uint8_t>& header = header_for(v, code);
  // At most 99 parts: the limit keeps the header within them, a multiple of 512 or not.
  const std::uint64_t least = (header.size() + 98) / 99;
  const std::uint8_t shape = in.byte();
  const std::uint64_t limit = least * (1 + shape % 4) + (shape & 0x80 ? shape % 7 : 0);
  const std::uint8_t missing = in.byte();
  const std::size_t records = in.byte() % (max_slot_records + 1);
  const auto slots = in.take(records * 6);
  const std::size_t first_slots = 512 + 2048 + 512ull * qbank::programs_in_version(v) + 256;
  // Slot records of multisample n are 768 bytes of 128 records, one after another.
  for (std::size_t k = 0; k < slots.size() / 6; ++k) {
    const std::size_t at = first_slots + (k / 128) * 1024 + (k % 128) * 6;
    std::memcpy(header.data() + at, slots.data() + k * 6, 6);
  }
  const auto tail = in.rest();
  qbank::null_host h;
  // The main variant reads every input, the manager's those where the part byte's
  // low bit says so (they share most of their path, and a run should stay short).
  for (auto variant : {qbank::reader_variant::main, qbank::reader_variant::manager}) {
    if (variant == qbank::reader_variant::manager && !(missing & 1)) continue;
    qbank::memory_part_opener parts({header, tail}, limit);
    if (missing >= 0xF0) parts.set_missing(missing % 16);
    // The reader resets the programs past the version's own itself.
    qbank::bank& b =
        known ? reused.fresh(qbank::programs_in_version(v), qbank::multisamples_in_version(v))
              : reused.fresh(0, 0);
    try {
      qbank::read_bank_file(b, parts, variant, h);
    } catch (const qbank::command_error&) {
    }
    for (int n = 0; n < qbank::multisample_count; n += 97)
      for (int j = 0; j < qbank::slots_per_multisample; j += 31)
        QBANK_FUZZ_CHECK(b.file_id(n, j) < b.paths().size());
  }
  for (std::size_t k = 0; k < slots.size() / 6; ++k)
    std::memset(header.data() + first_slots + (k / 128) * 1024 + (k % 128) * 6, 0, 6);
  return 0;
}
