// Editing of single programs of the main bank: reordering (move, swap, copy), renaming, the
// zone shortcuts of the program tab, and the zone bytes behind the tab's drag-edited labels.
// Nothing here touches multisamples: programs keep the multisample numbers they refer to.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "bank/bank_format.h"

namespace qbank {

class bank;
class host;

// The choices of the operation dialog, with the dialog's result codes.
enum class program_operation { move = 5, swap = 6, copy = 7, cancel = 2 };

// Moves program `from` to place `to` (both 0..9998); the programs between shift one place
// towards `from`'s old place. All 512 bytes travel.
void move_program(bank& b, int from, int to);
// Exchanges the records of programs `a` and `b`.
void swap_programs(bank& b, int a, int c);
// Overwrites program `to` with program `from`.
void copy_program(bank& b, int from, int to);
// Runs `op` on programs `from` and `to`; cancel (and from == to) changes nothing.
void apply_program_operation(bank& b, program_operation op, int from, int to);

// The text naming a program in the operation dialog: "[%03u] - %s" of its number and name.
std::string program_choice_text(const bank& b, int program);

// Stores `utf8` as program `program`'s name: converted to the bank's code page, cut to 16
// characters and zero padded; an empty name becomes "- - -". A character the code page cannot
// hold is refused with a message and the name keeps its old value. Returns true when stored.
bool rename_program(bank& b, int program, std::string_view utf8, host& h);

// "<<": copies zone 1's multisample name into the program's name; returns false (nothing
// changed) when zone 1 holds no multisample.
bool copy_zone1_name(bank& b, int program);

// "Zone n" (n = 2..8): gives zone n the multisample after the one zone n-1 holds. Returns false
// and changes nothing when zone n-1 holds none or holds the last multisample, 9999.
bool next_zone_multisample(blend& p, int n);

// The zone labels of the program tab, by tag (see the table in the source): the byte a label
// edits, null for a tag no label has.
std::uint8_t* zone_label_byte(blend& p, int tag);
// The label's text: "%03d" of the byte, or "%+02d" of byte - 64 for the transpose labels.
std::string zone_label_text(const blend& p, int tag);
// One pointer event of a label drag from height `last_y` to `y` (window coordinates, growing
// downwards): up raises the byte by one up to 127, down lowers it by one down to 0, whatever
// the distance. Returns true when the byte changed.
bool drag_zone_label(blend& p, int tag, int last_y, int y);
// Keys and the wheel on a label: the byte moved by `delta`, kept within 0..127. Returns true
// when the byte changed.
bool step_zone_label(blend& p, int tag, int delta);
// A value typed into a label as the label shows it ("64", "064"; "-12" or "+5" for the
// transpose labels) stored into its byte. False, nothing changed, when the text is no number
// of the label's range (0..127, or -64..+63).
bool type_zone_label(blend& p, int tag, std::string_view typed);

// True for the tags of the zone labels (1..8, 10..17, 20..27, 30..37, 40..47, 50..55, 60..67,
// 70..75).
bool is_zone_label_tag(int tag);

}  // namespace qbank
