#include "app/grid_view.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

namespace qbank::gui {

QTableView* make_name_grid(QAbstractItemModel* model, QWidget* parent, const QString& object_name,
                           int number_width, int name_width) {
  auto* grid = new QTableView(parent);
  grid->setObjectName(object_name);
  grid->setModel(model);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setAlternatingRowColors(true);
  grid->setWordWrap(false);
  grid->setCornerButtonEnabled(false);
  grid->verticalHeader()->hide();
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->verticalHeader()->setDefaultSectionSize(18);
  QHeaderView* header = grid->horizontalHeader();
  header->setSectionResizeMode(0, QHeaderView::Fixed);
  header->setSectionResizeMode(1, QHeaderView::Interactive);
  header->setStretchLastSection(true);
  header->setHighlightSections(false);
  grid->setColumnWidth(0, number_width);
  grid->setColumnWidth(1, name_width);
  grid->setFixedWidth(number_width + name_width + 22);
  grid->setContextMenuPolicy(Qt::CustomContextMenu);
  select_row(grid, 0);
  return grid;
}

void select_row(QTableView* grid, int row) {
  const QModelIndex index = grid->model()->index(row, 1);
  if (!index.isValid()) return;
  if (grid->currentIndex().row() != row)
    grid->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  grid->scrollTo(index);
}

int current_row(const QTableView* grid) {
  const QModelIndex index = grid->currentIndex();
  return index.isValid() ? index.row() : 0;
}

}  // namespace qbank::gui
