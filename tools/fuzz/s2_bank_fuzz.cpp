// Second-generation bank reading from memory, split into parts. Input: the version byte of the
// start sector (0..5, unknown versions included), the part size, the 512-byte file information
// (sizes the reader checks against the parts), (one part, or rarely small parts), then what follows
// the records: audio, the names sector, the names text and the end sector. The records between are
// the reset ones, kept between runs; the file information decides which layout they are read in.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bank/split_file.h"
#include "fuzz_input.h"
#include "manager/s2_bank.h"
#include "manager/s2_format.h"
#include "ui/null_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static qbank::s2_bank b;
  static std::vector<std::uint8_t> start(qbank::s2_start_sector_template().begin(),
                                         qbank::s2_start_sector_template().end());
  static const std::vector<std::uint8_t> records(qbank::s2_header_size_v3 - 1024, 0);
  static std::vector<std::uint8_t> info(512);
  qbank::fuzz::input in(data, size);
  start[511] = in.byte() % 6;
  const int layout = start[511] == 1 ? 1 : start[511] == 2 ? 2 : 3;
  const std::uint64_t header = layout == 1   ? qbank::s2_header_size_v1
                               : layout == 2 ? qbank::s2_header_size_v2
                                             : qbank::s2_header_size_v3;
  const std::uint8_t shape = in.byte();
  // The reader takes parts of the writer's full size only, so most inputs are one part; the
  // rest cut the file small to check that such parts are refused.
  const std::uint64_t limit =
      shape < 0xF0 ? qbank::default_part_limit : (header + 98) / 99 + 512 * (shape % 16);
  const auto given = in.take(512);
  std::memset(info.data(), 0, info.size());
  std::memcpy(info.data(), given.data(), given.size());
  const auto tail = in.rest();
  qbank::memory_part_opener parts({start, info, std::span(records.data(), header - 1024), tail},
                                  limit);
  qbank::null_host h;
  // A read that fails resets the bank itself, and one that stops before the file information
  // changes nothing: only a complete read leaves a bank to reset.
  static bool loaded = false;
  if (loaded) b.reset();
  const qbank::s2_read_result r = b.read(parts, h);
  loaded = r.loaded;
  if (r.loaded)
    for (int m = 0; m < qbank::s2_multisample_count; m += 97)
      QBANK_FUZZ_CHECK(!b.file(m, 0).empty());
  return 0;
}
