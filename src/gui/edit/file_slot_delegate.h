// How the file-slot grid paints its cells: the slot number or note name on a raised cell, the
// key picture of the row's note, and the slot's path on light grey (light blue when selected).
#pragma once

#include <QStyledItemDelegate>

namespace qbank::gui {

class file_slot_delegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

  static QColor selected_colour() { return QColor(192, 192, 255); }
  static QColor path_colour() { return QColor(245, 245, 245); }
};

}  // namespace qbank::gui
