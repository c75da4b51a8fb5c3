// The "Multisamples" tab's editing driven as a user would: names, comment, the file-slot menu,
// the choice menus, drops from the desktop, the path tools and their two dialogs.
#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTreeView>
#include <QUrl>
#include <QtTest>
#include <cstring>

#include "app/grid_models.h"
#include "app/grid_view.h"
#include "app/main_form.h"
#include "bank/bank.h"
#include "edit/file_slot_delegate.h"
#include "edit/multisample_editor.h"
#include "edit/replace_string_form.h"
#include "edit/select_directory_form.h"
#include "gui_test_support.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"

using namespace qbank::gui;
namespace fs = std::filesystem;

namespace {

QString slot_text(TForm1& form, int row) {
  return form.StringGridFiles->model()->index(row, 2).data().toString();
}

void select_slots(TForm1& form, int first, int last) {
  QTableView* grid = form.StringGridFiles;
  const QItemSelection rows(grid->model()->index(first, 0), grid->model()->index(last, 2));
  grid->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
}

void touch(const fs::path& path) {
  qbank::write_whole_file(path, "", 0);
}

// Drops `urls` on the file-slot grid's viewport at the middle of `row`, as the desktop does.
void drop_on(TForm1& form, const QList<QUrl>& urls, int row, const QString& text = {}) {
  QWidget* viewport = form.StringGridFiles->viewport();
  form.StringGridFiles->scrollTo(form.StringGridFiles->model()->index(row, 2));
  const QPoint at =
      form.StringGridFiles->visualRect(form.StringGridFiles->model()->index(row, 2)).center();
  QMimeData data;
  if (!urls.isEmpty()) data.setUrls(urls);
  if (!text.isEmpty()) data.setText(text);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &drop);
}

}  // namespace

