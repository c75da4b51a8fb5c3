#include "app/grid_models.h"

#include <QColor>
#include <QFont>
#include <algorithm>
#include <cstring>

#include "app/gui_host.h"
#include "bank/bank.h"
#include "edit/note_names.h"
#include "platform/codepage.h"

namespace qbank::gui {

QString name_text(const char* name, std::size_t size) {
  const std::size_t length = std::find(name, name + size, '\0') - name;
  return to_qstring(to_utf8(std::string_view(name, length)));
}

name_grid_model::name_grid_model(int rows, QString number_header, QString name_header,
                                 std::function<QString(int)> number,
                                 std::function<std::string(int)> name, QObject* parent)
    : QAbstractTableModel(parent),
      rows_(rows),
      headers_{std::move(number_header), std::move(name_header)},
      number_(std::move(number)),
      name_(std::move(name)) {}

int name_grid_model::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int name_grid_model::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant name_grid_model::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      if (index.column() == 0) return number_(index.row());
      return to_qstring(to_utf8(name_(index.row())));
    case Qt::TextAlignmentRole:
      if (index.column() == 0) return int(Qt::AlignCenter);
      return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant name_grid_model::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal)
    return section >= 0 && section < 2 ? headers_[section] : QVariant();
  return section + 1;
}

Qt::ItemFlags name_grid_model::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (store_name_ && index.isValid() && index.column() == 1) flags |= Qt::ItemIsEditable;
  return flags;
}

bool name_grid_model::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!store_name_ || role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid) ||
      index.column() != 1)
    return false;
  if (!store_name_(index.row(), value.toString())) return false;
  Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
  return true;
}

void name_grid_model::names_changed() {
  if (rows_ > 0) Q_EMIT dataChanged(index(0, 1), index(rows_ - 1, 1), {Qt::DisplayRole});
}

name_grid_model* make_program_grid_model(const bank& b, QObject* parent) {
  return new name_grid_model(
      program_count, QStringLiteral("MIDI Num"), QStringLiteral("Program Name"),
      [](int row) { return QString::asprintf("%04u", unsigned(row)); },
      [&b](int row) { return b.program_name_text(row); }, parent);
}

name_grid_model* make_multisample_grid_model(const bank& b, QObject* parent) {
  return new name_grid_model(
      multisample_count - 1, QStringLiteral("MS Num"), QStringLiteral("MS Name"),
      [](int row) { return QString::asprintf("MS%04d", row + 1); },
      [&b](int row) { return b.multisample_name_text(row + 1); }, parent);
}

zone_list_model::zone_list_model(QObject* parent)
    : QAbstractListModel(parent), names_(multisample_count) {
  // Until the first refresh every entry shows an empty name.
  for (auto& n : names_) n.fill('\0');
}

int zone_list_model::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : multisample_count;
}

QVariant zone_list_model::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  const int n = index.row();
  if (n == 0) return QStringLiteral("No Multisample");
  return QString::asprintf("MS%04d ", n) + name_text(names_[n].data());
}

int zone_list_model::refresh(const bank& b) {
  int changed = 0;
  int run_start = -1;
  auto end_run = [&](int end) {
    if (run_start < 0) return;
    Q_EMIT dataChanged(index(run_start), index(end - 1), {Qt::DisplayRole, Qt::ToolTipRole});
    run_start = -1;
  };
  for (int n = 1; n < multisample_count; ++n) {
    const char* name = b.multisample(n).name;
    // Only the text up to the first zero byte is shown, so only that part is compared.
    const std::size_t length = std::find(name, name + name_size, '\0') - name;
    name_bytes& shown = names_[n];
    const bool same = std::memcmp(shown.data(), name, length) == 0 &&
                      (length == name_size || shown[length] == '\0');
    if (same) {
      end_run(n);
      continue;
    }
    shown.fill('\0');
    std::memcpy(shown.data(), name, length);
    ++changed;
    if (run_start < 0) run_start = n;
  }
  end_run(multisample_count);
  return changed;
}

file_slots_model::file_slots_model(const bank& b, QObject* parent)
    : QAbstractTableModel(parent), bank_(b) {}

int file_slots_model::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : slots_per_multisample;
}

int file_slots_model::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 3;
}

QVariant file_slots_model::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  const int note = index.row();
  switch (index.column()) {
    case 0:
      if (role == Qt::DisplayRole)
        return note_names_ ? QString::fromLatin1(note_name(note_table::a, note))
                           : QString::number(note);
      if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    case 1:
      if (role == key_picture_role) return static_cast<int>(key_picture_of(note));
      return {};
    default:
      if (role == Qt::DisplayRole) return to_qstring(to_utf8(bank_.file(multisample_, note)));
      return {};
  }
}

void file_slots_model::show(int n, bool note_names) {
  multisample_ = std::clamp(n, 1, multisample_count - 1);
  note_names_ = note_names;
  Q_EMIT dataChanged(index(0, 0), index(slots_per_multisample - 1, 2), {Qt::DisplayRole});
}

}  // namespace qbank::gui
