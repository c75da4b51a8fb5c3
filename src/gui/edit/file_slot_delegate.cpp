#include "edit/file_slot_delegate.h"

#include <QApplication>
#include <QPainter>

#include "app/grid_models.h"
#include "edit/note_names.h"

namespace qbank::gui {

namespace {

// A key of a keyboard standing on its side, notes rising down the grid: a white key, a white key
// whose next key is white too (a line marks where they meet), or a black key lying over the
// meeting of two white keys.
void paint_key(QPainter* p, const QRect& r, key_picture picture) {
  p->fillRect(r, Qt::white);
  const QColor edge(150, 150, 150);
  switch (picture) {
    case key_picture::white:
      break;
    case key_picture::white_before_white:
      p->setPen(edge);
      p->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
      break;
    case key_picture::black: {
      const int middle = r.top() + r.height() / 2;
      p->setPen(edge);
      p->drawLine(r.left(), middle, r.right(), middle);
      const QRect bar(r.left(), r.top() + 2, r.width() * 3 / 5, r.height() - 4);
      p->fillRect(bar, QColor(20, 20, 20));
      break;
    }
  }
}

}  // namespace

void file_slot_delegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  const QRect r = option.rect;
  p->save();
  switch (index.column()) {
    case 0: {
      // A raised cell in the face colour, the text 3 pixels from its right edge.
      const QPalette& palette = QApplication::palette();
      p->fillRect(r, palette.color(QPalette::Button));
      p->setPen(palette.color(QPalette::Light));
      p->drawLine(r.topLeft(), r.topRight());
      p->drawLine(r.topLeft(), r.bottomLeft());
      p->setPen(palette.color(QPalette::Dark));
      p->drawLine(r.bottomLeft(), r.bottomRight());
      p->drawLine(r.topRight(), r.bottomRight());
      p->setPen(Qt::black);
      p->setFont(option.font);
      p->drawText(r.adjusted(0, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter,
                  index.data().toString());
      break;
    }
    case 1:
      paint_key(p, r,
                static_cast<key_picture>(index.data(file_slots_model::key_picture_role).toInt()));
      break;
    default: {
      const bool selected = option.state & QStyle::State_Selected;
      p->fillRect(r, selected ? selected_colour() : path_colour());
      p->setPen(Qt::black);
      p->setFont(option.font);
      p->drawText(r.adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                  index.data().toString());
      break;
    }
  }
  p->restore();
}

}  // namespace qbank::gui
