// "Conform WAV files for the instrument..." from the Tools menu: the folder dialog, the report
// window, and the main bank's slots pointed at the results.
#include <QtTest>
#include <filesystem>

#include "app/main_form.h"
#include "audio/conform.h"
#include "audio/conform_codec.h"
#include "audio/conform_command.h"
#include "bank/bank.h"
#include "gui_test_support.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/audio_writer.h"
#include "support/temp_dir.h"

using namespace qbank::gui;
namespace fs = std::filesystem;

class conform_window_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void item_is_usable_exactly_when_the_build_has_conform() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QAction* item = form.action(QString::fromLatin1(conform_caption));
    QVERIFY(item);
    QCOMPARE(item->isEnabled(), qbank::conform_available());
    if (!qbank::conform_available()) {
      // Why, and what to install.
      QVERIFY(
          item->toolTip().startsWith(QString::fromLatin1(qbank::conform_unavailable_text.data())));
      QVERIFY2(item->toolTip().contains(QStringLiteral("libsoxr")), qPrintable(item->toolTip()));
    }
  }

  void conforms_into_the_chosen_folder_and_shows_the_report() {
    if (!qbank::conform_available() || !qbank::testing::have_sndfile)
      QSKIP("conform is not built for this system");
    qbank::testing::temp_dir dir;
    const fs::path src = dir / "B2.aif";
    qbank::testing::write_audio_with_sndfile(src, qbank::testing::audio_container::aiff,
                                             qbank::testing::audio_encoding::pcm_24, 1, 44100,
                                             qbank::testing::sine_wave(1, 44100, 0.1, 1000, 0.5));
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.main_bank().set_file(5, 47, qbank::stored_path(src));
    form.main_bank().set_file(6, 47, qbank::stored_path(src));

    // Cancelled: nothing happens.
    form.action(QString::fromLatin1(conform_caption))->trigger();
    QCOMPARE(form.main_bank().file(5, 47), qbank::stored_path(src));

    const fs::path out = dir / "out";
    answers.folders.push_back(QString::fromStdString(qbank::path_to_utf8(out)));
    testing::report_reader reports(form);
    form.action(QString::fromLatin1(conform_caption))->trigger();
    QCOMPARE(answers.titles.back(), QStringLiteral("Select Folder For Conformed WAV Files... / "
                                                   "Start Conform..."));
    const std::string result = qbank::stored_path(out / "B2.wav");
    QCOMPARE(form.main_bank().file(5, 47), result);
    QCOMPARE(form.main_bank().file(6, 47), result);
    QVERIFY(qbank::file_exists(out / "B2.wav"));
    QCOMPARE(reports.titles, QStringList{QStringLiteral("Report: Conform WAV Files")});
    QVERIFY(reports.texts.front().contains(
        QStringLiteral("Totals: 1 converted, 0 converted earlier, 0 kept, 0 refused")));
    QVERIFY(answers.errors.isEmpty());
    QVERIFY(!form.host().progress_window() || !form.host().progress_window()->isVisible());
  }
};

QTEST_MAIN(conform_window_test)
#include "conform_window_test.moc"
