#include "bank/named_files.h"

#include <vector>

#include "bank/bank.h"
#include "platform/paths.h"

namespace qbank {

bool named_files::holds(const std::filesystem::path& path) {
  const auto target = identity_of(path);
  if (!target) return false;
  if (!identities_) {
    identities_.emplace();
    // Each distinct text once: a large bank names the same file from many slots.
    std::vector<bool> seen(bank_.paths().size());
    for (int m = 0; m < multisample_count; ++m) {
      for (int j = 0; j < slots_per_multisample; ++j) {
        const path_id id = bank_.file_id(m, j);
        if (id == empty_path_id || seen[id]) continue;
        seen[id] = true;
        if (const auto named = identity_of(native_path(bank_.paths().text(id))))
          identities_->insert(*named);
      }
    }
    if (bank_.loaded_file_name() != no_loaded_bank)
      if (const auto loaded = identity_of(path_from_utf8(bank_.loaded_file_name())))
        identities_->insert(*loaded);
  }
  return identities_->contains(*target);
}

}  // namespace qbank
