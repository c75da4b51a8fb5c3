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

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QVBoxLayout;
class QAbstractItemModel;

namespace qbank {
class bank;
}

namespace qbank::gui {

class zone_list_model;
class zone_bar;

inline constexpr int zone_list_count = 14;  // 8 basic zones, legato, release, 4 mod zones

class program_tab : public QWidget {
  Q_OBJECT

 public:
  // `progress` receives the splash percentages while the value lists are filled.
  program_tab(bank& b, zone_list_model* zones, QAbstractItemModel* programs,
              const std::function<void(std::uint8_t)>& progress, QWidget* parent = nullptr);

  QTableView* grid() const { return grid_; }
  const std::array<QComboBox*, zone_list_count>& zone_lists() const { return zone_lists_; }
  // The parameter list of the program record's field named `field` ("porta_time"), null when
  // no list edits it.
  QComboBox* parameter_list(std::string_view field) const;

  // Copies program `program` (0..9998) into every control (refresh steps 3, 5 and the zone
  // display); no change action runs.
  void show_program(int program);

  struct parameter;

 private:
  void build_zones(QWidget* parent, QVBoxLayout* layout, zone_list_model* zones);
  void build_parameters(QVBoxLayout* layout, const std::function<void(std::uint8_t)>& progress);
  void store_zones();
  void store_parameter(const parameter& p, QComboBox* list, int index);
  void show_zones();
  void show_zone_state(QComboBox* box);

  bank& bank_;
  int program_ = 0;
  QTableView* grid_ = nullptr;
  std::array<QComboBox*, zone_list_count> zone_lists_{};
  std::vector<std::pair<const parameter*, QComboBox*>> parameter_lists_;
  std::array<QLabel*, 76> zone_labels_{};  // by tag
  std::array<zone_bar*, 8> velocity_bars_{};
  std::array<zone_bar*, 8> key_bars_{};
};

}  // namespace qbank::gui
