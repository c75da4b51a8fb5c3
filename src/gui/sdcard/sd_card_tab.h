// The "SD Card Write Assistant" tab: four groups of controls (bank file, operating-system files,
// MP3 files, destination) over the core's sd_write_assistant, and the button that checks the
// card and copies. The assistant's state lives as long as the tab.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/volume.h"
#include "sdcard/sd_write_assistant.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace qbank {
class host;
}

namespace qbank::gui {

class dialogs;

class sd_card_tab : public QWidget {
  Q_OBJECT

 public:
  // Runs a command with the window's error display (TForm1::run_command).
  using command_runner = std::function<void(const std::function<void()>&)>;

  // `volumes` null: the system's own volumes. `d` and `h` outlive the tab.
  sd_card_tab(dialogs& d, host& h, command_runner run,
              std::unique_ptr<volume_layer> volumes = nullptr, QWidget* parent = nullptr);
  ~sd_card_tab() override;

  const sd_write_assistant& assistant() const { return assistant_; }

  // The commands of the tab's controls.
  void choose_bank_command();
  void choose_os_command();
  void choose_mp3_command();
  void set_os_ticked(bool ticked);
  void set_mp3_ticked(bool ticked);
  // Reads the volume at `root` (from the drive box or a folder choice).
  void choose_destination(const std::filesystem::path& root);
  void write_command();
  // Fills the drive box with the mounted volumes (removable ones first) and "Other folder...".
  void fill_drive_box();

  // Status picture shown by a group's picture label: 0 not ready, 1 ready.
  static int picture_of(const QLabel* label);

  QPushButton* ButtonBank = nullptr;
  QListWidget* ListBank = nullptr;
  QLabel* ImageBank = nullptr;
  QLabel* LabelBankSize = nullptr;
  QCheckBox* CheckBoxOs = nullptr;
  QPushButton* ButtonOs = nullptr;
  QListWidget* ListOs = nullptr;
  QLabel* ImageOs = nullptr;
  QLabel* LabelOsSize = nullptr;
  QCheckBox* CheckBoxMp3 = nullptr;
  QPushButton* ButtonMp3 = nullptr;
  QListWidget* ListMp3 = nullptr;
  QLabel* ImageMp3 = nullptr;
  QLabel* LabelMp3Size = nullptr;
  QComboBox* ComboBoxDrive = nullptr;
  QLabel* LabelRoot = nullptr;
  QLabel* LabelName = nullptr;
  QLabel* LabelFileSystem = nullptr;
  QLabel* LabelFreeSpace = nullptr;
  QLabel* ImageFat32 = nullptr;
  QPushButton* ButtonWrite = nullptr;

 protected:
  // Each visit to the tab lists the volumes anew: a card may have been inserted meanwhile.
  void showEvent(QShowEvent* event) override;

 private:
  void refresh_displays();
  void drive_chosen(int index);

  dialogs& dialogs_;
  host& host_;
  command_runner run_;
  std::unique_ptr<volume_layer> volumes_;
  sd_write_assistant assistant_;
  // Set to 1 by the progress window's "Cancel" while a write runs.
  std::int32_t cancel_flag_ = 0;
};

}  // namespace qbank::gui
