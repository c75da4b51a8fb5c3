// A test seam: every sync, rename and removal that the file layer performs passes a hook first,
// so tests can make any one of them fail, or stop the run there as if the process were killed.
#pragma once

#include <filesystem>
#include <functional>

namespace qbank {

enum class file_step { sync_file, rename, remove, sync_folder };
enum class step_outcome { proceed, fail, kill };

// Thrown at a step the hook chose to kill. Not a std::exception, so that no handler meant for
// real errors catches it. From then on every file step does nothing (a dead process changes no
// files) until the hook is set again.
struct simulated_kill {};

using file_step_hook = std::function<step_outcome(file_step, const std::filesystem::path&)>;

// Installs `hook` (empty: none) and ends any simulated kill. Not thread-safe; for tests.
void set_file_step_hook(file_step_hook hook);

}  // namespace qbank
