#include "bank/param_file.h"

#include <cstring>

#include "bank/bank.h"
#include "platform/file_io.h"
#include "ui/host.h"

namespace qbank {

static_assert(param_file_size == sizeof(global_parameter));

void save_system_parameters(const bank& b, const std::filesystem::path& path, host& h) {
  progress_scope progress(h, 'w', "Saving QSP file...");
  atomic_output_file out(path);
  out.write(&b.image().global, param_file_size);
  out.commit();
  h.progress_set_percent(100);
}

void read_system_parameters(bank& b, const std::filesystem::path& path, host& h) {
  input_file in(path);
  read_system_parameters(b, in, h);
}

void read_system_parameters(bank& b, byte_source& in, host& h) {
  progress_scope progress(h, 'r', "Reading QSP file...");
  // Read aside first, so that a failed read leaves the record as it was.
  global_parameter loaded;
  const std::size_t n = in.read(&loaded, param_file_size);
  std::memcpy(&b.globals(), &loaded, n);
  h.progress_set_percent(100);
}

}  // namespace qbank
