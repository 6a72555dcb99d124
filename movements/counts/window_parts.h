#pragma once
// What the count windows build alike: tips and buttons with their icons.
#include <QRect>
#include <QString>

#include "platform/ui/window.h"

namespace tv::movements::counts {

// The tip, also shown as the status text.
inline void Tip(ui::Control& c, const char* text) {
    c.setTip(QString::fromUtf8(text));
    c.setStatusText(QString::fromUtf8(text));
}

struct ButtonDecl {
    int control;
    const char* name;   // "?OK"
    const char* text;   // "Aceptar"
    const char* tip;
    const char* icon;   // a program icon, or nullptr
    QRect rect;
    int parent = 0;
};

inline ui::Control& AddButton(ui::Window& w, const ButtonDecl& b) {
    ui::Control& c = w.add({ui::ControlKind::Button, b.control, b.name, QString::fromUtf8(b.text), b.rect, b.parent});
    Tip(c, b.tip);
    if (b.icon != nullptr) c.setIcon(ui::programIcon(b.icon));
    return c;
}

}  // namespace tv::movements::counts
