// `MyWavePlot`: the waveform of the player's sound, or a message in its place, with the playing
// cursor. The columns come from the core once per sound; the picture is drawn once per sound,
// zoom or message and kept, so moving the cursor repaints two one-pixel columns only.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

#include "audio/wave_plot.h"

namespace qbank::gui {

class MyWavePlot : public QWidget {
  Q_OBJECT

 public:
  // The plot of the main window: 628 x 88 pixels at the least (it grows with its page), zoom
  // x1, no sound, no cursor.
  explicit MyWavePlot(QWidget* parent = nullptr);

  // Shows the waveform of `length` bytes of 16-bit samples (stereo interleaved). The samples
  // are not copied: they must stay alive until the next plot or show_message.
  void plot(const std::int16_t* samples, std::uint32_t length, bool stereo);
  // Shows `text` instead of a waveform.
  void show_message(const QString& text);
  // One step of the zoom buttons; the waveform is redrawn when the level changed.
  void zoom(bool up);
  QString zoom_text() const;
  // Moves the cursor to the column of byte `position`; at or beyond the length it goes away.
  void set_cursor(std::uint64_t position);

  int zoom_level() const { return zoom_; }
  bool plotted() const { return plotted_; }
  int cursor_column() const { return cursor_; }
  std::uint32_t length() const { return length_; }
  bool stereo() const { return stereo_; }
  const QString& message() const { return message_; }
  // The cached picture, without the cursor.
  const QImage& picture() const { return picture_; }

 Q_SIGNALS:
  // The left mouse button went down / up over the plot.
  void pressed();
  void released();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void draw_waveform();
  void draw_message();
  void update_column(int x);

  const std::int16_t* samples_ = nullptr;
  std::uint32_t length_ = 0;
  bool stereo_ = false;
  int zoom_ = 0;
  bool plotted_ = false;
  int cursor_ = -1;
  wave_peaks peaks_;
  QString message_;
  QImage picture_;
};

}  // namespace qbank::gui
