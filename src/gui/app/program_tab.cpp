#include "app/program_tab.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QStringListModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/grid_models.h"
#include "app/grid_view.h"
#include "bank/bank.h"

namespace qbank::gui {

// A key or velocity window drawn as a bar, one pixel per step of 0..127.
class zone_bar : public QWidget {
 public:
  explicit zone_bar(QWidget* parent) : QWidget(parent) { setFixedSize(130, 12); }
  void set_range(int low, int high) {
    if (low == low_ && high == high_) return;
    low_ = low;
    high_ = high;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(250, 250, 250));
    p.setPen(QColor(160, 160, 160));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (high_ > low_)
      p.fillRect(QRect(1 + low_, 2, high_ - low_, height() - 4), QColor(70, 120, 215));
  }

 private:
  int low_ = 0;
  int high_ = 0;
};

namespace {

enum class list_kind {
  n127,
  osc_mode,
  offset20,
  waveform,
  off127,
  pb_range,
  transpose,
  at_mode,
  porta,
  off32,
  time_base,
  delay_time,
  ms4000
};

QStringList numbers(int first, int last, const char* format = "%d") {
  QStringList list;
  list.reserve(last - first + 1);
  for (int n = first; n <= last; ++n) list << QString::asprintf(format, n);
  return list;
}

QStringList fixed_list(list_kind kind) {
  switch (kind) {
    case list_kind::osc_mode:
      return {
          "Normal POLY",          "Bass MODE 1",   "Mono RETRIGER",        "Mono LEGATO",
          "Mono+PRT CZ",          "Mono+PRT DX",   "Virtual BOUZOUKI",     "LPC Gibson GTR",
          "Bass MODE 2",          "Mono+PRT KORG", "Mono+PRT QS",          "Mono+PRT QS2",
          "Corvalenti Violine 1", "Poly 4 NOTE",   "Corvalenti Violine 2", "QS Tenor Sax",
          "QS Alt Sax",           "QS Clarinet B", "QS Bouzouki",          "Electric Accordeon"};
    case list_kind::offset20:
      return numbers(0, 20);
    case list_kind::waveform:
      return {"Triangle", "Saw", "Ramp", "Sine", "Square"};
    case list_kind::pb_range:
      return {"+/- 0", "+/- 1", "+/- 2"};
    case list_kind::transpose: {
      QStringList list;
      for (int n = -24; n <= 24; ++n)
        list << (n > 0 ? QString::asprintf("+%d", n) : QString::number(n));
      return list;
    }
    case list_kind::at_mode:
      return {"OFF", "PB +2", "MOD"};
    default:
      return {};
  }
}

}  // namespace

// One parameter list: the field it edits (offset and width in the program record), how the
// stored value relates to the list index, and where it sits.
struct program_tab::parameter {
  const char* group;
  const char* label;
  int offset;
  int width;      // bytes, 1 or 2 (little-endian)
  int scale;      // stored value = index x scale
  int min_index;  // a smaller index is raised to this before it is stored
  bool editable;  // "Program Volume" is shown only
  list_kind list;
};

namespace {

constexpr int columns_of(const char* group) {
  return group[0] == 'O' ? 2 : 1;  // "Oscilator Setup"
}

}  // namespace

namespace {
constexpr const char* osc = "Oscilator Setup";
constexpr const char* offs = "Sample Offset";
constexpr const char* lfo = "LFO Setup";
constexpr const char* eff = "Effect Setup";
constexpr const char* amp = "Amplifier Setup";
}  // namespace

static const program_tab::parameter parameters[] = {
    {osc, "Mode", 18, 1, 1, 0, true, list_kind::osc_mode},
    {osc, "Velo to Portamento", 23, 1, 1, 0, true, list_kind::off127},
    {osc, "PitchBend Range", 24, 1, 1, 0, true, list_kind::pb_range},
    {osc, "Program Transpose", 25, 1, 1, 0, true, list_kind::transpose},
    {osc, "AfterTouch mode", 26, 1, 1, 0, true, list_kind::at_mode},
    {osc, "Portamento Time", 27, 1, 1, 5, true, list_kind::porta},
    {offs, "Sample start offset", 19, 1, 1, 0, true, list_kind::offset20},
    {offs, "QS Porta -> Offset", 474, 1, 1, 0, true, list_kind::off32},
    {offs, "Note Velo -> Offset", 476, 1, 1, 0, true, list_kind::off32},
    {offs, "Max Auto sec offset", 477, 1, 1, 0, true, list_kind::off32},
    {offs, "Auto Ofs Time Base", 478, 2, 100, 1, true, list_kind::time_base},
    {lfo, "Waveform", 20, 1, 1, 0, true, list_kind::waveform},
    {lfo, "LFO Speed", 21, 1, 1, 0, true, list_kind::n127},
    {lfo, "LFO Depth", 22, 1, 1, 0, true, list_kind::n127},
    {eff, "Delay MIX", 480, 1, 1, 0, true, list_kind::n127},
    {eff, "Delay Feedback", 481, 1, 1, 0, true, list_kind::n127},
    {eff, "Delay Time ms", 482, 2, 1, 1, true, list_kind::delay_time},
    {amp, "Program Volume", 16, 1, 1, 0, false, list_kind::n127},
    {amp, "Velocity Sensitive", 17, 1, 1, 0, true, list_kind::n127},
    {amp, "Attack in ms", 508, 2, 1, 0, true, list_kind::ms4000},
    {amp, "Release in ms", 510, 2, 1, 0, true, list_kind::ms4000},
};

