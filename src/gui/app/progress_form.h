// `TProgressForm`: the one shared progress window of long commands ("Please wait..."): an upper
// line, a gauge coloured by the kind of operation, a lower line and a "Cancel" button that only
// sets the caller's flag.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

namespace qbank::gui {

class TProgressForm : public QDialog {
  Q_OBJECT

 public:
  // `kind`: 'r' cyan gauge, 'w' red, anything else green. `cancel_flag` (owned by the caller)
  // enables "Cancel"; none disables it.
  TProgressForm(char kind, std::int32_t* cancel_flag, QWidget* parent = nullptr);

  // Each setter repaints at once: the caller runs a long loop on the window thread.
  void set_title(const QString& text);
  void set_text(const QString& text);
  // Repaints only when the value changed; callers report up to 10000 times per command.
  void set_percent(std::uint8_t percent);

  static QColor gauge_color_for(char kind);
  QColor gauge_color() const;
  std::uint8_t last_percent() const { return last_percent_; }
  QString title() const;
  QString text() const;
  QPushButton* cancel_button() const { return cancel_; }

 protected:
  // The window goes away only through progress_hide: Escape and the close button do nothing.
  void reject() override {}
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* title_;
  QProgressBar* gauge_;
  QLabel* text_;
  QPushButton* cancel_;
  std::int32_t* cancel_flag_;
  std::uint8_t last_percent_ = 0;
  // Texts repaint at once, but not more often than the eye can follow: a build sets the title
  // once per WAV file, and a repaint per file would cost more than the copying.
  QElapsedTimer since_text_repaint_;
  bool repaint_text_now();
};

}  // namespace qbank::gui
