#include "app/browse/column_fit.h"

#include <algorithm>
#include <numeric>
#include <string>

#include <QEvent>
#include <QHeaderView>
#include <QTableWidget>

#include "platform/types/date.h"
#include "platform/types/decimal.h"
#include "platform/types/text.h"
#include "platform/ui/list_columns.h"

namespace tv::app {
namespace {

// The widest text a number or date picture shows: for a number, the most
// nines (and a minus sign when the picture shows one) that fit its width.
QString widestPictureText(const Picture& p) {
    if (p.kind() == Picture::Kind::Date) return QString::fromStdString(p.format(Value(static_cast<long long>(dateFromYmd(2088, 8, 28)))));
    std::string widest;
    for (int digits = 1; digits <= std::max(p.width(), 1); ++digits) {
        std::string t = (p.showsSign() ? "-" : "") + std::string(static_cast<std::size_t>(digits), '9');
        if (p.places() > 0) t += "." + std::string(static_cast<std::size_t>(p.places()), '9');
        const auto d = Decimal::parse(t);
        if (!d) break;
        const std::string shown(trim(p.format(Value(*d))));
        if (static_cast<int>(shown.size()) > p.width() && !widest.empty()) break;
        widest = shown;
    }
    return QString::fromStdString(widest);
}

}  // namespace

ColumnFit::ColumnFit(QTableWidget& table, const list::ListFormat& format, const std::vector<int>& designed,
                     const std::vector<int>& indent)
    : QObject(&table), table_(table) {
    const auto& cols = format.columns();
    for (std::size_t c = 0; c < cols.size(); ++c) {
        const int column = static_cast<int>(c);
        int least = std::max({designed[c], ui::headingNeed(table, column), 8});
        const auto& p = cols[c].picture;
        if (p && (p->kind() == Picture::Kind::Number || p->kind() == Picture::Kind::Date))
            least = std::max(least, ui::textNeed(table, widestPictureText(*p)) + indent[c]);
        else if (p && p->kind() == Picture::Kind::Text)
            least = std::max(least, ui::textNeed(table, QString(std::min(p->width(), ui::kTextShownWhole), QLatin1Char('N'))) +
                                        indent[c]);
        least_.push_back(least);
        text_.push_back(!p || p->kind() == Picture::Kind::Text);
    }
    userSized_.assign(least_.size(), false);
    QHeaderView* h = table.horizontalHeader();
    // The last column is stretched here, to the width the others leave.
    h->setStretchLastSection(false);
    QObject::connect(h, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (fitting_ || column < 0 || column >= static_cast<int>(least_.size())) return;
        userSized_[static_cast<std::size_t>(column)] = true;
        least_[static_cast<std::size_t>(column)] = width;
    });
    table.viewport()->installEventFilter(this);
}

bool ColumnFit::eventFilter(QObject* o, QEvent* e) {
    if (o == table_.viewport() && e->type() == QEvent::Resize) fit();
    return false;
}

void ColumnFit::fit() {
    const int n = std::min(static_cast<int>(least_.size()), table_.columnCount());
    if (n == 0) return;
    std::vector<int> width(least_.begin(), least_.begin() + n);
    int room = table_.viewport()->width() - std::accumulate(width.begin(), width.end(), 0);
    // What each column lacks to show its rows whole: a number wider than
    // its picture first (a cut number reads wrong), then the texts.
    for (const bool texts : {false, true}) {
        std::vector<std::pair<int, int>> lacks;  // {pixels, column}
        for (int c = 0; c < n; ++c) {
            const auto i = static_cast<std::size_t>(c);
            if (text_[i] != texts || userSized_[i]) continue;
            int need = 0;
            for (int r = 0; r < table_.rowCount(); ++r) need = std::max(need, ui::cellNeed(table_, r, c));
            if (need > width[i]) lacks.push_back({need - width[i], c});
        }
        // The smallest lacks first, each to an even share of what is left.
        std::sort(lacks.begin(), lacks.end());
        for (std::size_t i = 0; i < lacks.size() && room > 0; ++i) {
            const int share = room / static_cast<int>(lacks.size() - i);
            const int grant = std::min(lacks[i].first, std::max(share, 1));
            width[static_cast<std::size_t>(lacks[i].second)] += grant;
            room -= grant;
        }
    }
    if (room > 0) width[static_cast<std::size_t>(n - 1)] += room;
    fitting_ = true;
    QHeaderView* h = table_.horizontalHeader();
    for (int c = 0; c < n; ++c)
        if (h->sectionSize(c) != width[static_cast<std::size_t>(c)]) h->resizeSection(c, width[static_cast<std::size_t>(c)]);
    fitting_ = false;
}

}  // namespace tv::app
