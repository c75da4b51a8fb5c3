#include "edit/sellect_form.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/window_util.h"

namespace qbank::gui {

namespace {

bool dialog_open = false;

constexpr int results[4] = {TSellectForm::move_result, TSellectForm::swap_result,
                            TSellectForm::copy_result, TSellectForm::cancel_result};

}  // namespace

TSellectForm::TSellectForm(const QString& source, const QString& target)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint) {
  setObjectName(QStringLiteral("SellectForm"));
  setWindowTitle(QStringLiteral("Operation sellector..."));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  for (const QString& text : {source, QStringLiteral("V"), target}) {
    auto* label = new QLabel(text, this);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
  }
  // The buttons name the two programs by their bracketed numbers.
  const QString from = source.left(5);
  const QString to = target.left(5);
  const QString captions[4] = {QStringLiteral("Move:   %1  to  %2").arg(from, to),
                               QStringLiteral("Swap:   %1  with  %2").arg(from, to),
                               QStringLiteral("Copy:   %1  to  %2").arg(from, to),
                               QStringLiteral("Cancel")};
  for (int i = 0; i < 4; ++i) {
    buttons_[i] = new QPushButton(captions[i], this);
    buttons_[i]->setAutoDefault(false);
    const int result = results[i];
    connect(buttons_[i], &QPushButton::clicked, this, [this, result] { done(result); });
    layout->addWidget(buttons_[i]);
  }
  setMinimumWidth(260);
}

QPushButton* TSellectForm::button(int result) const {
  for (int i = 0; i < 4; ++i)
    if (results[i] == result) return buttons_[i];
  return nullptr;
}

int TSellectForm::choose(QWidget* owner, const QString& source, const QString& target) {
  if (dialog_open) return cancel_result;
  dialog_open = true;
  TSellectForm dialog(source, target);
  attach_to(&dialog, owner);
  dialog.adjustSize();
  if (owner) {
    QRect frame = dialog.frameGeometry();
    frame.moveCenter(owner->window()->frameGeometry().center());
    dialog.move(frame.topLeft());
  }
  const int result = dialog.exec();
  dialog_open = false;
  return result;
}

}  // namespace qbank::gui
