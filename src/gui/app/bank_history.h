// The main bank's undo history: each step is the core's change record of one command (or of
// one edit made directly on the program tab) wrapped in a QUndoCommand.
#pragma once

#include <QString>
#include <QUndoCommand>
#include <cstddef>

#include "bank/change_record.h"

namespace qbank {
class bank;
}

namespace qbank::gui {

// Oldest steps are dropped once the history holds more than this (the newest step is always
// kept). Ordinary edits cost well under 1 KB each, so thousands of them fit.
inline constexpr std::size_t history_limit_bytes = std::size_t{64} << 20;

// The name of a step from the caption of its menu item or button: no mnemonic marks, one line,
// no trailing dots ("Remove UNUSED Multisamples..." -> "Remove UNUSED Multisamples").
QString step_name(const QString& caption);

class bank_step : public QUndoCommand {
 public:
  // `record` holds what the step changed in `b`, which has the step applied already: the first
  // redo() (from QUndoStack::push) does nothing. Steps with the same merge_id >= 0 pushed one
  // after the other become one step (a drag gesture).
  bank_step(bank& b, change_record record, const QString& what, int merge_id);

  void undo() override;
  void redo() override;
  int id() const override { return merge_id_; }
  bool mergeWith(const QUndoCommand* other) override;

  std::size_t size_bytes() const { return record_.size_bytes(); }
  // The record, leaving the step empty (the history moves its steps when it drops old ones).
  change_record take_record() { return std::move(record_); }

 private:
  bank& bank_;
  change_record record_;
  int merge_id_;
  bool applied_ = true;
};

}  // namespace qbank::gui
