#pragma once
// What a list's columns need to show whole: a heading, a cell's text, and
// the faults a user would see (a column past the list's visible width, a
// heading or a cell cut short).
#include <vector>

#include <QString>

class QTableView;

namespace tv::ui {

// Every text column of a list shows at least this many characters whole
// (a code, a unit's name); a longer text may be cut when the list lacks room.
inline constexpr int kTextShownWhole = 12;

// Pixels the heading of `column` needs (its widest line, the header's margins).
int headingNeed(const QTableView& t, int column);
// Pixels of height the heading of `column` needs: every line of it (a
// group's heading over the column's own), the header's margins.
int headingHeightNeed(const QTableView& t, int column);
// Pixels a cell needs to show `text` whole, as the list's cells are drawn.
int textNeed(const QTableView& t, const QString& text);
// Pixels the cell at `row`, `column` needs, through the list's own drawing
// (a column's indent included); 0 for an empty cell.
int cellNeed(const QTableView& t, int row, int column);

// The columns of `t` that do not show whole at its present size, each as
// a sentence naming the column ("Importe" shows 17 of its 119 pixels, ...):
// past the list's visible width, its heading cut (too narrow, or too low
// for every line of it: a group's heading over the column's own), or a
// text of its rows of at most kTextShownWhole characters cut.
std::vector<QString> columnFaults(const QTableView& t);

}  // namespace tv::ui
