#pragma once
// What the count windows build alike: buttons with their tips and icons.
#include <QRect>
#include <QString>

#include "app/form/form_buttons.h"
#include "platform/ui/window.h"

namespace tv::movements::counts {

using app::SetTipAndStatus;

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
    SetTipAndStatus(c, b.tip);
    if (b.icon != nullptr) c.setIcon(ui::programIcon(b.icon));
    return c;
}

}  // namespace tv::movements::counts
