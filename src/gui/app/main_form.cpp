#include "app/main_form.h"

#include <QAudioDevice>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMediaDevices>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "app/dialogs.h"
#include "app/grid_models.h"
#include "app/grid_view.h"
#include "app/program_tab.h"
#include "app/start_screen.h"
#include "app/window_util.h"
#include "bank/bank.h"
#include "manager/bank_manager_page.h"
#include "manager/s2_bank.h"
#include "sdcard/sd_card_tab.h"

namespace qbank::gui {

namespace {

QPushButton* disabled_button(const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setEnabled(false);
  return button;
}

}  // namespace

TForm1::TForm1(dialogs* d, std::function<void(std::uint8_t)> progress)
    : main_(std::make_unique<bank>()),
      manager_(std::make_unique<bank>()),
      s2_(std::make_unique<s2_bank>()) {
  if (!d) {
    own_dialogs_ = std::make_unique<qt_dialogs>(this);
    d = own_dialogs_.get();
  }
  dialogs_ = d;
  host_ = std::make_unique<gui_host>(*dialogs_, this);

  // 1. The window from its layout. (The player's waveform plot and playback thread join here.)
  setObjectName(QStringLiteral("Form1"));
  setWindowIcon(application_icon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  // The compact font of a desktop tool: the four tabs are laid out for it.
  QFont compact = font();
  compact.setPointSize(8);
  setFont(compact);
  auto* central = new QWidget(this);
  central->setFixedSize(918, 657);
  setCentralWidget(central);
  auto* central_layout = new QVBoxLayout(central);
  central_layout->setContentsMargins(4, 4, 4, 4);
  PageControl1 = new QTabWidget(central);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  central_layout->addWidget(PageControl1);

  zone_model_ = new zone_list_model(this);
  programs_model_ = make_program_grid_model(*main_, this);
  multisamples_model_ = make_multisample_grid_model(*main_, this);
  main_bank_model_ = make_program_grid_model(*main_, this);
  manager_model_ = make_program_grid_model(*manager_, this);
  s2_model_ = new name_grid_model(
      program_count, QStringLiteral("Sound Num"), QStringLiteral("Sound Name"),
      [](int row) { return QString::asprintf("%04u", unsigned(row)); },
      [this](int row) { return s2_->sound_name_text(row); }, this);
  slots_model_ = new file_slots_model(*main_, this);

  PageControl1->addTab(build_multisamples_tab(), QStringLiteral("Multisamples"));
  PageControl1->addTab(build_manager_tab(), QStringLiteral("Bank Manager"));
  PageControl1->addTab(build_sd_card_tab(), QStringLiteral("SD Card Write Assistant"));

  // 2. The audio output list.
  fill_audio_outputs();
  // 3, 4. The banks were reset when they were made; the record sizes are checked by the build.
  // 5. The bank-manager buttons got their two-line captions with the tab.
  progress(10);
  // 6. The program tab with its value lists [20..50].
  program_tab_ = new program_tab(*main_, zone_model_, programs_model_, progress, PageControl1);
  StringGridBlends = program_tab_->grid();
  PageControl1->insertTab(0, program_tab_, QStringLiteral("Program"));
  PageControl1->setCurrentIndex(0);
  // 7. The grids read their headers and row labels from their models.
  for (std::uint8_t step : {60, 70, 80, 90, 99}) progress(step);

  manager_page_ = new bank_manager_page(*this, *dialogs_, *s2_);
  build_menus();
  connect(PageControl1, &QTabWidget::currentChanged, this, [this] { refresh(); });
  for (QTableView* grid : {StringGridBlends, StringGridBlendsORG, StringGridMultisamples,
                           StringGridBlendsMNG, StringGridS2Sounds}) {
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { refresh(); });
  }

  // 8. Refresh. (The SD-card state is reset with its tab.)
  refresh();
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  adjustSize();
  centre_on_screen(this);
}

// Destruction: the player's thread, plot and buffer go first once they exist; then the
// controls, then the hosts' windows, then the banks the models read.
TForm1::~TForm1() {
  host_->progress_hide();
  host_->report_hide();
  delete PageControl1;
  PageControl1 = nullptr;
}

void TForm1::fill_audio_outputs() {
  ComboBoxAudioOut->addItem(QStringLiteral("DEFAULT WAVE OUT DEVICE"));
  for (const QAudioDevice& device : QMediaDevices::audioOutputs())
    ComboBoxAudioOut->addItem(device.description());
  ComboBoxAudioOut->setCurrentIndex(0);
}

QWidget* TForm1::build_multisamples_tab() {
  auto* tab = new QWidget;
  auto* layout = new QHBoxLayout(tab);
  layout->setContentsMargins(6, 6, 6, 6);
  StringGridMultisamples =
      make_name_grid(multisamples_model_, tab, QStringLiteral("StringGridMultisamples"), 64, 120);
  layout->addWidget(StringGridMultisamples);

  auto* right = new QVBoxLayout;
  auto* files_box =
      new QGroupBox(QStringLiteral("WAV audio files  / samples /  for current Multisample"), tab);
  auto* files_layout = new QVBoxLayout(files_box);
  StringGridFiles = new QTableView(files_box);
  StringGridFiles->setObjectName(QStringLiteral("StringGridFiles"));
  StringGridFiles->setModel(slots_model_);
  StringGridFiles->horizontalHeader()->hide();
  StringGridFiles->verticalHeader()->hide();
  StringGridFiles->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGridFiles->verticalHeader()->setDefaultSectionSize(18);
  StringGridFiles->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGridFiles->horizontalHeader()->setStretchLastSection(true);
  StringGridFiles->setColumnWidth(0, 40);
  StringGridFiles->setColumnWidth(1, 22);
  StringGridFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGridFiles->setSelectionMode(QAbstractItemView::ContiguousSelection);
  StringGridFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGridFiles->setShowGrid(false);
  StringGridFiles->setWordWrap(false);
  StringGridFiles->setContextMenuPolicy(Qt::CustomContextMenu);
  files_layout->addWidget(StringGridFiles);
  right->addWidget(files_box, 5);

  auto* sub_tabs = new QTabWidget(tab);
  sub_tabs->setObjectName(QStringLiteral("PageControl2"));
  auto* player = new QWidget;
  auto* player_layout = new QVBoxLayout(player);
  auto* plot = new QLabel(QStringLiteral("No WAV file selected"), player);
  plot->setObjectName(QStringLiteral("PaintBoxPlot"));
  plot->setAlignment(Qt::AlignCenter);
  plot->setFrameShape(QFrame::StyledPanel);
  plot->setAutoFillBackground(true);
  QPalette plot_palette = plot->palette();
  plot_palette.setColor(QPalette::Window, QColor(16, 24, 32));
  plot_palette.setColor(QPalette::WindowText, QColor(110, 140, 130));
  plot->setPalette(plot_palette);
  player_layout->addWidget(plot, 1);
  auto* player_buttons = new QHBoxLayout;
  player_buttons->addWidget(disabled_button(QStringLiteral("Play"), player));
  player_buttons->addWidget(disabled_button(QStringLiteral("Stop"), player));
  player_buttons->addStretch(1);
  player_layout->addLayout(player_buttons);
  sub_tabs->addTab(player, QStringLiteral("Current WAV file Plot/Player"));

  auto* settings = new QWidget;
  auto* settings_layout = new QGridLayout(settings);
  settings_layout->addWidget(new QLabel(QStringLiteral("Audio output:"), settings), 0, 0);
  ComboBoxAudioOut = new QComboBox(settings);
  ComboBoxAudioOut->setObjectName(QStringLiteral("ComboBoxAudioOut"));
  settings_layout->addWidget(ComboBoxAudioOut, 0, 1);
  auto* from_wav = new QRadioButton(QStringLiteral("Audio from WAV file"), settings);
  from_wav->setObjectName(QStringLiteral("RadioButtonAudioFromWAV"));
  auto* from_qbb = new QRadioButton(QStringLiteral("Audio from QBB bank file"), settings);
  from_qbb->setObjectName(QStringLiteral("RadioButtonAudioFromQBB"));
  from_qbb->setChecked(true);
  settings_layout->addWidget(from_wav, 1, 1);
  settings_layout->addWidget(from_qbb, 2, 1);
  settings_layout->setColumnStretch(2, 1);
  settings_layout->setRowStretch(3, 1);
  sub_tabs->addTab(settings, QStringLiteral("Audio Plot/Player Settings"));

  MemoComment = new QPlainTextEdit;
  MemoComment->setObjectName(QStringLiteral("MemoComment"));
  MemoComment->setReadOnly(true);
  sub_tabs->addTab(MemoComment, QStringLiteral("Comment for current Multisample"));
  right->addWidget(sub_tabs, 3);

  LabelLibraryCommonPath = new QLabel(QStringLiteral("Library Common Path: "), tab);
  LabelLibraryCommonPath->setObjectName(QStringLiteral("LabelLibraryCommonPath"));
  right->addWidget(LabelLibraryCommonPath);
  layout->addLayout(right, 1);
  return tab;
}

QWidget* TForm1::build_manager_tab() {
  auto* tab = new QWidget;
  auto* layout = new QHBoxLayout(tab);
  layout->setContentsMargins(6, 6, 6, 6);
  auto grid_box = [tab](const QString& title, QTableView*& grid, name_grid_model* model,
                        const QString& name, bool ranges) {
    auto* box = new QGroupBox(title, tab);
    auto* box_layout = new QVBoxLayout(box);
    box_layout->setContentsMargins(4, 4, 4, 4);
    grid = make_name_grid(model, box, name, 66, 104);
    if (ranges) grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    box_layout->addWidget(grid);
    return box;
  };
  // Buttons as (caption, object name); the bank manager page finds them by name.
  auto button_column = [tab](std::initializer_list<std::pair<QString, const char*>> buttons) {
    auto* column = new QVBoxLayout;
    column->addStretch(1);
    for (const auto& [caption, name] : buttons) {
      auto* button = disabled_button(caption, tab);
      button->setObjectName(QString::fromLatin1(name));
      button->setMinimumHeight(caption.contains(QLatin1Char('\n')) ? 44 : 28);
      column->addWidget(button);
    }
    column->addStretch(1);
    return column;
  };
  layout->addWidget(grid_box(QStringLiteral("Programs in MAIN BANK"), StringGridBlendsORG,
                             main_bank_model_, QStringLiteral("StringGridBlendsORG"), false));
  // Two-line captions of "<< Execute + 1 Down <<" and "<< Execute Multiple <<".
  layout->addLayout(button_column(
      {{QStringLiteral("<<  Execute  <<"), "ButtonExecute"},
       {QStringLiteral("<< Execute <<\nMove 1 Line Down"), "ButtonExecuteMoveOneDown"},
       {QStringLiteral("<< Execute <<\nMove Multiple"), "ButtonExecuteMoveMultiple"}}));
  layout->addWidget(grid_box(QStringLiteral("Programs in BANK 2"), StringGridBlendsMNG,
                             manager_model_, QStringLiteral("StringGridBlendsMNG"), true));
  layout->addLayout(
      button_column({{QStringLiteral("<< Sampler 2 Sound <<"), "ButtonSampler2Sound"}}));
  layout->addWidget(grid_box(QStringLiteral("Sampler 2 Sounds"), StringGridS2Sounds, s2_model_,
                             QStringLiteral("StringGridS2Sounds"), true));
  return tab;
}

QWidget* TForm1::build_sd_card_tab() {
  return new sd_card_tab(*dialogs_, *host_,
                         [this](const std::function<void()>& command) { run_command(command); });
}

void TForm1::refresh() {
  if (refreshing_) return;
  refreshing_ = true;
  bank& b = *main_;
  // 1. The programs grid and the main-bank grid always show the same program; the one on the
  //    visible tab leads.
  if (PageControl1->currentIndex() == bank_manager_tab) {
    current_program_ = current_row(StringGridBlendsORG);
    select_row(StringGridBlends, current_program_);
  } else {
    current_program_ = current_row(StringGridBlends);
    select_row(StringGridBlendsORG, current_program_);
  }
  // 2. The current multisample (grid row 0 is MS0001) and the current manager program.
  current_multisample_ = current_row(StringGridMultisamples) + 1;
  current_manager_program_ = current_row(StringGridBlendsMNG);
  // 4. Multisample names into their grid and, where a name changed, into the zone lists.
  multisamples_model_->names_changed();
  zone_model_->refresh(b);
  // 3, 5, 8. The program's parameters, zone lists (with their colours) and zone display.
  program_tab_->show_program(current_program_);
  // 6. The current multisample's comment, its last byte always 0, and its file slots.
  auto& comment = b.multisample(current_multisample_).comment;
  comment[comment_size - 1] = 0;
  const QString comment_text = name_text(comment, comment_size);
  if (MemoComment->toPlainText() != comment_text) MemoComment->setPlainText(comment_text);
  slots_model_->show(current_multisample_, show_note_number_ && show_note_number_->isChecked());
  // 7, 9. Program names in the programs grid and the three bank-manager grids.
  programs_model_->names_changed();
  main_bank_model_->names_changed();
  manager_model_->names_changed();
  s2_model_->names_changed();
  // 10. The title.
  setWindowTitle(to_qstring(b.window_title()));
  // 11. The library common path is computed by the path tools when they exist.
  refreshing_ = false;
}

void TForm1::run_command(const std::function<void()>& command) {
  if (command_running_) return;
  command_running_ = true;
  QString failure;
  try {
    command();
  } catch (const std::exception& e) {
    failure = QString::fromUtf8(e.what());
  } catch (...) {
    failure = QStringLiteral("Unknown error.");
  }
  if (!failure.isNull()) {
    host_->progress_hide();
    dialogs_->show_error(failure);
  }
  command_running_ = false;
  refresh();
}

}  // namespace qbank::gui
