// The Help menu: the list of keyboard shortcuts, the user guide (the README's sections for the
// people who use the programs, built into the program) and the About box. Each opens as a
// window of its own, owned by the main window, and a second call brings the open one forward.
#pragma once

#include <QString>
#include <vector>

class QWidget;

namespace qbank::gui {

struct shortcut_entry {
  QString keys;     // "Ctrl+O", or several: "Ctrl+Shift+Z, Ctrl+Y"
  QString command;  // "File > Open Sampler Script File (...)..."
};

// The shortcut of every menu item of `window` (its menu bar and pop-up menus), in menu order,
// read from the items themselves.
std::vector<shortcut_entry> menu_shortcuts(const QWidget* window);

// The sections of `readme` (Markdown) a user of the programs reads: "What it is", "The window"
// and "The command line", each with its subsections, in their order.
QString user_guide_markdown(const QString& readme);

// The About text (Markdown): version, licence and the libraries with their versions.
QString about_markdown();

void show_keyboard_shortcuts(QWidget* window);
void show_user_guide(QWidget* window);
void show_about(QWidget* window);

}  // namespace qbank::gui
