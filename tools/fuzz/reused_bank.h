// A bank kept between fuzz runs and put back to its reset state by resetting only what the last
// read changed: a read of a layout version touches the global parameters and that version's
// programs and multisamples (with their file lists), nothing else, and of those multisamples
// most inputs change only some parts. Records and lists are compared with their reset state
// first (reading is cheaper than writing), so a run pays for what it changed. The same state as
// bank::reset(), at a fraction of its cost.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "bank/bank.h"

namespace qbank::fuzz {

// Whether `bytes` bytes at a and b are equal, read word by word without the sanitizers' checks
// or the fuzzer's memcmp hook: this is the harness's bookkeeping over memory it owns, not code
// under test, and checked it would cost more than the read itself.
__attribute__((no_sanitize("address", "undefined"))) inline bool same_bytes(const void* a,
                                                                            const void* b,
                                                                            std::size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(a);
  const auto* q = static_cast<const unsigned char*>(b);
  std::uint64_t differ = 0;
  std::size_t k = 0;
  for (; k + 8 <= bytes; k += 8) {
    std::uint64_t x, y;
    __builtin_memcpy(&x, p + k, 8);
    __builtin_memcpy(&y, q + k, 8);
    differ |= x ^ y;
  }
  for (; k < bytes; ++k) differ |= p[k] ^ q[k];
  return differ == 0;
}

class reused_bank {
 public:
  reused_bank() {
    globals_ = b_.globals();
    pristine_ = b_.multisample(0);
  }

  // The bank in its reset state, for a read that changes at most `programs` programs and
  // `multisamples` multisamples (counted from 0).
  bank& fresh(int programs, int multisamples) {
    b_.globals() = globals_;
    for (int i = 0; i < touched_programs_; ++i) reset_blend(b_.program(i));
    b_.set_loaded_file_name(std::string(no_loaded_bank));  // as reset_program() leaves it
    static const file_list no_files{};
    for (int n = 0; n < touched_multisamples_; ++n) {
      multisample& m = b_.multisample(n);
      if (!same_bytes(&m, &pristine_, sizeof m)) std::memcpy(&m, &pristine_, sizeof m);
      // With nothing in the pool but its marker every id is the empty one (ids index the pool).
      if (b_.paths().size() > 1 &&
          !same_bytes(b_.files(n).data(), no_files.data(), sizeof no_files))
        for (int j = 0; j < slots_per_multisample; ++j) b_.set_file_id(n, j, empty_path_id);
    }
    b_.paths().clear();
    touched_programs_ = programs;
    touched_multisamples_ = multisamples;
    return b_;
  }

 private:
  bank b_;
  global_parameter globals_;
  multisample pristine_;
  int touched_programs_ = program_count;
  int touched_multisamples_ = multisample_count;
};

}  // namespace qbank::fuzz
