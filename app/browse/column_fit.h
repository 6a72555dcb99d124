#pragma once
// How wide a list's columns are. Every column has a least width: its
// designed width, its heading, for a number or a date the widest text its
// picture shows (so no number of it is cut), and for a text twelve capitals or
// its whole picture when shorter (a code, a unit, a priority read whole
// whatever the column was designed as). Columns then grow to show whole
// what their rows hold (a number wider than its picture first, then the
// texts; the smallest needs first) as far as the list's visible width
// allows; the last column takes what is left, to the list's right edge.
// A column the user has sized keeps the user's width. The columns are laid
// out again whenever the rows or the list's width change.
#include <vector>

#include <QObject>

#include "app/list/list_format.h"

class QTableWidget;

namespace tv::app {

class ColumnFit : public QObject {
public:
    // `designed`: each column's designed width in pixels; `indent`: pixels
    // each column's text stands in from its side.
    ColumnFit(QTableWidget& table, const list::ListFormat& format, const std::vector<int>& designed,
              const std::vector<int>& indent);
    // Lays the columns out for the rows the list shows now.
    void fit();
    int leastWidth(int column) const { return least_[static_cast<std::size_t>(column)]; }

    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QTableWidget& table_;
    std::vector<int> least_;
    std::vector<bool> text_;       // a text column (else a number or a date)
    std::vector<bool> userSized_;  // sized by the user: kept as it is
    bool fitting_ = false;
};

}  // namespace tv::app
