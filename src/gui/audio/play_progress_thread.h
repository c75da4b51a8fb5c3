// `PlayProgressThread`: follows the playing position and moves the plot's cursor while a sound
// plays, and takes the cursor away when it ends.
//
// It is a timer on the window thread rather than a thread of its own: the audio sink answers its
// position only on the thread that owns it, and the cursor is part of a widget, which only the
// window thread may paint. A poll every 15 ms moves the cursor smoothly (several times per
// column on a short sound) and costs nothing between polls, where a spinning thread would keep
// a processor core busy.
#pragma once

#include <QObject>
#include <QTimer>

namespace qbank::gui {

class MyWavePlot;
class wave_player;

class PlayProgressThread : public QObject {
  Q_OBJECT

 public:
  // Created suspended. `player` and `plot` outlive it.
  PlayProgressThread(wave_player& player, MyWavePlot& plot, QObject* parent = nullptr);

  // Starts following the position (play calls it once the device plays).
  void resume();
  bool running() const { return timer_.isActive(); }
  // One polling step: the cursor to the position while playing; otherwise the cursor goes away
  // and the thread suspends itself.
  void poll();

 private:
  wave_player& player_;
  MyWavePlot& plot_;
  QTimer timer_;
};

}  // namespace qbank::gui
