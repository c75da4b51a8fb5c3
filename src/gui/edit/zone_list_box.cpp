#include "edit/zone_list_box.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QKeyEvent>
#include <QListView>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace qbank::gui {

namespace {

// The length of the "MSnnnn " prefix of an entry.
constexpr int number_prefix = 7;

// Letters typed within the keyboard interval of the platform extend the search text.
QString extend(QString& typed, QElapsedTimer& since_key, const QString& text) {
  if (!since_key.isValid() || since_key.elapsed() > QApplication::keyboardInputInterval())
    typed.clear();
  since_key.restart();
  typed += text;
  return typed;
}

// The pop-up's list: typing searches with the zone rule instead of a plain prefix match.
class zone_popup_view : public QListView {
 public:
  using QListView::QListView;
  void keyboardSearch(const QString& search) override {
    if (!model()) return;
    const int row = find_zone_entry(*model(), extend(typed_, since_key_, search));
    if (row < 0) return;
    const QModelIndex index = model()->index(row, 0);
    setCurrentIndex(index);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
  }

 private:
  QString typed_;
  QElapsedTimer since_key_;
};

}  // namespace

int find_zone_entry(const QAbstractItemModel& model, const QString& typed) {
  if (typed.isEmpty()) return -1;
  const int rows = model.rowCount();
  auto text = [&model](int row) { return model.index(row, 0).data().toString(); };
  for (int row = 0; row < rows; ++row)
    if (text(row).startsWith(typed, Qt::CaseInsensitive)) return row;
  bool digits = false;
  const int number = typed.toInt(&digits);
  if (digits && number > 0 && number < rows) return number;
  for (int row = 1; row < rows; ++row)
    if (QStringView(text(row)).mid(number_prefix).startsWith(typed, Qt::CaseInsensitive))
      return row;
  return -1;
}

zone_list_box::zone_list_box(QWidget* parent) : QComboBox(parent) {
  auto* view = new zone_popup_view(this);
  view->setUniformItemSizes(true);  // 10000 rows: never measure them one by one
  setView(view);
  setMaxVisibleItems(24);
  // The box's width comes from its minimum contents length, never from measuring its entries.
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
}

bool zone_list_box::jump_to(const QString& typed) {
  if (!model()) return false;
  const int row = find_zone_entry(*model(), typed);
  if (row < 0) return false;
  setCurrentIndex(row);
  Q_EMIT activated(row);
  return true;
}

int zone_list_box::entry_room() const {
  QStyleOptionComboBox option;
  initStyleOption(&option);
  return style()
      ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this)
      .width();
}

void zone_list_box::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  const bool typing = !text.isEmpty() && text.at(0).isPrint() &&
                      !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (!typing) {
    QComboBox::keyPressEvent(event);
    return;
  }
  jump_to(extend(typed_, since_key_, text));
  event->accept();
}

}  // namespace qbank::gui
