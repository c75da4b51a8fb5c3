// Multisample editing speed, each against a baseline measured in the same run:
//   place    placing 128 files into a multisample by the note number or note name in their
//            paths vs the 128 x 128 plain substring searches (std::string::find) it replaces
//   replace  replacing a folder in every path of a full bank (1.28 million distinct paths)
//            vs one pass of std::string::find of the old text over the same texts
// and the path pool's size after repeated replaces (texts no slot names any more are dropped).
// Usage: edit_bench [RUNS]
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bank/bank.h"
#include "bench_support.h"
#include "edit/auto_position.h"
#include "edit/path_tools.h"

namespace qbank::bench {
namespace {

volatile std::size_t sink;

// 128 paths, file n carrying the search text of slot n (" 060", "C#5", ...) in its name.
std::vector<std::string> library_of_128(position_criterion criterion) {
  std::vector<std::string> paths;
  for (int n = 0; n < slots_per_multisample; ++n)
    paths.push_back("D:\\Samples\\Grand Piano\\Layer soft\\Grand Piano" +
                    search_text(criterion, transpose_byte(0), n) + " soft.wav");
  return paths;
}

void place_row(ratio_table& table, const char* name, position_criterion criterion, int runs) {
  constexpr int repeats = 500;
  const std::vector<std::string> paths = library_of_128(criterion);
  std::vector<std::string> texts;
  for (int n = 0; n < slots_per_multisample; ++n)
    texts.push_back(search_text(criterion, transpose_byte(0), n));
  auto b = std::make_unique<bank>();
  const double measured = best_of(runs, [&] {
    for (int r = 0; r < repeats; ++r)
      sink = place_by_name(*b, 1, paths, criterion, transpose_byte(0)).matches;
  });
  const double baseline = best_of(runs, [&] {
    for (int r = 0; r < repeats; ++r) {
      std::size_t found = 0;
      for (const std::string& text : texts)
        for (const std::string& path : paths) found += path.find(text) != std::string::npos;
      sink = found;
    }
  });
  // Milliseconds per placement of 128 files.
  table.row(name, measured / repeats * 1e3, baseline / repeats * 1e3, 1.0);
}

void replace_rows(ratio_table& table, int runs) {
  auto b = std::make_unique<bank>();
  std::vector<std::string> texts;
  texts.reserve(std::size_t{multisample_count} * slots_per_multisample);
  for (int n = 0; n < multisample_count; ++n)
    for (int j = 0; j < slots_per_multisample; ++j) {
      texts.push_back(full_bank_path(n, j));
      b->set_file(n, j, texts.back());
    }
  const std::string from = "D:\\Samples\\", to = "E:\\Moved Library\\";
  bool moved = false;  // each run moves the library there or back: every path changes each time
  const double measured = best_of(runs, [&] {
    if (moved)
      b->replace_in_paths(to, from);
    else
      b->replace_in_paths(from, to);
    moved = !moved;
  });
  const double baseline = best_of(runs, [&] {
    std::size_t found = 0;
    for (const std::string& text : texts) found += text.find(from) != std::string::npos;
    sink = found;
  });
  // The floor of any rewrite that keeps its texts: each path with the folder replaced, built
  // into a std::string of its own (no sharing, no index).
  std::vector<std::string> copies(texts.size());
  const double rewrite = best_of(runs, [&] {
    for (std::size_t k = 0; k < texts.size(); ++k) {
      const std::string& text = texts[k];
      std::string& out = copies[k];
      out.clear();
      const std::size_t at = text.find(from);
      if (at == std::string::npos) {
        out = text;
      } else {
        out.append(text, 0, at).append(to).append(text, at + from.size());
      }
    }
    sink = copies.back().size();
  });
  table.row("replace in 1.28M paths / one find pass", measured, baseline, 60.0);
  table.row_info("floor: rewrite into std::strings / find pass", rewrite, baseline);
  table.row_info("replace in 1.28M paths / floor", measured, rewrite);
  // The refresh after every command recomputes the library common path.
  const double common = best_of(runs, [&] { sink = library_common_path(*b).size(); });
  table.row("library common path of 1.28M paths / find pass", common, baseline, 1.0);
  // Every text changed in every run; the pool still holds one text per slot and the marker.
  const double expected = double(texts.size()) + 1;
  table.row("path pool texts after replaces / in use", double(b->paths().size()), expected, 1.0);
}

}  // namespace
}  // namespace qbank::bench

int main(int argc, char** argv) {
  using namespace qbank;
  using namespace qbank::bench;
  const int runs = qbank::bench::runs_argument(argc, argv, 5);
  ratio_table table;
  table.header("ms / s / n");
  place_row(table, "place 128 files by number / 128x128 find", position_criterion::number, runs);
  place_row(table, "place 128 files by name (B) / 128x128 find", position_criterion::table_b, runs);
  replace_rows(table, runs);
  return table.done();
}
