// `TSellectDyrectoryForm`: the folder choice dialog. A list of the mounted volumes (the drives
// of the instrument's original desktop), a folder tree of the chosen volume beside it, a label
// that always shows the full path of the folder selected in the tree, "Cancel" and a confirm
// button whose text, like the window caption, the caller gives.
#pragma once

#include <QDialog>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;

namespace qbank::gui {

class TSellectDyrectoryForm : public QDialog {
  Q_OBJECT

 public:
  TSellectDyrectoryForm(const QString& caption, const QString& confirm_text,
                        QWidget* parent = nullptr);

  // The folder selected in the tree, with native separators and without a trailing one (a
  // volume root keeps its own, as "/" or "E:\"); empty when none is selected.
  QString selected_folder() const;
  // Shows the volume holding `folder` and selects `folder` in the tree.
  void select_folder(const QString& folder);

  QComboBox* DriveComboBox = nullptr;
  QTreeView* DirectoryTree = nullptr;
  QLabel* LabelPath = nullptr;
  QPushButton* ButtonOK = nullptr;
  QPushButton* ButtonCancel = nullptr;

 private:
  void show_volume(int index);
  void show_selection();

  QFileSystemModel* folders_ = nullptr;
};

}  // namespace qbank::gui
