// One copy of qbank-gui at a time: a second start is refused while the first runs, and the
// lock of a killed copy does not block the next start.
#include "app/single_instance.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>
#include <fstream>
#include <string>

#include "support/temp_dir.h"

using namespace qbank::gui;

namespace {

std::string read_text(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string text;
  std::getline(in, text);
  return text;
}

QProcessEnvironment gui_environment(const std::filesystem::path& lock_dir) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("QBANK_GUI_LOCK_DIR"), QString::fromStdString(lock_dir.string()));
  // A recovery script of the user's own would be offered at the start: not this test's.
  env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(lock_dir.string()));
  // Nor are the user's remembered settings.
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(lock_dir.string()));
  return env;
}

}  // namespace

class single_instance_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void lock_is_exclusive_and_released_with_its_holder() {
    qbank::testing::temp_dir dir;
    {
      single_instance_lock first(dir.path(), single_instance_name);
      QVERIFY(first.acquired());
      QCOMPARE(first.path().filename().string(),
               std::string("Quorvatek_AmpleToneSamplerEditor_Single_Instance_mutex.lock"));
      single_instance_lock second(dir.path(), single_instance_name);
      QVERIFY(!second.acquired());
    }
    single_instance_lock again(dir.path(), single_instance_name);
    QVERIFY(again.acquired());
  }

  void second_copy_is_refused_and_a_killed_copy_leaves_no_lock() {
    qbank::testing::temp_dir dir;
    const auto lock_file = dir / "Quorvatek_AmpleToneSamplerEditor_Single_Instance_mutex.lock";
    QProcess first;
    first.setProcessEnvironment(gui_environment(dir.path()));
    first.start(QStringLiteral(QBANK_GUI_PATH), {});
    QVERIFY(first.waitForStarted());
    const std::string first_pid = std::to_string(first.processId());
    QTRY_COMPARE_WITH_TIMEOUT(read_text(lock_file), first_pid, 20000);

    QProcess second;
    second.setProcessEnvironment(gui_environment(dir.path()));
    second.start(QStringLiteral(QBANK_GUI_PATH), {});
    QVERIFY(second.waitForStarted());
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT(
        (said += second.readAllStandardError())
            .contains("Another copy of \"Quorvatek Ample Tone Sampler Editor\" alredy running!"),
        20000);
    // The refused copy waits on its OK box; the first copy still holds the lock.
    QCOMPARE(read_text(lock_file), first_pid);
    QCOMPARE(first.state(), QProcess::Running);
    second.kill();
    second.waitForFinished();

    // A copy that dies without cleaning up does not block the next one (SIGKILL, or
    // TerminateProcess on Windows).
    first.kill();
    QVERIFY(first.waitForFinished());
    single_instance_lock next(dir.path(), single_instance_name);
    QVERIFY(next.acquired());
  }

  // A code page the user forced but no table holds stops the window before it reads anything.
  void an_unknown_forced_code_page_is_refused() {
    qbank::testing::temp_dir dir;
    QProcess gui;
    QProcessEnvironment env = gui_environment(dir.path());
    env.insert(QStringLiteral("QBANK_CODEPAGE"), QStringLiteral("437"));
    gui.setProcessEnvironment(env);
    gui.start(QStringLiteral(QBANK_GUI_PATH), {});
    QVERIFY(gui.waitForStarted());
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += gui.readAllStandardError())
                                 .contains("qbank-gui: QBANK_CODEPAGE=437 names no known code "
                                           "page; known: 1250, 1251"),
                             20000);
    // It waits on its error box; the main window never opened.
    gui.kill();
    gui.waitForFinished();
  }
};

QTEST_MAIN(single_instance_test)
#include "single_instance_test.moc"
