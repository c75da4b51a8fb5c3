#include "app/main_form.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

#include "app/bank_history.h"
#include "app/dialogs.h"
#include "app/grid_models.h"
#include "app/grid_view.h"
#include "app/recovery.h"
#include "app/settings.h"
#include "app/start_screen.h"
#include "app/window_util.h"
#include "audio/player_tab.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "edit/multisample_edit.h"
#include "edit/multisample_editor.h"
#include "edit/program_tab.h"
#include "manager/bank_manager_page.h"
#include "manager/s2_bank.h"
#include "platform/paths.h"
#include "sdcard/sd_card_tab.h"

namespace qbank::gui {

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

  // 1. The window from its layout, with the player's waveform plot and playback thread.
  setObjectName(QStringLiteral("Form1"));
  setWindowIcon(application_icon());
  // The compact font of a desktop tool: the four tabs are laid out for it.
  QFont compact = font();
  compact.setPointSize(8);
  setFont(compact);
  // Every list opens as a pop-up of its visible rows with a scroll bar (some styles would
  // otherwise open a 10000-entry list as one screen-filling menu), and a text box the user
  // cannot type into looks it.
  setStyleSheet(
      QStringLiteral("QComboBox { combobox-popup: 0; }"
                     "QPlainTextEdit[readOnly=\"true\"] { background: palette(window); }"));
  auto* central = new QWidget(this);
  setCentralWidget(central);
  // The client area is 918 x 657 at the least, and never less than the tabs need to show every
  // text whole; a larger window gives the grids, the slot list and the waveform the room.
  auto* central_layout = new QGridLayout(central);
  constexpr int margin = 4;
  central_layout->setContentsMargins(margin, margin, margin, margin);
  central_layout->setColumnMinimumWidth(0, minimum_client_size.width() - 2 * margin);
  central_layout->setRowMinimumHeight(0, minimum_client_size.height() - 2 * margin);
  PageControl1 = new QTabWidget(central);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  central_layout->addWidget(PageControl1, 0, 0);

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

  // 2. The audio output list was filled with the player's settings page.
  // 3, 4. The banks were reset when they were made; the record sizes are checked by the build.
  progress(10);
  // 6, 7. The program tab: its value lists [20..50], the zone lists [60], the programs grid [70].
  program_tab_ = new program_tab(
      *main_, *host_, zone_model_, programs_model_, progress, [this] { refresh(); },
      [this](const QString& what, int merge_id) { record_edit(what, merge_id); }, PageControl1);
  StringGridBlends = program_tab_->grid();
  PageControl1->insertTab(0, program_tab_, QStringLiteral("Program"));
  PageControl1->setCurrentIndex(0);
  // 5, 7. The bank-manager tab with its two-line button captions and its grids [80..99].
  PageControl1->addTab(build_manager_tab(progress), QStringLiteral("Bank Manager"));
  PageControl1->addTab(build_sd_card_tab(), QStringLiteral("SD Card Write Assistant"));

  multisample_editor_ = new multisample_editor(*this, *dialogs_);
  manager_page_ = new bank_manager_page(*this, *dialogs_, *s2_);
  build_menus();
  build_status_bar();
  connect(PageControl1, &QTabWidget::currentChanged, this, [this] { refresh(); });
  for (QTableView* grid : {StringGridBlends, StringGridBlendsORG, StringGridMultisamples,
                           StringGridBlendsMNG, StringGridS2Sounds}) {
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { refresh(); });
  }

  // 8. Refresh. (The SD-card state is reset with its tab.) The first undo step opens.
  refresh();
  main_->begin_step();
  // It opens at its smallest size, laid out at once.
  resize(minimumSizeHint());
  layout()->activate();
  // Where the last run left it, or in the middle of the screen.
  const auto settings = open_settings();
  player_->restore_settings(*settings);
  if (!restoreGeometry(settings->value("window/geometry").toByteArray())) centre_on_screen(this);
}

