// A real qbank-gui killed the hard way after an edit: the next start offers the recovery script,
// and what is saved after restoring it is the edited bank, byte for byte.

#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>
#include <filesystem>

#include "demo/demo_library.h"
#include "platform/file_io.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

const QString open_script =
    QStringLiteral("Open Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)...");
const QString save_script =
    QStringLiteral("Save Sampler Script File (Version 6 / 9999 programs / 10000 multisamples)...");
// An edit without a dialog: every used program one octave up.
const QString edit = QStringLiteral("Up");

// qbank-gui with a data folder and a lock of its own, the recovery script written 200 ms after
// a change, driven by `steps` (file / menu / answer lines).
class gui_process {
 public:
  gui_process(const fs::path& home, const QStringList& steps) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QBANK_GUI_LOCK_DIR"), QString::fromStdString(home.string()));
    env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(home.string()));
    env.insert(QStringLiteral("QBANK_RECOVERY_INTERVAL_MS"), QStringLiteral("200"));
    env.insert(QStringLiteral("QBANK_TEST_DRIVE"), steps.join(QLatin1Char('\n')));
    process_.setProcessEnvironment(env);
    process_.start(QStringLiteral(QBANK_GUI_PATH), {});
  }
  ~gui_process() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished();
    }
  }
  bool started() { return process_.waitForStarted(); }
  // What the window said so far (its boxes, one "[CAPTION] TEXT" a line).
  const QByteArray& said() {
    said_ += process_.readAllStandardError();
    return said_;
  }
  // SIGKILL on POSIX, TerminateProcess on Windows: the program gets no chance to clean up.
  void kill_hard() {
    process_.kill();
    process_.waitForFinished();
  }
  bool finished_cleanly() {
    return process_.waitForFinished(20000) && process_.exitStatus() == QProcess::NormalExit &&
           process_.exitCode() == 0;
  }

 private:
  QProcess process_;
  QByteArray said_;
};

}  // namespace

class crash_recovery_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void a_killed_window_offers_its_edit_back() {
#ifdef Q_OS_WIN
    // A Windows process keeps its data in the user's AppData, which no variable of the test can
    // move to a folder of its own; the test would share the user's recovery script.
    QSKIP("the window's data folder cannot be given to the process on Windows");
#endif
    qbank::testing::temp_dir dir;
    qbank::testing::recording_host quiet;
    const qbank::demo_library demo = qbank::write_demo_library(dir / "library", quiet);
    const fs::path recovery = dir / "home" / "qbank-gui" / "recovery.qbs";
    auto file = [](const fs::path& path) {
      return QStringLiteral("file ") + QString::fromStdString(path.string());
    };
    auto menu = [](const QString& caption) { return QStringLiteral("menu ") + caption; };

    // The same edit saved by a window that is not killed: the bytes to expect (and those of the
    // script before the edit, which must differ).
    {
      gui_process clean(dir / "clean",
                        {file(demo.script), menu(open_script), file(dir / "unedited.qbs"),
                         menu(save_script), menu(edit), file(dir / "expected.qbs"),
                         menu(save_script), menu(QStringLiteral("Exit"))});
      QVERIFY(clean.started());
      QVERIFY2(clean.finished_cleanly(), clean.said().constData());
    }
    const std::vector<std::uint8_t> expected = qbank::read_whole_file(dir / "expected.qbs");

    {
      gui_process crashed(dir / "home", {file(demo.script), menu(open_script), menu(edit)});
      QVERIFY(crashed.started());
      QTRY_VERIFY_WITH_TIMEOUT(fs::exists(recovery), 20000);
      QVERIFY2(crashed.said().contains("[Info] Transposed"), crashed.said().constData());
      crashed.kill_hard();
    }
    QVERIFY(fs::exists(recovery));

    gui_process next(dir / "home", {QStringLiteral("answer yes"), file(dir / "restored.qbs"),
                                    menu(save_script), menu(QStringLiteral("Exit"))});
    QVERIFY(next.started());
    QVERIFY2(next.finished_cleanly(), next.said().constData());
    QVERIFY2(next.said().contains("[Question] The bank manager did not end normally last time."),
             next.said().constData());
    QVERIFY(qbank::read_whole_file(dir / "restored.qbs") == expected);
    QVERIFY(qbank::read_whole_file(dir / "unedited.qbs") != expected);
    // Saved and closed cleanly: nothing is left to offer.
    QVERIFY(!fs::exists(recovery));
  }
};

QTEST_MAIN(crash_recovery_test)
#include "crash_recovery_test.moc"
