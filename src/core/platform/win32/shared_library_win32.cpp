#include <windows.h>

#include "platform/shared_library.h"

namespace qbank {

shared_library::shared_library(const char* file_name)
    : handle_(reinterpret_cast<void*>(::LoadLibraryA(file_name))) {}

void* shared_library::symbol(const char* name) const {
  return handle_ ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name))
                 : nullptr;
}

}  // namespace qbank
