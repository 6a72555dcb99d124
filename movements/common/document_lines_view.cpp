#include "movements/common/document_lines_view.h"

#include "data/thread_table_set.h"
#include "movements/common/stock.h"

namespace tv::movements {

app::BrowseOrderSetup DocumentLinesOrder(const char* linkKey, data::TableId header) {
    app::BrowseOrderSetup byDocument(linkKey, app::ScrollStepKind::Integer, "");
    byDocument.rangeHeader = header;
    return byDocument;
}

app::BrowseColumn LineAmountColumn(const char* name, data::TableId lines, const char* quantity, const char* cost) {
    const data::TableDecl& d = data::decl(lines);
    const int qty = d.fieldIndex(quantity), price = d.fieldIndex(cost);
    return {name, [lines, qty, price] {
                const Record& line = data::tables().buffer(lines);
                return Value(LineAmount(line.get(qty), line.get(price)));
            }};
}

std::function<void(const report::RecordValues&, report::OverlayValues&)> LineAmountStep(const char* quantity,
                                                                                        const char* cost) {
    return [q = std::string(quantity), c = std::string(cost)](const report::RecordValues& r,
                                                              report::OverlayValues& o) {
        o.set("LOC:IMPORTE", Value(LineAmount(r.value(q), r.value(c))));
    };
}

void SetPlainFontSize(report::ReportLayout& l, int points) {
    report::Font plain;
    plain.size = points;
    for (report::Band* b : {&l.pageHeader, &l.detail})
        for (report::Item& i : b->items)
            if (i.font == report::Font{}) i.font = plain;
}

}  // namespace tv::movements
