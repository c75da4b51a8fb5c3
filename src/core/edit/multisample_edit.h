// Editing one multisample of a bank: its name, its comment and the WAV files of its 128 slots.
// Texts typed by the user arrive as UTF-8 and are stored in the bank's code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "bank/bank_format.h"
#include "edit/typed_name.h"

namespace qbank {

class bank;
class host;

// The most characters a comment holds; the byte after them (255 of the record) is always 0.
inline constexpr std::size_t comment_max_chars = comment_size - 1;

// The name of multisample `n` as typed (UTF-8), stored by store_typed_name. Returns false, keeping
// the old name, when the code page cannot hold it.
bool set_multisample_name(bank& b, int n, std::string_view utf8, host& h);

// The comment of multisample `n` as typed (UTF-8, line breaks as LF or CR LF): stored with CR LF
// line ends and its terminating zero at the start of the comment, cut to 239 characters; the
// bytes after the zero keep what they held. Returns false, keeping the old comment, when the
// code page cannot hold it.
bool set_multisample_comment(bank& b, int n, std::string_view utf8, host& h);
// The comment as the window shows it: up to the first zero byte, LF line ends, UTF-8. Forces
// the last byte of the comment to zero first.
std::string multisample_comment_text(bank& b, int n);

// Slots first..last (inclusive, any order) of multisample `n` become empty.
void remove_files(bank& b, int n, int first, int last);

// Moves every path of multisample `n` twelve slots up (towards 127) or down, after asking "Are
// You Sure?" ("Move 1 Octave Up?" / "Move 1 Octave Down?"). Paths moved past either end are
// dropped; the freed octave becomes empty. Returns false when the user said No.
bool move_octave(bank& b, int n, bool up, host& h);

}  // namespace qbank
