// Writes pictures of the main window's four tabs and of its Edit menu with an Undo entry, taken
// from the real window maximised on a 1600 x 1000 screen offscreen, to the folder given
// (docs/screenshots). Run: gui_screenshots DIR [SCRIPT]
// With a version-6 script, the window shows it loaded, as a user would see it.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>

#include "app/grid_view.h"
#include "app/main_form.h"
#include "app/start_screen.h"
#include "audio/player_tab.h"
#include "bank/bank.h"
#include "gui_test_support.h"
#include "manager/bank_manager_page.h"

int main(int argc, char** argv) {
  // The screen the pictures are taken on: offscreen, 1600 x 1000 at 96 dpi.
  QTemporaryDir screen_folder;
  const QString screens = screen_folder.filePath(QStringLiteral("screens.json"));
  {
    QFile config(screens);
    if (!config.open(QIODevice::WriteOnly)) return 1;
    config.write(R"({"screens": [{"name": "shots", "x": 0, "y": 0, "width": 1600,)"
                 R"( "height": 1000, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  }
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens).toLocal8Bit());
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
    // A multisample placed from the demo's lead samples by the note numbers in their names,
    // shown with note names, one slot selected.
    const QDir library = QFileInfo(QString::fromLocal8Bit(argv[2])).dir();
    std::vector<std::filesystem::path> lead;
    for (const QString& name :
         library.entryList({QStringLiteral("Lead *.wav")}, QDir::Files, QDir::Name))
      lead.push_back(qbank::gui::native_path_of(library.filePath(name)));
    qbank::gui::select_row(window.StringGridMultisamples, 4);
    answers.file_lists.push_back(lead);
    window.action(QStringLiteral("Add MULTIPLE WAV files - to AUTO position by NAME..."))
        ->trigger();
    QAbstractItemModel* names = window.StringGridMultisamples->model();
    names->setData(names->index(4, 1), QStringLiteral("Placed Lead"));
    window.action(QStringLiteral("Show Note Number"))->trigger();
    window.StringGridFiles->scrollTo(window.StringGridFiles->model()->index(52, 2),
                                     QAbstractItemView::PositionAtTop);
    // The player shows the first filled slot's waveform from its WAV file.
    window.player()->RadioButtonAudioFromWAV->setChecked(true);
    for (int row = 0; row < qbank::slots_per_multisample; ++row)
      if (!window.main_bank().slot_is_empty(window.current_multisample(), row)) {
        window.StringGridFiles->selectRow(row);
        break;
      }
  }
  window.showMaximized();
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
  // The Edit menu open on the Program tab, after a program was renamed.
  window.PageControl1->setCurrentIndex(0);
  QAbstractItemModel* programs = window.StringGridBlends->model();
  programs->setData(programs->index(0, 1), QStringLiteral("Grand Lead"));
  QMenuBar* bar = window.menuBar();
  QAction* edit_title = bar->actions().at(1);
  QMenu* edit = edit_title->menu();
  edit->popup(bar->mapToGlobal(bar->actionGeometry(edit_title).bottomLeft()));
  QApplication::processEvents();
  QPixmap picture = window.grab();
  {
    QPainter painter(&picture);
    painter.drawPixmap(window.mapFromGlobal(edit->pos()), edit->grab());
  }
  edit->hide();
  const QString menu_file = out.filePath(QStringLiteral("edit_menu_undo.png"));
  if (!picture.save(menu_file)) {
    std::fprintf(stderr, "cannot write %s\n", menu_file.toLocal8Bit().constData());
    return 1;
  }
  std::printf("%s\n", menu_file.toLocal8Bit().constData());

  qbank::gui::TStartScreen splash;
  splash.set_progress(60);
  splash.show();
  QApplication::processEvents();
  splash.grab().save(out.filePath(QStringLiteral("splash.png")));
  return 0;
}
