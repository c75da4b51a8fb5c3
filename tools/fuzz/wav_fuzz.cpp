// WAV reading and the silence tools from memory: arbitrary bytes through the header checks,
// the chunk search, the backward scan at every threshold and the trimmed file's bytes, with
// the promises each of them makes checked.
#include <cstddef>
#include <cstdint>

#include "audio/silence.h"
#include "audio/wav_file.h"
#include "fuzz_input.h"
#include "platform/file_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool fade = data[0] & 1;
  qbank::memory_source in(data + 1, size - 1);
  const auto w = qbank::silence_candidate(in);
  if (!w) return 0;
  QBANK_FUZZ_CHECK(w->channels == 1 || w->channels == 2);
  QBANK_FUZZ_CHECK(w->data_offset + w->data_bytes <= in.size());
  const std::uint64_t frames = w->data_bytes / (2u * w->channels);
  const auto kept = qbank::kept_frames_at(in, w->data_offset, w->data_bytes, w->channels,
                                          qbank::silence_thresholds);
  QBANK_FUZZ_CHECK(kept.size() == qbank::silence_thresholds.size());
  for (std::size_t t = 0; t < kept.size(); ++t) {
    QBANK_FUZZ_CHECK(kept[t] <= frames);
    if (t > 0) QBANK_FUZZ_CHECK(kept[t] <= kept[t - 1]);  // a higher threshold keeps less
  }
  // The trim at one threshold, its bytes counted rather than written.
  const std::size_t t = (data[0] >> 1) % qbank::apply_threshold_count;
  const qbank::tail_plan plan = qbank::plan_tail(w->data_bytes, w->channels, kept[t], fade);
  QBANK_FUZZ_CHECK(plan.kept_bytes <= w->data_bytes);
  std::uint64_t written = 0;
  const bool whole =
      qbank::write_trimmed(in, *w, plan, [&written](const void*, std::size_t n) { written += n; });
  QBANK_FUZZ_CHECK(whole);
  QBANK_FUZZ_CHECK(written == qbank::wav_canonical_header_size + plan.kept_bytes);
  return 0;
}
