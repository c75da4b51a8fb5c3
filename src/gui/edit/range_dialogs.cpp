#include "edit/range_dialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

namespace qbank::gui {

range_remove_dialog::range_remove_dialog(QWidget* parent, const QString& caption,
                                         const QString& from_label, const QString& to_label,
                                         int low, int high, int current)
    : QDialog(parent) {
  setWindowTitle(caption);
  auto* layout = new QGridLayout(this);
  from_ = new QSpinBox(this);
  to_ = new QSpinBox(this);
  for (QSpinBox* field : {from_, to_}) {
    field->setRange(low, high);
    field->setValue(std::clamp(current, low, high));
  }
  from_->setObjectName(QStringLiteral("From"));
  to_->setObjectName(QStringLiteral("To"));
  layout->addWidget(new QLabel(from_label, this), 0, 0);
  layout->addWidget(from_, 0, 1);
  layout->addWidget(new QLabel(to_label, this), 1, 0);
  layout->addWidget(to_, 1, 1);
  auto* buttons = new QHBoxLayout;
  remove_ = new QPushButton(QStringLiteral("Remove..."), this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  buttons->addWidget(remove_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons, 2, 0, 1, 2);

  connect(from_, &QSpinBox::valueChanged, this, [this](int from) {
    if (from > to_->value()) to_->setValue(from);
  });
  connect(to_, &QSpinBox::valueChanged, this, [this](int to) {
    if (to < from_->value()) from_->setValue(to);
  });
  connect(remove_, &QPushButton::clicked, this, [this] {
    if (on_remove) on_remove(from_->value(), to_->value());
    accept();
  });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

TDeleteMultiProgramForm::TDeleteMultiProgramForm(QWidget* parent, int current_program)
    : range_remove_dialog(parent, QStringLiteral("Remove Multiple Programs"),
                          QStringLiteral("From Program:"), QStringLiteral("To Program:"), 0, 9998,
                          current_program) {
  setObjectName(QStringLiteral("DeleteMultiProgramForm"));
}

TDeleteMultipleMultisampleForm::TDeleteMultipleMultisampleForm(QWidget* parent,
                                                               int current_multisample)
    : range_remove_dialog(parent, QStringLiteral("Remove Multisamples"),
                          QStringLiteral("From Multisample:"), QStringLiteral("To Multisample:"), 1,
                          2047, current_multisample) {
  setObjectName(QStringLiteral("DeleteMultipleMultisampleForm"));
}

}  // namespace qbank::gui
