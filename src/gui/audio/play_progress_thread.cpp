#include "audio/play_progress_thread.h"

#include <limits>

#include "audio/my_wave_plot.h"
#include "audio/wave_player.h"

namespace qbank::gui {

PlayProgressThread::PlayProgressThread(wave_player& player, MyWavePlot& plot, QObject* parent)
    : QObject(parent), player_(player), plot_(plot) {
  timer_.setInterval(15);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &PlayProgressThread::poll);
  // The end of a sound (or a stop) takes the cursor away at once, not at the next poll.
  connect(&player_, &wave_player::finished, this, &PlayProgressThread::poll);
}

void PlayProgressThread::resume() {
  timer_.start();
  poll();
}

void PlayProgressThread::poll() {
  if (player_.playing()) {
    plot_.set_cursor(player_.position());
    return;
  }
  plot_.set_cursor(std::numeric_limits<std::uint64_t>::max());
  timer_.stop();
}

}  // namespace qbank::gui
