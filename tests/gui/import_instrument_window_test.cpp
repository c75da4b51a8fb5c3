// "Import Instrument (SFZ, SF2, DecentSampler, Bitwig, WAV folder)..." from the File menu: the
// dialog, the import onto the current program, the report window and one undo step.
#include <QtTest>
#include <filesystem>
#include <string>

#include "app/grid_view.h"
#include "app/main_form.h"
#include "audio/conform_codec.h"
#include "audio/instrument_command.h"
#include "bank/bank.h"
#include "gui_test_support.h"
#include "platform/paths.h"
#include "support/audio_writer.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

using namespace qbank::gui;
namespace fs = std::filesystem;

class import_instrument_window_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void imports_onto_the_current_program_as_one_undo_step() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QAction* item = form.action(QString::fromLatin1(import_instrument_caption));
    QVERIFY(item);
    QCOMPARE(item->isEnabled(), qbank::conform_available());
    if (!qbank::conform_available() || !qbank::testing::have_sndfile)
      QSKIP("conform is not built for this system");

    qbank::testing::temp_dir dir;
    qbank::testing::write_audio_with_sndfile(dir / "a.wav", qbank::testing::audio_container::wav,
                                             qbank::testing::audio_encoding::pcm_16, 1, 44100,
                                             qbank::testing::sine_wave(1, 44100, 0.05, 440, 0.5));
    const std::string sfz = "<region> sample=a.wav lokey=57 hikey=59 pitch_keycenter=57\n";
    qbank::testing::write_file(dir / "Bell.sfz", qbank::testing::bytes(sfz.begin(), sfz.end()));
    select_row(form.StringGridBlends, 42);
    // The bank came from a script: Save must still go back there after the import.
    qbank::testing::write_file(dir / "Live.qbs", qbank::testing::bytes{'x'});
    const std::string script = qbank::path_to_utf8(dir / "Live.qbs");
    form.main_bank().set_loaded_file_name(script);

    // Cancelled: nothing happens, no step.
    item->trigger();
    QVERIFY(!form.undo_action()->isEnabled());

    answers.imports.push_back(instrument_import_choice{dir / "Bell.sfz", qbank::fill_mode::render,
                                                       QString(), dir / "out"});
    testing::report_reader reports(form);
    item->trigger();
    QVERIFY(answers.errors.isEmpty());
    const qbank::bank& b = form.main_bank();
    QCOMPARE(b.program(42).zones[0].multisample, 1);
    QCOMPARE(b.program_name_text(42).substr(0, 4), std::string("Bell"));
    QCOMPARE(b.loaded_file_name(), script);
    QCOMPARE(qbank::native_path(b.file(1, 59)), dir / "out" / "Bell" / "Layer 1" / "Bell 059.wav");
    QCOMPARE(reports.titles, QStringList{QStringLiteral("Report: Imported Instrument")});
    QVERIFY(reports.texts.front().contains(QStringLiteral("3 keys filled (1 played, 2 rendered)")));
    QVERIFY(!form.host().progress_window() || !form.host().progress_window()->isVisible());

    QCOMPARE(
        form.undo_action()->text(),
        QStringLiteral("Undo Import Instrument (SFZ, SF2, DecentSampler, Bitwig, WAV folder)"));
    form.undo_action()->trigger();
    QCOMPARE(form.main_bank().program(42).zones[0].multisample, 0);
    QVERIFY(form.main_bank().slot_is_empty(1, 59));

    // A file that cannot be read: its line named, the bank unchanged.
    qbank::testing::write_file(dir / "Bad.sfz", qbank::testing::bytes{'<', 'r', 'e', 'g'});
    answers.imports.push_back(instrument_import_choice{dir / "Bad.sfz", qbank::fill_mode::render,
                                                       QString(), dir / "out"});
    item->trigger();
    QCOMPARE(answers.errors.size(), 1);
    QVERIFY(answers.errors.front().contains(QStringLiteral("Bad.sfz:1")));
    QCOMPARE(form.main_bank().program(42).zones[0].multisample, 0);
  }
};

QTEST_MAIN(import_instrument_window_test)
#include "import_instrument_window_test.moc"
