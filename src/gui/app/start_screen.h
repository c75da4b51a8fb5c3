// `TStartScreen`: the splash window shown while the main window is built. Borderless, on top,
// 312 x 285, centred; a picture, a blue gauge along the bottom edge and three labels. A click
// hides it at once.
#pragma once

#include <QWidget>
#include <cstdint>

class QProgressBar;

namespace qbank::gui {

class TStartScreen : public QWidget {
  Q_OBJECT

 public:
  explicit TStartScreen(QWidget* parent = nullptr);
  void set_progress(std::uint8_t percent);
  int progress() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QProgressBar* gauge_;
};

// The splash operations of start-up; splash_set_progress does nothing when no splash exists.
void splash_show();
void splash_set_progress(std::uint8_t percent);
void splash_hide();
TStartScreen* splash_window();

// The application's icon, drawn (a sampler's keys under a waveform).
QIcon application_icon();

}  // namespace qbank::gui
