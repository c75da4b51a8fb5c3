#include <windows.h>

#include "platform/file_error.h"
#include "platform/win32/wide_text.h"

namespace qbank {

file_error file_error::from_system(const std::filesystem::path& path, unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = n > 0 ? win32::narrow(std::wstring_view(text, n)) : std::string();
  if (text) ::LocalFree(text);
  // The system's texts end in ".\r\n"; the reason is shown after the path on one line.
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == ' ' || reason.back() == '.'))
    reason.pop_back();
  if (reason.empty()) reason = "Windows error " + std::to_string(code);
  return file_error(path, reason);
}

}  // namespace qbank
