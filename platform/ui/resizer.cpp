#include "platform/ui/resizer.h"

#include <algorithm>
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
    for (Control* c : window_.controls())
        if (c->parent() == 0 && c->widget() != nullptr) designed_[c->number()] = c->widget()->geometry();
}

namespace {

bool growsItself(ControlKind k) { return k == ControlKind::List || k == ControlKind::MultiLineText; }

}  // namespace

void WindowResizer::apply() {
    if (window_.widget() == nullptr || designed_.empty()) return;
    const QSize now = window_.widget()->size();
    const int dw = std::max(0, now.width() - smallest_.width());
    const int dh = std::max(0, now.height() - smallest_.height());

    // What grows: lists and text boxes, and a sheet that holds one or that
    // one stands on (a list window's sheet of orders).
    auto isUnder = [&](const Control& c, int sheet) {
        for (int p = c.parent(); p != 0;) {
            if (p == sheet) return true;
            const Control* up = window_.control(p);
            p = up != nullptr ? up->parent() : 0;
        }
        return false;
    };
    std::map<int, bool> grows;
    for (auto& [number, r] : designed_) {
        const Control* c = window_.control(number);
        if (c == nullptr) continue;
        bool g = growsItself(c->kind());
        if (c->kind() == ControlKind::Sheet) {
            for (const Control* o : window_.controls()) {
                if (!growsItself(o->kind())) continue;
                auto d = designed_.find(o->number());
                if (isUnder(*o, number) || (d != designed_.end() && d->second.intersects(r))) g = true;
            }
        }
        grows[number] = g;
    }
    // The growing controls stand in bands, one above the other; the extra
    // height is shared among the bands, and whatever stands below a band
    // moves down by what the band grew.
    std::vector<std::pair<int, int>> bands;  // top, bottom
    for (auto& [number, r] : designed_) {
        if (!grows[number]) continue;
        std::pair<int, int> b{r.top(), r.bottom()};
        for (auto it = bands.begin(); it != bands.end();) {
            if (it->first <= b.second && b.first <= it->second) {
                b = {std::min(b.first, it->first), std::max(b.second, it->second)};
                it = bands.erase(it);
            } else {
                ++it;
            }
        }
        bands.push_back(b);
    }
    std::sort(bands.begin(), bands.end());
    const int n = static_cast<int>(bands.size());
    auto share = [&](int i) { return n == 0 ? 0 : dh / n + (i == n - 1 ? dh % n : 0); };
    auto above = [&](int y) {
        int off = 0;
        for (int i = 0; i < n; ++i)
            if (bands[static_cast<std::size_t>(i)].second < y) off += share(i);
        return off;
    };
    for (auto& [number, r] : designed_) {
        Control* c = window_.control(number);
        if (c == nullptr || c->widget() == nullptr) continue;
        QRect g = r;
        if (grows[number]) {
            int i = 0;
            while (i < n && !(bands[static_cast<std::size_t>(i)].first <= r.top() &&
                              r.top() <= bands[static_cast<std::size_t>(i)].second))
                ++i;
            g.translate(0, above(r.top()));
            g.setSize(r.size() + QSize(0, i < n ? share(i) : 0));
        } else {
            g.translate(0, above(r.top()));
        }
        if (c->kind() == ControlKind::List || c->kind() == ControlKind::Sheet ||
            c->kind() == ControlKind::MultiLineText)
            g.setWidth(g.width() + dw);
        // Controls in the right-hand third (the button column) follow the edge.
        else if (r.left() > smallest_.width() * 2 / 3)
            g.translate(dw, 0);
        if (c->widget()->geometry() != g) c->widget()->setGeometry(g);
    }
}

QIcon programIcon(const char* name) { return tv::programIcon(name); }
QPixmap programPicture(const char* name) { return tv::programPicture(name); }

}  // namespace tv::ui