class multisample_tab_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { qbank::set_active_codepage(1252); }
  void cleanup() { qbank::set_active_codepage(0); }

  void add_multiple_by_name_with_counts_and_marker_name() {
    qbank::testing::temp_dir dir;
    for (const char* name : {"Str C#5.wav", "Str C10.wav", "Str C5.wav", "Strings.msn"})
      touch(dir / name);
    testing::scripted_dialogs answers;
    answers.default_answer = true;
    answers.file_lists.push_back(std::vector<std::filesystem::path>{
        dir / "Str C#5.wav", dir / "Str C10.wav", dir / "Str C5.wav", dir / "Loose.wav"});
    TForm1 form(&answers);
    testing::report_reader reports(form);
    QAbstractItemModelTester tester(form.StringGridFiles->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    select_row(form.StringGridMultisamples, 4);  // MS0005
    QCOMPARE(form.current_multisample(), 5);
    // Table B names, transpose +12: slot n searches note n + 12.
    form.action(QStringLiteral("Note NAME from C0 to G10 (C#4),(D3),(E10)"))->trigger();
    form.action(QStringLiteral("+12"))->trigger();
    QVERIFY(!form.action(QStringLiteral("Note NUMBER from 000 to 127 ( XXX)"))->isChecked());
    QVERIFY(!form.action(QStringLiteral("0"))->isChecked());
    form.action(QStringLiteral("Add MULTIPLE WAV files - to AUTO position by NAME..."))->trigger();

    QCOMPARE(answers.titles.last(), QStringLiteral("Add MULTIPLE WAV audio files"));
    QCOMPARE(answers.filters.last(),
             QStringLiteral("Standard WAV audio files 16b/48k/Mono (*.[wW][aA][vV])"));
    QCOMPARE(answers.boxes, QStringList({"[Info] Added 4 from 4 files.",
                                         "[Question] Use multisample name: \"Strings\" ?"}));
    // The folder as the system writes it, with its own separator.
    const QString dir_text = QString::fromStdString(dir.path().string()) + QDir::separator();
    // The file without a note is named; the empty stand-ins are left to the build.
    QTRY_COMPARE(reports.titles, QStringList{QStringLiteral("Report: Placement problems")});
    QCOMPARE(reports.texts.front().trimmed(),
             QStringLiteral("Not placed, no note found in the name: ") + dir_text +
                 QStringLiteral("Loose.wav"));
    QCOMPARE(slot_text(form, 61 - 12), dir_text + QStringLiteral("Str C#5.wav"));
    QCOMPARE(slot_text(form, 60 - 12), dir_text + QStringLiteral("Str C5.wav"));
    QCOMPARE(slot_text(form, 0), dir_text + QStringLiteral("Str C10.wav"));  // C1 in C10
    QCOMPARE(slot_text(form, 120 - 12), dir_text + QStringLiteral("Str C10.wav"));
    QCOMPARE(form.StringGridMultisamples->model()->index(4, 1).data().toString(),
             QStringLiteral("Strings"));
    QCOMPARE(form.LabelLibraryCommonPath->text(),
             QStringLiteral("Library Common Path: ") + dir_text + QStringLiteral("Str C"));
  }

  void remove_add_one_and_octave_moves() {
    qbank::testing::temp_dir dir;
    touch(dir / "one.wav");
    testing::scripted_dialogs answers;
    answers.files.push_back(dir / "one.wav");
    TForm1 form(&answers);
    qbank::bank& b = form.main_bank();
    for (int j = 0; j < 128; ++j) b.set_file(1, j, "D:\\f" + std::to_string(j) + ".wav");
    form.refresh();

    select_slots(form, 10, 12);
    QMenu* menu = form.context_menu(QStringLiteral("StringGridFiles"));
    QAction* add_one = form.action(QStringLiteral("Add ONE WAV file to sellected position..."));
    Q_EMIT menu->aboutToShow();
    QVERIFY(!add_one->isEnabled());  // three rows selected
    form.action(QStringLiteral("Remove sellected file/s"))->trigger();
    QCOMPARE(slot_text(form, 9), QStringLiteral("D:\\f9.wav"));
    for (int j = 10; j <= 12; ++j) QCOMPARE(slot_text(form, j), QStringLiteral("- - -"));

    select_slots(form, 11, 11);
    Q_EMIT menu->aboutToShow();
    QVERIFY(add_one->isEnabled());
    add_one->trigger();
    QCOMPARE(answers.titles.last(), QStringLiteral("Open ONE WAV audio file"));
    QCOMPARE(slot_text(form, 11), QString::fromStdString((dir / "one.wav").string()));

    // Up, answered No then Yes.
    form.action(QStringLiteral("Move assigned files 1 Octave Up..."))->trigger();
    QCOMPARE(answers.boxes.last(), QStringLiteral("[Move 1 Octave Up?] Are You Sure?"));
    QCOMPARE(slot_text(form, 0), QStringLiteral("D:\\f0.wav"));
    answers.answers = {true, true};
    form.action(QStringLiteral("Move assigned files 1 Octave Up..."))->trigger();
    QCOMPARE(slot_text(form, 0), QStringLiteral("- - -"));
    QCOMPARE(slot_text(form, 12), QStringLiteral("D:\\f0.wav"));
    QCOMPARE(slot_text(form, 127), QStringLiteral("D:\\f115.wav"));
    form.action(QStringLiteral("Move assigned files 1 Octave Down..."))->trigger();
    QCOMPARE(answers.boxes.last(), QStringLiteral("[Move 1 Octave Down?] Are You Sure?"));
    QCOMPARE(slot_text(form, 0), QStringLiteral("D:\\f0.wav"));
    QCOMPARE(slot_text(form, 116), QStringLiteral("- - -"));
  }

  void names_and_comment_are_stored_in_the_code_page() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QAbstractItemModel* names = form.StringGridMultisamples->model();
    QAbstractItemModelTester tester(names, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(names->flags(names->index(6, 1)) & Qt::ItemIsEditable);
    QVERIFY(!(names->flags(names->index(6, 0)) & Qt::ItemIsEditable));
    QVERIFY(names->setData(names->index(6, 1), QStringLiteral("Café Strings Long Name")));
    QCOMPARE(std::string(form.main_bank().multisample(7).name, 16), "Caf\xE9 Strings Lon");
    QCOMPARE(names->index(6, 1).data().toString(), QStringLiteral("Café Strings Lon"));
    QCOMPARE(form.zone_lists_model()->index(7).data().toString(),
             QStringLiteral("MS0007 Café Strings Lon"));
    // A character code page 1252 cannot hold: refused with a message, the name stays.
    names->setData(names->index(6, 1), QStringLiteral("Струны"));
    QCOMPARE(answers.boxes.size(), 1);
    QVERIFY(answers.boxes[0].startsWith(QStringLiteral("[Error] The text \"Струны\"")));
    QCOMPARE(names->index(6, 1).data().toString(), QStringLiteral("Café Strings Lon"));

    select_row(form.StringGridMultisamples, 6);
    form.MemoComment->setPlainText(QStringLiteral("50% wet\nsecond line"));
    QCOMPARE(std::string(form.main_bank().multisample(7).comment), "50% wet\r\nsecond line");
    form.MemoComment->setPlainText(QString(300, QLatin1Char('x')));
    QCOMPARE(form.MemoComment->toPlainText().size(), 239);
    QCOMPARE(std::strlen(form.main_bank().multisample(7).comment), std::size_t{239});
    // Another multisample shows its own comment; coming back shows this one again.
    select_row(form.StringGridMultisamples, 7);
    QCOMPARE(form.MemoComment->toPlainText(), QString(239, QLatin1Char(' ')));
    select_row(form.StringGridMultisamples, 6);
    QCOMPARE(form.MemoComment->toPlainText(), QString(239, QLatin1Char('x')));
    QCOMPARE(answers.boxes.size(), 1);
  }

  // A full comment: keys beyond it are refused and a paste is cut to fit, where the cursor is,
  // the rest kept; showing the multisample leaves its bytes (a non-breaking space) alone.
  void comment_box_keeps_what_was_typed() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QPlainTextEdit* box = form.MemoComment;
    char* stored = form.main_bank().multisample(7).comment;
    std::strcpy(stored,
                "no\xA0"
                "break");
    select_row(form.StringGridMultisamples, 6);
    QCOMPARE(box->document()->toRawText(), QStringLiteral("no\u00A0break"));
    select_row(form.StringGridMultisamples, 7);
    select_row(form.StringGridMultisamples, 6);
    QCOMPARE(std::string(stored),
             "no\xA0"
             "break");

    const QString full = QString(100, QLatin1Char('a')) + QString(139, QLatin1Char('b'));
    box->setPlainText(full);
    const auto cursor_at = [box](int at) {
      QTextCursor c = box->textCursor();
      c.setPosition(at);
      box->setTextCursor(c);
    };
    cursor_at(100);
    QTest::keyClick(box, Qt::Key_Z);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(box->toPlainText(), full);
    QCOMPARE(box->textCursor().position(), 100);
    QCOMPARE(std::string(stored), full.toStdString());
    // One character free: a line end (two bytes in the record) does not fit, a letter does.
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClick(box, Qt::Key_Return);
    QApplication::clipboard()->setText(QStringLiteral("XYZ"));
    box->paste();
    const QString pasted = full.first(100) + QLatin1Char('X') + full.sliced(101);
    QCOMPARE(box->toPlainText(), pasted);
    QCOMPARE(box->textCursor().position(), 101);
    QCOMPARE(std::string(stored), pasted.toStdString());
    QVERIFY(answers.boxes.isEmpty());
  }

  void drops_from_the_desktop() {
    qbank::testing::temp_dir dir;
    for (const char* name : {"Bass 036.wav", "Bass 048.WAV", "notes.txt"}) touch(dir / name);
    const auto url = [&](const char* name) {
      return QUrl::fromLocalFile(QString::fromStdString((dir / name).string()));
    };
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    testing::report_reader reports(form);
    select_row(form.StringGridMultisamples, 1);  // MS0002

    drop_on(form, {url("Bass 036.wav"), url("Bass 048.WAV")}, 0);
    QCOMPARE(answers.boxes, QStringList({"[Info] Added 2 from 2 files."}));
    QCOMPARE(slot_text(form, 36), QString::fromStdString((dir / "Bass 036.wav").string()));
    QCOMPARE(slot_text(form, 48), QString::fromStdString((dir / "Bass 048.WAV").string()));

    drop_on(form, {url("Bass 036.wav")}, 70);  // one file: the row it was dropped on
    QCOMPARE(slot_text(form, 70), QString::fromStdString((dir / "Bass 036.wav").string()));
    QCOMPARE(answers.boxes.size(), 1);

    const qbank::bank& b = form.main_bank();
    std::vector<qbank::path_id> before(b.files(2).begin(), b.files(2).end());
    const QString refused =
        QStringLiteral("[Info] Only WAV files (*.wav) can be dropped on the file slots.");
    drop_on(form, {url("Bass 036.wav"), url("notes.txt")}, 5);
    QCOMPARE(answers.boxes.last(), refused);
    drop_on(form, {}, 5, QStringLiteral("some text"));
    QCOMPARE(answers.boxes.last(), refused);
    drop_on(form, {QUrl(QStringLiteral("https://example.org/a.wav"))}, 5);
    QCOMPARE(answers.boxes.last(), refused);
    QCOMPARE(answers.boxes.size(), 4);
    QVERIFY(std::equal(before.begin(), before.end(), b.files(2).begin()));
  }

  void replace_text_in_file_paths() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    qbank::bank& b = form.main_bank();
    b.set_file(1, 0, "D:\\Lib\\a.wav");
    b.set_file(2, 0, "D:\\Lib\\b.wav");
    b.set_file(3, 0, "E:\\Samples\\a.wav");
    form.action(QStringLiteral("Extract library common path"))->trigger();
    QCOMPARE(form.LabelLibraryCommonPath->text(), QStringLiteral("Library Common Path: "));
    b.set_file(3, 0, "- - -");
    form.action(QStringLiteral("Extract library common path"))->trigger();
    QCOMPARE(form.LabelLibraryCommonPath->text(), QStringLiteral("Library Common Path: D:\\Lib\\"));

    // Cancelled (two empty texts), then confirmed with the new text emptied: nothing changes.
    QAction* replace = form.action(QStringLiteral("Replace text in file path..."));
    replace->trigger();
    QCOMPARE(answers.replace_offers.last(), QStringList({"D:\\Lib\\", "D:\\Lib\\"}));
    answers.replacements.push_back({QStringLiteral("D:\\Lib\\"), QString()});
    replace->trigger();
    QCOMPARE(b.file(1, 0), "D:\\Lib\\a.wav");

    answers.replacements.push_back(
        {QStringLiteral("D:\\Lib\\"), QStringLiteral("E:\\Bibliothèque\\")});
    replace->trigger();
    QCOMPARE(b.file(1, 0), "E:\\Biblioth\xE8que\\a.wav");
    QCOMPARE(form.LabelLibraryCommonPath->text(),
             QStringLiteral("Library Common Path: E:\\Bibliothèque\\"));
    QVERIFY(answers.boxes.isEmpty());
  }

  void replace_dialog() {
    int chooser_calls = 0;
    // The folder dialog gives folders as the system writes them.
    const QString folder = QDir::toNativeSeparators(QStringLiteral("/mnt/lib"));
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    std::optional<QString> chosen = folder;
    TMyReplaceStringForm form(QStringLiteral("D:\\Lib\\"), QStringLiteral("D:\\Lib\\"), [&] {
      ++chooser_calls;
      return chosen;
    });
    QCOMPARE(form.windowTitle(), QStringLiteral("Replace strings in library path..."));
    QCOMPARE(form.EditOld->text(), QStringLiteral("D:\\Lib\\"));
    QCOMPARE(form.EditNew->text(), QStringLiteral("D:\\Lib\\"));
    QTest::mouseClick(form.ButtonBrowse, Qt::LeftButton);
    QCOMPARE(form.EditNew->text(), folder + QDir::separator());
    chosen = root;  // a root keeps one separator
    QTest::mouseClick(form.ButtonBrowse, Qt::LeftButton);
    QCOMPARE(form.EditNew->text(), root);
    chosen.reset();  // cancelled: the field stays
    QTest::mouseClick(form.ButtonBrowse, Qt::LeftButton);
    QCOMPARE(form.EditNew->text(), root);
    QCOMPARE(chooser_calls, 3);
    QCOMPARE(form.ButtonReplace->text(), QStringLiteral("Replace Old string with NEW string..."));
    QTest::mouseClick(form.ButtonReplace, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.old_text(), QStringLiteral("D:\\Lib\\"));
    QCOMPARE(form.new_text(), root);

    TMyReplaceStringForm cancelled(QStringLiteral("a"), QStringLiteral("b"), {});
    QTest::mouseClick(cancelled.ButtonCancel, Qt::LeftButton);
    QCOMPARE(cancelled.old_text(), QString());
    QCOMPARE(cancelled.new_text(), QString());
  }

  void folder_dialog() {
    qbank::testing::temp_dir dir;
    fs::create_directories(dir / "Piano" / "Soft");
    TSellectDyrectoryForm form(QStringLiteral("Choice new library path..."), QStringLiteral("OK"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Choice new library path..."));
    QCOMPARE(form.ButtonOK->text(), QStringLiteral("OK"));
    QCOMPARE(form.ButtonCancel->text(), QStringLiteral("Cancel"));
    // The system's own drive (its root, "/" or "C:/") is listed.
    QVERIFY(form.DriveComboBox->findData(QDir::rootPath()) >= 0);
    const QString folder = QString::fromStdString((dir / "Piano" / "Soft").string());
    form.select_folder(folder);
    QCOMPARE(form.selected_folder(), folder);
    QCOMPARE(form.LabelPath->text(), folder);
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    form.select_folder(QDir::rootPath());
    QCOMPARE(form.selected_folder(), root);
    QCOMPARE(form.LabelPath->text(), root);
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
  }

  void slot_grid_is_painted_as_the_instrument_shows_it() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.main_bank().set_file(1, 61, "D:\\Lib\\C#5.wav");
    form.refresh();
    form.show();
    QTableView* grid = form.StringGridFiles;
    form.PageControl1->setCurrentIndex(1);
    grid->scrollTo(grid->model()->index(61, 0), QAbstractItemView::PositionAtTop);
    select_slots(form, 62, 62);
    const QImage shot = grid->viewport()->grab().toImage();
    const auto pixel = [&](int row, int column, int dx, int dy) {
      const QRect r = grid->visualRect(grid->model()->index(row, column));
      return shot.pixelColor(r.left() + dx, r.top() + dy);
    };
    QCOMPARE(pixel(61, 2, 1, 1), file_slot_delegate::path_colour());
    QCOMPARE(pixel(62, 2, 1, 1), file_slot_delegate::selected_colour());
    QCOMPARE(pixel(61, 1, 2, 9), QColor(20, 20, 20));  // C#: a black key
    QCOMPARE(pixel(62, 1, 2, 9), QColor(Qt::white));   // D: a white key
  }
};

QTEST_MAIN(multisample_tab_test)
#include "multisample_tab_test.moc"
