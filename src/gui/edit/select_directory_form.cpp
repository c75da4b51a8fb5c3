#include "edit/select_directory_form.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/window_util.h"

namespace qbank::gui {

namespace {

// The mounted volumes that can be browsed, the system's root first.
QList<QStorageInfo> browsable_volumes() {
  QList<QStorageInfo> volumes;
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
    if (v.isValid() && v.isReady()) volumes << v;
  std::sort(volumes.begin(), volumes.end(), [](const QStorageInfo& a, const QStorageInfo& b) {
    return a.rootPath() < b.rootPath();
  });
  return volumes;
}

QString volume_text(const QStorageInfo& v) {
  const QString root = QDir::toNativeSeparators(v.rootPath());
  return v.name().isEmpty() ? root : QStringLiteral("%1  [%2]").arg(root, v.name());
}

}  // namespace

TSellectDyrectoryForm::TSellectDyrectoryForm(const QString& caption, const QString& confirm_text,
                                             QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("SellectDyrectoryForm"));
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);

  auto* browse = new QHBoxLayout;
  DriveComboBox = new QComboBox(this);
  DriveComboBox->setObjectName(QStringLiteral("DriveComboBox"));
  for (const QStorageInfo& v : browsable_volumes())
    DriveComboBox->addItem(volume_text(v), v.rootPath());
  if (DriveComboBox->findData(QDir::rootPath()) < 0)
    DriveComboBox->insertItem(0, QDir::toNativeSeparators(QDir::rootPath()), QDir::rootPath());
  auto* drives = new QVBoxLayout;
  drives->addWidget(DriveComboBox);
  drives->addStretch(1);
  browse->addLayout(drives);

  folders_ = new QFileSystemModel(this);
  folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  folders_->setReadOnly(true);
  folders_->setRootPath(QDir::rootPath());
  DirectoryTree = new QTreeView(this);
  DirectoryTree->setObjectName(QStringLiteral("DirectoryTree"));
  DirectoryTree->setModel(folders_);
  for (int column = 1; column < folders_->columnCount(); ++column)
    DirectoryTree->hideColumn(column);
  DirectoryTree->header()->hide();
  DirectoryTree->setMinimumSize(320, 300);
  browse->addWidget(DirectoryTree, 1);
  layout->addLayout(browse, 1);

  LabelPath = new QLabel(this);
  LabelPath->setObjectName(QStringLiteral("LabelPath"));
  LabelPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(LabelPath);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
  ButtonOK = new QPushButton(confirm_text, this);
  ButtonOK->setDefault(true);
  buttons->addWidget(ButtonCancel);
  buttons->addWidget(ButtonOK);
  layout->addLayout(buttons);

  connect(DriveComboBox, &QComboBox::currentIndexChanged, this,
          [this](int index) { show_volume(index); });
  connect(DirectoryTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { show_selection(); });
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(ButtonOK, &QPushButton::clicked, this, [this] {
    if (!selected_folder().isEmpty()) accept();
  });
  show_volume(DriveComboBox->currentIndex());
  centre_on_screen(this);
}

void TSellectDyrectoryForm::show_volume(int index) {
  const QString root = DriveComboBox->itemData(index).toString();
  if (root.isEmpty()) return;
  const QModelIndex root_index = folders_->index(root);
  DirectoryTree->setRootIndex(root_index.parent());
  DirectoryTree->setCurrentIndex(root_index);
  DirectoryTree->expand(root_index);
  show_selection();
}

void TSellectDyrectoryForm::select_folder(const QString& folder) {
  const QString absolute = QDir(folder).absolutePath();
  // The volume whose root is the longest leading part of the folder.
  int best = -1;
  qsizetype best_length = -1;
  for (int i = 0; i < DriveComboBox->count(); ++i) {
    const QString root = DriveComboBox->itemData(i).toString();
    const bool holds =
        absolute == root ||
        absolute.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
    if (holds && root.size() > best_length) best = i, best_length = root.size();
  }
  if (best >= 0) {
    const QSignalBlocker quiet(DriveComboBox);
    DriveComboBox->setCurrentIndex(best);
    show_volume(best);
  }
  const QModelIndex index = folders_->index(absolute);
  if (!index.isValid()) return;
  DirectoryTree->setCurrentIndex(index);
  DirectoryTree->scrollTo(index);
  show_selection();
}

QString TSellectDyrectoryForm::selected_folder() const {
  const QModelIndex index = DirectoryTree->currentIndex();
  if (!index.isValid()) return {};
  return QDir::toNativeSeparators(folders_->filePath(index));
}

void TSellectDyrectoryForm::show_selection() {
  LabelPath->setText(selected_folder());
}

}  // namespace qbank::gui
