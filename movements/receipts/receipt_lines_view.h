#pragma once
// What the receipt list and the receipt form show of a receipt's lines
// alike: the lines of the receipt in the thread's Entradas buffer, and
// their amount.
#include "app/browse/browse_list.h"

namespace tv::movements::receipts {

// The order of DEN:KeyEntrada, limited to the lines of the Entradas buffer's folio.
app::BrowseOrderSetup ReceiptLinesOrder();
// The line's amount (quantity x cost, 2 places), computed for each row under `name`.
app::BrowseColumn ReceiptAmountColumn(const char* name);

}  // namespace tv::movements::receipts
