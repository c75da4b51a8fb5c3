#include "app/report_form.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/window_util.h"

namespace qbank::gui {

TFormReport::TFormReport(const QString& title, const std::vector<std::string>& lines,
                         QWidget* parent)
    : QDialog(parent), text_(new QPlainTextEdit(this)) {
  setObjectName(QStringLiteral("FormReport"));
  setWindowTitle(title);
  resize(546, 529);
  // A long report reads better in a larger window.
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text_->setFont(QFont(QStringLiteral("monospace")));

  QString all;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) all += QLatin1Char('\n');
    all += QString::fromStdString(lines[i]);
  }
  text_->setPlainText(all);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(text_);
  centre_on_screen(this);
}

}  // namespace qbank::gui
