#pragma once
// The parts every form window builds alike: a control's tip that is also
// its status-bar message, and the "Aceptar" and "Cancelar" buttons.
#include <QRect>
#include <QString>

#include "platform/ui/resizer.h"
#include "platform/ui/window.h"

namespace tv::app {

inline void SetTipAndStatus(ui::Control& c, const char* text) {
    c.setTip(QString::fromUtf8(text));
    c.setStatusText(QString::fromUtf8(text));
}

// "Aceptar" ("Acepta y guarda los datos") and "Cancelar" ("Cancela la
// operación"), side by side from `okAt` (Cancelar 4 units to its right).
inline void AddOkCancel(ui::Window& w, int ok, int cancel, const QRect& okAt, int parent = 0) {
    ui::Control& o = w.add({ui::ControlKind::Button, ok, "?OK", QStringLiteral("Aceptar"), okAt, parent});
    SetTipAndStatus(o, "Acepta y guarda los datos");
    o.setIcon(ui::programIcon("WAOk.ICO"));
    ui::Control& c = w.add({ui::ControlKind::Button, cancel, "?CANCEL", QStringLiteral("Cancelar"),
                            okAt.translated(okAt.width() + 4, 0), parent});
    SetTipAndStatus(c, "Cancela la operación");
    c.setIcon(ui::programIcon("WACancel.ico"));
}

}  // namespace tv::app
