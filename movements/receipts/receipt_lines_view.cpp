#include "movements/receipts/receipt_lines_view.h"

#include "data/thread_table_set.h"
#include "movements/common/stock.h"

namespace tv::movements::receipts {

using data::TableId;

app::BrowseOrderSetup ReceiptLinesOrder() {
    app::BrowseOrderSetup byReceipt("DEN:KeyEntrada", app::ScrollStepKind::Integer, "");
    byReceipt.rangeHeader = TableId::Entradas;
    return byReceipt;
}

app::BrowseColumn ReceiptAmountColumn(const char* name) {
    const data::TableDecl& den = data::decl(TableId::DetEntradas);
    const int qty = den.fieldIndex("DEN:Cantidad"), cost = den.fieldIndex("DEN:CostoUnitario");
    return {name, [qty, cost] {
                const Record& line = data::tables().buffer(TableId::DetEntradas);
                return Value(LineAmount(line.get(qty), line.get(cost)));
            }};
}

}  // namespace tv::movements::receipts
