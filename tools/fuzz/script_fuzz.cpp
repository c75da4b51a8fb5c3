// Script loading from memory. Input: the layout version (0 is an unknown one, read as 2), a
// 16-bit count of record bytes (global parameters, programs, names) taken from the input, those
// bytes, then the text part. The records the input does not give are zeros, so short inputs
// still reach the text, where damaged files go wrong: long lines, stray line ends, a text that
// ends before the lists are full.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "bank/start_sector.h"
#include "fuzz_input.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "reused_bank.h"
#include "ui/null_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static qbank::fuzz::reused_bank reused;
  static const std::vector<std::uint8_t> zeros(qbank::script_v6_binary_size, 0);
  qbank::fuzz::input in(data, size);
  // Layouts 5 and 6 (9999 programs) cost ten times as much a run as the others, and their text
  // part is read by the same code: only the top 16 byte values choose them. 0 is an unknown
  // version, read as 2.
  const std::uint8_t choice = in.byte();
  const int version = choice >= 0xF0 ? 5 + choice % 2 : choice % 5;
  const int v = version < 1 || version > 6 ? 2 : version;
  const std::size_t binary =
      2048 + 512ull * qbank::programs_in_version(v) + 256ull * qbank::multisamples_in_version(v);
  const auto records = in.take(in.number(2) % (binary + 1));
  const auto text = in.rest();
  qbank::joined_source file({records, std::span(zeros.data(), binary - records.size()), text});
  qbank::null_host h;
  qbank::bank& b = reused.fresh(qbank::programs_in_version(v), qbank::multisamples_in_version(v));
  try {
    qbank::load_script(b, file, version, h);
  } catch (const qbank::command_error&) {
  }
  // Every list entry must be a stored text.
  for (int n = 0; n < qbank::multisample_count; n += 97)
    for (int j = 0; j < qbank::slots_per_multisample; j += 31)
      QBANK_FUZZ_CHECK(b.file_id(n, j) < b.paths().size());
  return 0;
}
