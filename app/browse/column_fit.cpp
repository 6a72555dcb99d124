#include "app/browse/column_fit.h"

#include <algorithm>

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>

namespace tv::app {
namespace {

// Text columns no wider than this many characters hold codes and short
// values, read whole; longer ones (descriptions, names) are cut as designed.
constexpr int kShortText = 20;

// What the view leaves around a cell's text, on both sides together.
int cellMargins(const QTableWidget& t) {
    return 2 * (t.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &t) + 1) + 2;
}

bool isShortText(const list::ListColumn& c) {
    return c.picture && c.picture->kind() == Picture::Kind::Text && c.picture->width() <= kShortText;
}

}  // namespace

int openingWidth(const QTableWidget& table, const list::ListColumn& col, int designed) {
    const QFontMetrics fm(table.font());
    const QFontMetrics hm(table.horizontalHeader()->font());
    int need = hm.horizontalAdvance(QString::fromStdString(col.header)) + 16;
    if (col.picture && (col.picture->kind() == Picture::Kind::Number || col.picture->kind() == Picture::Kind::Date))
        need = std::max(need, fm.horizontalAdvance(QString(col.picture->width(), QLatin1Char('9'))) + 12);
    return std::max({designed, need, 8});
}

void fitShortTextColumns(QTableWidget& table, const list::ListFormat& format, int pixelsPerIndent) {
    const auto& cols = format.columns();
    const QFontMetrics fm(table.font());
    const int margins = cellMargins(table);
    for (std::size_t c = 0; c < cols.size() && static_cast<int>(c) < table.columnCount(); ++c) {
        if (!isShortText(cols[c])) continue;
        int need = 0;
        for (int r = 0; r < table.rowCount(); ++r)
            if (const QTableWidgetItem* item = table.item(r, static_cast<int>(c)))
                need = std::max(need, fm.horizontalAdvance(item->text()));
        if (need == 0) continue;
        need += margins + cols[c].indent * pixelsPerIndent;
        if (need > table.columnWidth(static_cast<int>(c))) table.setColumnWidth(static_cast<int>(c), need);
    }
}

}  // namespace tv::app
