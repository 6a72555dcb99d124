#pragma once
// What the purchase-order windows share: the tool tip that is also the
// status-bar text, and the view of an order's lines.
#include "app/browse/browse_list.h"
#include "platform/ui/window.h"

namespace tv::movements::orders {

// The tip shown over a control and in the status bar.
void Tip(ui::Control& c, const char* text);

// "Aceptar" and "Cancelar" of a form, side by side from (x, y).
void AddOkCancel(ui::Window& w, int ok, int cancel, int x, int y);

// The lines of the order in the thread's Ordenes buffer, with their article,
// its unit and the amount ("loc:importe"), in DOR:KeyOrden order; the
// caller gives the format, the columns' order and the buttons.
app::BrowseListSetup OrderLinesList(int listControl);
// The amount column of such a list.
app::BrowseColumn AmountColumn();

}  // namespace tv::movements::orders
