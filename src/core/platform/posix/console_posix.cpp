#include <unistd.h>

#include "platform/console.h"

namespace qbank {

void console_setup() {}

std::vector<std::string> utf8_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

bool is_terminal(std::FILE* stream) {
  return ::isatty(::fileno(stream)) != 0;
}

}  // namespace qbank
