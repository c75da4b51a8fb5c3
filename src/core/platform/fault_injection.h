// A test seam: every file creation, write, sync, rename, removal and folder creation that the
// file layer performs passes a hook first, so tests can make any one of them fail with a chosen
// error, or stop the run there as if the process were killed.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

namespace qbank {

enum class file_step { create, write, sync_file, rename, remove, sync_folder, create_folder };
// fail: an input/output error (EIO); no_space: the volume is full (ENOSPC).
enum class step_outcome { proceed, fail, no_space, kill };

// The reasons an injected failure carries, as the system words them.
inline constexpr std::string_view injected_io_error = "Input/output error";
inline constexpr std::string_view injected_no_space = "No space left on device";

// Thrown at a step the hook chose to kill. Not a std::exception, so that no handler meant for
// real errors catches it. From then on every file step does nothing (a dead process changes no
// files) until the hook is set again.
struct simulated_kill {};

using file_step_hook = std::function<step_outcome(file_step, const std::filesystem::path&)>;

// Installs `hook` (empty: none) and ends any simulated kill. Not thread-safe; for tests.
void set_file_step_hook(file_step_hook hook);

// For the file layer, before each step on `path`: true when the step may run. False after a
// simulated kill (the step must not happen). Throws simulated_kill at the step the hook kills,
// and file_error naming `path` with one of the injected reasons at a step it fails.
bool file_step_allowed(file_step step, const std::filesystem::path& path);

}  // namespace qbank