namespace {

int read_field(const blend& b, int offset, int width) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&b) + offset;
  return width == 1 ? bytes[0] : bytes[0] | (bytes[1] << 8);
}

void write_field(blend& b, int offset, int width, int value) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(&b) + offset;
  bytes[0] = static_cast<std::uint8_t>(value);
  if (width == 2) bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

// The multisample field of zone list k: basic zones 0..7, legato, release, mod zones 1..4.
std::uint16_t& zone_multisample(blend& b, int k) {
  if (k < 8) return b.zones[k].multisample;
  if (k == 8) return b.legato_zone.multisample;
  if (k == 9) return b.release_zone.multisample;
  return b.mod_zones[k - 10].multisample;
}

QComboBox* make_zone_list(QWidget* parent, zone_list_model* zones, int k) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QStringLiteral("ComboBoxZone%1").arg(k + 1));
  box->setModel(zones);
  // The list has 10000 entries: never measure them all for the box's width.
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  box->setMinimumContentsLength(20);
  box->setMaxVisibleItems(24);
  if (auto* view = qobject_cast<QListView*>(box->view())) view->setUniformItemSizes(true);
  box->setAutoFillBackground(true);
  box->setFixedHeight(20);
  return box;
}

QLabel* make_value_label(QWidget* parent, int tag) {
  auto* label = new QLabel(QStringLiteral("000"), parent);
  label->setObjectName(QStringLiteral("ZoneLabel%1").arg(tag));
  label->setAlignment(Qt::AlignCenter);
  label->setFixedSize(30, 18);
  label->setFrameShape(QFrame::StyledPanel);
  return label;
}

}  // namespace

program_tab::program_tab(bank& b, zone_list_model* zones, QAbstractItemModel* programs,
                         const std::function<void(std::uint8_t)>& progress, QWidget* parent)
    : QWidget(parent),
      bank_(b),
      grid_(make_name_grid(programs, this, QStringLiteral("StringGridBlends"), 64, 120)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(grid_);

  auto* parameters_box = new QGroupBox(QStringLiteral("Parameters for current program"), this);
  auto* column = new QVBoxLayout(parameters_box);
  column->setSpacing(4);
  build_zones(parameters_box, column, zones);
  build_parameters(column, progress);
  column->addStretch(1);
  layout->addWidget(parameters_box, 1);
}

