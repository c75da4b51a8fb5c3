// A region's playing fields as a short text, for comparing the readers' regions in test tables:
// only what differs from the defaults is written.
#pragma once

#include <sstream>
#include <string>

#include "instrument/instrument.h"

namespace qbank::testing {

inline std::string playing_fields(const region& r) {
  std::ostringstream o;
  o << r.lo_key << "-" << r.hi_key << " root " << r.root_key;
  if (r.lo_vel != 0 || r.hi_vel != 127) o << " vel " << r.lo_vel << "-" << r.hi_vel;
  if (!r.pitch_keytrack) o << " fixed";
  if (r.transpose) o << " transpose " << r.transpose;
  if (r.tune) o << " tune " << r.tune;
  if (r.volume) o << " dB " << r.volume;
  if (r.offset) o << " offset " << r.offset;
  if (r.end) o << " end " << *r.end;
  if (r.release_trigger) o << " release";
  if (r.attack) o << " a " << *r.attack;
  if (r.release) o << " r " << *r.release;
  return o.str();
}

}  // namespace qbank::testing
