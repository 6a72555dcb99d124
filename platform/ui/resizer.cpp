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

void WindowResizer::apply() {
    if (window_.widget() == nullptr || designed_.empty()) return;
    const QSize now = window_.widget()->size();
    const int dw = std::max(0, now.width() - smallest_.width());
    const int dh = std::max(0, now.height() - smallest_.height());
    for (auto& [number, r] : designed_) {
        Control* c = window_.control(number);
        if (c == nullptr || c->widget() == nullptr) continue;
        QRect g = r;
        switch (c->kind()) {
            case ControlKind::List:
            case ControlKind::Sheet:
            case ControlKind::MultiLineText:
                g.setSize(r.size() + QSize(dw, dh));
                break;
            default:
                // Controls in the right-hand third (the button column) follow the edge.
                if (r.left() > smallest_.width() * 2 / 3) g.translate(dw, 0);
                break;
        }
        if (c->widget()->geometry() != g) c->widget()->setGeometry(g);
    }
}

QIcon programIcon(const char* name) { return tv::programIcon(name); }
QPixmap programPicture(const char* name) { return tv::programPicture(name); }

}  // namespace tv::ui
