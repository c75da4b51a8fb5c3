#include "app/grid_view.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>

#include "app/grid_models.h"
#include "bank/bank_format.h"

namespace qbank::gui {

namespace {

// Widens the fixed number column when its header text needs more room in the grid's font.
void fit_header_texts(QTableView* grid) {
  QHeaderView* header = grid->horizontalHeader();
  if (header->isHidden()) return;
  const int needed = header->sectionSizeHint(0);
  const int wider = needed - header->sectionSize(0);
  if (wider <= 0) return;
  grid->setColumnWidth(0, needed);
  // The name column keeps its room.
  grid->setMinimumWidth(grid->minimumWidth() + wider);
}

// A grid that is not on screen has no real height yet: scrolling it then would hide the rows
// above its current one once it shows. It scrolls, only as far as needed, when it shows.
class scroll_when_shown : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* grid = static_cast<QTableView*>(watched);
    if (event->type() == QEvent::Show || event->type() == QEvent::FontChange)
      fit_header_texts(grid);
    if (event->type() == QEvent::Show) {
      if (grid->property(pending_scroll).toBool()) {
        grid->setProperty(pending_scroll, false);
        grid->scrollTo(grid->currentIndex(), QAbstractItemView::EnsureVisible);
      }
    }
    return false;
  }
  static constexpr const char* pending_scroll = "pending_scroll";
};

}  // namespace

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
  grid->setMinimumWidth(number_width + name_width + 22);
  // Tab moves on to the next control; the arrow keys move inside the grid.
  grid->setTabKeyNavigation(false);
  grid->setContextMenuPolicy(Qt::CustomContextMenu);
  grid->installEventFilter(new scroll_when_shown(grid));
  select_row(grid, 0);
  return grid;
}

void select_row(QTableView* grid, int row) {
  const QModelIndex index = grid->model()->index(row, 1);
  if (!index.isValid()) return;
  if (grid->currentIndex().row() != row)
    grid->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  if (grid->isVisible())
    grid->scrollTo(index, QAbstractItemView::EnsureVisible);
  else
    grid->setProperty(scroll_when_shown::pending_scroll, true);
}

int current_row(const QTableView* grid) {
  const QModelIndex index = grid->currentIndex();
  return index.isValid() ? index.row() : 0;
}

QWidget* name_delegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
  QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
  if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setMaxLength(name_size);
  return editor;
}

void name_delegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  auto* line = qobject_cast<QLineEdit*>(editor);
  if (trim_padding_ && line)
    line->setText(index.data(Qt::EditRole).toString().trimmed());
  else
    QStyledItemDelegate::setEditorData(editor, index);
}

void edit_names_in_place(QTableView* grid, name_grid_model* model,
                         std::function<bool(int, const QString&)> store, bool trim_padding) {
  model->set_name_editor(std::move(store));
  grid->setItemDelegateForColumn(1, new name_delegate(grid, trim_padding));
  grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                        QAbstractItemView::AnyKeyPressed);
}

}  // namespace qbank::gui
