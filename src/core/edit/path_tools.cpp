#include "edit/path_tools.h"

#include "bank/bank.h"
#include "edit/typed_name.h"
#include "platform/codepage.h"

namespace qbank {

std::string library_common_path_caption(const bank& b) {
  return "Library Common Path: " + to_utf8(library_common_path(b));
}

bool replace_text_in_paths(bank& b, std::string_view old_text, std::string_view new_text, host& h) {
  if (old_text.empty() || new_text.empty()) return false;
  const auto old_stored = typed_text(old_text, h);
  if (!old_stored) return false;
  const auto new_stored = typed_text(new_text, h);
  if (!new_stored) return false;
  b.replace_in_paths(*old_stored, *new_stored);
  return true;
}

std::string folder_as_new_text(std::string_view folder, char separator) {
  std::string text(folder);
  text += separator;
  const char doubled[3] = {separator, separator, '\0'};
  for (std::size_t at = text.find(doubled); at != std::string::npos; at = text.find(doubled, at))
    text.erase(at, 1);
  return text;
}

}  // namespace qbank
