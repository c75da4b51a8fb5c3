// Models over the core bank for the window's grids and zone lists. They read the bank when a
// view asks; nothing is copied per row. After a command changed the bank, refresh tells the
// views which entries to read again.
#pragma once

#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "bank/bank_format.h"

namespace qbank {
class bank;
}

namespace qbank::gui {

// A two-column grid of numbered names: programs ("MIDI Num" / "Program Name", "0000".."9998"),
// multisamples ("MS Num" / "MS Name", "MS0001".."MS9999") and second-generation sounds.
class name_grid_model : public QAbstractTableModel {
  Q_OBJECT

 public:
  // `number(row)` is the text of the fixed first column; `name(row)` the stored (code-page)
  // bytes of the row's name. Both must stay valid for `rows` rows as long as the model lives.
  name_grid_model(int rows, QString number_header, QString name_header,
                  std::function<QString(int)> number, std::function<std::string(int)> name,
                  QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  // The names may have changed: the views read the visible ones again.
  void names_changed();

  // Makes the name column editable: `store(row, text)` stores a name typed into row `row` and
  // returns whether it was taken.
  void set_name_editor(std::function<bool(int, const QString&)> store) {
    store_name_ = std::move(store);
  }

 private:
  int rows_;
  QString headers_[2];
  std::function<QString(int)> number_;
  std::function<std::string(int)> name_;
  std::function<bool(int, const QString&)> store_name_;
};

// The grids of the main window, over a bank.
name_grid_model* make_program_grid_model(const bank& b, QObject* parent);
name_grid_model* make_multisample_grid_model(const bank& b, QObject* parent);

// The list every zone selector shows: entry 0 "No Multisample", entry n "MS%04d %s" of
// multisample n and its name. One model serves all fourteen lists.
class zone_list_model : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit zone_list_model(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // Takes the names of multisamples 1..9999 from `b` and signals only the entries whose text
  // changed; entry 0 is never touched. Returns the number of entries that changed.
  int refresh(const bank& b);

 private:
  using name_bytes = std::array<char, name_size>;
  std::vector<name_bytes> names_;  // what the entries show, index = multisample number
};

// The 128 file slots of one multisample: the slot number (or its note name), the key picture,
// the path. The cells are painted by the file-slot delegate.
class file_slots_model : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Column 1: the `key_picture` of the row's note, as an int.
  static constexpr int key_picture_role = Qt::UserRole + 1;

  explicit file_slots_model(const bank& b, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // Shows multisample `n` (1..9999); `note_names` writes "C 0".."G10" instead of 0..127.
  void show(int n, bool note_names);
  int multisample() const { return multisample_; }

 private:
  const bank& bank_;
  int multisample_ = 1;
  bool note_names_ = false;
};

// The text of a 16-byte name field as shown: up to the first zero byte, code page to UTF-8.
QString name_text(const char* name, std::size_t size = name_size);

}  // namespace qbank::gui
