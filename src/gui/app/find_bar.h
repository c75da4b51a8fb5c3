// The find line above a name grid: typing selects every row whose number or name matches and
// makes the first one current; Enter or F3 goes on to the next match, Escape closes the line.
// The grid keeps its rows and their numbers (nothing is filtered out), so every command that
// reads the current or selected rows sees the bank's own order.
#pragma once

#include <QWidget>
#include <vector>

class QLabel;
class QLineEdit;
class QTableView;

namespace qbank::gui {

// Whether grid row text `number` (the first column, "0012" or "MS0012") or `name` matches
// `query`: the name holds the query as a substring, letter case aside, or the query is a number
// equal to the row's number. An empty query matches nothing.
bool find_matches(const QString& query, const QString& number, const QString& name);

class find_bar : public QWidget {
  Q_OBJECT

 public:
  // Puts the line above `grid` in the grid's own layout; it stays hidden until open().
  explicit find_bar(QTableView* grid);

  // Shows the line with its text selected and gives it the focus; a text left from before is
  // searched again.
  void open();
  // Makes the match after the current row current (the first again after the last).
  void next_match();
  // Hides the line and gives the focus back to the grid.
  void close_bar();

  QLineEdit* line() const { return line_; }
  // The matching rows, in order.
  const std::vector<int>& matches() const { return matches_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void find(const QString& query);
  void show_count();

  QTableView* grid_;
  QLineEdit* line_;
  QLabel* count_;
  std::vector<int> matches_;
};

}  // namespace qbank::gui
