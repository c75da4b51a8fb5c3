#include "app/window_util.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace qbank::gui {

void centre_on_screen(QWidget* window) {
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

}  // namespace qbank::gui
