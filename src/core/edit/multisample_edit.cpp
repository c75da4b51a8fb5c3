#include "edit/multisample_edit.h"

#include <algorithm>
#include <cstring>

#include "bank/bank.h"
#include "platform/codepage.h"
#include "ui/host.h"

namespace qbank {

bool set_multisample_name(bank& b, int n, std::string_view utf8, host& h) {
  const std::optional<std::string> stored = typed_text(utf8, h);
  if (!stored) return false;
  store_typed_name(b.multisample(n).name, *stored);
  return true;
}

bool set_multisample_comment(bank& b, int n, std::string_view utf8, host& h) {
  const std::optional<std::string> stored = typed_text(utf8, h);
  if (!stored) return false;
  // The comment box of the instrument's editor is a Windows text area: CR LF line ends.
  std::string text;
  text.reserve(stored->size());
  for (std::size_t i = 0; i < stored->size() && text.size() < comment_max_chars; ++i) {
    const char c = (*stored)[i];
    if (c == '\r') continue;
    if (c == '\n') {
      if (text.size() + 2 > comment_max_chars) break;  // never half a line end
      text += "\r\n";
    } else if (c != '\0') {
      text += c;
    }
  }
  char* comment = b.multisample(n).comment;
  std::memcpy(comment, text.data(), text.size());
  comment[text.size()] = '\0';
  comment[comment_size - 1] = '\0';
  return true;
}

std::string multisample_comment_text(bank& b, int n) {
  char* comment = b.multisample(n).comment;
  comment[comment_size - 1] = '\0';
  std::string text;
  for (const char* p = comment; *p != '\0'; ++p)
    if (*p != '\r') text += *p;
  return to_utf8(text);
}

void remove_files(bank& b, int n, int first, int last) {
  if (first > last) std::swap(first, last);
  first = std::max(first, 0);
  last = std::min(last, slots_per_multisample - 1);
  for (int j = first; j <= last; ++j) b.set_file_id(n, j, empty_path_id);
}

bool move_octave(bank& b, int n, bool up, host& h) {
  if (!h.ask("Are You Sure?", up ? "Move 1 Octave Up?" : "Move 1 Octave Down?")) return false;
  constexpr int octave = 12;
  constexpr int last = slots_per_multisample - 1;
  if (up) {
    for (int j = last - octave; j >= 0; --j) b.set_file_id(n, j + octave, b.file_id(n, j));
    for (int j = 0; j < octave; ++j) b.set_file_id(n, j, empty_path_id);
  } else {
    for (int j = 0; j <= last - octave; ++j) b.set_file_id(n, j, b.file_id(n, j + octave));
    for (int j = last - octave + 1; j <= last; ++j) b.set_file_id(n, j, empty_path_id);
  }
  return true;
}

}  // namespace qbank
