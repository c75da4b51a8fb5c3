// The multisample player below the slot grid: the page "Current WAV file Plot/Player" with the
// waveform plot and its zoom buttons, the page "Audio Plot/Player Settings" with the output
// device list and the choice of where a slot's audio comes from, and the player state behind
// them (the loaded sound, the audio output and the cursor that follows it).
//
// The main window adds the two pages to its tab set, hands over its slot grid and calls refresh
// from its own refresh; everything else is wired here.
#pragma once

#include <QObject>
#include <memory>

#include "audio/slot_audio.h"

class QComboBox;
class QSettings;
class QLabel;
class QRadioButton;
class QTableView;
class QToolButton;
class QWidget;

namespace qbank {
class bank;
class host;
}  // namespace qbank

namespace qbank::gui {

class MyWavePlot;
class PlayProgressThread;
class wave_player;

class player_tab : public QObject {
  Q_OBJECT

 public:
  // `b` is the main bank; `h` shows the "Wave Error" boxes and the failures of opening a file.
  // The pages are created without a parent: the tab set that shows them owns them.
  player_tab(const bank& b, host& h);
  ~player_tab() override;

  QWidget* plot_page() const { return plot_page_; }
  QWidget* settings_page() const { return settings_page_; }

  // The slot grid whose selection chooses the slot: a change of selection stops and loads, a
  // left press with Ctrl loads and plays, a release stops.
  void attach_slot_grid(QTableView* grid);
  // The window's refresh: multisample `n` is the one the slot grid shows. The slot is loaded
  // when the plot is on screen (it is loaded anyway when the page comes into view).
  void refresh(int n);

  // Stops, then loads the selected slot of the current multisample from the chosen source and
  // shows its waveform or the reason it cannot.
  void load_selected_slot();
  // Plays the loaded sound (a sound still playing is stopped first); nothing without audio.
  void play();
  void stop();

  // The output device (by its name, while it is there), the audio source and the zoom, kept
  // from one run to the next.
  void restore_settings(const QSettings& settings);
  void save_settings(QSettings& settings) const;

  const slot_audio& audio() const { return audio_; }
  wave_player& output() const { return *output_; }
  PlayProgressThread& progress() const { return *progress_; }

  MyWavePlot* plot = nullptr;
  QLabel* LabelZoom = nullptr;
  QToolButton* SpinZoomUp = nullptr;
  QToolButton* SpinZoomDown = nullptr;
  QComboBox* ComboBoxAudioOut = nullptr;
  QRadioButton* RadioButtonAudioFromWAV = nullptr;
  QRadioButton* RadioButtonAudioFromQBB = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build_plot_page();
  void build_settings_page();
  void zoom(bool up);

  const bank& bank_;
  host& host_;
  QWidget* plot_page_ = nullptr;
  QWidget* settings_page_ = nullptr;
  QTableView* grid_ = nullptr;
  QWidget* grid_viewport_ = nullptr;  // watched for Ctrl presses
  int multisample_ = 1;
  slot_audio audio_;
  bool selecting_ = false;  // the player itself moves the grid's selection
  wave_player* output_ = nullptr;
  PlayProgressThread* progress_ = nullptr;
};

}  // namespace qbank::gui
