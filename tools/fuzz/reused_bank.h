// A bank kept between fuzz runs and put back to its reset state by resetting only what the last
// read could have changed: a read of a layout version touches the global parameters and that
// version's programs and multisamples (with their file lists), nothing else. The same state as
// bank::reset(), at a fraction of its cost for the smaller layouts.
#pragma once

#include "bank/bank.h"

namespace qbank::fuzz {

class reused_bank {
 public:
  reused_bank() { globals_ = b_.globals(); }

  // The bank in its reset state, for a read that changes at most `programs` programs and
  // `multisamples` multisamples (counted from 0).
  bank& fresh(int programs, int multisamples) {
    b_.globals() = globals_;
    for (int i = 0; i < touched_programs_; ++i) b_.reset_program(i);
    for (int n = 0; n < touched_multisamples_; ++n) b_.reset_multisample(n);
    b_.paths().clear();
    touched_programs_ = programs;
    touched_multisamples_ = multisamples;
    return b_;
  }

 private:
  bank b_;
  global_parameter globals_;
  int touched_programs_ = program_count;
  int touched_multisamples_ = multisample_count;
};

}  // namespace qbank::fuzz
