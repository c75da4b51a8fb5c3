// The look every grid of the window shares: a fixed header row, a narrow number column, one
// row selected at a time, fixed row heights (10000 rows stay cheap).
#pragma once

#include <QString>
#include <QStyledItemDelegate>
#include <functional>

class QAbstractItemModel;
class QTableView;
class QWidget;

namespace qbank::gui {

class name_grid_model;

// A view over a two-column name grid model named `object_name`, with column widths in pixels.
QTableView* make_name_grid(QAbstractItemModel* model, QWidget* parent, const QString& object_name,
                           int number_width, int name_width);

// The name cell's editor: at most 16 characters, as a name holds. With `trim_padding`, the
// editor starts with the name without the blank padding a reset name carries.
class name_delegate : public QStyledItemDelegate {
 public:
  explicit name_delegate(QObject* parent, bool trim_padding = false)
      : QStyledItemDelegate(parent), trim_padding_(trim_padding) {}
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;

 private:
  bool trim_padding_;
};

// Makes the name column of `grid`, a view over `model`, editable in place: a double click, F2
// or a typed key opens the name cell's editor, and the typed name goes to `store(row, text)`,
// which returns whether it was taken.
void edit_names_in_place(QTableView* grid, name_grid_model* model,
                         std::function<bool(int, const QString&)> store, bool trim_padding = false);

// Makes `row` the current (selected) row of `grid` and scrolls it into sight.
void select_row(QTableView* grid, int row);
// The current row of `grid`, 0 when none.
int current_row(const QTableView* grid);

}  // namespace qbank::gui
