#include "sdcard/sd_card_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

#include "app/dialogs.h"
#include "platform/volume.h"

namespace fs = std::filesystem;

namespace qbank::gui {
namespace {

const char* const picture_property = "statusPicture";

QString text_of(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

QString text_of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return QString::fromUtf8(reinterpret_cast<const char*>(text.data()),
                           static_cast<qsizetype>(text.size()));
}

// The two pictures of the tab's image list: 0 not ready (a red cross), 1 ready (a green tick).
std::array<QPixmap, 2> make_status_pictures() {
  std::array<QPixmap, 2> made;
  const QColor colours[2] = {QColor(0xc0, 0x20, 0x20), QColor(0x20, 0xa0, 0x30)};
  for (int i = 0; i < 2; ++i) {
    made[i] = QPixmap(16, 16);
    made[i].fill(Qt::transparent);
    QPainter p(&made[i]);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colours[i]);
    p.setPen(colours[i].darker());
    p.drawEllipse(1, 1, 14, 14);
    p.setPen(QPen(Qt::white, 2));
    if (i == 0) {
      p.drawLine(5, 5, 11, 11);
      p.drawLine(11, 5, 5, 11);
    } else {
      p.drawLine(4, 8, 7, 11);
      p.drawLine(7, 11, 12, 5);
    }
  }
  return made;
}

void show_picture(QLabel* label, int index) {
  static const std::array<QPixmap, 2> pictures = make_status_pictures();
  label->setPixmap(pictures[index == 1 ? 1 : 0]);
  label->setProperty(picture_property, index);
}

QLabel* picture_label(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setFixedSize(18, 18);
  show_picture(label, 0);
  return label;
}

void fill_list(QListWidget* list, const std::vector<fs::path>& files) {
  list->clear();
  for (const fs::path& file : files) list->addItem(text_of(file));
}

// A white list when usable, greyed when its tick box is not ticked.
void set_usable(QListWidget* list, bool usable) {
  list->setEnabled(usable);
}

}  // namespace

