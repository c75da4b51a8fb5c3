// Undo steps: what a step holds and how long taking it back takes, against fixed goals.
//   field     one parameter of one program: step bytes / 4 KB, undo time / 1 ms
//   bulk      a repair that changes all 9999 programs (Fix LFO speed): step bytes / 8 MB
//   transfer  100 programs with their 800 multisamples (128 files each) from another bank into
//             a half-full main bank: undo time / 50 ms
//   history   1000 ordinary edits (parameters, names, one slot's file): bytes held / 16 MB
// and, for comparison, an edit with no step open against the same edit inside a step.
// Usage: undo_bench [RUNS]
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bank/bank.h"
#include "bank/change_record.h"
#include "bench_support.h"
#include "manager/program_transfer.h"
#include "ui/null_host.h"

namespace qbank::bench {
namespace {

constexpr double kb = 1024.0;
constexpr double mb = 1024.0 * 1024.0;

std::string library_path(int n, int j) {
  return "D:\\Samples\\Library " + std::to_string(n % 50) + "\\Instrument " + std::to_string(n) +
         "\\note " + std::to_string(j) + ".wav";
}

// Multisamples first..last with a name and 128 files each.
void fill_multisamples(bank& b, int first, int last) {
  for (int n = first; n <= last; ++n) {
    const std::string name = "MS " + std::to_string(n);
    std::memset(b.multisample(n).name, ' ', name_size);
    std::memcpy(b.multisample(n).name, name.data(), name.size());
    for (int j = 0; j < slots_per_multisample; ++j) b.set_file(n, j, library_path(n, j));
  }
}

void field_rows(ratio_table& table, bank& b, int runs) {
  b.begin_step();
  b.program(4321).program_volume ^= 0x55;
  change_record step = b.end_step();
  table.row("one field edit: step KB / 4 KB", step.size_bytes() / kb, 4.0, 1.0);
  constexpr int repeats = 1000;
  const double undo = best_of(runs, [&] {
    for (int r = 0; r < repeats; ++r) step.swap_with(b);
  });
  table.row("one field edit: undo ms / 1 ms", undo / repeats * 1e3, 1.0, 1.0);
  const double whole = best_of(runs, [&] {
    for (int r = 0; r < repeats; ++r) {
      b.begin_step();
      b.program(4321).program_volume ^= 0x55;
      step = b.end_step();
    }
  });
  table.row("one field edit: record ms / 1 ms", whole / repeats * 1e3, 1.0, 1.0);
}

void bulk_rows(ratio_table& table, bank& b, int runs) {
  change_record step;
  const double record = best_of(
      runs,
      [&] {
        b.begin_step();
        b.convert_lfo_speed();
        step = b.end_step();
      },
      [&] {
        for (int i = 0; i < program_count; ++i) b.program(i).lfo_speed = 64;
      });
  table.row("fix LFO speed, 9999 programs: step MB / 8", step.size_bytes() / mb, 8.0, 1.0);
  const double undo = best_of(runs, [&] { step.swap_with(b); });
  table.row_info("fix LFO speed: record ms / undo ms", record * 1e3, undo * 1e3);
}

void transfer_rows(ratio_table& table, bank& main, int runs) {
  auto source = std::make_unique<bank>();
  // Program s plays eight multisamples of its own.
  for (int s = 0; s < 100; ++s)
    for (int z = 0; z < 8; ++z)
      source->program(s).zones[z].multisample = static_cast<std::uint16_t>(1 + s * 8 + z);
  fill_multisamples(*source, 1, 800);
  for (int n = 1; n <= 800; ++n) source->set_file(n, 0, "E:\\Other\\" + std::to_string(n));
  null_host h;
  main.begin_step();
  transfer_range(main, *source, 2000, 0, 99, h);
  change_record step = main.end_step();
  // Undo then redo, so that each run starts from the same bank.
  double undo = 1e300;
  for (int r = 0; r < runs; ++r) {
    undo = std::min(undo, seconds_of([&] { step.swap_with(main); }));
    step.swap_with(main);
  }
  table.row("transfer 100 programs: undo ms / 50 ms", undo * 1e3, 50.0, 1.0);
  table.row_info("transfer 100 programs: step MB / 1 MB", step.size_bytes() / mb, 1.0);
  step.swap_with(main);
}

void history_rows(ratio_table& table, bank& b) {
  std::vector<change_record> history;
  std::size_t bytes = 0;
  for (int k = 0; k < 1000; ++k) {
    b.begin_step();
    const int i = (k * 37) % program_count;
    switch (k % 4) {
      case 0:
        b.program(i).attack = static_cast<std::uint8_t>(k);
        break;
      case 1:
        b.program(i).name[0] = static_cast<char>('A' + k % 26);
        break;
      case 2:
        b.multisample(1 + i).comment[0] = static_cast<char>('a' + k % 26);
        break;
      default:
        b.set_file(1 + i % 4000, k % slots_per_multisample, "C:\\Edit\\" + std::to_string(k));
    }
    history.push_back(b.end_step());
    bytes += history.back().size_bytes();
  }
  table.row("1000 ordinary edits: history MB / 16", bytes / mb, 16.0, 1.0);
}

volatile int sink;

void hot_path_rows(ratio_table& table, bank& b, int runs) {
  constexpr int repeats = 10'000'000;
  auto edits = [&] {
    for (int r = 0; r < repeats; ++r) b.program(r % 64).attack = static_cast<std::uint8_t>(r);
    sink = b.program(0).attack;
  };
  const double closed = best_of(runs, edits);
  b.begin_step();
  const double open = best_of(runs, edits);
  b.end_step().swap_with(b);
  table.row_info("10M program writes: step open / closed", open, closed);
}

}  // namespace
}  // namespace qbank::bench

int main(int argc, char** argv) {
  using namespace qbank;
  using namespace qbank::bench;
  const int runs = qbank::bench::runs_argument(argc, argv, 5);
  auto b = std::make_unique<bank>();
  fill_multisamples(*b, 1, 5000);  // half the bank, 640,000 paths
  ratio_table table;
  table.header("value");
  field_rows(table, *b, runs);
  bulk_rows(table, *b, runs);
  transfer_rows(table, *b, runs);
  history_rows(table, *b);
  hot_path_rows(table, *b, runs);
  return table.done();
}
