// WAV reader: arbitrary bytes through the calls every caller makes, in the order they make them.
#include <cstddef>
#include <cstdint>

#include "audio/wav_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qbank::memory_source in(data, size);
  const int kind = qbank::check_wav_header(in);
  if (kind != qbank::wav_rejected && qbank::find_data_chunk(in)) {
    const std::uint32_t n = qbank::read_chunk_size(in);
    std::uint8_t buffer[256];
    std::size_t left = n;
    while (left > 0) {
      const std::size_t got = in.read(buffer, left < sizeof buffer ? left : sizeof buffer);
      if (got == 0) break;
      left -= got;
    }
  }
  return 0;
}