void program_tab::build_zones(QWidget* parent, QVBoxLayout* column, zone_list_model* zones) {
  auto* basic = new QGroupBox(QStringLiteral("Basic Zone"), parent);
  auto* grid = new QGridLayout(basic);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  auto* copy_name = new QPushButton(QStringLiteral("<<"), basic);
  copy_name->setObjectName(QStringLiteral("ButtonCopyZoneName"));
  copy_name->setToolTip(QStringLiteral("Copy Zone 1 multisample name to program name"));
  copy_name->setFixedWidth(34);
  copy_name->setEnabled(false);  // comes with the program editor
  grid->addWidget(copy_name, 0, 0);
  auto header = [&](const char* text, int col, int span) {
    auto* label = new QLabel(QString::fromLatin1(text), basic);
    label->setAlignment(Qt::AlignCenter);
    grid->addWidget(label, 0, col, 1, span);
  };
  header("Multisample", 1, 1);
  header("Velocity", 2, 3);
  header("Key Range", 5, 3);
  header("Vol", 8, 1);
  header("Trn", 9, 1);
  for (int i = 0; i < 8; ++i) {
    const int row = i + 1;
    grid->addWidget(new QLabel(QStringLiteral("Zone %1").arg(i + 1), basic), row, 0);
    zone_lists_[i] = make_zone_list(basic, zones, i);
    grid->addWidget(zone_lists_[i], row, 1);
    grid->addWidget(zone_labels_[1 + i] = make_value_label(basic, 1 + i), row, 2);
    grid->addWidget(velocity_bars_[i] = new zone_bar(basic), row, 3);
    grid->addWidget(zone_labels_[10 + i] = make_value_label(basic, 10 + i), row, 4);
    grid->addWidget(zone_labels_[20 + i] = make_value_label(basic, 20 + i), row, 5);
    grid->addWidget(key_bars_[i] = new zone_bar(basic), row, 6);
    grid->addWidget(zone_labels_[30 + i] = make_value_label(basic, 30 + i), row, 7);
    grid->addWidget(zone_labels_[40 + i] = make_value_label(basic, 40 + i), row, 8);
    grid->addWidget(zone_labels_[60 + i] = make_value_label(basic, 60 + i), row, 9);
  }
  grid->setColumnStretch(1, 1);
  column->addWidget(basic);

  auto* additional = new QGroupBox(QStringLiteral("Additional  Zone"), parent);
  auto* extra = new QGridLayout(additional);
  extra->setHorizontalSpacing(4);
  extra->setVerticalSpacing(2);
  static const char* const captions[6] = {"Legato", "Release", "Mod 1", "Mod 2", "Mod 3", "Mod 4"};
  for (int j = 0; j < 6; ++j) {
    const int k = 8 + j;
    const int row = j % 3;
    const int col = (j / 3) * 5;
    extra->addWidget(new QLabel(QString::fromLatin1(captions[j]), additional), row, col);
    zone_lists_[k] = make_zone_list(additional, zones, k);
    extra->addWidget(zone_lists_[k], row, col + 1);
    extra->addWidget(zone_labels_[50 + j] = make_value_label(additional, 50 + j), row, col + 2);
    extra->addWidget(zone_labels_[70 + j] = make_value_label(additional, 70 + j), row, col + 3);
  }
  extra->setColumnMinimumWidth(4, 12);
  extra->setColumnStretch(1, 1);
  extra->setColumnStretch(6, 1);
  column->addWidget(additional);

  for (int k = 0; k < zone_list_count; ++k)
    connect(zone_lists_[k], &QComboBox::activated, this, [this] { store_zones(); });
}

void program_tab::build_parameters(QVBoxLayout* column,
                                   const std::function<void(std::uint8_t)>& progress) {
  // The value lists, filled once in the order the start-up gauge reports.
  auto* owner = this;
  auto make = [owner](QStringList list) { return new QStringListModel(std::move(list), owner); };
  QStringList n127, off127, off32, time_base;
  for (int n = 0; n <= 127; ++n) {
    n127 << QString::number(n);
    off127 << (n == 0 ? QStringLiteral("OFF") : QString::number(n));
    if (n <= 32) off32 << (n == 0 ? QStringLiteral("OFF") : QString::number(n));
    if (n == 0) time_base << QStringLiteral("000 ms");
    if (n >= 1 && n <= 99) time_base << QString::asprintf("%03u ms", unsigned(n * 10));
  }
  QStringListModel* lists[13] = {};
  lists[int(list_kind::n127)] = make(n127);
  lists[int(list_kind::off127)] = make(off127);
  lists[int(list_kind::off32)] = make(off32);
  lists[int(list_kind::time_base)] = make(time_base);
  progress(20);
  lists[int(list_kind::porta)] = make(numbers(0, 255, "%03d ms"));
  progress(30);
  lists[int(list_kind::delay_time)] = make(numbers(0, 452));
  progress(40);
  lists[int(list_kind::ms4000)] = make(numbers(0, 3999, "%04d ms"));
  progress(50);
  for (list_kind k : {list_kind::osc_mode, list_kind::offset20, list_kind::waveform,
                      list_kind::pb_range, list_kind::transpose, list_kind::at_mode})
    lists[int(k)] = make(fixed_list(k));

  // Groups in two rows, in the order of the table.
  const char* rows[2][3] = {{osc, lfo, nullptr}, {offs, eff, amp}};
  for (auto& row : rows) {
    auto* line = new QHBoxLayout;
    for (const char* group : row) {
      if (!group) continue;
      auto* box = new QGroupBox(QString::fromLatin1(group), this);
      auto* grid = new QGridLayout(box);
      grid->setHorizontalSpacing(6);
      grid->setVerticalSpacing(2);
      const int columns = columns_of(group);
      int at = 0;
      int in_group = 0;
      for (const auto& p : parameters)
        if (p.group == group) ++in_group;
      const int per_column = (in_group + columns - 1) / columns;
      for (const auto& p : parameters) {
        if (p.group != group) continue;
        auto* box_list = new QComboBox(box);
        box_list->setObjectName(QStringLiteral("ComboBoxParameter%1").arg(p.offset));
        box_list->setModel(lists[int(p.list)]);
        box_list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box_list->setMinimumContentsLength(p.list == list_kind::osc_mode ? 15
                                           : p.list == list_kind::ms4000 ? 6
                                                                         : 4);
        box_list->setFixedHeight(20);
        box_list->setMaxVisibleItems(24);
        if (auto* view = qobject_cast<QListView*>(box_list->view()))
          view->setUniformItemSizes(true);
        const int r = at % per_column;
        const int c = (at / per_column) * 2;
        grid->addWidget(new QLabel(QString::fromLatin1(p.label), box), r, c);
        grid->addWidget(box_list, r, c + 1);
        if (c > 0) grid->setColumnMinimumWidth(c - 1, 0);
        ++at;
        parameter_lists_.emplace_back(&p, box_list);
        if (p.editable) {
          connect(box_list, &QComboBox::activated, this,
                  [this, &p](int index) { store_parameter(p, index); });
        }
      }
      line->addWidget(box);
    }
    line->addStretch(1);
    column->addLayout(line);
  }
}

