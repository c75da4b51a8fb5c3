#include "edit/replace_string_form.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/window_util.h"
#include "edit/path_tools.h"

namespace qbank::gui {

TMyReplaceStringForm::TMyReplaceStringForm(const QString& old_text, const QString& new_text,
                                           std::function<std::optional<QString>()> choose_folder,
                                           QWidget* parent)
    : QDialog(parent), choose_folder_(std::move(choose_folder)) {
  setObjectName(QStringLiteral("MyReplaceStringForm"));
  setWindowTitle(QStringLiteral("Replace strings in library path..."));
  auto* layout = new QGridLayout(this);
  layout->addWidget(
      new QLabel(QStringLiteral("Old string - this string will be replaced with new string"), this),
      0, 0, 1, 2);
  EditOld = new QLineEdit(old_text, this);
  EditOld->setObjectName(QStringLiteral("EditOld"));
  EditOld->setMinimumWidth(480);
  layout->addWidget(EditOld, 1, 0, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("New string"), this), 2, 0, 1, 2);
  EditNew = new QLineEdit(new_text, this);
  EditNew->setObjectName(QStringLiteral("EditNew"));
  layout->addWidget(EditNew, 3, 0);
  ButtonBrowse = new QPushButton(QStringLiteral("..."), this);
  ButtonBrowse->setFixedWidth(32);
  layout->addWidget(ButtonBrowse, 3, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  ButtonReplace = new QPushButton(QStringLiteral("Replace Old string with NEW string..."), this);
  ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
  buttons->addWidget(ButtonReplace);
  buttons->addWidget(ButtonCancel);
  layout->addLayout(buttons, 4, 0, 1, 2);

  connect(ButtonBrowse, &QPushButton::clicked, this, [this] {
    const std::optional<QString> folder = choose_folder_ ? choose_folder_() : std::nullopt;
    if (!folder) return;
    const QByteArray utf8 = folder->toUtf8();
    EditNew->setText(QString::fromStdString(folder_as_new_text(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
        QDir::separator().toLatin1())));
  });
  connect(ButtonReplace, &QPushButton::clicked, this, [this] {
    old_ = EditOld->text();
    new_ = EditNew->text();
    accept();
  });
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  centre_on_screen(this);
}

}  // namespace qbank::gui
