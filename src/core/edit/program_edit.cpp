#include "edit/program_edit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "bank/bank.h"
#include "edit/typed_name.h"
#include "platform/codepage.h"
#include "ui/host.h"

namespace qbank {

namespace {

bool valid_program(int i) {
  return i >= 0 && i < program_count;
}

}  // namespace

void move_program(bank& b, int from, int to) {
  if (!valid_program(from) || !valid_program(to) || from == to) return;
  // Record by record, so that an undo step holds only the programs between the two.
  const bank& source = b;
  const blend kept = source.program(from);
  const int step = from > to ? -1 : 1;
  for (int i = from; i != to; i += step) b.program(i) = source.program(i + step);
  b.program(to) = kept;
}

void swap_programs(bank& b, int a, int c) {
  if (!valid_program(a) || !valid_program(c) || a == c) return;
  std::swap(b.program(a), b.program(c));
}

void copy_program(bank& b, int from, int to) {
  if (!valid_program(from) || !valid_program(to) || from == to) return;
  b.program(to) = b.program(from);
}

void apply_program_operation(bank& b, program_operation op, int from, int to) {
  switch (op) {
    case program_operation::move:
      move_program(b, from, to);
      break;
    case program_operation::swap:
      swap_programs(b, from, to);
      break;
    case program_operation::copy:
      copy_program(b, from, to);
      break;
    case program_operation::cancel:
      break;
  }
}

std::string program_choice_text(const bank& b, int program) {
  char number[16];
  std::snprintf(number, sizeof number, "[%03u] - ", unsigned(program));
  return number + to_utf8(b.program_name_text(program));
}

bool rename_program(bank& b, int program, std::string_view utf8, host& h) {
  if (!valid_program(program)) return false;
  // One refusal for every typed text, program and multisample names alike.
  const std::optional<std::string> stored = typed_text(utf8, h);
  if (!stored) return false;
  store_typed_name(b.program(program).name, *stored);
  return true;
}

bool copy_zone1_name(bank& b, int program) {
  if (!valid_program(program)) return false;
  blend& p = b.program(program);
  const int m = p.zones[0].multisample;
  if (m <= 0 || m >= multisample_count) return false;
  std::memcpy(p.name, b.multisample(m).name, name_size);
  return true;
}

bool next_zone_multisample(blend& p, int n) {
  if (n < 2 || n > 8) return false;
  const int m = p.zones[n - 2].multisample;
  // No entry follows the last multisample: the zone keeps what it has.
  if (m <= 0 || m + 1 >= multisample_count) return false;
  p.zones[n - 1].multisample = static_cast<std::uint16_t>(m + 1);
  return true;
}

// Tags: 1..8 velo_low, 10..17 velo_high, 20..27 key_low, 30..37 key_high, 40..47 volume of the
// basic zones; 50 legato, 51 release, 52..55 mod zones volume; 60..67 basic, 70..75 extra
// zones transpose (in the order legato, release, mod 1..4).
std::uint8_t* zone_label_byte(blend& p, int tag) {
  extra_zone* extras[6] = {&p.legato_zone,  &p.release_zone, &p.mod_zones[0],
                           &p.mod_zones[1], &p.mod_zones[2], &p.mod_zones[3]};
  const int group = tag / 10;
  const int i = tag % 10;
  if (tag >= 1 && tag <= 8) return &p.zones[tag - 1].velo_low;
  if (group >= 1 && group <= 6 && group != 5 && i <= 7) {
    zone& z = p.zones[i];
    switch (group) {
      case 1:
        return &z.velo_high;
      case 2:
        return &z.key_low;
      case 3:
        return &z.key_high;
      case 4:
        return &z.volume;
      default:
        return &z.transpose;
    }
  }
  if (group == 5 && i <= 5) return &extras[i]->volume;
  if (group == 7 && i <= 5) return &extras[i]->transpose;
  return nullptr;
}

bool is_zone_label_tag(int tag) {
  blend probe{};
  return zone_label_byte(probe, tag) != nullptr;
}

std::string zone_label_text(const blend& p, int tag) {
  const std::uint8_t* byte = zone_label_byte(const_cast<blend&>(p), tag);
  if (!byte) return {};
  char text[8];
  if (tag >= 60)
    std::snprintf(text, sizeof text, "%+02d", int(*byte) - 64);
  else
    std::snprintf(text, sizeof text, "%03d", int(*byte));
  return text;
}

bool drag_zone_label(blend& p, int tag, int last_y, int y) {
  std::uint8_t* byte = zone_label_byte(p, tag);
  if (!byte || y == last_y) return false;
  if (y < last_y) {
    if (*byte >= 127) return false;
    ++*byte;
  } else {
    if (*byte == 0) return false;
    --*byte;
  }
  return true;
}

bool step_zone_label(blend& p, int tag, int delta) {
  std::uint8_t* byte = zone_label_byte(p, tag);
  if (!byte) return false;
  const int value = std::clamp(int(*byte) + delta, 0, 127);
  if (value == *byte) return false;
  *byte = static_cast<std::uint8_t>(value);
  return true;
}

bool type_zone_label(blend& p, int tag, std::string_view typed) {
  std::uint8_t* byte = zone_label_byte(p, tag);
  if (!byte || typed.empty() || typed.size() > 4) return false;
  const bool transpose = tag >= 60;
  std::size_t at = 0;
  int sign = 1;
  if (transpose && (typed[0] == '+' || typed[0] == '-')) {
    sign = typed[0] == '-' ? -1 : 1;
    at = 1;
  }
  if (at == typed.size()) return false;
  int number = 0;
  for (; at < typed.size(); ++at) {
    if (typed[at] < '0' || typed[at] > '9') return false;
    number = number * 10 + (typed[at] - '0');
  }
  const int value = transpose ? sign * number + 64 : number;
  if (value < 0 || value > 127) return false;
  *byte = static_cast<std::uint8_t>(value);
  return true;
}

}  // namespace qbank