// Destruction: the undo history, the player's thread, plot and buffer go first; then the controls,
// taken from the window so that they go before the banks their grids read; the host's windows and
// the banks go with the members.
TForm1::~TForm1() {
  // The history goes first: clearing it on the way out must not update menu items that are
  // already gone.
  history_->disconnect(this);
  delete history_;
  history_ = nullptr;
  player_.reset();
  std::unique_ptr<QWidget> controls(takeCentralWidget());
  PageControl1 = nullptr;
}

QWidget* TForm1::build_multisamples_tab() {
  auto* tab = new QWidget;
  auto* layout = new QHBoxLayout(tab);
  layout->setContentsMargins(6, 6, 6, 6);
  StringGridMultisamples =
      make_name_grid(multisamples_model_, tab, QStringLiteral("StringGridMultisamples"), 64, 112);
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
  StringGridFiles->setTabKeyNavigation(false);
  files_layout->addWidget(StringGridFiles);
  right->addWidget(files_box, 5);

  auto* sub_tabs = new QTabWidget(tab);
  sub_tabs->setObjectName(QStringLiteral("PageControl2"));
  player_ = std::make_unique<player_tab>(*main_, *host_);
  sub_tabs->addTab(player_->plot_page(), QStringLiteral("Current WAV file Plot/Player"));
  sub_tabs->addTab(player_->settings_page(), QStringLiteral("Audio Plot/Player Settings"));
  ComboBoxAudioOut = player_->ComboBoxAudioOut;
  player_->attach_slot_grid(StringGridFiles);

  MemoComment = new QPlainTextEdit;
  MemoComment->setObjectName(QStringLiteral("MemoComment"));
  MemoComment->setReadOnly(true);
  MemoComment->setTabChangesFocus(true);
  sub_tabs->addTab(MemoComment, QStringLiteral("Comment for current Multisample"));
  right->addWidget(sub_tabs, 3);

  LabelLibraryCommonPath = new QLabel(QStringLiteral("Library Common Path: "), tab);
  LabelLibraryCommonPath->setObjectName(QStringLiteral("LabelLibraryCommonPath"));
  right->addWidget(LabelLibraryCommonPath);
  layout->addLayout(right, 1);
  return tab;
}

QWidget* TForm1::build_manager_tab(const std::function<void(std::uint8_t)>& progress) {
  auto* tab = new QWidget;
  auto* layout = new QHBoxLayout(tab);
  layout->setContentsMargins(4, 4, 4, 4);
  auto grid_box = [tab, &progress](const QString& title, QTableView*& grid, name_grid_model* model,
                                   const QString& name, bool ranges, std::uint8_t percent) {
    auto* box = new QGroupBox(title, tab);
    auto* box_layout = new QVBoxLayout(box);
    box_layout->setContentsMargins(4, 4, 4, 4);
    grid = make_name_grid(model, box, name, 66, 88);
    if (ranges) grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    box_layout->addWidget(grid);
    progress(percent);
    return box;
  };
  // Buttons as (caption, object name); the bank manager page finds them by name.
  auto button_column = [tab](std::initializer_list<std::pair<QString, const char*>> buttons) {
    auto* column = new QVBoxLayout;
    column->addStretch(1);
    for (const auto& [caption, name] : buttons) {
      auto* button = new QPushButton(caption, tab);
      button->setObjectName(QString::fromLatin1(name));
      // The execute buttons are usable for one kind of selection in BANK 2 each.
      if (std::string_view(name) == "ButtonExecuteMoveMultiple")
        button->setToolTip(QStringLiteral("Select several programs in BANK 2"));
      else if (std::string_view(name) != "ButtonSampler2Sound")
        button->setToolTip(QStringLiteral("Select one program in BANK 2"));
      button->setMinimumHeight(caption.contains(QLatin1Char('\n')) ? 44 : 28);
      column->addWidget(button);
    }
    column->addStretch(1);
    return column;
  };
  layout->addWidget(grid_box(QStringLiteral("Programs in MAIN BANK"), StringGridBlendsORG,
                             main_bank_model_, QStringLiteral("StringGridBlendsORG"), false, 80),
                    1);
  // Two-line captions of "<< Execute + 1 Down <<" and "<< Execute Multiple <<".
  layout->addLayout(button_column(
      {{QStringLiteral("<<  Execute  <<"), "ButtonExecute"},
       {QStringLiteral("<< Execute <<\nMove 1 Line Down"), "ButtonExecuteMoveOneDown"},
       {QStringLiteral("<< Execute <<\nMove Multiple"), "ButtonExecuteMoveMultiple"}}));
  layout->addWidget(grid_box(QStringLiteral("Programs in BANK 2"), StringGridBlendsMNG,
                             manager_model_, QStringLiteral("StringGridBlendsMNG"), true, 90),
                    1);
  layout->addLayout(
      button_column({{QStringLiteral("<< Sampler 2 Sound <<"), "ButtonSampler2Sound"}}));
  layout->addWidget(grid_box(QStringLiteral("Sampler 2 Sounds"), StringGridS2Sounds, s2_model_,
                             QStringLiteral("StringGridS2Sounds"), true, 99),
                    1);
  return tab;
}

