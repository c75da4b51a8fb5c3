// The Help menu: the shortcut list made from the menu items, the user guide from the README
// built into the program, and the About box.
#include <QAction>
#include <QDialog>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>
#include <set>

#include "app/help_windows.h"
#include "app/main_form.h"
#include "audio/conform_codec.h"
#include "gui_test_support.h"

using namespace qbank::gui;

namespace {

QDialog* open_help(TForm1& form, const char* item, const char* window) {
  form.action(QString::fromLatin1(item))->trigger();
  return form.findChild<QDialog*>(QString::fromLatin1(window));
}

QString shown_text(QDialog* window) {
  return window->findChild<QTextBrowser*>(QStringLiteral("HelpText"))->toPlainText();
}

}  // namespace

class window_help_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Every item with a shortcut is listed with its keys, so the list cannot go stale.
  void keyboard_shortcuts_list_every_shortcut() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QDialog* window = open_help(form, "Keyboard Shortcuts", "HelpShortcuts");
    QVERIFY(window && window->isVisible());
    auto* list = window->findChild<QTreeWidget*>(QStringLiteral("ShortcutList"));
    std::set<QString> listed;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
      listed.insert(list->topLevelItem(row)->text(0));
    std::set<QString> expected;
    for (const QAction* item : form.findChildren<QAction*>())
      if (!item->shortcuts().isEmpty() && !item->isSeparator()) {
        QStringList keys;
        for (const QKeySequence& k : item->shortcuts())
          keys << k.toString(QKeySequence::NativeText);
        expected.insert(keys.join(QStringLiteral(", ")));
      }
    QCOMPARE(listed, expected);
    const std::vector<shortcut_entry> entries = menu_shortcuts(&form);
    const QStringList wanted = {
        "Ctrl+O = File > Open Sampler Script File (Version 6 / 9999 programs / 10000 "
        "multisamples)...",
        "Ctrl+S = File > Save", "F2 = Edit > Rename",
        "Del = WAV audio files (pop-up menu) > Remove sellected file/s"};
    QStringList rows;
    for (const shortcut_entry& e : entries) rows << e.keys + QStringLiteral(" = ") + e.command;
    for (const QString& row : wanted) QVERIFY2(rows.contains(row), qPrintable(rows.join('\n')));
    // A second call brings the open window forward.
    QCOMPARE(open_help(form, "Keyboard Shortcuts", "HelpShortcuts"), window);
    QCOMPARE(form.findChildren<QDialog*>(QStringLiteral("HelpShortcuts")).size(), 1);
  }

  void user_guide_shows_the_readme_for_users() {
    QCOMPARE(user_guide_markdown(QStringLiteral("# qbank\nsetup\n## What it is\nA bank.\n"
                                                "### Detail\nmore\n## Building by hand\ncmake\n"
                                                "## The command line\n    qbank --help\n")),
             QStringLiteral("## What it is\nA bank.\n### Detail\nmore\n"
                            "## The command line\n    qbank --help\n"));
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QDialog* window = open_help(form, "User Guide", "HelpUserGuide");
    QVERIFY(window);
    const QString text = shown_text(window);
    for (const char* heading :
         {"What it is", "The window", "The player", "The command line", "\"Undo <what>\""})
      QVERIFY2(text.contains(QString::fromLatin1(heading)), heading);
    for (const char* developer : {"tools/run-tests.sh", "Building by hand", "Sanitizers"})
      QVERIFY2(!text.contains(QString::fromLatin1(developer)), developer);
    // The pictures come with it.
    auto* browser = window->findChild<QTextBrowser*>(QStringLiteral("HelpText"));
    const QVariant picture = browser->loadResource(
        QTextDocument::ImageResource, QUrl(QStringLiteral("docs/screenshots/tab_1_program.png")));
    QVERIFY(!picture.isNull());
  }

  void about_names_version_licence_and_libraries() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    QDialog* window = open_help(form, "About", "HelpAbout");
    QVERIFY(window);
    const QString text = shown_text(window);
    QVERIFY2(text.contains(QStringLiteral("Version 3.54")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("GPL-3.0-or-later")));
    QVERIFY(text.contains(QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion()))));
    if (qbank::conform_available()) {
      const qbank::codec_versions versions = qbank::conform_codec_versions();
      QVERIFY(!versions.sndfile.empty());
      QVERIFY(text.contains(QString::fromStdString(versions.sndfile)));
      QVERIFY(text.contains(QStringLiteral("soxr")));
    } else {
      QVERIFY(text.contains(QStringLiteral("not loaded")));
    }
  }
};

QTEST_MAIN(window_help_test)
#include "window_help_test.moc"
