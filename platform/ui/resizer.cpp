#include "platform/ui/resizer.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <QIcon>

#include "platform/images/program_pictures.h"

#include "platform/ui/window.h"

namespace tv::ui {

WindowResizer::WindowResizer(Window& w) : window_(w) {}

void WindowResizer::setUp() {
    smallest_ = window_.designedSize();
    window_.setMinimumSize(smallest_);
    designed_.clear();
    // Tab pages follow their sheet by themselves.
    for (Control* c : window_.controls())
        if (c->widget() != nullptr && c->kind() != ControlKind::Tab)
            designed_[c->number()] = c->widget()->geometry();
}

namespace {

bool grows(const Control& c) {
    return c.kind() == ControlKind::List || c.kind() == ControlKind::Sheet || c.kind() == ControlKind::MultiLineText;
}

bool overlap(int a0, int a1, int b0, int b1) { return a0 <= b1 && b0 <= a1; }

// Where a control goes on one axis: the growing controls in line with it on
// that axis (lists one above the other, a list beside a button column)
// share the growth between them; a control after m of n of them moves by
// m/n of it, and a growing one takes its own 1/n.
struct Share {
    int move = 0, grow = 0;
    bool inLine = false;  // some growing control is in line with it
};

Share share(int growth, int before, int inLine, bool growing) {
    Share s;
    s.inLine = inLine > 0;
    if (inLine == 0) return s;
    s.move = growth * before / inLine;
    if (growing) s.grow = growth * (before + 1) / inLine - s.move;
    return s;
}

}  // namespace

void WindowResizer::layOut(int parent, int dw, int dh, QSize designed) {
    std::vector<std::pair<Control*, QRect>> items;
    for (auto& [number, r] : designed_) {
        Control* c = window_.control(number);
        if (c != nullptr && c->widget() != nullptr && c->parent() == parent) items.emplace_back(c, r);
    }
    // The lowest edge of the growing controls: what stands below all of
    // them (the buttons under a list) follows the bottom edge.
    int growingBottom = -1;
    for (const auto& [c, r] : items)
        if (grows(*c)) growingBottom = std::max(growingBottom, r.bottom());
    for (const auto& [c, r] : items) {
        const bool growing = grows(*c);
        int above = 0, columnCount = growing ? 1 : 0, left = 0, rowCount = growing ? 1 : 0;
        for (const auto& [o, q] : items) {
            if (o == c || !grows(*o)) continue;
            // Above or below it, in its column.
            if (overlap(r.left(), r.right(), q.left(), q.right()) && (q.bottom() < r.top() || q.top() > r.bottom())) {
                ++columnCount;
                if (q.bottom() < r.top()) ++above;
            }
            // Left or right of it, in its row.
            if (overlap(r.top(), r.bottom(), q.top(), q.bottom()) && (q.right() < r.left() || q.left() > r.right())) {
                ++rowCount;
                if (q.right() < r.left()) ++left;
            }
        }
        Share v = share(dh, above, columnCount, growing);
        if (!v.inLine && growingBottom >= 0 && r.top() > growingBottom) v.move = dh;
        Share h = share(dw, left, rowCount, growing);
        // Nothing growing beside it: the button column in the right-hand
        // third follows the edge.
        if (!h.inLine && r.left() > designed.width() * 2 / 3) h.move = dw;
        QRect g = r.translated(h.move, v.move);
        g.setSize(r.size() + QSize(h.grow, v.grow));
        if (c->widget()->geometry() != g) c->widget()->setGeometry(g);
        if (c->kind() == ControlKind::Sheet)
            for (Control* tab : window_.controls())
                if (tab->kind() == ControlKind::Tab && tab->parent() == c->number())
                    layOut(tab->number(), h.grow, v.grow, r.size());
    }
}

void WindowResizer::apply() {
    if (window_.widget() == nullptr || designed_.empty()) return;
    const QSize now = window_.widget()->size();
    layOut(0, std::max(0, now.width() - smallest_.width()), std::max(0, now.height() - smallest_.height()), smallest_);
}

QIcon programIcon(const char* name) { return tv::programIcon(name); }
QPixmap programPicture(const char* name) { return tv::programPicture(name); }

}  // namespace tv::ui
