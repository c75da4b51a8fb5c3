#include "edit/program_tab.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

#include "app/grid_models.h"
#include "app/grid_view.h"
#include "app/gui_host.h"
#include "bank/bank.h"
#include "bank/zone_references.h"
#include "edit/program_edit.h"
#include "edit/program_parameters.h"
#include "edit/sellect_form.h"
#include "edit/zone_list_box.h"

namespace qbank::gui {

// A key or velocity window drawn as a bar over the range 0..127, scaled to the bar's width so
// that the zone lists beside it keep room for their whole entries. A window whose high byte is
// below its low byte is drawn with zero width.
class zone_bar : public QWidget {
 public:
  explicit zone_bar(QWidget* parent) : QWidget(parent) {
    // Narrow at the window's smallest size, wider as the window grows.
    setMinimumSize(56, 12);
    setMaximumHeight(12);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }
  void set_range(int low, int high) {
    if (low == low_ && high == high_) return;
    low_ = low;
    high_ = high;
    update();
  }
  int low() const { return low_; }
  int high() const { return high_; }
  // The painted bar's left edge and width in pixels, inside the frame.
  int bar_left() const { return 1 + low_ * inner() / 128; }
  int bar_width() const { return high_ > low_ ? (high_ - low_) * inner() / 128 : 0; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(250, 250, 250));
    p.setPen(QColor(160, 160, 160));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (bar_width() > 0)
      p.fillRect(QRect(bar_left(), 2, bar_width(), height() - 4), QColor(70, 120, 215));
  }

 private:
  int inner() const { return width() - 2; }
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

// Inside a group box: the frame and its title take room enough.
constexpr QMargins group_margins(4, 4, 4, 4);

// The groups of "Parameters for current program", by identity; the caption is only shown.
enum class group_id { oscillator, sample_offset, lfo, effect, amplifier };

struct group_info {
  group_id id;
  const char* caption;
  int columns;
};

constexpr group_info group_infos[] = {{group_id::oscillator, "Oscilator Setup", 2},
                                      {group_id::sample_offset, "Sample Offset", 1},
                                      {group_id::lfo, "LFO Setup", 1},
                                      {group_id::effect, "Effect Setup", 1},
                                      {group_id::amplifier, "Amplifier Setup", 1}};

}  // namespace

// One parameter list: where it sits, what it offers and the record field it edits (the core's
// rules say how its index is stored).
struct program_tab::parameter {
  group_id group;
  const char* label;
  const char* field;  // the record field's name; also names the list
  list_kind list;
};

namespace {

using g = group_id;
using k = list_kind;

const program_tab::parameter parameters[] = {
    {g::oscillator, "Mode", "osc_mode", k::osc_mode},
    {g::oscillator, "Velo to Portamento", "velo_to_porta", k::off127},
    {g::oscillator, "PitchBend Range", "pb_range", k::pb_range},
    {g::oscillator, "Program Transpose", "pg_transpose", k::transpose},
    {g::oscillator, "AfterTouch mode", "at_mode", k::at_mode},
    {g::oscillator, "Portamento Time", "porta_time", k::porta},
    {g::sample_offset, "Sample start offset", "sample_offset", k::offset20},
    {g::sample_offset, "QS Porta -> Offset", "qs_porta_offset", k::off32},
    {g::sample_offset, "Note Velo -> Offset", "velo_sample_offset", k::off32},
    {g::sample_offset, "Max Auto sec offset", "auto_sample_offset_max_sectors", k::off32},
    {g::sample_offset, "Auto Ofs Time Base", "auto_sample_offset_time_base", k::time_base},
    {g::lfo, "Waveform", "lfo_waveform", k::waveform},
    {g::lfo, "LFO Speed", "lfo_speed", k::n127},
    {g::lfo, "LFO Depth", "lfo_depth", k::n127},
    {g::effect, "Delay MIX", "delay_mix", k::n127},
    {g::effect, "Delay Feedback", "delay_feedback", k::n127},
    {g::effect, "Delay Time ms", "delay_time", k::delay_time},
    {g::amplifier, "Program Volume", "program_volume", k::n127},
    {g::amplifier, "Velocity Sensitive", "velo_sensitive", k::n127},
    {g::amplifier, "Attack in ms", "attack", k::ms4000},
    {g::amplifier, "Release in ms", "release", k::ms4000},
};

// "porta_time" -> "ComboBoxPortaTime".
QString list_name(const char* field) {
  QString name = QStringLiteral("ComboBox");
  bool upper = true;
  for (const char* c = field; *c; ++c) {
    if (*c == '_') {
      upper = true;
      continue;
    }
    name += upper ? QChar(*c).toUpper() : QChar(*c);
    upper = false;
  }
  return name;
}

zone_list_box* make_zone_list(QWidget* parent, zone_list_model* zones, int k, bool basic) {
  auto* box = new zone_list_box(parent);
  box->setObjectName(QStringLiteral("ComboBoxZone%1").arg(k + 1));
  box->setModel(zones);
  // A basic zone shows its whole entry: "MS9999 " and a 16-character name.
  box->setMinimumContentsLength(basic ? 23 : 20);
  box->setFixedHeight(20);
  return box;
}

QLabel* make_value_label(QWidget* parent, int tag) {
  auto* label = new QLabel(QStringLiteral("000"), parent);
  label->setObjectName(QStringLiteral("ZoneLabel%1").arg(tag));
  label->setAlignment(Qt::AlignCenter);
  label->setFixedSize(30, 18);
  label->setFrameShape(QFrame::StyledPanel);
  label->setProperty("tag", tag);
  label->setCursor(Qt::SizeVerCursor);
  label->setToolTip(QStringLiteral("Drag up or down to change"));
  // A click takes the keyboard focus from the programs grid, so that keys typed next are the
  // value box's and never start editing the current program's name.
  label->setFocusPolicy(Qt::ClickFocus);
  return label;
}

}  // namespace

