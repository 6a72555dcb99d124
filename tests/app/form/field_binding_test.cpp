#include "app/form/field_binding.h"

#include <gtest/gtest.h>

#include "app/form/form_toolbar_binding.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"

namespace tv::app {
namespace {

Record article() { return Record(data::decl(data::TableId::Articulo).layout); }
int fieldOf(const char* name) { return data::decl(data::TableId::Articulo).fieldIndex(name); }

TEST(FieldBinding, ShowsWithThePictureWithoutItsPadding) {
    struct Case { const char* field; const char* picture; Value value; const char* shown; };
    const Case cases[] = {
        {"ART:Descripcion", "s70", Value("Tornillo   "), "Tornillo"},
        {"ART:StockMaximo", "n11.2", Value(Decimal::fromScaled(123456, 2)), "1,234.56"},
        {"ART:StockMaximo", "n11.2b", Value(0), ""},
        {"ART:NoArt", "n_11", Value(12345678901LL), "12345678901"},
        {"ART:ID", "n9", Value(0), "0"},
    };
    for (const Case& c : cases) {
        Record r = article();
        r.set(fieldOf(c.field), c.value);
        EXPECT_EQ(ShowField(r, fieldOf(c.field), *Picture::parse(c.picture)), c.shown) << c.field << " " << c.picture;
    }
}

TEST(FieldBinding, ReadsTypedTextBackAndRefusesWhatDoesNotFit) {
    struct Case { const char* field; const char* picture; const char* typed; bool ok; const char* stored; };
    const Case cases[] = {
        {"ART:StockMaximo", "n11.2", "1,234.5", true, "1234.5"},
        {"ART:StockMaximo", "n11.2", "  42 ", true, "42"},
        {"ART:StockMaximo", "n11.2", "", true, "0"},
        {"ART:StockMaximo", "n11.2", "12x", false, "7"},
        {"ART:StockMaximo", "n11.2", "1,23", false, "7"},
        // 11 digits with 2 places leave 9 before the point.
        {"ART:StockMaximo", "n14.2", "1234567890", false, "7"},
        {"ART:StockMaximo", "n14.2", "123456789", true, "123456789"},
        {"ART:ID", "n12", "99999999999", false, "7"},  // past a 32-bit LONG
        {"ART:Descripcion", "s70", "Tuerca", true, "Tuerca"},
        {"ART:CodigoBarras", "s30", "123456789012345678901", false, "7"},  // 20 characters at most
        {"ART:CodigoBarras", "s30", "12345678901234567890   ", true, "12345678901234567890"},
    };
    for (const Case& c : cases) {
        Record r = article();
        const int f = fieldOf(c.field);
        r.set(f, r.layout().field(f).type == FieldType::String ? Value("7") : Value(7));
        ReadResult res = ReadField(r, f, *Picture::parse(c.picture), c.typed);
        EXPECT_EQ(res.ok, c.ok) << c.typed;
        EXPECT_EQ(res.ok, res.error.empty()) << c.typed;
        EXPECT_EQ(std::string(rtrim(r.get(f).asText())), c.stored) << c.typed << " leaves the field as it was when refused";
    }
}

// What would not fit is refused with a message, never cut or changed: a
// sign the picture has no room for, decimals beyond its places, a text
// longer than the entry takes, digits beyond the field.
TEST(FieldBinding, ValuesThatDoNotFitAreRefusedNotChanged) {
    struct Case { const char* field; const char* picture; const char* typed; const char* why; const char* stored; };
    const Case cases[] = {
        {"ART:NoArt", "n_10", "-5", "negativos", "7"},
        {"ART:NoArt", "n_10", "1.5", "decimales", "7"},
        {"ART:NoArt", "n_10", "15.00", nullptr, "15"},            // zeros lose nothing
        {"ART:NoArt", "n_10", "123456789012", "demasiado grande", "7"},  // 11 digits at most
        {"ART:StockMaximo", "n-14.2", "-3.25", nullptr, "-3.25"},
        {"ART:StockMaximo", "n-14.2", "3.255", "2 decimales", "7"},
        {"ART:StockMaximo", "n14.2", "-3", "negativos", "7"},
        {"ART:Modelo", "s10", "ABCDEFGHIJK", "10 caracteres", "7"},  // the entry's width
        {"ART:Modelo", "s20", "ABCDEFGHIJK", nullptr, "ABCDEFGHIJK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.picture + " " + c.typed);
        Record r = article();
        const int f = fieldOf(c.field);
        r.set(f, r.layout().field(f).type == FieldType::String ? Value("7") : Value(7));
        ReadResult res = ReadField(r, f, *Picture::parse(c.picture), c.typed);
        EXPECT_EQ(res.ok, c.why == nullptr) << res.error;
        if (c.why != nullptr) {
            EXPECT_NE(res.error.find(c.why), std::string::npos) << res.error;
        }
        EXPECT_EQ(std::string(rtrim(r.get(f).asText())), c.stored);
    }
}

TEST(FieldBinding, ARequiredNumberIsBlankWhenZero) {
    Record r = article();
    EXPECT_TRUE(IsBlankValue(r, fieldOf("ART:NoArt")));
    EXPECT_TRUE(IsBlankValue(r, fieldOf("ART:Descripcion")));
    r.set(fieldOf("ART:Descripcion"), Value("   "));
    EXPECT_TRUE(IsBlankValue(r, fieldOf("ART:Descripcion")));
    r.set(fieldOf("ART:NoArt"), Value(5));
    r.set(fieldOf("ART:Descripcion"), Value("x"));
    EXPECT_FALSE(IsBlankValue(r, fieldOf("ART:NoArt")));
    EXPECT_FALSE(IsBlankValue(r, fieldOf("ART:Descripcion")));
}

TEST(FieldBinding, DittoNeverBringsBackIdsStockTotalsReceivedQuantitiesOrFolios) {
    struct Case { data::TableId table; const char* field; bool excluded; };
    using T = data::TableId;
    const Case cases[] = {
        {T::Articulo, "ART:ID", true},          {T::Articulo, "ART:Entradas", true},
        {T::Articulo, "ART:Salidas", true},     {T::Articulo, "ART:ExistenciaAnterior", true},
        {T::Articulo, "ART:Pedido", true},      {T::Articulo, "ART:Recibido", true},
        {T::Articulo, "ART:COSTOPROMEDIO", true},
        {T::Articulo, "ART:Descripcion", false}, {T::Articulo, "ART:StockMaximo", false},
        {T::Articulo, "ART:Marca", false},      {T::Articulo, "ART:NoArt", false},
        {T::Marcas, "MAR:Codigo", true},        {T::Marcas, "MAR:Marca", false},
        {T::DetOrdenes, "DOR:Recibido", true},  {T::DetOrdenes, "DOR:Cantidad", false},
        {T::DetOrdenes, "DOR:ORDEN", true},     {T::Entradas, "ENT:Folio", true},
        {T::Entradas, "ENT:Id", true},          {T::Entradas, "ENT:Referencia", false},
        {T::Salidas, "SAL:Folio", true},        {T::Ordenes, "ORD:Folio", true},
        {T::DetEntradas, "DEN:ENTRADA", true},  {T::DetEntradas, "DEN:Cantidad", false},
        {T::Proveedores, "PVD:Id", true},       {T::Proveedores, "PVD:Nombre", false},
    };
    for (const Case& c : cases) {
        const data::TableDecl& d = data::decl(c.table);
        const int f = d.fieldIndex(c.field);
        ASSERT_GE(f, 0) << c.field;
        EXPECT_EQ(IsDittoExcluded(d, f), c.excluded) << c.field;
    }
}

TEST(FieldBinding, TheSameRecordIsFoundByItsFirstHeldUniqueKey) {
    const data::TableDecl& d = data::decl(data::TableId::Articulo);
    Record a = article(), b = article();
    EXPECT_FALSE(SameRecordKey(d, a, b)) << "no key held";
    EXPECT_FALSE(HoldsUniqueKey(d, b));
    b.set(fieldOf("ART:Descripcion"), Value("x"));
    EXPECT_FALSE(HoldsUniqueKey(d, b)) << "the description key allows duplicates";
    b.set(fieldOf("ART:NoArt"), Value(9));
    EXPECT_TRUE(HoldsUniqueKey(d, b));
    b.set(fieldOf("ART:NoArt"), Value(0));
    a.set(fieldOf("ART:ID"), Value(3));
    b.set(fieldOf("ART:ID"), Value(3));
    a.set(fieldOf("ART:Descripcion"), Value("otra"));
    EXPECT_TRUE(SameRecordKey(d, a, b)) << "the id decides, not the other fields";
    b.set(fieldOf("ART:ID"), Value(4));
    EXPECT_FALSE(SameRecordKey(d, a, b));
    // Without a code the description, a no-case key, decides.
    const data::TableDecl& c = data::decl(data::TableId::CatArticulos);
    Record x(c.layout), y(c.layout);
    x.set(c.fieldIndex("CAR:Descripcion"), Value("Pinturas"));
    y.set(c.fieldIndex("CAR:Descripcion"), Value("PINTURAS"));
    EXPECT_TRUE(SameRecordKey(c, x, y));
}

TEST(FieldBinding, TheToolbarButtonsOfEachKindOfForm) {
    namespace tb = form_toolbar;
    EXPECT_EQ(FormToolbarButtons(kInsert), (std::vector<int>{tb::kInsert, tb::kDown, tb::kHistory}));
    EXPECT_EQ(FormToolbarButtons(kChange), (std::vector<int>{tb::kInsert, tb::kBottom, tb::kTop, tb::kPageDown,
                                                             tb::kPageUp, tb::kDown, tb::kUp, tb::kHistory}));
    EXPECT_TRUE(FormToolbarButtons(kView).empty());
    EXPECT_TRUE(FormToolbarButtons(kDelete).empty());
}

}  // namespace
}  // namespace tv::app
