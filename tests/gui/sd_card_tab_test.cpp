// The "SD Card Write Assistant" tab driven as a user would: the three file choices, the tick
// boxes, the destination and the write, with a folder playing the card.
#include "sdcard/sd_card_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <string>

#include "app/gui_host.h"
#include "app/main_form.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "gui_test_support.h"
#include "platform/file_io.h"
#include "platform/volume.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

using namespace qbank;
using namespace qbank::gui;
namespace fs = std::filesystem;

namespace {

void write_bytes(const fs::path& path, std::size_t size) {
  std::string bytes(size, 'k');
  write_whole_file(path, bytes.data(), bytes.size());
}

// An empty bank as the window builds it, in parts of `part_limit` bytes (0: one file).
void build_bank(const fs::path& path, std::uint64_t part_limit) {
  qbank::testing::recording_host h;
  bank b;
  QVERIFY(build_bank_file(b, path, h, {part_limit != 0, part_limit}));
}

QStringList items(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

volume_stat fat32_card() {
  volume_stat v;
  v.fat = true;
  v.type = "vfat";
  v.clusters = 120000;
  v.free_bytes = 1ull << 30;
  v.label = "QCARD";
  return v;
}

// A tab over scripted dialogs, the window's real host and a stand-in FAT32 card.
struct fixture {
  explicit fixture(std::optional<volume_stat> card = fat32_card())
      : host(dialogs, nullptr),
        tab(
            dialogs, host,
            [this](const std::function<void()>& command) {
              try {
                command();
              } catch (const std::exception& e) {
                errors << QString::fromStdString(e.what());
              }
            },
            std::make_unique<fixed_volume_layer>(card, card_root)) {}

  qbank::testing::temp_dir src;
  qbank::testing::temp_dir card_dir;
  fs::path card_root = card_dir.path();
  qbank::gui::testing::scripted_dialogs dialogs;
  gui_host host;
  QStringList errors;
  sd_card_tab tab;
};

}  // namespace

class sd_card_tab_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void controls_right_after_start() {
    fixture f;
    QCOMPARE(f.tab.ButtonBank->text(), QStringLiteral("Sellect Bank QBB File"));
    QCOMPARE(f.tab.CheckBoxOs->text(), QStringLiteral("Copy OS BIN File(s)"));
    QCOMPARE(f.tab.CheckBoxMp3->text(), QStringLiteral("Add Mp3 Folder + Files"));
    QCOMPARE(f.tab.ButtonWrite->text(), QStringLiteral("Start Write to SD Card  >>"));
    QVERIFY(!f.tab.CheckBoxOs->isChecked() && !f.tab.CheckBoxMp3->isChecked());
    QVERIFY(!f.tab.ButtonOs->isEnabled() && !f.tab.ButtonMp3->isEnabled());
    QVERIFY(!f.tab.ListOs->isEnabled() && !f.tab.ListMp3->isEnabled());
    for (QLabel* picture : {f.tab.ImageBank, f.tab.ImageOs, f.tab.ImageMp3, f.tab.ImageFat32})
      QCOMPARE(sd_card_tab::picture_of(picture), 0);
    for (QLabel* total : {f.tab.LabelBankSize, f.tab.LabelOsSize, f.tab.LabelMp3Size})
      QCOMPARE(total->text(), QStringLiteral("0 bytes"));
    // The stand-in card, then the folder choice.
    QCOMPARE(f.tab.ComboBoxDrive->currentIndex(), -1);
    QCOMPARE(f.tab.ComboBoxDrive->count(), 2);
    QCOMPARE(f.tab.ComboBoxDrive->itemText(1), QStringLiteral("Other folder..."));

    // Nothing chosen: the write is refused as not FAT32.
    f.tab.ButtonWrite->click();
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QVERIFY(f.dialogs.boxes[0].startsWith(
        "[SD Write Assystant] Destination drive file system is not FAT32!\nMy be"));
  }

  void file_choices_fill_their_groups() {
    fixture f;
    write_bytes(f.src / "Live.qbb", 2000);
    write_bytes(f.src / "Live.q01", 300);
    write_bytes(f.src / "Live.qbs", 40);
    f.dialogs.files.push_back(f.src / "Live.qbb");
    f.tab.ButtonBank->click();
    QCOMPARE(f.dialogs.titles.last(), QStringLiteral("Sellect Quorvatek Samplers BANK file!"));
    QCOMPARE(f.dialogs.filters.last(),
             QStringLiteral("Quorvatek Samplers BANK file (*.[qQ][bB][bB])"));
    QCOMPARE(items(f.tab.ListBank),
             QStringList({"Live.qbb   Size: 2000 bytes", "Live.q01   Size: 300 bytes",
                          "Live.qbs   Size: 40 bytes"}));
    QCOMPARE(f.tab.LabelBankSize->text(), QStringLiteral("2340 bytes"));
    QCOMPARE(sd_card_tab::picture_of(f.tab.ImageBank), 1);
    f.tab.ButtonBank->click();  // cancelled
    QVERIFY(items(f.tab.ListBank).isEmpty());
    QCOMPARE(f.tab.LabelBankSize->text(), QStringLiteral("0 bytes"));
    QCOMPARE(sd_card_tab::picture_of(f.tab.ImageBank), 0);

    write_bytes(f.src / "a.bin", 456704);
    write_bytes(f.src / "b.bin", 456703);
    f.tab.CheckBoxOs->click();
    QVERIFY(f.tab.ButtonOs->isEnabled() && f.tab.ListOs->isEnabled());
    f.dialogs.file_lists.push_back(std::vector<fs::path>{f.src / "a.bin", f.src / "b.bin"});
    f.tab.ButtonOs->click();
    QCOMPARE(f.dialogs.titles.last(), QStringLiteral("Sellect Quorvatek Operation System files!"));
    QCOMPARE(f.dialogs.boxes, QStringList({"[Invalid Operation System BIN file size!] File: "
                                           "b.bin is with invalid size!"}));
    QCOMPARE(f.tab.ListOs->count(), 1);
    QCOMPARE(f.tab.LabelOsSize->text(), QStringLiteral("456704 bytes"));
    QCOMPARE(sd_card_tab::picture_of(f.tab.ImageOs), 1);
    f.tab.CheckBoxOs->click();
    QCOMPARE(f.tab.ListOs->count(), 0);
    QCOMPARE(f.tab.LabelOsSize->text(), QStringLiteral("0 bytes"));
    QVERIFY(!f.tab.ButtonOs->isEnabled() && !f.tab.ListOs->isEnabled());

    write_bytes(f.src / "song.mp3", 70);
    f.tab.CheckBoxMp3->click();
    f.dialogs.file_lists.push_back(std::vector<fs::path>{f.src / "song.mp3"});
    f.tab.ButtonMp3->click();
    QCOMPARE(f.dialogs.titles.last(), QStringLiteral("Sellect Mp3/TXT files!"));
    QCOMPARE(f.dialogs.filters.last(),
             QStringLiteral("Mp3 files and MP3_LIST.TXT file (*.[mM][pP]3 "
                            "[mM][pP]3_[lL][iI][sS][tT].[tT][xX][tT])"));
    QCOMPARE(f.tab.LabelMp3Size->text(), QStringLiteral("70 bytes"));
  }

