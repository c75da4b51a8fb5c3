// `TMyReplaceStringForm`, "Replace strings in library path...": the old text, the new text with
// a "..." button that picks a folder for it, "Replace Old string with NEW string..." and
// "Cancel". Confirmed, it returns the two field texts; cancelled, two empty texts.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;

namespace qbank::gui {

class TMyReplaceStringForm : public QDialog {
  Q_OBJECT

 public:
  // `choose_folder` runs the folder dialog; its folder, followed by one separator, becomes the
  // new text. Both fields start with the given texts.
  TMyReplaceStringForm(const QString& old_text, const QString& new_text,
                       std::function<std::optional<QString>()> choose_folder,
                       QWidget* parent = nullptr);

  QString old_text() const { return old_; }
  QString new_text() const { return new_; }

  QLineEdit* EditOld = nullptr;
  QLineEdit* EditNew = nullptr;
  QPushButton* ButtonBrowse = nullptr;
  QPushButton* ButtonReplace = nullptr;
  QPushButton* ButtonCancel = nullptr;

 private:
  std::function<std::optional<QString>()> choose_folder_;
  QString old_, new_;
};

}  // namespace qbank::gui
