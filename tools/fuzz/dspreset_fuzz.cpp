// The XML instrument readers from memory: the first byte chooses the DecentSampler preset
// reader (even) or the Bitwig multisample.xml reader (odd), the rest is the text. Every input
// either reads or stops with instrument_error; the regions keep their promises. Where the
// readers are not built (no pugixml) every input passes untouched.
#include <cstddef>
#include <cstdint>

#include "platform/file_io.h"
#include "region_checks.h"
#ifdef QBANK_HAVE_XML_INSTRUMENTS
#include "instrument/bitwig_reader.h"
#include "instrument/decent_sampler_reader.h"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
#ifdef QBANK_HAVE_XML_INSTRUMENTS
  if (size == 0) return 0;
  qbank::memory_source text(data + 1, size - 1);
  try {
    const qbank::instrument inst =
        data[0] % 2 == 0 ? qbank::read_dspreset(text, "lib/i.dspreset", "lib")
                         : qbank::read_multisample_xml(text, "lib/multisample.xml", "lib", "i");
    qbank::fuzz::check_file_regions(inst);
  } catch (const qbank::instrument_error&) {
  }
#else
  (void)data;
  (void)size;
#endif
  return 0;
}