QWidget* TForm1::build_sd_card_tab() {
  // The tab's one command writes the card.
  return new sd_card_tab(*dialogs_, *host_, [this](const std::function<void()>& command) {
    run_command(
        [this, &command] {
          host_->changes_files_on_disk();
          command();
        },
        QStringLiteral("Write SD card"));
  });
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
  const QString comment_text =
      QString::fromStdString(multisample_comment_text(b, current_multisample_));
  if (comment_box_text(*MemoComment) != comment_text) MemoComment->setPlainText(comment_text);
  slots_model_->show(current_multisample_, show_note_number_ && show_note_number_->isChecked());
  // 8. The player shows the selected slot of the current multisample.
  player_->refresh(current_multisample_);
  // 7, 9. Program names in the programs grid and the three bank-manager grids.
  programs_model_->names_changed();
  main_bank_model_->names_changed();
  manager_model_->names_changed();
  s2_model_->names_changed();
  // 10. The title.
  show_title();
  // 11. The library common path; the label shows only when there is one.
  multisample_editor_->show_common_path();
  LabelLibraryCommonPath->setVisible(LabelLibraryCommonPath->text() !=
                                     QLatin1String("Library Common Path: "));
  refreshing_ = false;
}

void TForm1::run_command(const std::function<void()>& command, const QString& what) {
  if (command_running_) return;
  close_step(QString(), -1);  // changes made since the last step are not part of this one
  // A long command may end the process the hard way: what waits for the recovery script goes
  // there first.
  if (recovery_timer_->isActive()) write_recovery();
  command_running_ = true;
  result_.clear();
  host_->begin_command();
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
  const bool changed = close_step(what, -1);
  if (saved_in_command_) history_->setClean();
  saved_in_command_ = false;
  QString result = failure.isNull()
                       ? command_result(what, changed)
                       : QStringLiteral("Failed: ") + failure.section(QLatin1Char('\n'), 0, 0);
  // A command that changed files on disk without a question or a report says it here.
  if (host_->not_undoable_untold()) result += QStringLiteral(". ") + to_qstring(not_undoable_text);
  status_->setText(result);
  refresh();
}

void TForm1::build_status_bar() {
  status_ = new QLabel(statusBar());
  status_->setObjectName(QStringLiteral("StatusText"));
  // A long result (a path) is cut at the window's edge; it never widens the window.
  status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  statusBar()->addWidget(status_, 1);
}

void TForm1::set_status(const QString& result) {
  if (command_running_) result_ = result;
}

QString TForm1::status_text() const {
  return status_->text();
}

QString TForm1::command_result(const QString& what, bool changed) const {
  if (!result_.isEmpty()) return result_;
  if (!host_->last_said().empty()) return to_qstring(host_->last_said());
  const QString name = step_name(what);
  if (changed) return name.isEmpty() ? QStringLiteral("Done") : QStringLiteral("Done: ") + name;
  return name.isEmpty() ? QStringLiteral("Nothing changed")
                        : name + QStringLiteral(": nothing changed");
}

bool TForm1::bank_modified() {
  if (!command_running_) close_step(QString(), -1);
  return !history_->isClean();
}