program_tab::program_tab(bank& b, host& h, zone_list_model* zones, name_grid_model* programs,
                         const std::function<void(std::uint8_t)>& progress,
                         std::function<void()> refresh, edit_recorder record, QWidget* parent)
    : QWidget(parent),
      bank_(b),
      host_(h),
      refresh_(std::move(refresh)),
      record_(std::move(record)) {
  setStyleSheet(
      QStringLiteral("QComboBox[assigned=\"true\"] { background: white; color: black;"
                     " border: 1px solid #5a7db5; border-radius: 2px; padding: 0px 4px; }"
                     "QComboBox[assigned=\"false\"] { background: #d4d0c8; color: #707070;"
                     " border: 1px solid #b4b4b4; border-radius: 2px; padding: 0px 4px; }"));
  auto* parameters_box = new QGroupBox(QStringLiteral("Parameters for current program"), this);
  auto* column = new QVBoxLayout(parameters_box);
  column->setContentsMargins(group_margins);
  column->setSpacing(4);
  // Built in the order of the start-up gauge: value lists, zone lists, then the grid.
  auto* parameter_rows = new QVBoxLayout;
  build_parameters(parameter_rows, progress);
  build_zones(parameters_box, column, zones);
  progress(60);
  column->addLayout(parameter_rows);
  column->addStretch(1);
  grid_ = make_name_grid(programs, this, QStringLiteral("StringGridBlends"), 64, 104);
  progress(70);
  // Names are typed into the grid (at most 16 characters); rows are dragged by their number.
  edit_names_in_place(
      grid_, programs,
      [this](int row, const QString& text) {
        const bool stored = rename_program(bank_, row, text.toStdString(), host_);
        record_(QStringLiteral("Rename Program"), -1);
        refresh_();
        return stored;
      },
      true);
  grid_viewport_ = grid_->viewport();
  grid_viewport_->installEventFilter(this);
  grid_->setToolTip(QStringLiteral("Drag a program by its number to move, swap or copy it"));

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(grid_, 1);
  layout->addWidget(parameters_box, 4);
}

