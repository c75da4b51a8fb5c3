// The window's two costs a user feels: refresh, which runs after every command, over a full
// bank (all 9999 programs and all multisamples named), and the time from process start to the
// main window shown. Built by src/gui (it needs the window), run offscreen:
//   QT_QPA_PLATFORM=offscreen gui_refresh_bench [rounds]
// Goals: median refresh <= 16 ms (one frame), start to window shown <= 1 s; the start of a
// trivial process (/bin/true) is shown for scale.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStyleFactory>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/main_form.h"
#include "app/start_screen.h"
#include "bank/bank.h"
#include "bench_support.h"

namespace {

using clock_type = std::chrono::steady_clock;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void name_everything(qbank::bank& b, int generation) {
  char text[17];
  for (int p = 0; p < qbank::program_count; ++p) {
    std::snprintf(text, sizeof text, "Prog %04d g%d", p, generation);
    std::memcpy(b.program(p).name, text, qbank::name_size);
    b.program(p).zones[0].multisample = static_cast<std::uint16_t>(1 + p % 9999);
  }
  for (int n = 1; n < qbank::multisample_count; ++n) {
    std::snprintf(text, sizeof text, "Multi %04d g%d", n, generation);
    std::memcpy(b.multisample(n).name, text, qbank::name_size);
  }
}

// The start-up of qbank-gui up to the main window shown; prints "shown" when it is.
int start_once(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  qbank::gui::splash_show();
  qbank::gui::TForm1 window(nullptr, qbank::gui::splash_set_progress);
  window.show();
  qbank::gui::splash_hide();
  QApplication::processEvents();
  std::printf("shown\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--start-once") == 0) return start_once(argc, argv);
  const int rounds = qbank::bench::runs_argument(argc, argv, 41, 3);

  std::vector<double> starts;
  for (int i = 0; i < 7; ++i) {
    QProcess child;
    const auto begin = clock_type::now();
    child.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--start-once")});
    if (!child.waitForReadyRead(30000)) {
      std::fprintf(stderr, "start-up run did not report\n");
      return 1;
    }
    starts.push_back(std::chrono::duration<double, std::milli>(clock_type::now() - begin).count());
    child.waitForFinished(30000);
  }

  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  qbank::gui::TForm1 window;
  window.show();
  QApplication::processEvents();

  std::vector<double> unchanged, renamed;
  for (int r = 0; r < rounds; ++r) {
    name_everything(window.main_bank(), r);  // every name differs from the last round
    auto begin = clock_type::now();
    window.refresh();
    QApplication::processEvents();  // the views repaint what the refresh invalidated
    renamed.push_back(std::chrono::duration<double, std::milli>(clock_type::now() - begin).count());
    begin = clock_type::now();
    window.refresh();
    QApplication::processEvents();
    unchanged.push_back(
        std::chrono::duration<double, std::milli>(clock_type::now() - begin).count());
  }
  // A trivial process started the same way, for scale.
  std::vector<double> trivial;
  for (int i = 0; i < 7; ++i) {
    QProcess child;
    const auto begin = clock_type::now();
    child.start(QStringLiteral("/bin/true"), {});
    child.waitForFinished(30000);
    trivial.push_back(std::chrono::duration<double, std::milli>(clock_type::now() - begin).count());
  }
  std::printf("medians: %d refresh rounds, %zu starts\n\n", rounds, starts.size());
  qbank::bench::ratio_table table;
  table.header("ms");
  table.row("refresh, full bank, nothing changed / 16 ms", median(unchanged), 16.0, 1.0);
  table.row("refresh, full bank, names changed / 16 ms", median(renamed), 16.0, 1.0);
  table.row("window start to shown / 1000 ms", median(starts), 1000.0, 1.0);
  table.row_info("window start to shown / trivial process", median(starts), median(trivial));
  std::printf("\n");
  return table.done();
}
