// `TSellectForm` ("Operation sellector..."): asks what to do with a program dragged onto
// another one. Shows the source and the target texts with a "V" between them and four buttons:
// move, swap, copy and "Cancel".
#pragma once

#include <QDialog>

class QPushButton;

namespace qbank::gui {

class TSellectForm : public QDialog {
  Q_OBJECT

 public:
  // The dialog's results.
  static constexpr int move_result = 5;
  static constexpr int swap_result = 6;
  static constexpr int copy_result = 7;
  static constexpr int cancel_result = 2;

  TSellectForm(const QString& source, const QString& target);

  // Shows the dialog above `owner`'s window until a button is chosen and returns its result;
  // closing the dialog is "Cancel". While one dialog is open, another call returns
  // cancel_result at once without showing a second.
  static int choose(QWidget* owner, const QString& source, const QString& target);

  QPushButton* button(int result) const;

 protected:
  void reject() override { done(cancel_result); }

 private:
  QPushButton* buttons_[4] = {};
};

}  // namespace qbank::gui
