#include "platform/ui/resizer.h"

#include <gtest/gtest.h>

#include "platform/ui/window.h"

namespace tv::ui {
namespace {

// Controls that stand together stay together when the window grows wider:
// "Aceptar" goes along with "Cancelar" to the right edge, while a prompt,
// its date entry and the calendar button beside it stay where they are
// (the button reaches the right-hand third, the row does not start in the
// right half). A lone button in the right-hand third follows the edge.
TEST(Resizer, ControlsThatStandTogetherMoveTogether) {
    Window w(QStringLiteral("Orden de compra"), QSize(660, 300));
    w.add({ControlKind::Prompt, 1, "?FECHA:PROMPT", QStringLiteral("&Fecha:"), QRect(300, 10, 50, 20)});
    w.add({ControlKind::Entry, 2, "?FECHA", {}, QRect(354, 8, 100, 22)});
    w.add({ControlKind::Button, 3, "?CALENDAR", QStringLiteral("..."), QRect(456, 8, 28, 22)});
    w.add({ControlKind::Button, 4, "?LOOKUP", QStringLiteral("Buscar"), QRect(560, 40, 80, 26)});
    w.add({ControlKind::Button, 5, "?OK", QStringLiteral("Aceptar"), QRect(390, 260, 86, 28)});
    w.add({ControlKind::Button, 6, "?CANCEL", QStringLiteral("Cancelar"), QRect(480, 260, 86, 28)});
    WindowResizer r(w);
    w.open();
    r.setUp();
    w.widget()->resize(860, 300);
    r.apply();
    EXPECT_EQ(w.at(1).widget()->geometry(), QRect(300, 10, 50, 20));
    EXPECT_EQ(w.at(2).widget()->geometry(), QRect(354, 8, 100, 22));
    EXPECT_EQ(w.at(3).widget()->geometry(), QRect(456, 8, 28, 22));
    EXPECT_EQ(w.at(4).widget()->geometry(), QRect(760, 40, 80, 26));
    EXPECT_EQ(w.at(5).widget()->geometry(), QRect(590, 260, 86, 28));
    EXPECT_EQ(w.at(6).widget()->geometry(), QRect(680, 260, 86, 28));
    w.close();
}

}  // namespace
}  // namespace tv::ui
