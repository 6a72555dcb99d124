#include "platform/ui/resizer.h"

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
bool grows(ControlKind k) {
    return k == ControlKind::List || k == ControlKind::Sheet || k == ControlKind::MultiLineText;
}
}  // namespace

void WindowResizer::apply() {
    if (window_.widget() == nullptr || designed_.empty()) return;
    const QSize now = window_.widget()->size();
    const int dw = std::max(0, now.width() - smallest_.width());
    const int dh = std::max(0, now.height() - smallest_.height());
    // What stands below the growing controls (the buttons under a list or a
    // tab sheet) follows the bottom edge, so nothing grows over it.
    int growingBottom = -1;
    for (const auto& [number, r] : designed_)
        if (Control* c = window_.control(number); c != nullptr && grows(c->kind()))
            growingBottom = std::max(growingBottom, r.bottom());
    for (auto& [number, r] : designed_) {
        Control* c = window_.control(number);
        if (c == nullptr || c->widget() == nullptr) continue;
        QRect g = r;
        if (grows(c->kind())) {
            g.setSize(r.size() + QSize(dw, dh));
        } else {
            // Controls in the right-hand third (the button column) follow the edge.
            if (r.left() > smallest_.width() * 2 / 3) g.translate(dw, 0);
            if (growingBottom >= 0 && r.top() > growingBottom) g.translate(0, dh);
        }
        if (c->widget()->geometry() != g) c->widget()->setGeometry(g);
    }
}

QIcon programIcon(const char* name) { return tv::programIcon(name); }
QPixmap programPicture(const char* name) { return tv::programPicture(name); }

}  // namespace tv::ui
