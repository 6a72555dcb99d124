#include "platform/ui/list_columns.h"

#include <algorithm>

#include <QAbstractItemDelegate>
#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>
#include <QTableView>

namespace tv::ui {
namespace {

QStyleOptionViewItem itemOption(const QTableView& t) {
    QStyleOptionViewItem o;
    o.initFrom(t.viewport());
    o.widget = &t;
    o.font = t.font();
    o.fontMetrics = QFontMetrics(o.font);
    o.rect = QRect(0, 0, 100, t.verticalHeader()->defaultSectionSize());
    return o;
}

QString headingOf(const QTableView& t, int column) {
    return t.model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

// The heading as a user reads it: its group's line over its own.
QString shownHeading(const QTableView& t, int column) {
    return headingOf(t, column).replace(QLatin1Char('\n'), QStringLiteral(" / ")).trimmed();
}


QSize headingSize(const QTableView& t, int column) {
    const QHeaderView* h = t.horizontalHeader();
    const QString text = headingOf(t, column);
    if (text.trimmed().isEmpty()) return {};
    QStyleOptionHeader o;
    o.initFrom(h);
    o.orientation = Qt::Horizontal;
    o.section = column;
    o.text = text;
    o.fontMetrics = h->fontMetrics();
    return h->style()->sizeFromContents(QStyle::CT_HeaderSection, &o, QSize(), h);
}

}  // namespace

int headingNeed(const QTableView& t, int column) { return headingSize(t, column).width(); }

int headingHeightNeed(const QTableView& t, int column) { return headingSize(t, column).height(); }

int textNeed(const QTableView& t, const QString& text) {
    QStyleOptionViewItem o = itemOption(t);
    o.features |= QStyleOptionViewItem::HasDisplay;
    o.text = text;
    return t.style()->sizeFromContents(QStyle::CT_ItemViewItem, &o, QSize(), &t).width();
}

int cellNeed(const QTableView& t, int row, int column) {
    const QModelIndex i = t.model()->index(row, column);
    if (t.model()->data(i, Qt::DisplayRole).toString().isEmpty()) return 0;
    const QAbstractItemDelegate* d = t.itemDelegateForIndex(i);
    return d != nullptr ? d->sizeHint(itemOption(t), i).width() : 0;
}

std::vector<QString> columnFaults(const QTableView& t) {
    std::vector<QString> faults;
    const QHeaderView* h = t.horizontalHeader();
    const int visible = t.viewport()->width();
    const int rows = t.model()->rowCount();
    for (int c = 0; c < t.model()->columnCount(); ++c) {
        if (h->isSectionHidden(c)) continue;
        const QString name = QStringLiteral("column \"") + shownHeading(t, c) + QStringLiteral("\"");
        const int x = h->sectionViewportPosition(c);
        const int w = h->sectionSize(c);
        const int shown = std::clamp(std::min(x + w, visible) - std::max(x, 0), 0, w);
        if (shown < w) {
            faults.push_back(name + QStringLiteral(" shows %1 of its %2 pixels").arg(shown).arg(w));
            continue;
        }
        if (h->isVisible()) {
            if (const int need = headingNeed(t, c); need > w)
                faults.push_back(name + QStringLiteral(": its heading needs %1 pixels and has %2").arg(need).arg(w));
            if (const int need = headingHeightNeed(t, c); need > h->height())
                faults.push_back(name + QStringLiteral(": its heading needs %1 pixels of height and has %2")
                                            .arg(need)
                                            .arg(h->height()));
        }
        for (int r = 0; r < rows; ++r) {
            const QString text = t.model()->data(t.model()->index(r, c), Qt::DisplayRole).toString();
            if (text.trimmed().size() > kTextShownWhole) continue;
            if (const int need = cellNeed(t, r, c); need > w) {
                faults.push_back(name + QStringLiteral(": \"") + text +
                                 QStringLiteral("\" needs %1 pixels and has %2").arg(need).arg(w));
                break;
            }
        }
    }
    return faults;
}

}  // namespace tv::ui
