#include "app/test_drive.h"

#include <QAction>
#include <cstdio>

#include "app/main_form.h"
#include "platform/paths.h"

namespace qbank::gui {

namespace {

void print_box(const QString& caption, const QString& text) {
  std::fprintf(stderr, "[%s] %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
  std::fflush(stderr);
}

}  // namespace

test_drive_dialogs::test_drive_dialogs(const QString& steps)
    : qt_dialogs(nullptr), steps_(steps.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
  for (const QString& step : steps_)
    if (step.trimmed() == QStringLiteral("answer yes")) answer_ = true;
}

void test_drive_dialogs::run(TForm1& window) {
  for (const QString& step : steps_) {
    const QString kind = step.section(QLatin1Char(' '), 0, 0);
    const QString argument = step.section(QLatin1Char(' '), 1);
    if (kind == QStringLiteral("file")) {
      files_.push_back(path_from_utf8(argument.toStdString()));
    } else if (kind == QStringLiteral("menu")) {
      QAction* item = window.action(argument);
      if (!item) {
        print_box(QStringLiteral("Test drive"), QStringLiteral("no menu item ") + argument);
        continue;
      }
      item->trigger();
    }
  }
}

std::optional<std::filesystem::path> test_drive_dialogs::next_file(const QString& title) {
  print_box(QStringLiteral("File dialog"), title);
  if (files_.empty()) return std::nullopt;
  std::filesystem::path file = files_.front();
  files_.pop_front();
  return file;
}

std::optional<std::filesystem::path> test_drive_dialogs::choose_open_file(const QString& title,
                                                                          const QString&) {
  return next_file(title);
}

std::optional<std::filesystem::path> test_drive_dialogs::choose_save_file(const QString& title,
                                                                          const QString&) {
  return next_file(title);
}

void test_drive_dialogs::message(const QString& text, const QString& caption) {
  print_box(caption, text);
}

bool test_drive_dialogs::ask(const QString& text, const QString& caption) {
  print_box(caption, text);
  return answer_;
}

void test_drive_dialogs::show_error(const QString& text) {
  print_box(QStringLiteral("Error"), text);
}

save_answer test_drive_dialogs::ask_save(const QString& text) {
  print_box(QStringLiteral("Save changes"), text);
  return save_answer::discard;
}

std::unique_ptr<test_drive_dialogs> test_drive_from_environment() {
  if (!qEnvironmentVariableIsSet("QBANK_TEST_DRIVE")) return nullptr;
  return std::make_unique<test_drive_dialogs>(qEnvironmentVariable("QBANK_TEST_DRIVE"));
}

}  // namespace qbank::gui
