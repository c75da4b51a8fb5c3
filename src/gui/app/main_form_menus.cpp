// The main menu and the context menus of the grids, with the captions exactly as the
// instrument's users know them. Items whose commands are not built yet are shown greyed.
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QTimer>
#include <QUndoStack>
#include <cstdio>

#include "app/dialogs.h"
#include "app/find_bar.h"
#include "app/grid_view.h"
#include "app/help_windows.h"
#include "app/instrument_export_form.h"
#include "app/main_form.h"
#include "app/recovery.h"
#include "audio/conform.h"
#include "audio/conform_codec.h"
#include "audio/conform_command.h"
#include "audio/instrument_command.h"
#include "edit/bulk_menu.h"
#include "edit/multisample_editor.h"
#include "edit/program_tab.h"
#include "manager/bank_manager_page.h"

namespace qbank::gui {

QAction* TForm1::add_item(QMenu* menu, const QString& caption, std::function<void()> command,
                          const QString& what) {
  QAction* item = menu->addAction(caption);
  if (command) {
    const QString step = what.isEmpty() ? caption : what;
    connect(item, &QAction::triggered, this, [this, command, step] { run_command(command, step); });
  } else {
    item->setEnabled(false);
    item->setToolTip(QString::fromLatin1(not_available_yet));
    pending_.push_back(caption);
  }
  actions_.push_back(item);
  return item;
}

QAction* TForm1::action(const QString& caption) const {
  // Captions are matched as shown, without their mnemonic marks.
  const QString wanted = QString(caption).remove(QLatin1Char('&'));
  for (QAction* item : actions_)
    if (item->text().remove(QLatin1Char('&')) == wanted) return item;
  return nullptr;
}

QMenu* TForm1::context_menu(const QString& grid) const {
  for (const auto& [name, menu] : context_menus_)
    if (name == grid) return menu;
  return nullptr;
}

void TForm1::attach_context_menu(QTableView* grid, QMenu* menu) {
  context_menus_.emplace_back(grid->objectName(), menu);
  connect(grid, &QWidget::customContextMenuRequested, this,
          [grid, menu](const QPoint& at) { menu->popup(grid->viewport()->mapToGlobal(at)); });
}

namespace {

// Makes the checkable items of `items` one radio group with item `marked` checked.
void radio_group(QObject* owner, const std::vector<QAction*>& items, std::size_t marked) {
  auto* group = new QActionGroup(owner);
  group->setExclusive(true);
  for (std::size_t i = 0; i < items.size(); ++i) {
    items[i]->setCheckable(true);
    items[i]->setEnabled(true);
    group->addAction(items[i]);
    items[i]->setChecked(i == marked);
  }
}

// Shows the tool tips of `menu` and its sub-menus; greys every sub-menu whose items are all
// greyed, with the pending tool tip. Returns true when some item of `menu` is usable.
bool settle_menu(QMenu* menu) {
  menu->setToolTipsVisible(true);
  bool usable = false;
  for (QAction* item : menu->actions()) {
    if (item->isSeparator()) continue;
    if (QMenu* sub = item->menu()) {
      const bool sub_usable = settle_menu(sub);
      item->setEnabled(sub_usable);
      if (!sub_usable) item->setToolTip(QString::fromLatin1(not_available_yet));
      usable = usable || sub_usable;
    } else {
      usable = usable || item->isEnabled();
    }
  }
  return usable;
}

}  // namespace

void TForm1::write_recovery() {
  recovery_timer_->stop();
  if (!bank_modified()) return;
  try {
    recovery_->write(*main_);
  } catch (const std::exception& e) {
    // The work itself is untouched; the next change tries again.
    std::fprintf(stderr, "qbank-gui: the recovery script was not written: %s\n", e.what());
  }
}

void TForm1::start_recovery() {
  recovery_on_ = true;
  const std::optional<QString> when = recovery_->written_at();
  if (!when) return;
  if (!dialogs_->ask(QStringLiteral("The bank manager did not end normally last time. Its "
                                    "changes not saved were kept on %1.\n\nRestore them?")
                         .arg(*when),
                     QStringLiteral("Question"))) {
    recovery_->remove();
    return;
  }
  run_command([this, when] {
    recovery_->read(*main_);
    set_status(QStringLiteral("Restored the changes kept on %1").arg(*when));
  });
  // The restored bank is still not saved anywhere.
  history_->resetClean();
  show_title();
}

void TForm1::build_undo_items(QMenu* edit) {
  history_ = new QUndoStack(this);
  undo_action_ = edit->addAction(QStringLiteral("Undo"));
  undo_action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  redo_action_ = edit->addAction(QStringLiteral("Redo"));
  redo_action_->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  edit->addSeparator();
  for (QAction* item : {undo_action_, redo_action_}) {
    const bool redo = item == redo_action_;
    connect(item, &QAction::triggered, this, [this, redo] { undo_step(redo); });
  }
  // "Undo <what>" / "Redo <what>", greyed with "Nothing to undo" when the history is empty.
  auto follow = [this](QAction* item, const QString& verb) {
    const bool redo = item == redo_action_;
    const QString text = redo ? history_->redoText() : history_->undoText();
    const bool usable = redo ? history_->canRedo() : history_->canUndo();
    item->setText(text.isEmpty() ? verb : verb + QLatin1Char(' ') + text);
    item->setEnabled(usable);
    item->setToolTip(usable ? item->text() : QStringLiteral("Nothing to ") + verb.toLower());
  };
  auto update = [this, follow] {
    follow(undo_action_, QStringLiteral("Undo"));
    follow(redo_action_, QStringLiteral("Redo"));
  };
  connect(history_, &QUndoStack::canUndoChanged, this, update);
  connect(history_, &QUndoStack::canRedoChanged, this, update);
  connect(history_, &QUndoStack::undoTextChanged, this, update);
  connect(history_, &QUndoStack::redoTextChanged, this, update);
  connect(history_, &QUndoStack::cleanChanged, this, [this](bool clean) {
    show_title();
    // Saved (or replaced by a file): nothing is left to recover.
    if (!clean || !recovery_on_) return;
    recovery_timer_->stop();
    recovery_->remove();
  });
  // Changes are written to the recovery script a while after they began, not at each one.
  recovery_ = std::make_unique<recovery_file>();
  recovery_timer_ = new QTimer(this);
  recovery_timer_->setSingleShot(true);
  recovery_timer_->setInterval(recovery_interval_ms());
  connect(recovery_timer_, &QTimer::timeout, this, [this] { write_recovery(); });
  connect(history_, &QUndoStack::indexChanged, this, [this] {
    if (recovery_on_ && !history_->isClean() && !recovery_timer_->isActive())
      recovery_timer_->start();
  });
  update();
  // Edits made on the program tab since the last step show in the menu once recorded.
  connect(edit, &QMenu::aboutToShow, this, [this] {
    if (!command_running_) close_step(QString(), -1);
  });
}

void TForm1::build_find_item(QMenu* edit) {
  find_programs_ = new find_bar(StringGridBlends);
  find_multisamples_ = new find_bar(StringGridMultisamples);
  QAction* item = edit->addAction(QStringLiteral("Find..."));
  item->setShortcut(QKeySequence::Find);
  connect(item, &QAction::triggered, this, [this] {
    const bool multisamples = PageControl1->currentWidget()->isAncestorOf(StringGridMultisamples);
    if (!multisamples) PageControl1->setCurrentWidget(programs());
    (multisamples ? find_multisamples_ : find_programs_)->open();
  });
  actions_.push_back(item);
}

void TForm1::build_menus() {
  using none = std::function<void()>;
  QMenuBar* bar = menuBar();

  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  add_item(file, QStringLiteral("Clear ALL..."), [this] { clear_all(); });
  file->addSeparator();
  add_item(file, QStringLiteral("Open Sampler Script File (Version 1, 2 / 128 programs)..."),
           [this] { open_script_command(2); });
  add_item(file, QStringLiteral("Open Sampler Script File (Version 3 / 256 programs)..."),
           [this] { open_script_command(3); });
  add_item(file, QStringLiteral("Open Sampler Script File (Version 4 / 999 programs)..."),
           [this] { open_script_command(4); });
  add_item(file, QStringLiteral("Open Sampler Script File (Version 5 / 9999 programs)..."),
           [this] { open_script_command(5); });
  add_item(file,
           QStringLiteral(
               "Open Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)..."),
           [this] { open_script_command(6); })
      ->setShortcut(QKeySequence::Open);
  recent_menu_ = file->addMenu(QStringLiteral("Open Recent"));
  add_item(file, QStringLiteral("Save"), [this] {
    save_loaded_script_command();
  })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  add_item(file,
           QStringLiteral(
               "Save Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)..."),
           [this] { save_script_command(); })
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  file->addSeparator();
  add_item(file, QStringLiteral("Read Current Program Parameters from file..."), none());
  add_item(file, QStringLiteral("Save Current Program Parameters to file..."), none());
  file->addSeparator();
  QAction* import = add_item(file, QString::fromLatin1(import_instrument_caption),
                             [this] { import_instrument_command(*this); });
  if (!conform_available()) {
    import->setEnabled(false);
    import->setToolTip(conform_unavailable_tooltip(import_unavailable_text));
  }
  file->addSeparator();
  add_item(file, QStringLiteral("Read System /Global/ Settings from file..."),
           [this] { read_system_settings_command(); });
  add_item(file, QStringLiteral("Save System /Global/ Settings to file..."),
           [this] { save_system_settings_command(); });
  file->addSeparator();
  add_item(file, QStringLiteral("Open Sampler Bank File (Version 2, 3, 4, 5 or 6 )..."),
           [this] { open_bank_command(); });
  add_item(file,
           QStringLiteral("Save Sampler Bank File (Version 6 / 9999 PG / 10000 MS) and split to "
                          "4GB toms..."),
           [this] { save_bank_command(); })
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
  file->addSeparator();
  add_item(file, QStringLiteral("Export All Program Names to Text File..."),
           [this] { export_program_names_command(*this); });
  add_item(file, QStringLiteral("Export ALL Samples From Loaded Bank File..."),
           [this] { manager_page_->export_library(); });
  add_item(file, QStringLiteral("Export ALL Used Programs as Instruments..."),
           [this] { export_instruments_command(*this, true); });
  file->addSeparator();
  add_item(file, QStringLiteral("Exit"), [this] { close(); });

  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  build_undo_items(edit);
  build_find_item(edit);
  // Opens the name of the current program or multisample for typing, in its grid.
  QAction* rename = edit->addAction(QStringLiteral("Rename"));
  rename->setShortcut(QKeySequence(Qt::Key_F2));
  connect(rename, &QAction::triggered, this, [this] {
    QTableView* grid = PageControl1->currentIndex() == 0   ? StringGridBlends
                       : PageControl1->currentIndex() == 1 ? StringGridMultisamples
                                                           : nullptr;
    if (!grid) return;
    grid->setFocus(Qt::ShortcutFocusReason);
    grid->edit(grid->model()->index(current_row(grid), 1));
  });
  actions_.push_back(rename);
  add_item(edit, QStringLiteral("Calculate bank SIZE  (Version 6)"),
           [this] { calculate_size_command(); });
  QMenu* reset_invalid = edit->addMenu(QStringLiteral("Reset Invalid Parameters"));
  add_item(reset_invalid, QStringLiteral("Reset Old (-64) Zone Transpose Values"),
           [this] { program_fix_command(*this, program_fix::zone_transpose); });
  add_item(reset_invalid,
           QStringLiteral("Reset OLD Program Transpose Value (-24), and set to +/-0"),
           [this] { program_fix_command(*this, program_fix::program_transpose); });
  add_item(edit, QStringLiteral("Remove UNUSED Multisamples..."),
           [this] { remove_unused_command(*this); });

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  show_note_number_ = add_item(view, QStringLiteral("Show Note Number"), [] {});
  show_note_number_->setCheckable(true);

  QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
  add_item(tools, QStringLiteral("Save ALL Used Multisamples Names To Multisamples Folders"),
           [this] { save_name_markers_command(*this); });
  add_item(tools, QStringLiteral("Extract library common path"),
           [this] { multisample_editor_->show_common_path(); });
  QMenu* silence = tools->addMenu(
      QStringLiteral("Remove silence from end of WAV files included in multisamples"));
  QAction* fade = silence->addAction(QString::fromLatin1(fade_option_caption));
  fade->setCheckable(true);
  fade->setChecked(true);
  actions_.push_back(fade);
  add_item(silence, QStringLiteral("Check end of WAV files for silence and report rezult"),
           [this] { silence_check(*this); });
  silence->addSeparator();
  static const char* const thresholds[] = {
      "+/-   0 samples  /  -90.0dB...", "+/- 10 samples  /  -70.3dB...",
      "+/- 20 samples  /  -64.3dB...",  "+/- 30 samples  /  -60.7dB...",
      "+/- 40 samples  /  -58.3dB...",  "+/- 50 samples  /  -56.3dB...",
      "+/- 60 samples  /  -54.7dB...",  "+/- 70 samples  /  -53.4dB...",
      "+/- 80 samples  /  -52.4dB...",  "+/- 90 samples  /  -51.2dB...",
      "+/- 100 samples  /  -50.3dB..."};
  for (int i = 0; i < 11; ++i) {
    QAction* item = add_item(silence, QString::fromLatin1(thresholds[i]),
                             [this, i] { silence_apply(*this, i * 10); });
    item->setData(i * 10);
    if (i == 6) {  // the default item
      QFont bold = item->font();
      bold.setBold(true);
      item->setFont(bold);
    }
  }
  add_item(tools, QStringLiteral("Reform loaded script file to bank file"),
           [this] { reform_loaded_name_command(); });
  QMenu* transpose = tools->addMenu(QStringLiteral("Transpose all used Programs with one Octave"));
  add_item(
      transpose, QStringLiteral("Up"),
      [this] { program_fix_command(*this, program_fix::octave_up); },
      transpose->title() + QStringLiteral(" Up"));
  add_item(
      transpose, QStringLiteral("Down"),
      [this] { program_fix_command(*this, program_fix::octave_down); },
      transpose->title() + QStringLiteral(" Down"));
  add_item(tools, QStringLiteral("Fix LFO speed"),
           [this] { program_fix_command(*this, program_fix::lfo_speed); });
  add_item(tools, QStringLiteral("Fix in QS2 mode Mono Hold da e OFF"),
           [this] { program_fix_command(*this, program_fix::qs2_mono_hold); });
  add_item(tools, QStringLiteral("Fix 2234-2261 i 2374-2393 Release Curve and time"),
           [this] { program_fix_command(*this, program_fix::accordion_release); });
  add_item(tools, QStringLiteral("Test for Dublicated Samples.."),
           [this] { duplicate_samples(*this); });
  add_item(tools, QString::fromLatin1(duplicate_content_caption),
           [this] { duplicate_content(*this); });
  add_item(tools, QStringLiteral("Remove Dublicated Multisamples..."),
           [this] { merge_duplicate_multisamples(*this); });
  QAction* conform =
      add_item(tools, QString::fromLatin1(conform_caption), [this] { conform_command(*this); });
  if (!conform_available()) {
    conform->setEnabled(false);
    conform->setToolTip(conform_unavailable_tooltip());
  }

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  connect(help->addAction(QStringLiteral("Keyboard Shortcuts")), &QAction::triggered, this,
          [this] { show_keyboard_shortcuts(this); });
  connect(help->addAction(QStringLiteral("User Guide")), &QAction::triggered, this,
          [this] { show_user_guide(this); });
  connect(help->addAction(QStringLiteral("About")), &QAction::triggered, this,
          [this] { show_about(this); });
  for (QAction* item : help->actions()) actions_.push_back(item);

  // Context menus of the grids.
  auto* programs = new QMenu(this);
  add_item(programs, QStringLiteral("Remove Selected Program..."),
           [this] { remove_selected_program(*this); });
  add_item(programs, QStringLiteral("Remove Multiple Programs..."),
           [this] { remove_multiple_programs(*this); });
  add_item(programs, QStringLiteral("Read Current Program Parameters from file..."), none());
  add_item(programs, QStringLiteral("Save Current Program Parameters to file..."), none());
  add_item(programs, QStringLiteral("Export Program as Instrument (SFZ, DecentSampler)..."),
           [this] { export_instruments_command(*this, false); });
  attach_context_menu(StringGridBlends, programs);

  auto* files = new QMenu(QStringLiteral("WAV audio files (pop-up menu)"), this);
  multisample_editor* ms = multisample_editor_;
  // Delete removes the selected slots while the slot grid has the keyboard.
  QAction* remove_files =
      add_item(files, QStringLiteral("Remove sellected file/s"), [ms] { ms->remove_selected(); });
  remove_files->setShortcut(QKeySequence(QKeySequence::Delete));
  remove_files->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  StringGridFiles->addAction(remove_files);
  add_item(files, QStringLiteral("Add ONE WAV file to sellected position..."),
           [ms] { ms->add_one(); });
  add_item(files, QStringLiteral("Add MULTIPLE WAV files - to AUTO position by NAME..."),
           [ms] { ms->add_multiple(); });
  QMenu* criteria = files->addMenu(QStringLiteral("Sellect AUTO position criteria..."));
  std::vector<QAction*> criterion_items;
  for (const char* caption :
       {"Note NUMBER from 000 to 127 ( XXX)", "Note NAME from C 0 to G10 (C#4),(D 3),(E 10)",
        "Note NAME from C0 to G10 (C#4),(D3),(E10)",
        "Note NAME from c0 to g10 (c#4),(d3),(e10) - b for Si"})
    criterion_items.push_back(add_item(criteria, QString::fromLatin1(caption), [] {}));
  radio_group(this, criterion_items, 0);
  QMenu* import_transpose = files->addMenu(QStringLiteral("Sellect AUTO import TRANSPOSE options"));
  std::vector<QAction*> transpose_items;
  for (const char* caption : {"-48", "-36", "-24", "-12", "0", "+12", "+24", "+36", "+48"})
    transpose_items.push_back(add_item(import_transpose, QString::fromLatin1(caption), [] {}));
  radio_group(this, transpose_items, 4);
  add_item(files, QStringLiteral("Replace text in file path..."), [ms] { ms->replace_text(); });
  add_item(files, QStringLiteral("Move assigned files 1 Octave Down..."),
           [ms] { ms->move_octave(false); });
  add_item(files, QStringLiteral("Move assigned files 1 Octave Up..."),
           [ms] { ms->move_octave(true); });
  attach_context_menu(StringGridFiles, files);
  ms->set_choice_items(criterion_items, transpose_items);

  auto* multisamples = new QMenu(this);
  add_item(multisamples, QStringLiteral("Remove Selected Multisample..."),
           [this] { remove_selected_multisample(*this); });
  add_item(multisamples, QStringLiteral("Remove Multiple Multisamples..."),
           [this] { remove_multiple_multisamples(*this); });
  add_item(multisamples, QStringLiteral("Export Selected Multisample WAV Files..."),
           [this] { manager_page_->export_selected_multisample(); });
  add_item(multisamples, QStringLiteral("Where is used this multisample?"),
           [this] { where_is_used(*this); });
  attach_context_menu(StringGridMultisamples, multisamples);

  auto* main_bank = new QMenu(this);
  add_item(main_bank, QStringLiteral("Remove Selected Program"),
           [this] { manager_page_->remove_selected_program(); });
  attach_context_menu(StringGridBlendsORG, main_bank);

  auto* manager = new QMenu(this);
  bank_manager_page* page = manager_page_;
  add_item(manager, QStringLiteral("Clear Bank Manager"), [page] { page->clear_manager(); });
  const std::pair<const char*, int> scripts[] = {
      {"Open Sampler Script File (Version 1, 2 / 128 programs)...", 2},
      {"Open Sampler Script File (Version 3 / 256 programs)...", 3},
      {"Open Sampler Script File (Version 4 / 999 programs)...", 4},
      {"Open Sampler Script File (Version 5 / 9999 programs)...", 5},
      {"Open Scampler Script File (Version 6 / 9999 PG / 1000 MS)...", 6}};
  for (const auto& [caption, version] : scripts)
    add_item(manager, QString::fromLatin1(caption),
             [page, version] { page->open_manager_script(version); });
  add_item(manager, QStringLiteral("Load Bank in BANK Manager..."),
           [page] { page->load_manager_bank(); });
  attach_context_menu(StringGridBlendsMNG, manager);

  auto* s2 = new QMenu(this);
  add_item(s2, QStringLiteral("Clear S2 Bank"), [page] { page->clear_s2(); });
  add_item(s2, QStringLiteral("Open Sampler 2 Bank..."), [page] { page->open_s2_bank(); });
  attach_context_menu(StringGridS2Sounds, s2);

  for (QAction* menu : bar->actions()) settle_menu(menu->menu());
  for (const auto& [grid, menu] : context_menus_) settle_menu(menu);
  show_recent_files();
}

}  // namespace qbank::gui
