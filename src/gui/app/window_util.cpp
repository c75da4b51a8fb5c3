#include "app/window_util.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace qbank::gui {

void centre_on_screen(QWidget* window) {
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

void attach_to(QWidget* window, QWidget* owner) {
  if (!owner) return;
  QWidget* top = owner->window();
  window->setFont(top->font());
  window->winId();
  top->winId();
  if (window->windowHandle() && top->windowHandle())
    window->windowHandle()->setTransientParent(top->windowHandle());
}

}  // namespace qbank::gui
