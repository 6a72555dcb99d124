#include "platform/ui/resizer.h"

#include <algorithm>
#include <map>
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

bool growsItself(ControlKind k) { return k == ControlKind::List || k == ControlKind::MultiLineText; }

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

// Controls side by side with small gaps between them stand together (a
// prompt, its entry and its calendar button; "Aceptar" and "Cancelar"):
// with nothing growing beside them, a row of them follows the right edge
// when it starts in the right half and reaches the right-hand third (a
// button column, the closing buttons), and stays whole where it is
// otherwise. `rects` are the designed places; `free` marks the controls with
// nothing growing beside them.
std::vector<bool> followRightEdge(const std::vector<QRect>& rects, const std::vector<bool>& free, int width) {
    constexpr int kTogether = 12;  // pixels between controls that stand together
    const std::size_t n = rects.size();
    std::vector<std::size_t> group(n);
    for (std::size_t i = 0; i < n; ++i) group[i] = i;
    auto root = [&](std::size_t i) {
        while (group[i] != i) i = group[i] = group[group[i]];
        return i;
    };
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n && free[i]; ++j) {
            if (!free[j]) continue;
            const QRect& a = rects[i];
            const QRect& b = rects[j];
            if (!overlap(a.top(), a.bottom(), b.top(), b.bottom())) continue;
            const int gap = a.left() > b.right() ? a.left() - b.right() - 1 : b.left() - a.right() - 1;
            if (gap <= kTogether) group[root(i)] = root(j);
        }
    std::map<std::size_t, std::pair<int, int>> span;  // group: leftmost left, rightmost left
    for (std::size_t i = 0; i < n; ++i) {
        if (!free[i]) continue;
        const int l = rects[i].left();
        auto [it, fresh] = span.try_emplace(root(i), l, l);
        if (!fresh) {
            it->second.first = std::min(it->second.first, l);
            it->second.second = std::max(it->second.second, l);
        }
    }
    std::vector<bool> follows(n, false);
    for (std::size_t i = 0; i < n; ++i) {
        if (!free[i]) continue;
        const auto& [leftmost, rightmost] = span[root(i)];
        follows[i] = leftmost > width / 2 && rightmost > width * 2 / 3;
    }
    return follows;
}

}  // namespace

bool WindowResizer::holdsGrowing(int sheet) const {
    for (const Control* o : window_.controls()) {
        if (!growsItself(o->kind())) continue;
        for (int p = o->parent(); p != 0;) {
            if (p == sheet) return true;
            const Control* up = window_.control(p);
            p = up != nullptr ? up->parent() : 0;
        }
    }
    return false;
}

void WindowResizer::layOut(int parent, int dw, int dh, QSize designed) {
    std::vector<std::pair<Control*, QRect>> items;
    for (auto& [number, r] : designed_) {
        Control* c = window_.control(number);
        if (c != nullptr && c->widget() != nullptr && c->parent() == parent) items.emplace_back(c, r);
    }
    // What grows taller: lists and text boxes, and a sheet that holds one or
    // that one stands on (a list window's sheet of orders); a sheet of
    // entries only keeps its height. Every list, box and sheet grows wider.
    std::map<const Control*, bool> tall;
    for (const auto& [c, r] : items) {
        bool t = growsItself(c->kind());
        if (c->kind() == ControlKind::Sheet) {
            t = holdsGrowing(c->number());
            for (const auto& [o, q] : items)
                if (growsItself(o->kind()) && q.intersects(r)) t = true;
        }
        tall[c] = t;
    }
    auto grows = [&](const Control& c) { return tall[&c]; };
    auto wide = [](const Control& c) { return growsItself(c.kind()) || c.kind() == ControlKind::Sheet; };
    // The lowest edge of the growing controls: what stands below all of
    // them (the buttons under a list) follows the bottom edge.
    int growingBottom = -1;
    for (const auto& [c, r] : items)
        if (grows(*c)) growingBottom = std::max(growingBottom, r.bottom());
    // Each control's place on both axes; then the rows with nothing growing
    // beside them that follow the right edge.
    std::vector<Share> vs, hs;
    std::vector<QRect> rects;
    std::vector<bool> free;
    for (const auto& [c, r] : items) {
        const bool growing = grows(*c), widening = wide(*c);
        int above = 0, columnCount = growing ? 1 : 0, left = 0, rowCount = widening ? 1 : 0;
        for (const auto& [o, q] : items) {
            if (o == c) continue;
            // Above or below it, in its column.
            if (grows(*o) && overlap(r.left(), r.right(), q.left(), q.right()) &&
                (q.bottom() < r.top() || q.top() > r.bottom())) {
                ++columnCount;
                if (q.bottom() < r.top()) ++above;
            }
            // Left or right of it, in its row.
            if (wide(*o) && overlap(r.top(), r.bottom(), q.top(), q.bottom()) &&
                (q.right() < r.left() || q.left() > r.right())) {
                ++rowCount;
                if (q.right() < r.left()) ++left;
            }
        }
        Share v = share(dh, above, columnCount, growing);
        if (!v.inLine && growingBottom >= 0 && r.top() > growingBottom) v.move = dh;
        vs.push_back(v);
        hs.push_back(share(dw, left, rowCount, widening));
        rects.push_back(r);
        free.push_back(!hs.back().inLine);
    }
    const std::vector<bool> followsEdge = followRightEdge(rects, free, designed.width());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto& [c, r] = items[i];
        const Share& v = vs[i];
        Share h = hs[i];
        if (followsEdge[i]) h.move = dw;
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
