#include <dlfcn.h>

#include "platform/shared_library.h"

namespace qbank {

shared_library::shared_library(const char* file_name)
    : handle_(::dlopen(file_name, RTLD_NOW | RTLD_LOCAL)) {}

void* shared_library::symbol(const char* name) const {
  return handle_ ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace qbank
