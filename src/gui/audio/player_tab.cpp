#include "audio/player_tab.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSettings>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <bitset>

#include "audio/my_wave_plot.h"
#include "audio/play_progress_thread.h"
#include "audio/wave_player.h"
#include "bank/bank.h"
#include "ui/host.h"

namespace qbank::gui {
namespace {

constexpr std::string_view wave_error_caption = "Wave Error";

}  // namespace

player_tab::player_tab(const bank& b, host& h) : bank_(b), host_(h) {
  output_ = new wave_player(
      [this](const QString& text) { host_.message(text.toStdString(), wave_error_caption); }, this);
  build_plot_page();
  build_settings_page();
  progress_ = new PlayProgressThread(*output_, *plot, this);
}

// The sound stops before its buffer goes; the pages belong to the tab set.
player_tab::~player_tab() {
  output_->stop();
}

void player_tab::build_plot_page() {
  plot_page_ = new QWidget;
  plot_page_->setObjectName(QStringLiteral("TabSheetPlayer"));
  auto* layout = new QHBoxLayout(plot_page_);
  layout->setContentsMargins(6, 6, 6, 6);
  plot = new MyWavePlot(plot_page_);
  layout->addWidget(plot, 1);
  auto* zoom_column = new QVBoxLayout;
  zoom_column->setSpacing(0);
  SpinZoomUp = new QToolButton(plot_page_);
  SpinZoomUp->setObjectName(QStringLiteral("SpinZoomUp"));
  SpinZoomUp->setArrowType(Qt::UpArrow);
  SpinZoomDown = new QToolButton(plot_page_);
  SpinZoomDown->setObjectName(QStringLiteral("SpinZoomDown"));
  SpinZoomDown->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {SpinZoomUp, SpinZoomDown}) {
    button->setFixedSize(20, 16);
    zoom_column->addWidget(button);
  }
  LabelZoom = new QLabel(plot->zoom_text(), plot_page_);
  LabelZoom->setObjectName(QStringLiteral("LabelZoom"));
  LabelZoom->setMinimumWidth(28);
  zoom_column->addWidget(LabelZoom);
  zoom_column->addStretch(1);
  layout->addLayout(zoom_column);
  connect(SpinZoomUp, &QToolButton::clicked, this, [this] { zoom(true); });
  connect(SpinZoomDown, &QToolButton::clicked, this, [this] { zoom(false); });
  connect(plot, &MyWavePlot::pressed, this, &player_tab::play);
  connect(plot, &MyWavePlot::released, this, &player_tab::stop);
  // The page coming into view (its tab chosen, or the Multisamples tab) loads the slot.
  plot_page_->installEventFilter(this);
}

void player_tab::build_settings_page() {
  settings_page_ = new QWidget;
  settings_page_->setObjectName(QStringLiteral("TabSheetPlayerSettings"));
  auto* layout = new QGridLayout(settings_page_);
  layout->addWidget(new QLabel(QStringLiteral("Audio output:"), settings_page_), 0, 0);
  ComboBoxAudioOut = new QComboBox(settings_page_);
  ComboBoxAudioOut->setObjectName(QStringLiteral("ComboBoxAudioOut"));
  ComboBoxAudioOut->addItems(output_->device_entries());
  ComboBoxAudioOut->setCurrentIndex(0);
  layout->addWidget(ComboBoxAudioOut, 0, 1);
  RadioButtonAudioFromWAV = new QRadioButton(QStringLiteral("Audio from WAV file"), settings_page_);
  RadioButtonAudioFromWAV->setObjectName(QStringLiteral("RadioButtonAudioFromWAV"));
  RadioButtonAudioFromQBB =
      new QRadioButton(QStringLiteral("Audio from QBB bank file"), settings_page_);
  RadioButtonAudioFromQBB->setObjectName(QStringLiteral("RadioButtonAudioFromQBB"));
  RadioButtonAudioFromQBB->setChecked(true);
  RadioButtonAudioFromQBB->setToolTip(
      QStringLiteral("While no bank file is loaded or built, the WAV files play"));
  layout->addWidget(RadioButtonAudioFromWAV, 1, 1);
  layout->addWidget(RadioButtonAudioFromQBB, 2, 1);
  layout->setColumnStretch(2, 1);
  layout->setRowStretch(3, 1);
}

