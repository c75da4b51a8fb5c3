// qbank-gui: the desktop bank manager. Start-up: the single-instance lock, the application,
// the splash window, the main window (which reports its progress to the splash), then the
// message loop until the main window closes. `qbank-gui FILE` opens a script or a bank file
// once the window shows (as the system's file associations start it); `qbank-gui --version`
// prints the version and ends.
#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/dialogs.h"
#include "app/main_form.h"
#include "app/single_instance.h"
#include "app/start_screen.h"
#include "app/test_drive.h"
#include "platform/codepage.h"

int main(int argc, char** argv) {
  using namespace qbank::gui;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("qbank-gui %s\n", QBANK_VERSION_TEXT);
      return 0;
    }
  // 1. One copy at a time. The lock is held until the process ends.
  single_instance_lock lock(single_instance_lock::default_folder(), single_instance_name);
  // 2. The application.
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("qbank-gui"));
  QApplication::setDesktopFileName(QStringLiteral("qbank-gui"));
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setWindowIcon(application_icon());
  if (!lock.acquired()) {
    const QString text =
        QStringLiteral("Another copy of \"Quorvatek Ample Tone Sampler Editor\" alredy running!");
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok);
    box.exec();
    return 1;
  }
  // Stored texts would be read in a code page the user did not ask for: refuse, as qbank does.
  if (const auto unknown = qbank::unknown_forced_codepage()) {
    const QString text = QStringLiteral("QBANK_CODEPAGE=%1 names no known code page; known: %2")
                             .arg(QString::fromStdString(*unknown),
                                  QString::fromStdString(qbank::supported_codepages_text()));
    std::fprintf(stderr, "qbank-gui: %s\n", text.toUtf8().constData());
    QMessageBox::critical(nullptr, QStringLiteral("Error"), text);
    return 2;
  }
  try {
    // 3..5. Splash, main window, splash away.
    splash_show();
    // Process tests drive the window through its dialogs (null: the real ones).
    const std::unique_ptr<test_drive_dialogs> driven = test_drive_from_environment();
    TForm1 window(driven.get(), splash_set_progress);
    window.show();
    splash_hide();
    window.start_recovery();
    // The file to open: what is left after Qt took its own options (-platform, ...).
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) window.open_file_command(native_path_of(arguments.at(1)));
    if (driven) QTimer::singleShot(0, &window, [&] { driven->run(window); });
    // 6. The message loop.
    return app.exec();
  } catch (const std::exception& e) {
    splash_hide();
    QMessageBox::critical(nullptr, QStringLiteral("Error"), QString::fromUtf8(e.what()));
    return 1;
  }
}
