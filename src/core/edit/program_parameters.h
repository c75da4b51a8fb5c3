// How the Program tab's lists store into a program record: each list-edited field with the
// relation between the list's index and the stored value, and the zone lists, which store
// all fourteen multisample references at once. The window only lays the lists out and reads
// these rules; it never computes a stored value itself.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "bank/bank_format.h"
#include "bank/zone_references.h"

namespace qbank {

// One list-edited field of the program record.
struct program_parameter {
  const char* field;  // the record field's name ("porta_time")
  int (*get)(const blend&);
  void (*set)(blend&, int);
  int scale;      // stored value = index x scale
  int min_index;  // a smaller index (or none, -1) is raised to this before it is stored
  bool editable;  // false: shown only, its list stores nothing ("Program Volume")
};

// Every list-edited field, in record order.
std::span<const program_parameter> program_parameters();
// The field named `field`; null when no list edits it.
const program_parameter* find_program_parameter(std::string_view field);

// The list's index `index` was chosen: stores the value it stands for into `p` (the two-byte
// fields little-endian, as the record holds them) and returns the index the list shows for it,
// a raised minimum included. A shown-only field stores nothing.
int store_parameter_index(blend& p, const program_parameter& f, int index);
// The index that shows the stored value (stored / scale); it may lie past the list's end when
// the record holds a value no entry stands for.
int parameter_index(const blend& p, const program_parameter& f);

// A zone list changed: the indexes of all fourteen lists (in the order of
// multisample_references; -1 for a list without selection, stored as 0, "No Multisample")
// become the program's multisample references.
void store_zone_indexes(blend& p, const std::array<int, zone_reference_count>& indexes);

}  // namespace qbank