  void destination_and_write() {
    fixture f;
    build_bank(f.src / "Live.qbb", 0);
    write_bytes(f.src / "MP3_LIST.TXT", 10);
    f.dialogs.files.push_back(f.src / "Live.qbb");
    f.tab.ButtonBank->click();
    f.tab.CheckBoxMp3->click();
    f.dialogs.file_lists.push_back(std::vector<fs::path>{f.src / "MP3_LIST.TXT"});
    f.tab.ButtonMp3->click();

    // "Other folder..." chooses the card's folder.
    f.dialogs.files.push_back(f.card_root);
    f.tab.ComboBoxDrive->setCurrentIndex(1);
    Q_EMIT f.tab.ComboBoxDrive->activated(1);
    QCOMPARE(f.tab.LabelName->text(), QStringLiteral("Name: QCARD"));
    QCOMPARE(f.tab.LabelFileSystem->text(), QStringLiteral("File system: FAT32"));
    QCOMPARE(f.tab.LabelFreeSpace->text(), QStringLiteral("Free space: 1073741824"));
    QCOMPARE(sd_card_tab::picture_of(f.tab.ImageFat32), 1);
    // Listing the volumes again (a visit to the tab) keeps the chosen folder chosen.
    const QString chosen = f.tab.ComboBoxDrive->currentText();
    f.tab.fill_drive_box();
    QCOMPARE(f.tab.ComboBoxDrive->currentText(), chosen);
    QCOMPARE(f.tab.ComboBoxDrive->itemText(f.tab.ComboBoxDrive->count() - 1),
             QStringLiteral("Other folder..."));

    f.tab.ButtonWrite->click();
    QCOMPARE(f.dialogs.boxes, QStringList({"[SD Write Assystant] Write COMPLETE!"}));
    QVERIFY(f.errors.isEmpty());
    QVERIFY(fs::exists(f.card_root / "Live.qbb"));
    QVERIFY(fs::exists(f.card_root / "Mp3" / "MP3_LIST.TXT"));
    QVERIFY(!f.host.progress_window());
  }

  void drive_that_is_not_ready() {
    fixture f(std::nullopt);
    f.tab.choose_destination(f.card_root);
    QCOMPARE(f.tab.LabelName->text(), QStringLiteral("Drive Not Ready!"));
    QVERIFY(f.tab.LabelFileSystem->text().isEmpty());
    QVERIFY(f.tab.LabelFreeSpace->text().isEmpty());
    QCOMPARE(sd_card_tab::picture_of(f.tab.ImageFat32), 0);
  }

  void cancel_button_of_the_progress_window_stops_the_write() {
    fixture f;
    build_bank(f.src / "Big.qbb", 16 << 20);  // Big.qbb and Big.Q01
    f.dialogs.files.push_back(f.src / "Big.qbb");
    f.tab.ButtonBank->click();
    f.tab.choose_destination(f.card_root);
    bool clicked = false;
    QTimer::singleShot(0, [&] {
      TProgressForm* progress = f.host.progress_window();
      if (!progress) return;
      QVERIFY(progress->cancel_button()->isEnabled());
      QVERIFY(!f.tab.ButtonBank->isEnabled());  // no other choice while the copy runs
      progress->cancel_button()->click();
      clicked = true;
    });
    f.tab.ButtonWrite->click();
    QVERIFY(clicked);
    QCOMPARE(f.dialogs.boxes,
             QStringList({"[SD Write Assystant] Write CANCELLED!\n0 of 2 files were copied; the "
                          "card is not complete."}));
    QVERIFY(fs::is_empty(f.card_root));
    QVERIFY(!f.host.progress_window());
    QVERIFY(f.tab.ButtonBank->isEnabled());
  }

  void main_window_shows_the_tab_enabled() {
    qbank::gui::testing::scripted_dialogs answers;
    TForm1 form(&answers);
    auto* tab = form.findChild<sd_card_tab*>();
    QVERIFY(tab);
    QVERIFY(tab->isEnabled());
    QCOMPARE(form.PageControl1->indexOf(tab), 3);
  }
};

QTEST_MAIN(sd_card_tab_test)
#include "sd_card_tab_test.moc"
