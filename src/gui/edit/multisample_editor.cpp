#include "edit/multisample_editor.h"

#include <QAction>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "app/dialogs.h"
#include "app/grid_models.h"
#include "app/grid_view.h"
#include "app/main_form.h"
#include "bank/bank.h"
#include "edit/file_slot_delegate.h"
#include "edit/multisample_edit.h"
#include "edit/path_tools.h"
#include "platform/codepage.h"
#include "platform/paths.h"

namespace qbank::gui {

const char* const multisample_editor::wav_filter_description =
    "Standard WAV audio files 16b/48k/Mono";

namespace {

const QString refused_drop =
    QStringLiteral("Only WAV files (*.wav) can be dropped on the file slots.");

std::string utf8_of(const QString& text) {
  return text.toStdString();
}

// Bytes `text` takes in the comment record: what the code page makes of each character, CR LF
// for each line end (a character the code page lacks is refused later; it counts as one).
std::size_t stored_size(QStringView text) {
  std::size_t size = 0;
  for (std::size_t at = 0; at < static_cast<std::size_t>(text.size());) {
    const std::size_t n = text[at].isHighSurrogate() && at + 1 < std::size_t(text.size()) ? 2 : 1;
    const QStringView c = text.sliced(static_cast<qsizetype>(at), static_cast<qsizetype>(n));
    at += n;
    if (c[0] == QLatin1Char('\n'))
      size += 2;
    else if (c[0] != QLatin1Char('\r') && !c[0].isNull())
      size += from_utf8(c.toString().toStdString()).value_or(std::string(1, '?')).size();
  }
  return size;
}

// Shows `text` with the cursor where it was (or at the end when that is gone).
void show_comment(QPlainTextEdit& box, const QString& text) {
  const QSignalBlocker quiet(&box);
  const int at = box.textCursor().position();
  box.setPlainText(text);
  QTextCursor cursor = box.textCursor();
  cursor.setPosition(std::min(at, static_cast<int>(text.size())));
  box.setTextCursor(cursor);
}

QString wav_filter() {
  return dialog_filter(QString::fromLatin1(multisample_editor::wav_filter_description),
                       QStringLiteral("wav"));
}

}  // namespace

QString comment_box_text(const QPlainTextEdit& box) {
  QString text = box.document()->toRawText();
  for (QChar& c : text)
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = QLatin1Char('\n');
  return text;
}

multisample_editor::multisample_editor(TForm1& form, dialogs& d)
    : QObject(&form), form_(form), dialogs_(d) {
  // Names: edited in place in the multisamples grid.
  QTableView* names = form_.StringGridMultisamples;
  edit_names_in_place(
      names, static_cast<name_grid_model*>(names->model()), [this](int row, const QString& text) {
        bool stored = false;
        form_.run_command(
            [&] {
              stored =
                  set_multisample_name(form_.main_bank(), row + 1, utf8_of(text), form_.host());
            },
            QStringLiteral("Rename Multisample"));
        return stored;
      });
  select_row(names, 0);

  // The comment box: every change is stored; entering it selects all its text. A change is
  // reported with its place before the box says that its text changed.
  QPlainTextEdit* comment = form_.MemoComment;
  comment->setReadOnly(false);
  comment->installEventFilter(this);
  connect(comment->document(), &QTextDocument::contentsChange, this,
          [this](int at, int, int added) {
            changed_at_ = at;
            added_ = added;
          });
  connect(comment, &QPlainTextEdit::textChanged, this, [this] { comment_changed(); });

  // The file-slot grid: painted cell by cell, and a target for WAV files from the desktop.
  QTableView* files = form_.StringGridFiles;
  files->setItemDelegate(new file_slot_delegate(files));
  files->setAcceptDrops(true);
  files_viewport_ = files->viewport();
  files_viewport_->setAcceptDrops(true);
  files_viewport_->installEventFilter(this);
}

void multisample_editor::set_choice_items(std::vector<QAction*> criteria,
                                          std::vector<QAction*> transposes) {
  criteria_ = std::move(criteria);
  transposes_ = std::move(transposes);
  // "Add ONE WAV file..." is offered only for exactly one selected slot, checked as the menu opens.
  if (QMenu* menu = form_.context_menu(QStringLiteral("StringGridFiles"))) {
    connect(menu, &QMenu::aboutToShow, this, [this] {
      if (QAction* one = form_.action(QStringLiteral("Add ONE WAV file to sellected position...")))
        one->setEnabled(selected_slots().size() == 1);
    });
  }
}

position_criterion multisample_editor::criterion() const {
  for (std::size_t i = 0; i < criteria_.size(); ++i)
    if (criteria_[i]->isChecked()) return static_cast<position_criterion>(i);
  // No item marked: an out-of-range value, which the placement refuses.
  return static_cast<position_criterion>(position_criterion_count);
}

std::uint8_t multisample_editor::transpose() const {
  for (std::size_t i = 0; i < transposes_.size() && i < import_transposes.size(); ++i)
    if (transposes_[i]->isChecked()) return transpose_byte(import_transposes[i]);
  return transpose_byte(0);
}

std::vector<int> multisample_editor::selected_slots() const {
  std::vector<int> rows;
  for (const QModelIndex& index : form_.StringGridFiles->selectionModel()->selectedRows())
    rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void multisample_editor::remove_selected() {
  for (int row : selected_slots())
    remove_files(form_.main_bank(), form_.current_multisample(), row, row);
}

void multisample_editor::add_one() {
  const std::vector<int> rows = selected_slots();
  if (rows.size() != 1) return;
  const auto file =
      dialogs_.choose_open_file(QStringLiteral("Open ONE WAV audio file"), wav_filter());
  if (!file) return;
  form_.main_bank().set_file(form_.current_multisample(), rows.front(), stored_path(*file));
}

void multisample_editor::add_multiple() {
  const auto files =
      dialogs_.choose_open_files(QStringLiteral("Add MULTIPLE WAV audio files"), wav_filter());
  if (!files || files->empty()) return;
  place(*files);
}

void multisample_editor::place(const std::vector<std::filesystem::path>& files) {
  // Every path is converted before anything changes: one the code page cannot hold stops here.
  std::vector<std::string> paths;
  paths.reserve(files.size());
  for (const auto& file : files) paths.push_back(stored_path(file));
  const placement_counts counts =
      add_multiple_by_name(form_.main_bank(), form_.current_multisample(), paths, criterion(),
                           transpose(), form_.host(), [this] { form_.refresh(); });
  const std::vector<std::string> problems = placement_problems(paths, counts);
  if (!problems.empty()) show_report(form_.host(), placement_problems_title, problems);
  if (counts.files > 0)
    form_.set_status(QStringLiteral("Placed %1 of %2 files").arg(counts.placed).arg(counts.files));
}

void multisample_editor::move_octave(bool up) {
  qbank::move_octave(form_.main_bank(), form_.current_multisample(), up, form_.host());
}

void multisample_editor::replace_text() {
  show_common_path();
  const QString common = QString::fromStdString(to_utf8(library_common_path(form_.main_bank())));
  const auto [old_text, new_text] = dialogs_.replace_strings(common, common);
  replace_text_in_paths(form_.main_bank(), utf8_of(old_text), utf8_of(new_text), form_.host());
}

void multisample_editor::show_common_path() {
  form_.LabelLibraryCommonPath->setText(
      QString::fromStdString(library_common_path_caption(form_.main_bank())));
}

void multisample_editor::drop(const QMimeData& data, const QPoint& at) {
  std::vector<std::filesystem::path> files;
  bool only_wav = data.hasUrls() && !data.urls().isEmpty();
  for (const QUrl& url : data.urls()) {
    const QString file = url.toLocalFile();
    if (file.isEmpty() || !file.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive) ||
        !QFileInfo(file).isFile()) {
      only_wav = false;
      break;
    }
    files.push_back(native_path_of(file));
  }
  if (!only_wav) {
    form_.host().message(utf8_of(refused_drop), "Info");
    return;
  }
  if (files.size() > 1) {
    form_.run_command([&] { place(files); }, QStringLiteral("Drop WAV Files"));
    return;
  }
  const int row = form_.StringGridFiles->indexAt(at).row();
  if (row < 0) {
    form_.host().message("Drop the WAV file on the slot it belongs to.", "Info");
    return;
  }
  form_.run_command(
      [&] {
        form_.main_bank().set_file(form_.current_multisample(), row, stored_path(files.front()));
      },
      QStringLiteral("Drop WAV File"));
}

void multisample_editor::limit_comment() {
  QPlainTextEdit* box = form_.MemoComment;
  const QString text = comment_box_text(*box);
  const int from = std::clamp(changed_at_, 0, static_cast<int>(text.size()));
  const int to = std::clamp(changed_at_ + added_, from, static_cast<int>(text.size()));
  added_ = 0;
  if (stored_size(text) <= comment_max_chars) return;
  // The text around the change is kept whole; of the change, what still fits.
  const QStringView view(text);
  const std::size_t kept = stored_size(view.first(from)) + stored_size(view.sliced(to));
  int end = from;
  for (std::size_t size = kept; end < to;) {
    const int n = text[end].isHighSurrogate() && end + 1 < to ? 2 : 1;
    size += stored_size(view.sliced(end, n));
    if (size > comment_max_chars) break;
    end += n;
  }
  QTextCursor cut(box->document());
  cut.joinPreviousEditBlock();  // undone together with the change
  cut.setPosition(end);
  cut.setPosition(to, QTextCursor::KeepAnchor);
  cut.removeSelectedText();
  cut.endEditBlock();
}

void multisample_editor::comment_changed() {
  QPlainTextEdit* box = form_.MemoComment;
  bank& b = form_.main_bank();
  const int n = form_.current_multisample();
  const std::string stored_before = multisample_comment_text(b, n);
  if (utf8_of(comment_box_text(*box)) == stored_before) return;  // the refresh showing it
  {
    const QSignalBlocker quiet(box);
    limit_comment();
  }
  const std::string typed = utf8_of(comment_box_text(*box));
  if (typed == stored_before) return;  // a key that did not fit
  if (!set_multisample_comment(b, n, typed, form_.host())) {
    show_comment(*box, QString::fromStdString(stored_before));
    return;
  }
  // What the record does not hold as typed (a zero, a lone CR) leaves the box as well.
  const std::string kept = multisample_comment_text(b, n);
  if (kept != typed) show_comment(*box, QString::fromStdString(kept));
  // What is typed while the box keeps the focus is one step.
  form_.record_edit(QStringLiteral("Edit Comment"), comment_step_);
}

bool multisample_editor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_.MemoComment && event->type() == QEvent::FocusIn) {
    ++comment_step_;
    // After the click that gave the focus has placed the cursor.
    QTimer::singleShot(0, form_.MemoComment, [box = form_.MemoComment] { box->selectAll(); });
    return false;
  }
  // Compared with the pointer kept at start: events still arrive while the window is being
  // destroyed, when the grid is no longer a table view to ask.
  if (watched != files_viewport_) return false;
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      // Everything is let in, so that a refused drop can say why.
      auto* drag = static_cast<QDragMoveEvent*>(event);
      drag->setDropAction(Qt::CopyAction);
      drag->accept();
      return true;
    }
    case QEvent::Drop: {
      auto* dropped = static_cast<QDropEvent*>(event);
      dropped->setDropAction(Qt::CopyAction);
      dropped->accept();
      drop(*dropped->mimeData(), dropped->position().toPoint());
      return true;
    }
    default:
      return false;
  }
}

}  // namespace qbank::gui
