#include "movements/common/document_lines_view.h"

#include <utility>

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

std::vector<report::Item> DocumentPageTop(const char* title) {
    using report::Align;
    using report::Item;
    report::Font big;
    big.size = 14;
    big.bold = true;
    report::Font company = big;
    company.size = 12;
    return {
        Item::value("GLO:EMPRESA", "s60", 1344, 0, 5313, Align::Center).withFont(company),
        Item::fixed(title, 2823, 281, 2354, Align::Center).withFont(big),
        Item::pageNumber(7240, 52, 500, Align::Right),
    };
}

std::vector<report::Item> DocumentPageHeader(const char* title, const char* description, report::Mils headingsY,
                                             std::vector<report::Item> own) {
    using report::Item;
    std::vector<Item> items = DocumentPageTop(title);
    items.insert(items.end(), own.begin(), own.end());
    for (const auto& [text, x] : {std::pair{"Codigo", 396}, std::pair{description, 844}, std::pair{"UM", 4969},
                                  std::pair{"Cantidad", 5927}, std::pair{"Costo", 6823}, std::pair{"Importe", 7625}})
        items.push_back(Item::fixed(text, x, headingsY));
    items.push_back(Item::line(0, headingsY + 166, 8000, 0));
    return items;
}

report::Band LineDetailBand(const char* article, const char* quantity, const char* cost) {
    using report::Align;
    using report::Item;
    report::Band b;
    b.height = 250;
    b.items = {
        Item::value(article, "n_10", 50, 50, 700, Align::Right),
        Item::value("ART:Descripcion", "s70", 844, 52, 3990),
        Item::value("UNI:UM", "s40", 4969, 52, 646),
        Item::value(quantity, "n10.2", 5719, 52, 800, Align::Right),
        Item::value(cost, "n10.2", 6458, 52, 700, Align::Right),
        Item::value("LOC:IMPORTE", "n-14.2", 7156, 52, 840, Align::Right),
    };
    return b;
}

void SetPlainFontSize(report::ReportLayout& l, int points) {
    report::Font plain;
    plain.size = points;
    for (report::Band* b : {&l.pageHeader, &l.detail})
        for (report::Item& i : b->items)
            if (i.font == report::Font{}) i.font = plain;
}

}  // namespace tv::movements
