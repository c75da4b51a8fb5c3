// SoundFont 2 files from memory: the first byte chooses the preset (0: the first, else by
// program number), the rest is the file. Every input either reads or stops with
// instrument_error; the regions point inside the file's sample data.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "instrument/sf2_reader.h"
#include "platform/file_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string preset = data[0] == 0 ? std::string() : std::to_string(data[0] - 1);
  qbank::memory_source in(data + 1, size - 1);
  try {
    const qbank::instrument inst = qbank::read_sf2(in, "x.sf2", preset);
    for (const qbank::region& r : inst.regions) {
      QBANK_FUZZ_CHECK(r.embedded.has_value());
      const qbank::embedded_sample& e = *r.embedded;
      QBANK_FUZZ_CHECK(e.start < e.end);
      QBANK_FUZZ_CHECK(e.smpl_offset + 2 * e.end <= size - 1);
      QBANK_FUZZ_CHECK(!r.end || (*r.end > r.offset && *r.end <= e.end - e.start));
      QBANK_FUZZ_CHECK(0 <= r.lo_key && r.lo_key <= r.hi_key && r.hi_key <= 127);
      QBANK_FUZZ_CHECK(0 <= r.lo_vel && r.lo_vel <= r.hi_vel && r.hi_vel <= 127);
    }
    (void)qbank::sf2_presets(in, "x.sf2");
  } catch (const qbank::instrument_error&) {
  }
  return 0;
}
