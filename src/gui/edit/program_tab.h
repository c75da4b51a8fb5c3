// The "Program" tab: the programs grid `StringGridBlends` and "Parameters for current program"
// with the basic and additional zones and the parameter groups. It shows the current program
// of the main bank; a changed list stores its value into that program at once.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "bank/zone_references.h"

class QComboBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QTableView;
class QVBoxLayout;
class QAbstractItemModel;

namespace qbank {
class bank;
class host;
struct program_parameter;
}  // namespace qbank

namespace qbank::gui {

class name_grid_model;
class zone_list_model;
class zone_bar;

// One list per multisample reference of the program, in the same order.
inline constexpr int zone_list_count = zone_reference_count;

class program_tab : public QWidget {
  Q_OBJECT

 public:
  // Closes the edit just made into one undo step named `what`; edits with the same
  // `merge_id` >= 0 in a row are one step (a drag), -1 never merges.
  using edit_recorder = std::function<void(const QString& what, int merge_id)>;

  // `progress` receives the splash percentages while the value lists are filled; `h` shows
  // this tab's messages; `refresh` mirrors the whole bank into the window after an operation
  // changed it (names, order); `record` names each edit for the undo history.
  program_tab(bank& b, host& h, zone_list_model* zones, name_grid_model* programs,
              const std::function<void(std::uint8_t)>& progress, std::function<void()> refresh,
              edit_recorder record, QWidget* parent = nullptr);

  QTableView* grid() const { return grid_; }
  const std::array<QComboBox*, zone_list_count>& zone_lists() const { return zone_lists_; }
  // The parameter list of the program record's field named `field` ("porta_time"), null when
  // no list edits it.
  QComboBox* parameter_list(std::string_view field) const;

  // Copies program `program` (0..9998) into every control (refresh steps 3, 5 and the zone
  // display); no change action runs.
  void show_program(int program);

  // The operations of the tab, as its controls run them.
  // Row `from` of the programs grid was dragged onto row `to`: asks what to do and does it.
  void move_program(int from, int to);
  // "<<": zone 1's multisample name becomes the program's name.
  void copy_zone_name();
  // The caption "Zone n" (n = 2..8) was clicked.
  void next_multisample(int n);

  // The zone label with `tag`, null for a tag no label has; the velocity and key bars of
  // basic zone i (0..7).
  QLabel* zone_label(int tag) const;
  QWidget* velocity_bar(int i) const;
  QWidget* key_bar(int i) const;
  // The painted bar's width in pixels (zero when its high byte is below its low byte).
  static int bar_width(const QWidget* bar);
  QLabel* zone_caption(int n) const { return zone_captions_[n - 1]; }
  QPushButton* copy_name_button() const { return copy_name_; }

  // One parameter list's place, entries and field (defined in the source).
  struct parameter;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build_zones(QWidget* parent, QVBoxLayout* layout, zone_list_model* zones);
  void build_parameters(QVBoxLayout* layout, const std::function<void(std::uint8_t)>& progress);
  void store_zones();
  void store_parameter(const program_parameter& rule, QComboBox* list, int index);
  void show_zones();
  void show_zone_state(QComboBox* box);

  bool drag_label(QLabel* label, QEvent* event);
  bool key_on_label(QLabel* label, QKeyEvent* key);
  void step_label(QLabel* label, int delta);
  bool drag_row(QEvent* event);

  bank& bank_;
  host& host_;
  std::function<void()> refresh_;
  edit_recorder record_;
  int drag_step_ = 0;  // bumped at each press on a value box: one drag, one undo step
  QString typed_;      // digits typed into the focused value box, not yet entered
  int program_ = 0;
  // The label drag: last pointer position and whether a drag runs.
  int drag_x_ = 0;
  int drag_y_ = 0;
  bool dragging_ = false;
  // A programs-grid row being dragged, -1 when none.
  int row_drag_from_ = -1;
  QPushButton* copy_name_ = nullptr;
  std::array<QLabel*, 8> zone_captions_{};
  QTableView* grid_ = nullptr;
  QWidget* grid_viewport_ = nullptr;  // watched for row drags
  std::array<QComboBox*, zone_list_count> zone_lists_{};
  struct parameter_box {
    const parameter* layout;
    const program_parameter* rule;
    QComboBox* box;
  };
  std::vector<parameter_box> parameter_lists_;
  std::array<QLabel*, 76> zone_labels_{};  // by tag
  std::array<zone_bar*, 8> velocity_bars_{};
  std::array<zone_bar*, 8> key_bars_{};
};

}  // namespace qbank::gui
