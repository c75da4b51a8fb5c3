#include "app/progress_form.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/window_util.h"

namespace qbank::gui {

TProgressForm::TProgressForm(char kind, std::int32_t* cancel_flag, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      title_(new QLabel(QStringLiteral("Progress..."), this)),
      gauge_(new QProgressBar(this)),
      text_(new QLabel(this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)),
      cancel_flag_(cancel_flag) {
  setObjectName(QStringLiteral("ProgressForm"));
  setWindowTitle(QStringLiteral("Please wait..."));
  // Input to the other windows waits while a command runs; "Cancel" stays reachable.
  setWindowModality(Qt::ApplicationModal);
  setFixedSize(360, 97);

  title_->setAlignment(Qt::AlignCenter);
  gauge_->setRange(0, 100);
  gauge_->setValue(0);
  gauge_->setTextVisible(false);
  gauge_->setFixedHeight(16);
  QPalette palette = gauge_->palette();
  palette.setColor(QPalette::Highlight, gauge_color_for(kind));
  gauge_->setPalette(palette);
  text_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  cancel_->setEnabled(cancel_flag_ != nullptr);
  cancel_->setAutoDefault(false);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    if (cancel_flag_) *cancel_flag_ = 1;
  });

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(8, 6, 8, 6);
  layout->setVerticalSpacing(4);
  layout->addWidget(title_, 0, 0, 1, 2);
  layout->addWidget(gauge_, 1, 0, 1, 2);
  layout->addWidget(text_, 2, 0);
  layout->addWidget(cancel_, 2, 1);
  layout->setColumnStretch(0, 1);
  centre_on_screen(this);
}

QColor TProgressForm::gauge_color_for(char kind) {
  switch (kind) {
    case 'r':
      return QColor(0, 255, 255);
    case 'w':
      return QColor(255, 0, 0);
    default:
      return QColor(0, 192, 0);
  }
}

QColor TProgressForm::gauge_color() const {
  return gauge_->palette().color(QPalette::Highlight);
}

bool TProgressForm::repaint_text_now() {
  if (since_text_repaint_.isValid() && since_text_repaint_.elapsed() < 40) return false;
  since_text_repaint_.start();
  return true;
}

void TProgressForm::set_title(const QString& text) {
  title_->setText(text);
  if (repaint_text_now()) repaint();
}

void TProgressForm::set_text(const QString& text) {
  text_->setText(text);
  if (repaint_text_now()) text_->repaint();
}

void TProgressForm::set_percent(std::uint8_t percent) {
  if (percent > 100) percent = 100;
  if (percent == last_percent_) return;
  last_percent_ = percent;
  gauge_->setValue(percent);
  gauge_->repaint();
}

QString TProgressForm::title() const {
  return title_->text();
}
QString TProgressForm::text() const {
  return text_->text();
}

void TProgressForm::closeEvent(QCloseEvent* event) {
  event->ignore();
}

}  // namespace qbank::gui
