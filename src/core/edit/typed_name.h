// Texts typed by the user arrive as UTF-8 and are stored in the bank's code page; names go into
// the 16-byte name fields of programs and multisamples, all by the same rule.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "bank/bank_format.h"

namespace qbank {

class host;

// `utf8` in the bank's code page. A character the code page has no form for is refused: the
// message names it (caption "Error") and none is returned.
std::optional<std::string> typed_text(std::string_view utf8, host& h);

// A typed name, already in the code page, into a 16-byte name field: cut to 16 characters and
// zero padded; an empty name (or one whose first byte is zero) becomes "- - -".
void store_typed_name(char (&name)[name_size], std::string_view stored);

}  // namespace qbank