void program_tab::build_zones(QWidget* parent, QVBoxLayout* column, zone_list_model* zones) {
  auto* basic = new QGroupBox(QStringLiteral("Basic Zone"), parent);
  auto* grid = new QGridLayout(basic);
  grid->setContentsMargins(group_margins);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  auto* copy_name = new QPushButton(QStringLiteral("<<"), basic);
  copy_name->setObjectName(QStringLiteral("ButtonCopyZoneName"));
  copy_name->setToolTip(QStringLiteral("Copy Zone 1 multisample name to program name"));
  copy_name->setFixedWidth(34);
  connect(copy_name, &QPushButton::clicked, this, [this] { copy_zone_name(); });
  copy_name_ = copy_name;
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
    auto* caption = new QLabel(QStringLiteral("Zone %1").arg(i + 1), basic);
    caption->setObjectName(QStringLiteral("LabelZone%1").arg(i + 1));
    if (i > 0) {
      caption->setCursor(Qt::PointingHandCursor);
      caption->setToolTip(QStringLiteral("Click: the multisample after the one of Zone %1").arg(i));
      caption->installEventFilter(this);
    }
    zone_captions_[i] = caption;
    grid->addWidget(caption, row, 0);
    zone_lists_[i] = make_zone_list(basic, zones, i, true);
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
  // A wider window widens the bars more than the lists.
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 2);
  grid->setColumnStretch(6, 2);
  column->addWidget(basic);

  auto* additional = new QGroupBox(QStringLiteral("Additional  Zone"), parent);
  auto* extra = new QGridLayout(additional);
  extra->setContentsMargins(group_margins);
  extra->setHorizontalSpacing(4);
  extra->setVerticalSpacing(2);
  static const char* const captions[6] = {"Legato", "Release", "Mod 1", "Mod 2", "Mod 3", "Mod 4"};
  for (int j = 0; j < 6; ++j) {
    const int k = 8 + j;
    const int row = j % 3;
    const int col = (j / 3) * 5;
    extra->addWidget(new QLabel(QString::fromLatin1(captions[j]), additional), row, col);
    zone_lists_[k] = make_zone_list(additional, zones, k, false);
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
  for (QLabel* label : zone_labels_)
    if (label) label->installEventFilter(this);
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
  const group_id rows[2][3] = {{group_id::oscillator, group_id::lfo, group_id::lfo},
                               {group_id::sample_offset, group_id::effect, group_id::amplifier}};
  for (const auto& row : rows) {
    auto* line = new QHBoxLayout;
    for (std::size_t r = 0; r < 3; ++r) {
      const group_id group = row[r];
      if (r > 0 && group == row[r - 1]) continue;
      const group_info& info =
          *std::find_if(std::begin(group_infos), std::end(group_infos),
                        [group](const group_info& i) { return i.id == group; });
      auto* box = new QGroupBox(QString::fromLatin1(info.caption), this);
      auto* grid = new QGridLayout(box);
      grid->setContentsMargins(group_margins);
      grid->setHorizontalSpacing(6);
      grid->setVerticalSpacing(2);
      const auto in_group = std::count_if(std::begin(parameters), std::end(parameters),
                                          [group](const parameter& p) { return p.group == group; });
      const int per_column = int((in_group + info.columns - 1) / info.columns);
      int at = 0;
      for (const auto& p : parameters) {
        if (p.group != group) continue;
        auto* box_list = new QComboBox(box);
        box_list->setObjectName(list_name(p.field));
        box_list->setModel(lists[int(p.list)]);
        // As wide as its widest entry ("Corvalenti Violine 1", "3999 ms").
        box_list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        box_list->setFixedHeight(20);
        box_list->setMaxVisibleItems(24);
        if (auto* view = qobject_cast<QListView*>(box_list->view()))
          view->setUniformItemSizes(true);
        const int r_at = at % per_column;
        const int c = (at / per_column) * 2;
        grid->addWidget(new QLabel(QString::fromLatin1(p.label), box), r_at, c);
        box_list->setProperty("caption", QString::fromLatin1(p.label));
        grid->addWidget(box_list, r_at, c + 1);
        ++at;
        const program_parameter* rule = find_program_parameter(p.field);
        parameter_lists_.push_back({&p, rule, box_list});
        if (rule->editable) {
          connect(box_list, &QComboBox::activated, this,
                  [this, rule, box_list](int index) { store_parameter(*rule, box_list, index); });
        } else {
          // Shown only: the instrument sets it elsewhere, so the list offers no choice.
          box_list->setEnabled(false);
          box_list->setToolTip(QStringLiteral("Shown only"));
        }
      }
      line->addWidget(box);
    }
    line->addStretch(1);
    column->addLayout(line);
  }
}

QComboBox* program_tab::parameter_list(std::string_view field) const {
  for (const auto& list : parameter_lists_)
    if (field == list.layout->field) return list.box;
  return nullptr;
}

void program_tab::store_parameter(const program_parameter& rule, QComboBox* list, int index) {
  const int shown = store_parameter_index(bank_.program(program_), rule, index);
  // The list shows what was stored (a raised minimum included).
  const QSignalBlocker quiet(list);
  list->setCurrentIndex(shown);
  record_(QStringLiteral("Change ") + list->property("caption").toString(), -1);
}

