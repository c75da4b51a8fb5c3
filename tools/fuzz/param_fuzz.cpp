// System parameter reading from memory: the first 2048 bytes of any input become the record,
// a shorter input changes only its own bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bank/bank.h"
#include "bank/param_file.h"
#include "fuzz_input.h"
#include "platform/file_io.h"
#include "ui/null_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static qbank::bank b;
  auto* record = reinterpret_cast<std::uint8_t*>(&b.globals());
  std::memset(record, 0xA5, qbank::param_file_size);
  qbank::memory_source in(data, size);
  qbank::null_host h;
  qbank::read_system_parameters(b, in, h);
  const std::size_t n = size < qbank::param_file_size ? size : qbank::param_file_size;
  QBANK_FUZZ_CHECK(std::memcmp(record, data, n) == 0);
  for (std::size_t k = n; k < qbank::param_file_size; ++k) QBANK_FUZZ_CHECK(record[k] == 0xA5);
  return 0;
}
