#include "app/find_bar.h"

#include <QAction>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace qbank::gui {

bool find_matches(const QString& query, const QString& number, const QString& name) {
  const QString wanted = query.trimmed();
  if (wanted.isEmpty()) return false;
  if (name.contains(wanted, Qt::CaseInsensitive)) return true;
  // The number column may carry a prefix ("MS0012"): its digits are the row's number.
  QString digits = number;
  digits.remove(QRegularExpression(QStringLiteral("[^0-9]")));
  bool query_is_number = false, row_is_number = false;
  const int n = wanted.toInt(&query_is_number);
  return query_is_number && digits.toInt(&row_is_number) == n && row_is_number;
}

find_bar::find_bar(QTableView* grid)
    : QWidget(nullptr), grid_(grid), line_(new QLineEdit(this)), count_(new QLabel(this)) {
  setObjectName(grid->objectName() + QStringLiteral("Find"));
  // The line and the grid share one column in the grid's place, so the grid's layout and size
  // stay as they were while the line is closed.
  QWidget* holder = grid->parentWidget();
  auto* column = new QWidget(holder);
  if (QLayout* around = holder->layout()) delete around->replaceWidget(grid, column);
  auto* column_layout = new QVBoxLayout(column);
  column_layout->setContentsMargins(0, 0, 0, 0);
  column_layout->setSpacing(2);
  column_layout->addWidget(this);
  column_layout->addWidget(grid);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  line_->setPlaceholderText(QStringLiteral("Number or name"));
  line_->setClearButtonEnabled(true);
  layout->addWidget(line_, 1);
  layout->addWidget(count_);
  line_->installEventFilter(this);
  connect(line_, &QLineEdit::textEdited, this, &find_bar::find);
  connect(line_, &QLineEdit::returnPressed, this, &find_bar::next_match);
  // F3 goes on from the line and from the grid alike.
  auto* again =
      new QAction(QStringLiteral("Find > Next match (in the find line or its grid)"), column);
  again->setShortcut(QKeySequence(Qt::Key_F3));
  again->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(again, &QAction::triggered, this, [this] {
    if (isVisible()) next_match();
  });
  column->addAction(again);
  hide();
}

void find_bar::open() {
  // The names may have changed since the last search.
  if (!line_->text().isEmpty()) find(line_->text());
  show();
  line_->setFocus(Qt::ShortcutFocusReason);
  line_->selectAll();
}

void find_bar::close_bar() {
  hide();
  grid_->setFocus(Qt::OtherFocusReason);
}

void find_bar::find(const QString& query) {
  matches_.clear();
  const QAbstractItemModel* model = grid_->model();
  for (int row = 0, rows = model->rowCount(); row < rows; ++row) {
    if (find_matches(query, model->index(row, 0).data().toString(),
                     model->index(row, 1).data().toString()))
      matches_.push_back(row);
  }
  show_count();
  if (matches_.empty()) return;
  QItemSelection rows;
  for (int row : matches_) rows.select(model->index(row, 0), model->index(row, 1));
  QItemSelectionModel* selection = grid_->selectionModel();
  // Current first: the window follows the current row and may reselect it on its own.
  const QModelIndex first = model->index(matches_.front(), 1);
  selection->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
  selection->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  grid_->scrollTo(first, QAbstractItemView::PositionAtCenter);
}

void find_bar::next_match() {
  if (matches_.empty()) return;
  const int current = grid_->currentIndex().row();
  const auto after = std::upper_bound(matches_.begin(), matches_.end(), current);
  const int row = after == matches_.end() ? matches_.front() : *after;
  const QModelIndex index = grid_->model()->index(row, 1);
  grid_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  grid_->scrollTo(index, QAbstractItemView::PositionAtCenter);
  show_count();
}

void find_bar::show_count() {
  if (line_->text().trimmed().isEmpty()) {
    count_->clear();
    return;
  }
  if (matches_.empty()) {
    count_->setText(QStringLiteral("none"));
    return;
  }
  const int current = grid_->currentIndex().row();
  const auto at = std::lower_bound(matches_.begin(), matches_.end(), current);
  const int place = at != matches_.end() && *at == current ? int(at - matches_.begin()) + 1 : 0;
  count_->setText(QStringLiteral("%1/%2").arg(place).arg(matches_.size()));
}

bool find_bar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == line_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
      close_bar();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace qbank::gui
