#include "reports/template/filter_text.h"

namespace tv::reports {

std::string FilterNumber(const Decimal& d) {
    const Decimal whole = d.truncated(0);
    return whole.isZero() ? std::string("0") : whole.toText();
}

namespace {

void add(std::string& text, const std::string& clause) {
    if (!text.empty()) text += " and ";
    text += clause;
}

}  // namespace

std::string BuildFilterText(const FilterChoices& c, ClosingClause closing) {
    std::string text;
    switch (c.articulos) {
        case kRange:
            add(text, "ART:NoArt >= " + FilterNumber(c.noArt1) + " and ART:NoArt <= " + FilterNumber(c.noArt2));
            break;
        case kOne: add(text, "ART:NoArt = " + FilterNumber(c.noArtE)); break;
        default: break;
    }
    switch (c.marcas) {
        case kRange:
            add(text, "ART:Marca >= " + FilterNumber(c.marca1) + " and ART:Marca <= " + FilterNumber(c.marca2));
            break;
        case kOne: add(text, "ART:Marca = " + FilterNumber(c.marcaE)); break;
        default: break;
    }
    switch (c.categorias) {
        case kRange:
            add(text, "ART:categoria >= " + FilterNumber(c.cat1) + " and " + "ART:categoria" + " <= " +
                          FilterNumber(c.cat2));
            break;
        case kOne: add(text, "art:categoria = " + FilterNumber(c.catE)); break;
        default: break;
    }
    switch (closing) {
        case ClosingClause::Stock:
            if (!c.cero) add(text, kStockClause);
            break;
        case ClosingClause::Pending: add(text, kPendingClause); break;
        case ClosingClause::None: break;
    }
    return text;
}

}  // namespace tv::reports
