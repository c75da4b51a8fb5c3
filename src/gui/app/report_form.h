// `TFormReport`: a modal window showing a report's lines in a read-only text box without word
// wrap; its caption is the report title.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;

namespace qbank::gui {

class TFormReport : public QDialog {
  Q_OBJECT

 public:
  // `lines` are UTF-8.
  TFormReport(const QString& title, const std::vector<std::string>& lines,
              QWidget* parent = nullptr);
  QPlainTextEdit* text_box() const { return text_; }

 private:
  QPlainTextEdit* text_;
};

}  // namespace qbank::gui
