#pragma once
// What the order wizard's tests share: articles with their stock levels,
// lines picked as the wizard picks them, and the stored order read back.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "movements/wizard/order_generation.h"
#include "movements/wizard/picked_lines.h"
#include "tests/movements/support/document_db.h"

namespace tv::movements::wizard::test {

using movements::test::D;

struct Levels {
    long long noArt = 0;
    Decimal stock{}, minimum{}, ideal{}, ordered{}, received{};
};

// Article fields by name, as a Record of the Articulo layout.
inline Record ArticleRecord(const Levels& l) {
    const data::TableDecl& d = data::decl(data::TableId::Articulo);
    Record a(d.layout);
    a.clear();
    a.set(d.fieldIndex("ART:NoArt"), Value(l.noArt));
    a.set(d.fieldIndex("ART:ExistenciaAnterior"), Value(l.stock));
    a.set(d.fieldIndex("ART:StockMinimo"), Value(l.minimum));
    a.set(d.fieldIndex("ART:StockIdeal"), Value(l.ideal));
    a.set(d.fieldIndex("ART:Pedido"), Value(l.ordered));
    a.set(d.fieldIndex("ART:Recibido"), Value(l.received));
    return a;
}

// A stored order line.
struct StoredLine {
    long long article = 0;
    Decimal quantity{}, cost{}, received{};
    bool operator==(const StoredLine&) const = default;
};
inline void PrintTo(const StoredLine& l, std::ostream* os) {
    *os << l.article << ":" << l.quantity.toText() << ":" << l.cost.toText() << ":" << l.received.toText();
}

class WizardDb : public movements::test::DocumentDb {
protected:
    void AddLevels(const Levels& l) {
        AddRecord(data::TableId::Articulo,
                  {{"ART:NoArt", Value(l.noArt)}, {"ART:Descripcion", Value("ARTICULO " + std::to_string(l.noArt))},
                   {"ART:ExistenciaAnterior", Value(l.stock)}, {"ART:StockMinimo", Value(l.minimum)},
                   {"ART:StockIdeal", Value(l.ideal)}, {"ART:Pedido", Value(l.ordered)},
                   {"ART:Recibido", Value(l.received)}});
    }
    // Picks an article and sets its line's quantity and cost as the user
    // edits them in place.
    static void Pick(data::ThreadTableSet& t, long long noArt, const Decimal& quantity, const Decimal& cost) {
        ASSERT_EQ(PickArticle(t, Decimal(noArt), Selection::All), PickOutcome::Added) << noArt;
        data::TableGateway& g = t.gateway(data::TableId::Temporden);
        g.BUFFER.set(g.declaration().fieldIndex("TOR:Cantidad"), Value(quantity));
        g.BUFFER.set(g.declaration().fieldIndex("TOR:Costo"), Value(cost));
        ASSERT_EQ(g.UpdateRecord(), data::kDone);
    }
    static std::vector<PickedLine> Picked(data::ThreadTableSet& t) {
        std::vector<PickedLine> out;
        EXPECT_TRUE(ReadPicked(t, out));
        return out;
    }
    // The lines stored for order `folio`, in the order they were stored.
    std::vector<StoredLine> OrderLines(long long folio) {
        std::vector<StoredLine> out;
        for (const Record& r : Rows(data::TableId::DetOrdenes))
            if (Get(r, "DOR:ORDEN").asNumber() == Decimal(folio))
                out.push_back({Get(r, "DOR:Articulo").asNumber().toInt64(), Get(r, "DOR:Cantidad").asNumber(),
                               Get(r, "DOR:Costo").asNumber(), Get(r, "DOR:Recibido").asNumber()});
        return out;
    }
    std::optional<Record> Order(long long folio) {
        for (const Record& r : Rows(data::TableId::Ordenes))
            if (Get(r, "ORD:Folio").asNumber() == Decimal(folio)) return r;
        return std::nullopt;
    }
    long long Counter() { return FolioCounter(tables(), kOrderFolio); }
};

}  // namespace tv::movements::wizard::test