QComboBox* program_tab::parameter_list(int field_offset) const {
  for (const auto& [p, box] : parameter_lists_)
    if (p->offset == field_offset) return box;
  return nullptr;
}

void program_tab::store_parameter(const parameter& p, int index) {
  index = std::max(index, p.min_index);
  write_field(bank_.program(program_), p.offset, p.width, index * p.scale);
}

void program_tab::store_zones() {
  blend& b = bank_.program(program_);
  for (int k = 0; k < zone_list_count; ++k)
    zone_multisample(b, k) =
        static_cast<std::uint16_t>(std::max(0, zone_lists_[k]->currentIndex()));
  show_zones();
}

void program_tab::show_program(int program) {
  program_ = std::clamp(program, 0, program_count - 1);
  const blend& b = bank_.program(program_);
  for (const auto& [p, box] : parameter_lists_) {
    const int index = read_field(b, p->offset, p->width) / p->scale;
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(index < box->count() ? index : -1);
  }
  show_zones();
}

void program_tab::show_zones() {
  blend& b = bank_.program(program_);
  const QColor face = palette().color(QPalette::Window);
  for (int k = 0; k < zone_list_count; ++k) {
    QComboBox* box = zone_lists_[k];
    const int n = zone_multisample(b, k);
    {
      const QSignalBlocker quiet(box);
      box->setCurrentIndex(n < multisample_count ? n : 0);
    }
    const bool white = box->currentIndex() > 0;
    if (zone_white_[k] != white || !box->property("coloured").isValid()) {
      QPalette palette = box->palette();
      palette.setColor(QPalette::Button, white ? QColor(Qt::white) : face);
      palette.setColor(QPalette::Base, white ? QColor(Qt::white) : face);
      box->setPalette(palette);
      box->setProperty("coloured", true);
      zone_white_[k] = white;
    }
  }
  // Zone display: the labels and bars of the zone bytes.
  auto set = [this](int tag, const QString& text) {
    if (zone_labels_[tag]->text() != text) zone_labels_[tag]->setText(text);
  };
  auto three = [](int v) { return QString::asprintf("%03d", v); };
  auto transpose = [](int v) { return QString::asprintf("%+02d", v - 64); };
  for (int i = 0; i < 8; ++i) {
    const zone& z = b.zones[i];
    set(1 + i, three(z.velo_low));
    set(10 + i, three(z.velo_high));
    set(20 + i, three(z.key_low));
    set(30 + i, three(z.key_high));
    set(40 + i, three(z.volume));
    set(60 + i, transpose(z.transpose));
    velocity_bars_[i]->set_range(z.velo_low, z.velo_high);
    key_bars_[i]->set_range(z.key_low, z.key_high);
  }
  const extra_zone* extras[6] = {&b.legato_zone,  &b.release_zone, &b.mod_zones[0],
                                 &b.mod_zones[1], &b.mod_zones[2], &b.mod_zones[3]};
  for (int j = 0; j < 6; ++j) {
    set(50 + j, three(extras[j]->volume));
    set(70 + j, transpose(extras[j]->transpose));
  }
}

}  // namespace qbank::gui