sd_card_tab::sd_card_tab(dialogs& d, host& h, command_runner run,
                         std::unique_ptr<volume_layer> volumes, QWidget* parent)
    : QWidget(parent),
      dialogs_(d),
      host_(h),
      run_(std::move(run)),
      volumes_(volumes ? std::move(volumes) : make_system_volume_layer()) {
  setObjectName(QStringLiteral("sd_card_tab"));
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(10);

  // One file group: its controls on top, its picture and total at the right, its list below.
  auto file_group = [this](const QString& title, std::initializer_list<QWidget*> controls,
                           QLabel*& picture, QLabel*& total, QListWidget*& list) {
    auto* box = new QGroupBox(title, this);
    auto* box_layout = new QVBoxLayout(box);
    auto* top = new QHBoxLayout;
    for (QWidget* control : controls) top->addWidget(control);
    top->addStretch(1);
    picture = picture_label(box);
    total = new QLabel(QStringLiteral("0 bytes"), box);
    top->addWidget(picture);
    top->addWidget(total);
    box_layout->addLayout(top);
    list = new QListWidget(box);
    box_layout->addWidget(list, 1);
    return box;
  };

  ButtonBank = new QPushButton(QStringLiteral("Sellect Bank QBB File"));
  layout->addWidget(file_group(QStringLiteral("Step 1: Bank file"), {ButtonBank}, ImageBank,
                               LabelBankSize, ListBank),
                    0, 0);
  CheckBoxOs = new QCheckBox(QStringLiteral("Copy OS BIN File(s)"));
  ButtonOs = new QPushButton(QStringLiteral("Sellect OS BIN file(s)"));
  layout->addWidget(file_group(QStringLiteral("Step 2: Operating system files"),
                               {CheckBoxOs, ButtonOs}, ImageOs, LabelOsSize, ListOs),
                    0, 1);
  CheckBoxMp3 = new QCheckBox(QStringLiteral("Add Mp3 Folder + Files"));
  ButtonMp3 = new QPushButton(QStringLiteral("Sellect Mp3 Files"));
  layout->addWidget(file_group(QStringLiteral("Step 3: MP3 files"), {CheckBoxMp3, ButtonMp3},
                               ImageMp3, LabelMp3Size, ListMp3),
                    1, 0);

  auto* destination = new QGroupBox(QStringLiteral("Step 4: SD card"), this);
  auto* grid = new QGridLayout(destination);
  ComboBoxDrive = new QComboBox(destination);
  ComboBoxDrive->setPlaceholderText(QStringLiteral("Choose the SD card..."));
  ComboBoxDrive->setMinimumWidth(300);
  LabelRoot = new QLabel(destination);
  LabelName = new QLabel(destination);
  LabelFileSystem = new QLabel(destination);
  LabelFreeSpace = new QLabel(destination);
  ImageFat32 = picture_label(destination);
  ButtonWrite = new QPushButton(QStringLiteral("Start Write to SD Card  >>"), destination);
  grid->addWidget(ComboBoxDrive, 0, 0, 1, 2);
  grid->addWidget(LabelRoot, 1, 0, 1, 2);
  grid->addWidget(LabelName, 2, 0, 1, 2);
  grid->addWidget(LabelFileSystem, 3, 0);
  grid->addWidget(ImageFat32, 3, 1);
  grid->addWidget(LabelFreeSpace, 4, 0, 1, 2);
  grid->setRowStretch(5, 1);
  grid->addWidget(ButtonWrite, 6, 0, 1, 2);
  grid->setColumnStretch(0, 1);
  layout->addWidget(destination, 1, 1);

  connect(ButtonBank, &QPushButton::clicked, this, [this] { choose_bank_command(); });
  connect(ButtonOs, &QPushButton::clicked, this, [this] { choose_os_command(); });
  connect(ButtonMp3, &QPushButton::clicked, this, [this] { choose_mp3_command(); });
  connect(CheckBoxOs, &QCheckBox::toggled, this, [this](bool on) { set_os_ticked(on); });
  connect(CheckBoxMp3, &QCheckBox::toggled, this, [this](bool on) { set_mp3_ticked(on); });
  connect(ComboBoxDrive, &QComboBox::activated, this, [this](int index) { drive_chosen(index); });
  connect(ButtonWrite, &QPushButton::clicked, this, [this] { write_command(); });

  fill_drive_box();
  refresh_displays();
}

sd_card_tab::~sd_card_tab() = default;

int sd_card_tab::picture_of(const QLabel* label) {
  return label->property(picture_property).toInt();
}

void sd_card_tab::refresh_displays() {
  // A write reads the bank anew (a build that stopped half-way is completed first): the list
  // shows the files it copied.
  ListBank->clear();
  for (const std::string& line : assistant_.bank_lines()) ListBank->addItem(text_of(line));
  const group_display bank = assistant_.bank_display();
  show_picture(ImageBank, bank.picture);
  LabelBankSize->setText(text_of(bank.total_text));
  const group_display os = assistant_.os_display();
  show_picture(ImageOs, os.picture);
  LabelOsSize->setText(text_of(os.total_text));
  const group_display mp3 = assistant_.mp3_display();
  show_picture(ImageMp3, mp3.picture);
  LabelMp3Size->setText(text_of(mp3.total_text));
  ButtonOs->setEnabled(assistant_.os_ticked());
  set_usable(ListOs, assistant_.os_ticked());
  ButtonMp3->setEnabled(assistant_.mp3_ticked());
  set_usable(ListMp3, assistant_.mp3_ticked());
}

void sd_card_tab::choose_bank_command() {
  const auto file = dialogs_.choose_open_file(
      QStringLiteral("Sellect Quorvatek Samplers BANK file!"),
      dialog_filter(QStringLiteral("Quorvatek Samplers BANK file"), QStringLiteral("qbb")));
  assistant_.choose_bank(file);
  refresh_displays();
}

void sd_card_tab::choose_os_command() {
  const auto files = dialogs_.choose_open_files(
      QStringLiteral("Sellect Quorvatek Operation System files!"),
      dialog_filter(QStringLiteral("Quorvatek Operation System files"), QStringLiteral("bin")));
  ListOs->clear();
  assistant_.choose_os_files(files, host_);
  fill_list(ListOs, assistant_.os_files());
  refresh_displays();
}

