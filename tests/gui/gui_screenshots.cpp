// Writes pictures of the main window's four tabs, taken from the real window offscreen, to the
// folder given (docs/screenshots). Run: QT_QPA_PLATFORM=offscreen gui_screenshots DIR [SCRIPT]
// With a version-6 script, the window shows it loaded, as a user would see it.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTableView>
#include <cstdio>

#include "app/main_form.h"
#include "app/start_screen.h"
#include "gui_test_support.h"
#include "manager/bank_manager_page.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  if (argc < 2) {
    std::fprintf(stderr, "usage: gui_screenshots DIR [SCRIPT.qbs]\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  qbank::gui::testing::scripted_dialogs answers;
  qbank::gui::TForm1 window(&answers);
  if (argc > 2) {
    answers.files.push_back(qbank::gui::native_path_of(QString::fromLocal8Bit(argv[2])));
    window.open_script_command(6);
    // The bank manager shows the same script as its source bank.
    answers.files.push_back(qbank::gui::native_path_of(QString::fromLocal8Bit(argv[2])));
    window.manager_page()->open_manager_script(6);
    window.refresh();
    // The demo's lead starts at C4: show its filled slots.
    window.StringGridFiles->scrollTo(window.StringGridFiles->model()->index(46, 2),
                                     QAbstractItemView::PositionAtTop);
  }
  window.show();
  static const char* const names[4] = {"program", "multisamples", "bank_manager", "sd_card"};
  for (int tab = 0; tab < 4; ++tab) {
    window.PageControl1->setCurrentIndex(tab);
    QApplication::processEvents();
    const QString file = out.filePath(QStringLiteral("tab_%1_%2.png").arg(tab + 1).arg(names[tab]));
    if (!window.grab().save(file)) {
      std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
      return 1;
    }
    std::printf("%s\n", file.toLocal8Bit().constData());
  }
  qbank::gui::TStartScreen splash;
  splash.set_progress(60);
  splash.show();
  QApplication::processEvents();
  splash.grab().save(out.filePath(QStringLiteral("splash.png")));
  return 0;
}
