// The player's two costs a user feels, on the largest slot a bank holds (65535 sectors, 33.5 MB):
// the waveform of a newly loaded sound (columns computed and painted), and the time from a
// press to the first audio buffer handed to the device. Built by src/gui (it needs the window),
// run offscreen with a sound server (tools/test-sound-server.sh starts one):
//   QT_QPA_PLATFORM=offscreen gui_player_bench [RUNS]
// Goals: columns + painting <= 20 ms; press on the plot to first buffer <= 50 ms. Baselines
// measured in the same run: one pass over the samples (the floor of any peak search) and a bare
// QAudioSink started on the same device with the same bytes.
#include <QApplication>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/grid_view.h"
#include "app/main_form.h"
#include "audio/my_wave_plot.h"
#include "audio/player_tab.h"
#include "audio/slot_audio.h"
#include "audio/wav_file.h"
#include "audio/wave_player.h"
#include "bank/bank.h"
#include "bench_support.h"

namespace {

using clock_type = std::chrono::steady_clock;
constexpr std::uint32_t largest_slot = 65535u * 512u;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double ms_since(clock_type::time_point start, clock_type::time_point end) {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

// Runs the event loop until `done` or 2 s; the time it became true, or none.
template <typename F>
std::optional<clock_type::time_point> wait_for(F done) {
  const auto limit = clock_type::now() + std::chrono::seconds(2);
  while (clock_type::now() < limit) {
    if (auto t = done()) return t;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int runs = qbank::bench::runs_argument(argc, argv, 15, 3);
  qbank::bench::scratch_dir dir("/dev/shm");

  std::vector<std::int16_t> samples(largest_slot / 2);
  for (std::size_t k = 0; k < samples.size(); ++k)
    samples[k] = static_cast<std::int16_t>((k * 2654435761u) >> 16);
  std::vector<std::uint8_t> wav(qbank::wav_canonical_header_size);
  {
    const auto header = qbank::wav_canonical_header(1, largest_slot);
    std::copy(header.begin(), header.end(), wav.begin());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples.data());
    wav.insert(wav.end(), bytes, bytes + largest_slot);
    qbank::bench::write_plain_file(dir / "big.wav", wav.data(), wav.size());
  }

  qbank::bench::ratio_table table;
  table.header("ms");

  // Waveform: columns and picture of the whole slot, against one pass over the samples.
  qbank::gui::MyWavePlot plot;
  std::vector<double> paint, pass, columns;
  volatile int sink = 0;
  for (int i = 0; i < runs; ++i) {
    auto t0 = clock_type::now();
    plot.plot(samples.data(), largest_slot, false);
    paint.push_back(ms_since(t0, clock_type::now()));
    t0 = clock_type::now();
    const qbank::wave_peaks peaks =
        qbank::compute_wave_peaks(samples.data(), largest_slot, false, qbank::plot_width);
    columns.push_back(ms_since(t0, clock_type::now()));
    sink = sink + peaks.at(0, 0).positive;
    t0 = clock_type::now();
    std::int16_t high = 0;
    for (std::int16_t v : samples) high = std::max(high, v);
    sink = sink + high;
    pass.push_back(ms_since(t0, clock_type::now()));
  }
  table.row_info("columns + paint / one pass over the samples", median(paint), median(pass));
  table.row_info("columns alone / one pass over the samples", median(columns), median(pass));
  table.row("columns + paint / 20 ms budget", median(paint), 20.0, 1.0);

  // Loading the slot's WAV file, against reading the same bytes into memory in one call.
  std::vector<double> load, read_all;
  std::vector<char> copy(wav.size());
  qbank::slot_audio a;
  for (int i = 0; i < runs; ++i) {
    auto t0 = clock_type::now();
    a = qbank::load_wav_audio(dir / "big.wav", std::move(a.samples));
    load.push_back(ms_since(t0, clock_type::now()));
    sink = sink + a.samples[7];
    t0 = clock_type::now();
    qbank::input_file f(dir / "big.wav");
    f.read(copy.data(), copy.size());
    read_all.push_back(ms_since(t0, clock_type::now()));
  }
  table.row("load 33.5 MB WAV / one read of the file", median(load), median(read_all), 2.0);

  if (QMediaDevices::audioOutputs().isEmpty()) {
    std::printf("no audio output device: start a sound server for the press measures\n");
    return table.done();
  }

  // Press to first buffer: a bare sink on the default device with the same bytes.
  std::vector<double> bare;
  QAudioFormat format;
  format.setSampleRate(48000);
  format.setChannelCount(1);
  format.setSampleFormat(QAudioFormat::Int16);
  QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char*>(samples.data()),
                                           static_cast<qsizetype>(largest_slot));
  for (int i = 0; i < runs; ++i) {
    QBuffer buffer(&raw);
    buffer.open(QIODevice::ReadOnly);
    QAudioSink out(QMediaDevices::defaultAudioOutput(), format);
    const auto t0 = clock_type::now();
    out.start(&buffer);
    const auto t = wait_for([&]() -> std::optional<clock_type::time_point> {
      if (buffer.pos() > 0) return clock_type::now();
      return std::nullopt;
    });
    if (t) bare.push_back(ms_since(t0, *t));
    out.stop();
  }

  // The window: a press on the plot with the slot loaded, and a Ctrl press on the slot grid
  // that loads the 33.5 MB WAV file first.
  qbank::gui::TForm1 form;
  form.show();
  form.PageControl1->setCurrentIndex(1);
  qbank::gui::select_row(form.StringGridMultisamples, 0);
  form.main_bank().set_file(1, 0, (dir / "big.wav").string());
  qbank::gui::player_tab& player = *form.player();
  player.RadioButtonAudioFromWAV->setChecked(true);
  QTableView* grid = form.StringGridFiles;
  const QPoint slot0 = grid->visualRect(grid->model()->index(0, 2)).center();
  std::vector<double> press, ctrl_press;
  auto first_read = [&]() -> std::optional<clock_type::time_point> {
    const qbank::gui::sample_source* s = player.output().source();
    return s ? s->first_read() : std::nullopt;
  };
  for (int i = 0; i < runs; ++i) {
    // Away from the slot and back, so that each Ctrl press loads it anew.
    qbank::gui::select_row(grid, 1);
    auto t0 = clock_type::now();
    QTest::mousePress(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, slot0);
    if (auto t = wait_for(first_read)) ctrl_press.push_back(ms_since(t0, *t));
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, slot0);
    t0 = clock_type::now();
    QTest::mousePress(player.plot, Qt::LeftButton, {}, QPoint(5, 5));
    if (auto t = wait_for(first_read)) press.push_back(ms_since(t0, *t));
    QTest::mouseRelease(player.plot, Qt::LeftButton, {}, QPoint(5, 5));
  }
  if (bare.empty() || press.empty() || ctrl_press.empty()) {
    std::printf("the device took no audio\n");
    return 2;
  }
  table.row_info("press on plot / bare QAudioSink start", median(press), median(bare));
  table.row("press on plot / 50 ms budget", median(press), 50.0, 1.0);
  table.row_info("Ctrl press on grid (load 33.5 MB) / bare sink", median(ctrl_press), median(bare));
  table.row("Ctrl press on grid / 50 ms budget", median(ctrl_press), 50.0, 1.0);
  return table.done();
}