void sd_card_tab::choose_mp3_command() {
  const auto files = dialogs_.choose_open_files(
      QStringLiteral("Sellect Mp3/TXT files!"),
      dialog_filter_patterns(QStringLiteral("Mp3 files and MP3_LIST.TXT file"),
                             {QStringLiteral("*.Mp3"), QStringLiteral("MP3_LIST.TXT")}));
  assistant_.choose_mp3_files(files);
  fill_list(ListMp3, assistant_.mp3_files());
  refresh_displays();
}

void sd_card_tab::set_os_ticked(bool ticked) {
  if (CheckBoxOs->isChecked() != ticked) CheckBoxOs->setChecked(ticked);  // comes back here
  assistant_.set_os_ticked(ticked);
  if (!ticked) ListOs->clear();
  refresh_displays();
}

void sd_card_tab::set_mp3_ticked(bool ticked) {
  if (CheckBoxMp3->isChecked() != ticked) CheckBoxMp3->setChecked(ticked);
  assistant_.set_mp3_ticked(ticked);
  if (!ticked) ListMp3->clear();
  refresh_displays();
}

void sd_card_tab::fill_drive_box() {
  const QString current = ComboBoxDrive->currentData().toString();
  ComboBoxDrive->clear();
  for (const mounted_volume& v : volumes_->mounted()) {
    QString text = text_of(v.root);
    QStringList facts;
    if (!v.label.empty()) facts << text_of(v.label);
    if (!v.type.empty()) facts << text_of(v.type);
    if (v.removable) facts << QStringLiteral("removable");
    if (!facts.isEmpty()) text += QStringLiteral("   (") + facts.join(QStringLiteral(", ")) + ')';
    ComboBoxDrive->addItem(text, text_of(v.root));
  }
  // A folder chosen earlier stays in the list.
  if (!current.isEmpty() && ComboBoxDrive->findData(current) < 0)
    ComboBoxDrive->addItem(current, current);
  ComboBoxDrive->addItem(QStringLiteral("Other folder..."), QString());
  ComboBoxDrive->setCurrentIndex(current.isEmpty() ? -1 : ComboBoxDrive->findData(current));
}

void sd_card_tab::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  fill_drive_box();
}

void sd_card_tab::drive_chosen(int index) {
  const QString root = ComboBoxDrive->itemData(index).toString();
  if (!root.isEmpty()) {
    choose_destination(native_path_of(root));
    return;
  }
  const auto folder = dialogs_.choose_folder(QStringLiteral("Sellect the SD card folder"));
  if (!folder) {
    ComboBoxDrive->setCurrentIndex(
        assistant_.destination().root.empty()
            ? -1
            : ComboBoxDrive->findData(text_of(assistant_.destination().root)));
    return;
  }
  choose_destination(*folder);
}

void sd_card_tab::choose_destination(const fs::path& root) {
  const QString text = text_of(root);
  int index = ComboBoxDrive->findData(text);
  if (index < 0) {
    index = ComboBoxDrive->count() - 1;  // before "Other folder..."
    ComboBoxDrive->insertItem(index, text, text);
  }
  ComboBoxDrive->setCurrentIndex(index);
  assistant_.choose_destination(root, *volumes_);
  const destination_display& d = assistant_.destination();
  LabelRoot->setText(text_of(d.root));
  LabelName->setText(text_of(d.name));
  LabelFileSystem->setText(text_of(d.file_system));
  LabelFreeSpace->setText(text_of(d.free_space));
  show_picture(ImageFat32, d.fat32_picture);
}

void sd_card_tab::write_command() {
  // The copy lets events through for "Cancel": nothing on the tab may change the selection the
  // copy is walking meanwhile.
  setEnabled(false);
  run_([this] { assistant_.write(host_, cancel_flag_); });
  setEnabled(true);
  refresh_displays();
}

}  // namespace qbank::gui
