#include <windows.h>

#include <atomic>
#include <string>

#include "platform/file_error.h"
#include "platform/paths.h"
#include "platform/replace_file.h"

namespace qbank {
namespace {

std::atomic<unsigned> aside_counter{0};

constexpr DWORD durable_move = MOVEFILE_WRITE_THROUGH;

}  // namespace

void replace_file(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | durable_move)) return;
  DWORD err = ::GetLastError();
  if (err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION) {
    // Windows does not replace a file that has open handles, but it renames one that was opened
    // with FILE_SHARE_DELETE, as this program opens every file. So the old file moves aside, the
    // new one takes its name, and the old one is deleted: it goes when its last handle closes.
    const std::filesystem::path aside =
        to.parent_path() / path_from_utf8("." + path_to_utf8(to.filename()) + ".old" +
                                          std::to_string(::GetCurrentProcessId()) + "-" +
                                          std::to_string(aside_counter++));
    if (::MoveFileExW(to.c_str(), aside.c_str(), durable_move)) {
      if (::MoveFileExW(from.c_str(), to.c_str(), durable_move)) {
        ::DeleteFileW(aside.c_str());
        return;
      }
      err = ::GetLastError();
      ::MoveFileExW(aside.c_str(), to.c_str(), durable_move);
    }
  }
  throw file_error::from_system(to, err);
}

}  // namespace qbank
