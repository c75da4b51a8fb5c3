// Opening a file the program was started with: `qbank-gui FILE`, as the system's file
// associations for scripts and bank files start it.
#include <algorithm>
#include <cctype>

#include "app/main_form.h"
#include "bank/bank_reader.h"
#include "bank/script_file.h"

namespace qbank::gui {

namespace {

// The layout of the scripts the program writes today.
constexpr int current_script_version = 6;

bool is_bank_file(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".qbb";
}

}  // namespace

void TForm1::open_file_command(const std::filesystem::path& path) {
  run_command([this, path] {
    if (is_bank_file(path))
      open_bank_file(*main_, path, *host_);
    else
      open_script(*main_, path, current_script_version, *host_);
  });
}

}  // namespace qbank::gui
