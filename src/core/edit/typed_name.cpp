#include "edit/typed_name.h"

#include <cstring>

#include "bank/path_pool.h"
#include "platform/codepage.h"
#include "ui/host.h"

namespace qbank {

std::optional<std::string> typed_text(std::string_view utf8, host& h) {
  std::string bad;
  std::optional<std::string> stored = from_utf8(utf8, &bad);
  if (!stored)
    h.message("The text \"" + std::string(utf8) + "\" holds the character \"" + bad +
                  "\", which the code page " + std::to_string(active_codepage()) + " cannot store.",
              "Error");
  return stored;
}

void store_typed_name(char (&name)[name_size], std::string_view stored) {
  if (stored.empty() || stored[0] == '\0') stored = empty_slot_marker;
  stored = stored.substr(0, name_size);
  std::memset(name, 0, name_size);
  std::memcpy(name, stored.data(), stored.size());
}

}  // namespace qbank
