// The path tools of the multisamples tab: the library common path as shown, and the
// replacement of a piece of text in every stored path, used when a sample library moves to
// another folder or drive.
#pragma once

#include <string>
#include <string_view>

#include "bank/stored_paths.h"

namespace qbank {

class bank;
class host;

// "Library Common Path: " followed by the common path (UTF-8), as the multisamples tab shows it.
std::string library_common_path_caption(const bank& b);

// The replace command once the texts are known (UTF-8, as typed): only when both are non-empty,
// every occurrence of `old_text` in every stored path becomes `new_text`. A text the code page
// cannot hold is refused with a message and nothing changes. Returns true when the bank's
// paths were rewritten.
bool replace_text_in_paths(bank& b, std::string_view old_text, std::string_view new_text, host& h);

// The new-text field after a folder was chosen: the folder followed by `separator`, with every
// doubled separator made single (a drive root "E:\" stays "E:\", "/" stays "/").
std::string folder_as_new_text(std::string_view folder, char separator);

}  // namespace qbank