void program_tab::store_zones() {
  std::array<int, zone_list_count> indexes{};
  for (int k = 0; k < zone_list_count; ++k) indexes[k] = zone_lists_[k]->currentIndex();
  store_zone_indexes(bank_.program(program_), indexes);
  record_(QStringLiteral("Change Zone Multisample"), -1);
  show_zones();
}

void program_tab::show_program(int program) {
  program_ = std::clamp(program, 0, program_count - 1);
  const blend& b = bank_.program(program_);
  for (const auto& list : parameter_lists_) {
    const int index = parameter_index(b, *list.rule);
    const QSignalBlocker quiet(list.box);
    list.box->setCurrentIndex(index < list.box->count() ? index : -1);
  }
  show_zones();
}

// A zone list is white when it holds a multisample and in the window's colour, its text
// greyed, when it shows "No Multisample"; its tool tip is its whole entry.
void program_tab::show_zone_state(QComboBox* box) {
  const bool assigned = box->currentIndex() > 0;
  const QVariant was = box->property("assigned");
  if (!was.isValid() || was.toBool() != assigned) {
    box->setProperty("assigned", assigned);
    box->style()->unpolish(box);
    box->style()->polish(box);
  }
  const QString text = box->currentText();
  if (box->toolTip() != text) box->setToolTip(text);
}

void program_tab::show_zones() {
  blend& b = bank_.program(program_);
  for (int k = 0; k < zone_list_count; ++k) {
    QComboBox* box = zone_lists_[k];
    const int n = *multisample_references(b)[k];
    {
      const QSignalBlocker quiet(box);
      box->setCurrentIndex(n < multisample_count ? n : 0);
    }
    show_zone_state(box);
  }
  // Zone display: the labels and bars of the zone bytes.
  for (int tag = 0; tag < int(zone_labels_.size()); ++tag) {
    if (!zone_labels_[tag]) continue;
    const QString text = QString::fromStdString(zone_label_text(b, tag));
    if (zone_labels_[tag]->text() != text) zone_labels_[tag]->setText(text);
  }
  for (int i = 0; i < 8; ++i) {
    velocity_bars_[i]->set_range(b.zones[i].velo_low, b.zones[i].velo_high);
    key_bars_[i]->set_range(b.zones[i].key_low, b.zones[i].key_high);
  }
}

QLabel* program_tab::zone_label(int tag) const {
  return tag >= 0 && tag < int(zone_labels_.size()) ? zone_labels_[tag] : nullptr;
}

QWidget* program_tab::velocity_bar(int i) const {
  return velocity_bars_.at(i);
}

QWidget* program_tab::key_bar(int i) const {
  return key_bars_.at(i);
}

int program_tab::bar_width(const QWidget* bar) {
  return static_cast<const zone_bar*>(bar)->bar_width();
}

void program_tab::move_program(int from, int to) {
  if (from == to || from < 0 || to < 0 || from >= program_count || to >= program_count) return;
  refresh_();
  const int choice = TSellectForm::choose(this, to_qstring(program_choice_text(bank_, from)),
                                          to_qstring(program_choice_text(bank_, to)));
  apply_program_operation(bank_, static_cast<program_operation>(choice), from, to);
  record_(QStringLiteral("Move, Swap or Copy Program"), -1);
  refresh_();
}

void program_tab::copy_zone_name() {
  if (!copy_zone1_name(bank_, program_)) return;
  record_(QStringLiteral("Name Program after Zone 1"), -1);
  refresh_();
}

void program_tab::next_multisample(int n) {
  if (!next_zone_multisample(bank_.program(program_), n)) return;
  record_(QStringLiteral("Next Multisample for Zone %1").arg(n), -1);
  show_zones();
}

