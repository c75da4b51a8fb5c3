#include "app/bank_history.h"

#include <utility>

#include "bank/bank.h"

namespace qbank::gui {

QString step_name(const QString& caption) {
  QString name = caption;
  name.remove(QLatin1Char('&'));
  name = name.simplified();
  while (name.endsWith(QLatin1Char('.'))) name.chop(1);
  return name.trimmed();
}

bank_step::bank_step(bank& b, change_record record, const QString& what, int merge_id)
    : QUndoCommand(what), bank_(b), record_(std::move(record)), merge_id_(merge_id) {}

void bank_step::undo() {
  record_.swap_with(bank_);
  applied_ = false;
}

void bank_step::redo() {
  if (applied_) return;
  record_.swap_with(bank_);
  applied_ = true;
}

bool bank_step::mergeWith(const QUndoCommand* other) {
  if (other->id() != id()) return false;
  // The stack deletes `other` once it is merged, so its record may be moved from.
  auto* later = const_cast<bank_step*>(static_cast<const bank_step*>(other));
  record_.merge(later->take_record(), bank_);
  // A gesture that ends where it began leaves nothing to undo.
  setObsolete(record_.empty());
  return true;
}

}  // namespace qbank::gui
