#include "app/gui_host.h"

#include <QCoreApplication>

#include "app/dialogs.h"
#include "app/window_util.h"
#include "platform/paths.h"

namespace qbank::gui {

QString to_qstring(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString file_name_of(const std::filesystem::path& path) {
  return to_qstring(path_to_utf8(path.filename()));
}

gui_host::gui_host(dialogs& d, QWidget* owner) : dialogs_(d), owner_(owner) {}

gui_host::~gui_host() = default;

void gui_host::begin_command() {
  said_.clear();
  not_undoable_ = false;
  told_ = false;
}

void gui_host::progress_show(char kind, std::int32_t* cancel_flag) {
  if (progress_) return;
  progress_ = std::make_unique<TProgressForm>(kind, cancel_flag);
  attach_to(progress_.get(), owner_);
  progress_->show();
  progress_->repaint();
}

void gui_host::progress_set_title(std::string_view text) {
  if (progress_) progress_->set_title(to_qstring(text));
}

void gui_host::progress_set_text(std::string_view text) {
  if (progress_) progress_->set_text(to_qstring(text));
}

void gui_host::progress_set_percent(std::uint8_t percent) {
  if (progress_) progress_->set_percent(percent);
}

void gui_host::progress_hide() {
  if (!progress_) return;
  progress_->hide();
  progress_.reset();
}

void gui_host::process_events() {
  QCoreApplication::processEvents();
}

void gui_host::report_show(std::string_view title, const std::vector<std::string>& lines) {
  if (report_) return;
  constexpr std::string_view report_prefix = "Report: ";
  said_ = title.starts_with(report_prefix) ? title.substr(report_prefix.size()) : title;
  if (not_undoable_untold()) {
    told_ = true;
    std::vector<std::string> told = lines;
    told.insert(told.end(), {std::string(), std::string(not_undoable_text)});
    report_ = std::make_unique<TFormReport>(to_qstring(title), told);
  } else {
    report_ = std::make_unique<TFormReport>(to_qstring(title), lines);
  }
  attach_to(report_.get(), owner_);
  report_->exec();
}

void gui_host::report_hide() {
  if (!report_) return;
  report_->hide();
  report_.reset();
}

void gui_host::message(std::string_view text, std::string_view caption) {
  said_ = text.substr(0, text.find('\n'));
  dialogs_.message(to_qstring(text), to_qstring(caption));
}

bool gui_host::ask(std::string_view text, std::string_view caption) {
  QString question = to_qstring(text);
  if (not_undoable_untold()) {
    told_ = true;
    question += QStringLiteral("\n\n") + to_qstring(not_undoable_text);
  }
  return dialogs_.ask(question, to_qstring(caption));
}

}  // namespace qbank::gui
