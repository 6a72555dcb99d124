#include "platform/view/table_set_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/types/text.h"
#include "tests/support/scratch_dir.h"

namespace tv::view {
namespace {

using data::TableId;

int F(TableId t, const char* name) { return data::decl(t).layout->indexOf(name); }

// The receipt window's line list on a thread's table set: lines of the
// receipt in the header buffer, joined to their article and its unit.
TEST(TableSetView, LinesOfTheCurrentReceiptWithTheirArticles) {
    test::ScratchDir dir;
    storage::Connection conn(dir.file("talvor.db"));
    data::ThreadTableSet set(conn);
    {
        storage::Table art(conn, data::storageDef(TableId::Articulo));
        storage::Table den(conn, data::storageDef(TableId::DetEntradas));
        storage::Table uni(conn, data::storageDef(TableId::Unidades));
        Record u(data::decl(TableId::Unidades).layout);
        u.setRaw(F(TableId::Unidades, "UNI:Codigo"), 3);
        u.setText(F(TableId::Unidades, "UNI:UM"), "CAJA");
        ASSERT_TRUE(uni.insert(u, storage::Table::Numbering::Keep).ok());
        Record a(data::decl(TableId::Articulo).layout);
        a.setRaw(F(TableId::Articulo, "ART:NoArt"), 10);
        a.setText(F(TableId::Articulo, "ART:Descripcion"), "Tornillo");
        a.setRaw(F(TableId::Articulo, "ART:UM"), 3);
        ASSERT_TRUE(art.insert(a).ok());
        for (auto [folio, articulo] : std::vector<std::pair<int, int>>{{5, 10}, {6, 10}, {5, 11}}) {
            Record l(data::decl(TableId::DetEntradas).layout);
            l.setRaw(F(TableId::DetEntradas, "DEN:ENTRADA"), folio);
            l.setRaw(F(TableId::DetEntradas, "DEN:CodigoArticulo"), articulo);
            ASSERT_TRUE(den.insert(l).ok());
        }
    }

    ViewCursor v(conn);
    TableSetView tv(v, set);
    ASSERT_TRUE(tv.setPrimary(TableId::DetEntradas));
    int a = tv.join(TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DEN:CodigoArticulo"}});
    ASSERT_EQ(a, 1);
    ASSERT_EQ(tv.join(TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}), 2);
    EXPECT_EQ(tv.join(TableId::Unidades, "UNI:KeyNada", {{"UNI:Codigo", "ART:UM"}}), -1);
    EXPECT_EQ(tv.join(TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "XXX:UM"}}), -1);
    ASSERT_TRUE(tv.setOrder("DEN:KeyEntrada"));
    ASSERT_TRUE(tv.addRangeByRelation(TableId::Entradas));
    EXPECT_FALSE(tv.addRangeByRelation(TableId::Salidas));

    Record& ent = set.Entradas();
    Record& den = set.DetEntradas();
    auto rows = [&] {
        std::vector<std::string> out;
        v.reset();
        while (v.next().ok())
            out.push_back(den.get(F(TableId::DetEntradas, "DEN:CodigoArticulo")).asText() + ":" +
                          std::string(rtrim(set.Articulo().text(F(TableId::Articulo, "ART:Descripcion")))) + ":" +
                          std::string(rtrim(set.Unidades().text(F(TableId::Unidades, "UNI:UM")))));
        return out;
    };
    ent.setRaw(F(TableId::Entradas, "ENT:Folio"), 5);
    EXPECT_EQ(rows(), (std::vector<std::string>{"10:Tornillo:CAJA", "11::"}));
    ent.setRaw(F(TableId::Entradas, "ENT:Folio"), 6);
    EXPECT_EQ(rows(), (std::vector<std::string>{"10:Tornillo:CAJA"}));

    // The record read is the gateway's current one: the form's change goes
    // to that line.
    v.reset();
    ASSERT_TRUE(v.next().ok());
    den.setNumber(F(TableId::DetEntradas, "DEN:Cantidad"), Decimal(4));
    EXPECT_EQ(set.DetEntradasTableGateway().UpdateRecordQuiet(), data::kDone);
    ent.setRaw(F(TableId::Entradas, "ENT:Folio"), 6);
    v.reset();
    ASSERT_TRUE(v.next().ok());
    EXPECT_EQ(den.get(F(TableId::DetEntradas, "DEN:Cantidad")).asText(), "4");

    // Fields of the thread's other open tables are known to filters.
    EXPECT_FALSE(v.setFilter("DEN:ENTRADA = ENT:Folio")) << "Entradas is not open yet";
    ASSERT_EQ(set.EntradasTableGateway().OpenTable(), data::kDone);
    ASSERT_TRUE(v.setFilter("DEN:ENTRADA = ENT:Folio AND ART:NoArt = 10"));
    EXPECT_EQ(rows().size(), 1u);
}

}  // namespace
}  // namespace tv::view
