// `qbank-gui FILE`: the file named on the command line is opened as the system's file
// associations expect, a bank file as a bank and anything else as a script; a file that cannot
// be read is shown as an error and leaves the window as it was.
#include <QtTest>
#include <cstring>

#include "app/main_form.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/script_file.h"
#include "gui_test_support.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

using namespace qbank::gui;
namespace fs = std::filesystem;

class open_file_test : public QObject {
  Q_OBJECT

  qbank::testing::temp_dir dir;

 private Q_SLOTS:
  void initTestCase() {
    // One bank, saved as a script and built into a bank file (extension in capitals, as a
    // card written on Windows has it).
    qbank::bank b;
    std::memcpy(b.program(0).name, "Opened", 6);
    const std::vector<std::int16_t> samples(4800, 1000);
    qbank::testing::write_wav_with_sndfile(dir / "a.wav", 1, 48000, samples);
    b.set_file(1, 60, (dir / "a.wav").string());
    qbank::testing::recording_host h;
    qbank::save_script(b, dir / "Set.qbs", h);
    QVERIFY(qbank::build_bank_file(b, dir / "SET.QBB", h));
    qbank::testing::write_file(dir / "Broken.qbs", qbank::testing::bytes{'n', 'o'});
  }

  void opens_the_file_by_its_kind_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("opens");
    QTest::newRow("script") << QStringLiteral("Set.qbs") << true;
    QTest::newRow("bank file") << QStringLiteral("SET.QBB") << true;
    QTest::newRow("not a script") << QStringLiteral("Broken.qbs") << false;
    QTest::newRow("missing") << QStringLiteral("None.qbb") << false;
  }
  void opens_the_file_by_its_kind() {
    QFETCH(QString, file);
    QFETCH(bool, opens);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    const QString before = form.windowTitle();
    form.open_file_command(dir / file.toStdString());
    if (opens) {
      QVERIFY2(answers.errors.isEmpty(), qPrintable(answers.errors.join(QLatin1Char('\n'))));
      QVERIFY2(form.windowTitle().endsWith(file), qPrintable(form.windowTitle()));
      QCOMPARE(form.main_bank().program_name_text(0).substr(0, 6), std::string("Opened"));
    } else {
      QCOMPARE(answers.errors.size() + answers.boxes.size(), 1);
      QCOMPARE(form.windowTitle(), before);
    }
  }
};

QTEST_MAIN(open_file_test)
#include "open_file_test.moc"
