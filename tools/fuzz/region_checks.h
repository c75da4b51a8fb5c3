// What every instrument reader promises of the regions it gives, checked by the fuzz targets.
#pragma once

#include "fuzz_input.h"
#include "instrument/instrument.h"

namespace qbank::fuzz {

// Windows within 0..127 and in order, a root key on the keyboard, a sample file named, and a
// piece of audio that is not empty.
inline void check_file_regions(const instrument& inst) {
  for (const region& r : inst.regions) {
    QBANK_FUZZ_CHECK(0 <= r.lo_key && r.lo_key <= r.hi_key && r.hi_key <= 127);
    QBANK_FUZZ_CHECK(0 <= r.lo_vel && r.lo_vel <= r.hi_vel && r.hi_vel <= 127);
    QBANK_FUZZ_CHECK(0 <= r.root_key && r.root_key <= 127);
    QBANK_FUZZ_CHECK(!r.sample.empty());
    QBANK_FUZZ_CHECK(!r.end || *r.end > r.offset);
  }
}

}  // namespace qbank::fuzz
