// Bank reading: a well-formed start sector and a zeroed header, into which the input writes the
// version code, slot tables of the first multisamples and the bytes that follow the header (audio
// and path-name area). Slot tables that point anywhere, short areas, stray line ends.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "bank/bank.h"
#include "bank/bank_reader.h"
#include "bank/start_sector.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "ui/null_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static qbank::bank b;
  static const std::string path = "/dev/shm/qbank-bank-fuzz-" + std::to_string(::getpid()) + ".qbb";
  const std::uint8_t code = 0xA9 + data[0] % 7;  // 0xA9..0xAF: unknown codes included
  const int v = code >= 0xAA && code <= 0xAE ? code - 0xA8 : 6;
  std::string bytes(qbank::header_size(v), '\0');
  std::memcpy(bytes.data(), qbank::start_sector_template(6).data(), 512);
  bytes[511] = static_cast<char>(code);
  // Up to 64 slot records of multisample 0..: (first_sector, sector_count) from the input.
  const std::size_t first_records = 512 + 2048 + 512ull * qbank::programs_in_version(v);
  const std::size_t slot_bytes = std::min<std::size_t>(data[1] % 65, (size - 2) / 6) * 6;
  for (std::size_t k = 0; k < slot_bytes; k += 6)
    std::memcpy(bytes.data() + first_records + 256 + k, data + 2 + k, 6);
  bytes.append(reinterpret_cast<const char*>(data + 2 + slot_bytes), size - 2 - slot_bytes);
  qbank::write_whole_file(path, bytes.data(), bytes.size());
  qbank::null_host h;
  for (auto variant : {qbank::reader_variant::main, qbank::reader_variant::manager}) {
    b.reset();
    try {
      qbank::read_bank_file(b, path, variant, h);
    } catch (const qbank::command_error&) {
    }
  }
  return 0;
}
