// Script loading: the first byte picks the layout version, the rest is the text part that
// follows a well-formed binary part, which is where a damaged file goes wrong in practice.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "bank/start_sector.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "ui/null_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static qbank::bank b;
  static const std::string path = "/dev/shm/qbank-script-fuzz-" + std::to_string(::getpid());
  const int version = data[0] % 8;
  const int v = version < 1 || version > 6 ? 2 : version;
  const std::size_t binary =
      2048 + 512ull * qbank::programs_in_version(v) + 256ull * qbank::multisamples_in_version(v);
  std::string bytes(binary, '\0');
  bytes.append(reinterpret_cast<const char*>(data + 1), size - 1);
  qbank::write_whole_file(path, bytes.data(), bytes.size());
  qbank::null_host h;
  b.reset();
  try {
    qbank::load_script(b, path, version, h);
  } catch (const qbank::command_error&) {
  }
  for (int n = 0; n < qbank::multisample_count; n += 101) (void)b.file(n, 127);
  return 0;
}
