#pragma once
// What the receipt list and the receipt form show of a receipt's lines
// alike: the lines of the receipt in the thread's Entradas buffer, and
// their amount.
#include "movements/common/document_lines_view.h"

namespace tv::movements::receipts {

inline app::BrowseOrderSetup ReceiptLinesOrder() { return DocumentLinesOrder("DEN:KeyEntrada", data::TableId::Entradas); }
inline app::BrowseColumn ReceiptAmountColumn(const char* name) {
    return LineAmountColumn(name, data::TableId::DetEntradas, "DEN:Cantidad", "DEN:CostoUnitario");
}

}  // namespace tv::movements::receipts
