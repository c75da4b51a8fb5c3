// A multisample list of the zone area: 10000 entries ("No Multisample", "MS0001 Name", ...)
// in a pop-up of 24 rows. Typing jumps to an entry: its number ("MS5000", "5000") or the start
// of its name ("Grand"), on the closed box and in the open pop-up alike.
#pragma once

#include <QComboBox>
#include <QElapsedTimer>
#include <QString>

class QAbstractItemModel;

namespace qbank::gui {

// The entry of a zone list that `typed` points at, -1 when none: an entry whose text starts
// with it ("MS5000", "No M"), then the entry of a number typed as digits ("5000"), then the
// first entry whose name starts with it. Letter case does not matter.
int find_zone_entry(const QAbstractItemModel& model, const QString& typed);

class zone_list_box : public QComboBox {
  Q_OBJECT

 public:
  explicit zone_list_box(QWidget* parent = nullptr);

  // Jumps to the entry `typed` points at as if the user had chosen it (activated is emitted);
  // returns false and changes nothing when no entry matches.
  bool jump_to(const QString& typed);
  // The width in pixels the closed box has for the text of its entry.
  int entry_room() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QString typed_;
  QElapsedTimer since_key_;
};

}  // namespace qbank::gui