bool program_tab::eventFilter(QObject* watched, QEvent* event) {
  // The viewport kept at start: events still arrive while the window is being destroyed, when
  // the grid is no longer a table view to ask.
  if (watched == grid_viewport_) return drag_row(event);
  auto* label = qobject_cast<QLabel*>(watched);
  if (!label) return false;
  if (label->property("tag").isValid()) {
    // Keys typed into a value box stay there: a key passed on would reach the parent and from
    // there the programs grid.
    if (event->type() == QEvent::KeyPress)
      return key_on_label(label, static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::ShortcutOverride) {
      const auto* key = static_cast<QKeyEvent*>(event);
      const bool moves_focus = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
      return !moves_focus && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    }
    if (event->type() == QEvent::Wheel) {
      const int turn = static_cast<QWheelEvent*>(event)->angleDelta().y();
      if (turn != 0) step_label(label, turn > 0 ? 1 : -1);
      return true;
    }
    if (event->type() == QEvent::FocusIn) ++drag_step_;  // keys on one box: one undo step
    if (event->type() == QEvent::FocusOut && !typed_.isEmpty()) {
      typed_.clear();  // a value typed but not entered is dropped
      show_zones();
    }
    return drag_label(label, event);
  }
  for (int i = 1; i < 8; ++i) {
    if (label == zone_captions_[i] && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      next_multisample(i + 1);
      return true;
    }
  }
  return false;
}

void program_tab::step_label(QLabel* label, int delta) {
  typed_.clear();
  if (step_zone_label(bank_.program(program_), label->property("tag").toInt(), delta))
    record_(QStringLiteral("Change Zone Value"), drag_step_);
  show_zones();
}

// Up and Down step by one, Page Up and Page Down by ten; digits (and a sign on the transpose
// boxes) are typed into the box and stored by Enter, Escape gives back the stored value.
bool program_tab::key_on_label(QLabel* label, QKeyEvent* key) {
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
  switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return false;
    case Qt::Key_Up:
      step_label(label, 1);
      return true;
    case Qt::Key_Down:
      step_label(label, -1);
      return true;
    case Qt::Key_PageUp:
      step_label(label, 10);
      return true;
    case Qt::Key_PageDown:
      step_label(label, -10);
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (!typed_.isEmpty() &&
          type_zone_label(bank_.program(program_), label->property("tag").toInt(),
                          typed_.toStdString()))
        record_(QStringLiteral("Change Zone Value"), -1);
      typed_.clear();
      show_zones();
      return true;
    case Qt::Key_Escape:
      typed_.clear();
      show_zones();
      return true;
    case Qt::Key_Backspace:
      typed_.chop(1);
      if (typed_.isEmpty())
        show_zones();
      else
        label->setText(typed_);
      return true;
    default:
      break;
  }
  const QString text = key->text();
  const bool sign = label->property("tag").toInt() >= 60 && typed_.isEmpty() &&
                    (text == QLatin1String("-") || text == QLatin1String("+"));
  if ((text.size() == 1 && text[0].isDigit() && typed_.size() < 4) || sign) {
    typed_ += text;
    label->setText(typed_);
  }
  return true;
}

// Button down starts a drag, every move while it runs is one step up or down, button up ends it.
bool program_tab::drag_label(QLabel* label, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return false;
      const QPoint at = mouse->globalPosition().toPoint();
      drag_x_ = at.x();
      drag_y_ = at.y();
      dragging_ = true;
      ++drag_step_;
      label->setFocus(Qt::MouseFocusReason);
      return true;
    }
    case QEvent::MouseMove: {
      if (!dragging_) return false;
      const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
      drag_zone_label(bank_.program(program_), label->property("tag").toInt(), drag_y_, at.y());
      drag_x_ = at.x();
      drag_y_ = at.y();
      record_(QStringLiteral("Change Zone Value"), drag_step_);
      show_zones();
      return true;
    }
    case QEvent::MouseButtonRelease:
      if (!dragging_) return false;
      dragging_ = false;
      return true;
    default:
      return false;
  }
}

// A row of the programs grid dragged by its number (first column) and dropped on another row.
bool program_tab::drag_row(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const QModelIndex at = grid_->indexAt(mouse->position().toPoint());
      row_drag_from_ =
          mouse->button() == Qt::LeftButton && at.isValid() && at.column() == 0 ? at.row() : -1;
      if (row_drag_from_ >= 0) grid_->viewport()->setCursor(Qt::ClosedHandCursor);
      return false;  // the press still selects the row
    }
    case QEvent::MouseMove:
      // While a row is dragged the selection stays on it.
      return row_drag_from_ >= 0;
    case QEvent::MouseButtonRelease: {
      if (row_drag_from_ < 0) return false;
      const int from = row_drag_from_;
      row_drag_from_ = -1;
      grid_->viewport()->unsetCursor();
      const QModelIndex at = grid_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
      if (at.isValid() && at.row() != from) move_program(from, at.row());
      return at.isValid() && at.row() != from;
    }
    default:
      return false;
  }
}

}  // namespace qbank::gui
