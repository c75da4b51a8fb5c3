// The look every grid of the window shares: a fixed header row, a narrow number column, one
// row selected at a time, fixed row heights (10000 rows stay cheap).
#pragma once

#include <QString>

class QAbstractItemModel;
class QTableView;
class QWidget;

namespace qbank::gui {

// A view over a two-column name grid model named `object_name`, with column widths in pixels.
QTableView* make_name_grid(QAbstractItemModel* model, QWidget* parent, const QString& object_name,
                           int number_width, int name_width);

// Makes `row` the current (selected) row of `grid` and scrolls it into sight.
void select_row(QTableView* grid, int row);
// The current row of `grid`, 0 when none.
int current_row(const QTableView* grid);

}  // namespace qbank::gui