void player_tab::restore_settings(const QSettings& settings) {
  const int device = ComboBoxAudioOut->findText(settings.value("player/output").toString());
  if (device >= 0) ComboBoxAudioOut->setCurrentIndex(device);
  const QString source = settings.value("player/source").toString();
  if (source == QLatin1String("wav")) RadioButtonAudioFromWAV->setChecked(true);
  if (source == QLatin1String("bank")) RadioButtonAudioFromQBB->setChecked(true);
  const int level = std::clamp(settings.value("player/zoom", 0).toInt(), 0, 100);
  while (plot->zoom_level() < level) {
    const int was = plot->zoom_level();
    zoom(true);
    if (plot->zoom_level() == was) break;
  }
}

void player_tab::save_settings(QSettings& settings) const {
  settings.setValue("player/output", ComboBoxAudioOut->currentText());
  settings.setValue("player/source", RadioButtonAudioFromWAV->isChecked() ? QStringLiteral("wav")
                                                                          : QStringLiteral("bank"));
  settings.setValue("player/zoom", plot->zoom_level());
}

void player_tab::attach_slot_grid(QTableView* grid) {
  grid_ = grid;
  grid_viewport_ = grid_->viewport();
  grid_viewport_->installEventFilter(this);
  connect(grid_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (!selecting_) load_selected_slot();
  });
}

void player_tab::refresh(int n) {
  multisample_ = n;
  if (plot_page_->isVisible()) load_selected_slot();
}

void player_tab::load_selected_slot() {
  // The device may still be reading the buffer that is about to be replaced.
  stop();
  int row = 0;
  int rows = 1;
  if (grid_) {
    std::bitset<slots_per_multisample> selected;
    for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes())
      if (index.row() >= 0 && index.row() < slots_per_multisample) selected.set(index.row());
    rows = static_cast<int>(selected.count());
    const QModelIndex current = grid_->currentIndex();
    if (current.isValid())
      row = current.row();
    else if (rows > 0)
      for (row = 0; !selected.test(row); ++row) {
      }
  }
  // Without a bank file there are no sectors to play: the slot's WAV file plays, so a script
  // plays as it is opened, whatever the choice of source.
  const audio_source source = RadioButtonAudioFromQBB->isChecked() && holds_bank_audio(bank_)
                                  ? audio_source::bank_file
                                  : audio_source::wav_file;
  std::vector<std::int16_t> recycled = std::move(audio_.samples);
  audio_ = {};
  try {
    audio_ = qbank::load_selected_slot(bank_, multisample_, row, rows, source, host_,
                                       std::move(recycled));
  } catch (const std::exception& e) {
    audio_ = {};
    host_.message(e.what(), "Error");
  }
  if (audio_.loaded())
    plot->plot(audio_.samples.data(), audio_.length, audio_.stereo);
  else
    plot->show_message(QString::fromStdString(audio_.message));
}

void player_tab::play() {
  // A sound still playing is stopped before the device is opened again.
  stop();
  if (audio_.playable_bytes() == 0) return;
  if (output_->play(audio_.samples.data(), audio_.playable_bytes(), audio_.stereo,
                    ComboBoxAudioOut->currentIndex()))
    progress_->resume();
}

void player_tab::stop() {
  output_->stop();
}

void player_tab::zoom(bool up) {
  plot->zoom(up);
  LabelZoom->setText(plot->zoom_text());
}

bool player_tab::eventFilter(QObject* watched, QEvent* event) {
  if (watched == plot_page_ && event->type() == QEvent::Show) {
    load_selected_slot();
  } else if (grid_viewport_ && watched == grid_viewport_) {
    // (The viewport kept at start: events still arrive while the window is being destroyed,
    // when the grid is no longer a table view to ask.)
    if (event->type() == QEvent::MouseButtonPress) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const QModelIndex index = grid_->indexAt(mouse->position().toPoint());
      // Ctrl with the left button picks the one slot under the mouse and plays it while the
      // button is held; the grid's own Ctrl handling would add to the selection instead.
      if (mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::ControlModifier) &&
          index.isValid()) {
        selecting_ = true;
        grid_->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        selecting_ = false;
        load_selected_slot();
        play();
        return true;
      }
    } else if (event->type() == QEvent::MouseButtonRelease) {
      stop();
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace qbank::gui
