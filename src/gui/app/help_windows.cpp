#include "app/help_windows.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtGlobal>
#include <algorithm>
#include <functional>

#include "audio/conform_codec.h"

namespace qbank::gui {

namespace {

const QStringList user_sections = {QStringLiteral("What it is"), QStringLiteral("The window"),
                                   QStringLiteral("The command line")};

QString plain_caption(const QString& text) {
  return QString(text).remove(QLatin1Char('&'));
}

// The window named `name` under `owner`, made the first time with `fill` laying it out.
void show_window(QWidget* owner, const QString& name, const QString& title, QSize size,
                 const std::function<void(QDialog&, QVBoxLayout&)>& fill) {
  if (auto* open = owner->findChild<QDialog*>(name)) {
    open->show();
    open->raise();
    open->activateWindow();
    return;
  }
  auto* window = new QDialog(owner);
  window->setObjectName(name);
  window->setWindowTitle(title);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowFlag(Qt::WindowMaximizeButtonHint);
  auto* layout = new QVBoxLayout(window);
  fill(*window, *layout);
  window->resize(size);
  window->show();
}

void add_text(QDialog& window, QVBoxLayout& layout, const QString& markdown) {
  auto* text = new QTextBrowser(&window);
  text->setObjectName(QStringLiteral("HelpText"));
  text->setOpenExternalLinks(true);
  // Pictures named as the README names them come from the program's own copy.
  text->setSearchPaths({QStringLiteral(":/help")});
  // "<what>" in the text is text, not HTML.
  text->document()->setMarkdown(
      markdown, QTextDocument::MarkdownFeatures(QTextDocument::MarkdownDialectGitHub |
                                                QTextDocument::MarkdownNoHTML));
  layout.addWidget(text);
}

}  // namespace

std::vector<shortcut_entry> menu_shortcuts(const QWidget* window) {
  std::vector<shortcut_entry> entries;
  std::function<void(const QMenu*, const QString&)> walk = [&](const QMenu* menu,
                                                               const QString& path) {
    for (const QAction* item : menu->actions()) {
      const QString caption = plain_caption(item->text());
      if (item->menu()) {
        walk(item->menu(), path + caption + QStringLiteral(" > "));
        continue;
      }
      if (item->shortcuts().isEmpty()) continue;
      QStringList keys;
      for (const QKeySequence& k : item->shortcuts()) keys << k.toString(QKeySequence::NativeText);
      entries.push_back({keys.join(QStringLiteral(", ")), path + caption});
    }
  };
  if (const auto* bar = window->findChild<QMenuBar*>())
    for (const QAction* menu : bar->actions())
      if (menu->menu()) walk(menu->menu(), plain_caption(menu->text()) + QStringLiteral(" > "));
  // The pop-up menus of the grids: the menus no other menu or the bar holds.
  for (const QMenu* menu : window->findChildren<QMenu*>()) {
    if (!menu->menuAction()->associatedObjects().isEmpty()) continue;
    const QString title = menu->title().isEmpty() ? QStringLiteral("Pop-up menu") : menu->title();
    walk(menu, plain_caption(title) + QStringLiteral(" > "));
  }
  // Keys that belong to a part of the window rather than a menu (F3 in the find lines), once.
  for (const QAction* item : window->findChildren<QAction*>()) {
    if (item->shortcuts().isEmpty() || item->text().isEmpty()) continue;
    bool in_menu = false;
    for (const QObject* o : item->associatedObjects())
      in_menu |= qobject_cast<const QMenu*>(o) != nullptr;
    if (in_menu) continue;
    QStringList keys;
    for (const QKeySequence& k : item->shortcuts()) keys << k.toString(QKeySequence::NativeText);
    const shortcut_entry e{keys.join(QStringLiteral(", ")), plain_caption(item->text())};
    if (std::none_of(entries.begin(), entries.end(), [&](const shortcut_entry& x) {
          return x.keys == e.keys && x.command == e.command;
        }))
      entries.push_back(e);
  }
  return entries;
}

QString user_guide_markdown(const QString& readme) {
  QString guide;
  bool taking = false;
  QStringList lines = readme.split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();  // the last line's end
  for (const QString& line : lines) {
    if (line.startsWith(QLatin1String("## ")))
      taking = user_sections.contains(line.mid(3).trimmed());
    else if (line.startsWith(QLatin1String("# ")))
      taking = false;
    if (taking) guide += line + QLatin1Char('\n');
  }
  return guide;
}

QString about_markdown() {
  const codec_versions codecs = conform_codec_versions();
  QString text = QStringLiteral(
                     "## Quorvatek Samplers Bank Manager\n\n"
                     "Version %1\n\n"
                     "Licence: GPL-3.0-or-later\n\n"
                     "Libraries:\n\n"
                     "- Qt %2 (built with %3)\n")
                     .arg(QStringLiteral(QBANK_VERSION_TEXT), QString::fromLatin1(qVersion()),
                          QStringLiteral(QT_VERSION_STR));
  if (codecs.sndfile.empty() && codecs.soxr.empty()) {
    text += QStringLiteral(
        "- libsndfile and libsoxr: not loaded (conforming audio files is not "
        "available)\n");
  } else {
    auto name = [](const std::string& version, const char* library) {
      return version.empty() ? QString::fromLatin1(library) : QString::fromStdString(version);
    };
    text += QStringLiteral("- %1\n- %2\n")
                .arg(name(codecs.sndfile, "libsndfile"), name(codecs.soxr, "libsoxr"));
  }
  return text;
}

void show_keyboard_shortcuts(QWidget* window) {
  show_window(window, QStringLiteral("HelpShortcuts"), QStringLiteral("Keyboard Shortcuts"),
              QSize(640, 420), [window](QDialog& dialog, QVBoxLayout& layout) {
                auto* list = new QTreeWidget(&dialog);
                list->setObjectName(QStringLiteral("ShortcutList"));
                list->setRootIsDecorated(false);
                list->setHeaderLabels({QStringLiteral("Keys"), QStringLiteral("Command")});
                for (const shortcut_entry& e : menu_shortcuts(window))
                  list->addTopLevelItem(new QTreeWidgetItem(QStringList{e.keys, e.command}));
                list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
                layout.addWidget(list);
              });
}

void show_user_guide(QWidget* window) {
  QFile readme(QStringLiteral(":/help/README.md"));
  const QString text =
      readme.open(QIODevice::ReadOnly) ? QString::fromUtf8(readme.readAll()) : QString();
  show_window(window, QStringLiteral("HelpUserGuide"), QStringLiteral("User Guide"),
              QSize(820, 640), [&text](QDialog& dialog, QVBoxLayout& layout) {
                add_text(dialog, layout, user_guide_markdown(text));
              });
}

void show_about(QWidget* window) {
  show_window(
      window, QStringLiteral("HelpAbout"), QStringLiteral("About"), QSize(460, 300),
      [](QDialog& dialog, QVBoxLayout& layout) { add_text(dialog, layout, about_markdown()); });
}

}  // namespace qbank::gui