void TForm1::show_title() {
  // The mark follows the title as the desktop's editors show it.
  const bool modified = history_ && !history_->isClean();
  setWindowTitle(to_qstring(main_->window_title()) + (modified ? QStringLiteral(" *") : QString()));
}

bool TForm1::keep_or_discard_changes() {
  if (!bank_modified()) return true;
  const std::string loaded = main_->loaded_file_name();
  const QString name =
      loaded == no_loaded_bank
          ? QStringLiteral("Untitled")
          : QString::fromStdString(path_to_utf8(path_from_utf8(loaded).filename()));
  switch (dialogs_->ask_save(QStringLiteral("Save changes to %1?").arg(name))) {
    case save_answer::discard:
      return true;
    case save_answer::cancel:
      return false;
    case save_answer::save:
      break;
  }
  try {
    save_loaded_script_command();
  } catch (const std::exception& e) {
    host_->progress_hide();
    dialogs_->show_error(QString::fromUtf8(e.what()));
    saved_in_command_ = false;
    return false;
  }
  if (!saved_in_command_) return false;  // the save dialog was cancelled
  if (!command_running_) {
    close_step(QString(), -1);
    history_->setClean();
    saved_in_command_ = false;
    show_title();
  }
  return true;
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A name still being typed in a grid is stored first (its editor stores it when it loses
  // the keyboard), so that the question below knows of it.
  if (QWidget* focused = QApplication::focusWidget(); focused && isAncestorOf(focused))
    focused->clearFocus();
  if (!keep_or_discard_changes()) {
    event->ignore();
    return;
  }
  const auto settings = open_settings();
  settings->setValue("window/geometry", saveGeometry());
  player_->save_settings(*settings);
  // A clean exit: nothing to recover at the next start.
  recovery_timer_->stop();
  if (recovery_on_) recovery_->remove();
  event->accept();
}

void TForm1::record_edit(const QString& what, int merge_id) {
  if (command_running_) return;
  close_step(what, merge_id);
}

bool TForm1::close_step(const QString& what, int merge_id) {
  if (!history_) return false;  // the window is going: nothing is recorded any more
  change_record step = main_->end_step();
  main_->begin_step();
  if (step.restarted()) {
    history_->clear();
    return true;
  }
  if (step.empty()) return false;
  const QString name = step_name(what);
  history_->push(new bank_step(*main_, std::move(step),
                               name.isEmpty() ? QStringLiteral("Edit") : name, merge_id));
  trim_history();
  return true;
}

void TForm1::undo_step(bool redo) {
  if (command_running_) return;
  close_step(QString(), -1);
  const QString what = redo ? history_->redoText() : history_->undoText();
  if (redo ? history_->canRedo() : history_->canUndo())
    status_->setText((redo ? QStringLiteral("Redid ") : QStringLiteral("Undid ")) + what);
  // The step's own writes must not be recorded as a new step.
  main_->end_step();
  if (redo)
    history_->redo();
  else
    history_->undo();
  main_->begin_step();
  refresh();
}

void TForm1::trim_history() {
  const int count = history_->index();  // a push leaves nothing to redo
  std::size_t held = 0;
  int first_kept = 0;
  for (int i = count - 1; i >= 0; --i) {
    held += static_cast<const bank_step*>(history_->command(i))->size_bytes();
    if (held > history_limit_bytes && i < count - 1) {
      first_kept = i + 1;
      break;
    }
  }
  if (first_kept == 0) return;
  // QUndoStack drops only from its end: the kept steps move into a fresh history.
  struct kept {
    change_record record;
    QString text;
    int id;
  };
  std::vector<kept> steps;
  for (int i = first_kept; i < count; ++i) {
    auto* step = const_cast<bank_step*>(static_cast<const bank_step*>(history_->command(i)));
    steps.push_back({step->take_record(), step->text(), i == count - 1 ? step->id() : -1});
  }
  history_->clear();
  for (kept& k : steps) history_->push(new bank_step(*main_, std::move(k.record), k.text, k.id));
}

}  // namespace qbank::gui
