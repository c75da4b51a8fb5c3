// The main window as a desktop window: it grows with the screen from its smallest size, and at
// every size each caption, title, header and list entry has the room its text needs.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <algorithm>

#include "app/main_form.h"
#include "edit/zone_list_box.h"
#include "gui_test_support.h"

using namespace qbank::gui;

namespace {

// The width of the widest line of `text` in `font`.
int text_width(const QFont& font, const QString& text) {
  const QFontMetrics metrics(font);
  int widest = 0;
  for (const QString& line : text.split(QLatin1Char('\n')))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  return widest;
}

// The room a button's style gives its caption.
int caption_room(QAbstractButton* button) {
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  QStyle::SubElement element = QStyle::SE_PushButtonContents;
  if (qobject_cast<QCheckBox*>(button)) element = QStyle::SE_CheckBoxContents;
  if (qobject_cast<QRadioButton*>(button)) element = QStyle::SE_RadioButtonContents;
  return button->style()->subElementRect(element, &option, button).width();
}

// "what 'text': room < needed" for every visible text under `root` that has less room than
// its text needs.
QStringList cut_texts(QWidget* root) {
  QStringList cut;
  auto check = [&cut](QWidget* w, const QString& text, int room) {
    const int needed = text_width(w->font(), text);
    if (room < needed)
      cut << QStringLiteral("%1 '%2': %3 < %4")
                 .arg(QString::fromLatin1(w->metaObject()->className()), text)
                 .arg(room)
                 .arg(needed);
  };
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (!w->isVisible()) continue;
    if (auto* label = qobject_cast<QLabel*>(w)) {
      if (!label->wordWrap() && !label->text().isEmpty())
        check(label, label->text(),
              label->contentsRect().width() - 2 * label->margin() - std::max(label->indent(), 0));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      if (qobject_cast<QPushButton*>(w) || qobject_cast<QCheckBox*>(w) ||
          qobject_cast<QRadioButton*>(w))
        check(button, button->text(), caption_room(button));
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
      // The title sits inside the frame, indented from its left edge.
      check(box, box->title(), box->width() - 16);
    } else if (auto* grid = qobject_cast<QTableView*>(w)) {
      QHeaderView* header = grid->horizontalHeader();
      if (header->isHidden()) continue;
      const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
      // A section counts as far as the grid shows it without scrolling.
      for (int section = 0; section < header->count(); ++section)
        check(header, grid->model()->headerData(section, Qt::Horizontal).toString(),
              std::min(header->sectionSize(section),
                       header->width() - header->sectionPosition(section)) -
                  margin);
    } else if (auto* list = qobject_cast<QComboBox*>(w)) {
      if (qobject_cast<zone_list_box*>(w)) continue;  // their own test measures them
      QStyleOptionComboBox option;
      option.initFrom(list);
      option.editable = list->isEditable();
      const int room =
          list->style()
              ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
              .width();
      QString longest;
      for (int i = 0; i < list->count(); ++i)
        if (text_width(list->font(), list->itemText(i)) > text_width(list->font(), longest))
          longest = list->itemText(i);
      check(list, longest, room);
    }
  }
  return cut;
}

}  // namespace

class window_layout_test : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void window_grows_from_its_smallest_size() {
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.show();
    QVERIFY(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    form.resize(form.minimumSize());
    QApplication::processEvents();
    QCOMPARE(form.centralWidget()->size(), minimum_client_size);
    // Larger, the grids, the slot list and the waveform take the room.
    const QSize before_grid = form.StringGridBlends->size();
    form.PageControl1->setCurrentIndex(1);
    QApplication::processEvents();
    const QSize before_slots = form.StringGridFiles->size();
    const int before_plot = form.findChild<QWidget*>(QStringLiteral("PaintBoxPlot"))->width();
    form.resize(1600, 1000);
    QApplication::processEvents();
    QVERIFY(form.StringGridFiles->height() > before_slots.height());
    QVERIFY(form.findChild<QWidget*>(QStringLiteral("PaintBoxPlot"))->width() > before_plot);
    form.PageControl1->setCurrentIndex(0);
    QApplication::processEvents();
    QVERIFY(form.StringGridBlends->height() > before_grid.height());
  }

  void no_text_is_cut_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("918 x 657, the smallest") << QSize();
    QTest::newRow("1280 x 800") << QSize(1280, 800);
    QTest::newRow("1920 x 1080") << QSize(1920, 1080);
  }
  void no_text_is_cut() {
    QFETCH(QSize, size);
    testing::scripted_dialogs answers;
    TForm1 form(&answers);
    form.show();
    form.resize(size.isValid() ? size : form.minimumSize());
    QStringList cut;
    for (int tab = 0; tab < form.PageControl1->count(); ++tab) {
      form.PageControl1->setCurrentIndex(tab);
      QApplication::processEvents();
      QWidget* page = form.PageControl1->widget(tab);
      const QList<QTabWidget*> inner = page->findChildren<QTabWidget*>();
      if (inner.isEmpty()) cut << cut_texts(page);
      for (QTabWidget* sub : inner)
        for (int i = 0; i < sub->count(); ++i) {
          sub->setCurrentIndex(i);
          QApplication::processEvents();
          for (const QString& line : cut_texts(page))
            if (!cut.contains(line)) cut << line;
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
  }
};

QTEST_MAIN(window_layout_test)
#include "window_layout_test.moc"
