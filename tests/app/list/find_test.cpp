#include "app/list/find.h"

#include <gtest/gtest.h>

#include "platform/expr/binding.h"
#include "platform/expr/program.h"
#include "platform/expr/value_ops.h"
#include "platform/types/date.h"
#include "platform/types/picture.h"

namespace tv::list {
namespace {

struct ColumnListCase {
    const char* list;
    int columns;
};

// The column lists every list of the system passes to the find window.
const ColumnListCase kColumnLists[] = {
    {"No Art|@n_10|ART:NoArt|Descripción|@s70|ART:Descripcion|Modelo|@s20|ART:Modelo|Codigo Barras|@n_16|"
     "ART:CodigoBarras|Tamaño|@s20|ART:Tamano|",
     5},
    {"Código|@n_4|car:Codigo|Descripcion|@s40|car:Descripcion|", 2},
    {"Código|@n_4|MAR:Codigo|Marca|@s40|MAR:Marca|", 2},
    {"Código|@n_3|UNI:Codigo|Unidad de Medida|@s40|UNI:UM|", 2},
    {"Codigo Barras|@n_16|aar:CodigoBarras|Descripción|@s70|aar:Descripcion|No Art|@n_10|aar:NoArt|Modelo|@s20|"
     "aar:Modelo|Tamaño|@s20|aar:Tamano|",
     5},
    {"UM|@n_3|ART:UM|Cantidad|@n10.2|den:Cantidad|Costo Unitario|@n10.2|den:CostoUnitario|Importe|@n-14.2|"
     "loc:Importe|",
     4},
    {"Codigo Articulo|@n_10|den:CodigoArticulo|Descripcion|@s70|ART:Descripcion|UM|@s40|UNI:UM|Cantidad|@n10.2|"
     "den:Cantidad|Costo|@n10.2|den:CostoUnitario|Importe|@n-14.2|loc:importe|",
     6},
    {"Id|@n_10|ENT:Id|Folio|@n_10|ENT:Folio|Fecha|@d6|ENT:Fecha|Orden Compra|@n_10|ENT:OrdenCompra|Referencia|"
     "@s20|ENT:Referencia|",
     5},
    {"No Art|@n_10|dfi:CodigoArticulo|Descripcion|@s70|ART:Descripcion|UM|@s40|UNI:UM|Referencia|@s20|"
     "dfi:Referencia|Existencia|@n10.2|dfi:Existencia|",
     5},
    {"Fecha|@d6|FIS:Fecha|Descripcion|@s60|FIS:Descripcion|", 2},
    {"Articulo|@n_10|dor:Articulo|Descripcion|@s40|ART:Descripcion|Unidad de Medida|@s40|UNI:UM|Cantidad|@n10.2|"
     "dor:Cantidad|Surtido|@n10.2|dor:Recibido|Costo|@n10.2|dor:Costo|Importe|@n-14.2|loc:importe|",
     7},
    {"Folio|@n_10|ORD:Folio|Fecha|@d6|ORD:Fecha|Plazo|@n-4.0|ORD:Plazo|Entrega|@d6|ORD:Entrega|Elabora|@s40|"
     "ORD:Elabora|Proveedor|@s10|ORD:Proveedor|Referencia|@s20|ORD:Referencia|Prioridad|@s5|ORD:Prioridad|"
     "% Surtido|@n-4.0|ORD:PorcSurtido|",
     9},
    {"Codigo Articulo|@n_10|des:CodigoArticulo|Descripcion|@s70|ART:Descripcion|UM|@s40|UNI:UM|Cantidad|@n10.2|"
     "des:Cantidad|",
     4},
    {"Id|@n_10|sal:Id|Folio|@n_10|sal:Folio|Tipo|@s30|tsa:Descripcion|Fecha|@d6|sal:Fecha|Referencia|@s20|"
     "sal:Referencia|",
     5},
    {"Articulo|@n_10|dor:Articulo|Descripcion|@s40|ART:Descripcion|UM|@s40|UNI:UM|Cantidad|@n10.2|dor:Cantidad|"
     "Costo|@n10.2|dor:Costo|Importe|@n-14.2|loc:importe|",
     6},
    {"Código|@n_10|des:CodigoArticulo|Descripción|@s40|ART:Descripcion|UM|@n_3|ART:UM|Cantidad|@n10.2|"
     "des:Cantidad|Costo Unitario|@n10.2|des:CostoUnitario|Importe|@n14.2|loc:importe|",
     6},
    {"No Art|@n_10|ART:NoArt|Descripcion|@s70|ART:Descripcion|UM|@s40|UNI:UM|Pedido|@n-14.2|ART:Pedido|Recibido|"
     "@n-14.2|ART:Recibido|Por Recibir|@n-14.2|PorRecibir|",
     6},
    {"No.|@n_10|tor:Articulo|Descripción|@s70|aar:Descripcion|Cantidad|@n10.2|tor:Cantidad|Costo|@n10.2|"
     "tor:Costo|Importe|@n13.2|Importe|",
     5},
    {"No Art|@n_10|ART:NoArt|Descripcion|@s70|ART:Descripcion|Unidad de Medida|@s40|UNI:UM|Existencia|@n-14.2|"
     "Existencia|",
     4},
    {"Nombre|@s30|USU:Nombre|", 1},
    {"Código|@n_3|ALM:Codigo|Nombre|@s40|ALM:Nombre|", 2},
    {"Código|@n_4|dep:Id|Nombre|@s30|dep:Nombre|", 2},
    {"Codigo|@n_3|ten:Codigo|Descripcion|@s30|ten:Descripcion|", 2},
    {"Código|@n_4|CIU:Id|Nombre|@s30|CIU:Nombre|", 2},
    {"Código|@n_2|EST:Id|Nombre|@s30|EST:Nombre|", 2},
    {"Código|@n_2|PAI:Id|Nombre|@s30|PAI:Nombre|", 2},
    {"Id|@n_10|pvd:Id|Código|@s15|pvd:Codigo|Nombre|@s40|pvd:Nombre|Nombre 2|@s40|pvd:Nombre2|Nombre Comercial|"
     "@s40|pvd:NombreComercial|",
     5},
    {"Nombre|@s30|cpv:Nombre|Télefono|@s30|cpv:Telefono|", 2},
    {"No Art|@n_10|ppv:Articulo|Descripcion|@s70|ART:Descripcion|UM|@s40|UNI:UM|Entrada|@n_10|ppv:Entrada|Fecha|"
     "@d6|ENT:Fecha|Costo Unitario|@n10.2|ppv:Precio|",
     6},
    {"No Art|@n_10|ART:NoArt|Descripción|@s40|ART:Descripcion|UM|@s40|UNI:UM|Existencia Actual|@n-14.2|"
     "ExistenciaActual|Stock|@n-14.2|ART:StockMaximo|Diferencia|@n-14.2|DiferenciaMaximo|Stock|@n-14.2|"
     "ART:StockMinimo|Diferencia|@n-14.2|DiferenciaMinimo|Stock|@n-14.2|ART:StockIdeal|Diferencia|@n-14.2|"
     "DiferenciaIdeal|",
     10},
    {"Fecha|@d6|KAR:Fecha|Documento|@s14|KAR:Documento|Concepto|@s20|KAR:Concepto|Referencia|@s20|KAR:Referencia|"
     "Entrada|@n10.2|KAR:Entrada|Salida|@n10.2|KAR:Salida|Existencia|@n-10.2|KAR:Existencia|",
     7},
};

TEST(FindColumns, EveryColumnListOfTheSystemSplits) {
    for (const auto& c : kColumnLists) {
        std::string err;
        auto cols = parseFindColumns(c.list, &err);
        ASSERT_TRUE(cols) << c.list << ": " << err;
        EXPECT_EQ(static_cast<int>(cols->size()), c.columns) << c.list;
        for (const auto& col : *cols) {
            // Every picture is one the value entry can take.
            EXPECT_TRUE(Picture::parse(col.picture)) << col.picture;
            // And every column builds an expression the evaluator reads.
            FindCriteria caller;
            VsFindLogic w(*cols, caller);
            w.chooseColumn(static_cast<int>(&col - cols->data()));
            w.acceptValue("x'y");
            expr::ExprError e;
            EXPECT_TRUE(expr::parseExpression(w.expression(), &e)) << w.expression() << ": " << e.describe();
        }
    }
    auto catalog = parseFindColumns("Código|@n_4|car:Codigo|Descripcion|@s40|car:Descripcion|");
    ASSERT_TRUE(catalog);
    EXPECT_EQ((*catalog)[0].header, "Código");
    EXPECT_EQ((*catalog)[0].picture, "@n_4");
    EXPECT_EQ((*catalog)[0].field, "car:Codigo");
    EXPECT_FALSE((*catalog)[0].isText());
    EXPECT_TRUE((*catalog)[1].isText());
    // "s" in either case marks a text column.
    EXPECT_TRUE((FindColumn{"X", "@S20", "a:b"}.isText()));
}

TEST(FindColumns, BadListsAreRefusedAndPartsCut) {
    struct Bad {
        const char* list;
        const char* says;
    };
    const Bad cases[] = {
        {"Código|@n_4|", "incompleta"},
        {"Código|@n_4|car:Codigo|Nombre|", "incompleta"},
        {"Código|@n_4||", "no es un nombre"},
        {"Código|@n_4|car Codigo|", "no es un nombre"},
        {"Código|@n_4|x') OR 1=1 OR ('|", "no es un nombre"},
        {"Código|@n_4|9abc|", "no es un nombre"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_FALSE(parseFindColumns(c.list, &err)) << c.list;
        EXPECT_NE(err.find(c.says), std::string::npos) << c.list << ": " << err;
    }
    auto cols = parseFindColumns(std::string(40, 'h') + "|@s40|ART:Descripcion|");
    ASSERT_TRUE(cols);
    EXPECT_EQ((*cols)[0].header, std::string(32, 'h'));
    // The last part without its "|" still counts; an empty list has no columns.
    EXPECT_EQ(parseFindColumns("Nombre|@s30|USU:Nombre")->size(), 1u);
    EXPECT_TRUE(parseFindColumns("")->empty());
}

TEST(FindExpression, EscapeQuotes) {
    const std::pair<const char*, const char*> cases[] = {
        {"llave 3/4'", "llave 3/4''"}, {"'", "''"}, {"''", "''''"}, {"O'Brien's  ", "O''Brien''s"},
        {"  sin comillas  ", "  sin comillas"}, {"", ""}, {"   ", ""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(EscapeQuotes(in), out) << in;
}

TEST(FindExpression, TextsForTypedValues) {
    const FindColumn text{"Descripcion", "@s40", "car:Descripcion"};
    const FindColumn number{"Código", "@n_4", "car:Codigo  "};
    const FindColumn date{"Fecha", "@d6", "FIS:Fecha"};
    const std::string day = std::to_string(dateFromYmd(2025, 3, 15));
    struct Case {
        const FindColumn* column;
        const char* typed;
        std::string expression;
    };
    const Case cases[] = {
        {&text, "tornillo", "MATCH(car:Descripcion,'*tornillo*',17)"},
        {&text, "tornillo   ", "MATCH(car:Descripcion,'*tornillo*',17)"},
        {&text, "tor*", "MATCH(car:Descripcion,'tor*',17)"},
        {&text, "t?r", "MATCH(car:Descripcion,'t?r',17)"},
        {&text, "llave 3/4'", "MATCH(car:Descripcion,'*llave 3/4''*',17)"},
        {&text, "'", "MATCH(car:Descripcion,'*''*',17)"},
        {&text, "a'') OR (1", "MATCH(car:Descripcion,'*a'''') OR (1*',17)"},
        {&text, "", "MATCH(car:Descripcion,'**',17)"},
        {&number, "12", "MATCH(car:Codigo,'12',17)"},
        {&number, "1*", "MATCH(car:Codigo,'1*',17)"},
        {&number, "1'2", "MATCH(car:Codigo,'1''2',17)"},
        {&date, "15/03/2025", "MATCH(FIS:Fecha,'" + day + "',17)"},
        {&date, "  15/03/2025 ", "MATCH(FIS:Fecha,'" + day + "',17)"},
        {&date, "31/02/2025", "MATCH(FIS:Fecha,'31/02/2025',17)"},  // not a date: as typed
        {&date, "*2025", "MATCH(FIS:Fecha,'*2025',17)"},
    };
    for (const auto& c : cases) {
        std::string expr = matchExpression(c.column->field, findPattern(c.typed, *c.column));
        EXPECT_EQ(expr, c.expression) << c.typed;
        expr::ExprError e;
        EXPECT_TRUE(expr::parseExpression(expr, &e)) << expr << ": " << e.describe();
    }
}

// Evaluates a find expression with its field holding `v`.
bool matches(const std::string& expression, std::string_view field, const Value& v) {
    expr::NameTable names;
    names.bind(field, expr::Binding::constant(v));
    expr::ExprError e;
    auto r = expr::evaluateOnce(expression, names, &e);
    EXPECT_TRUE(r) << expression << ": " << e.describe();
    return r && r->truthy();
}

TEST(FindExpression, WhatTheExpressionsFind) {
    const FindColumn text{"Descripcion", "@s40", "ART:Descripcion"};
    const FindColumn number{"No Art", "@n_10", "ART:NoArt"};
    const FindColumn barcode{"Codigo Barras", "@n_16", "ART:CodigoBarras"};  // a text field
    const FindColumn date{"Fecha", "@d6", "ENT:Fecha"};
    struct Case {
        const FindColumn* column;
        const char* typed;
        Value value;
        bool found;
    };
    const long long march15 = dateFromYmd(2025, 3, 15);
    const Case cases[] = {
        {&text, "tor", Value("Tornillo"), true},
        {&text, "tor", Value("MOTOR"), true},
        {&text, "tor", Value("factor   "), true},
        {&text, "tor", Value("Clavo"), false},
        {&text, "tor*", Value("Tornillo"), true},
        {&text, "tor*", Value("MOTOR"), false},
        {&text, "t?r", Value("TAR"), true},
        {&text, "t?r", Value("tor   "), true},
        {&text, "t?r", Value("Tornillo"), false},
        {&text, "llave 3/4'", Value("LLAVE 3/4' MIXTA"), true},
        {&text, "llave 3/4'", Value("LLAVE 3/4 MIXTA"), false},
        {&text, "50%", Value("descuento 50% menos"), true},
        {&text, "50%", Value("descuento 500 menos"), false},
        {&text, "a_b", Value("xa_bx"), true},
        {&text, "a_b", Value("xacbx"), false},
        {&text, "[x]", Value("caja [x] grande"), true},
        {&text, "[x]", Value("caja x grande"), false},
        {&text, "ñandú", Value("EL ÑANDÚ"), true},
        {&number, "12", Value(12), true},
        {&number, "12", Value(120), false},
        {&number, "12", Value(312), false},
        {&number, "12*", Value(120), true},
        {&number, "37.50", Value(Decimal::fromScaled(3750, 2)), true},
        {&number, "37.50", Value(Decimal::fromScaled(3751, 2)), false},
        {&barcode, "0075", Value("0075"), true},
        {&barcode, "0075", Value("00750"), false},
        {&date, "15/03/2025", Value(march15), true},
        {&date, "15/03/2025", Value(march15 + 1), false},
    };
    for (const auto& c : cases) {
        std::string e = matchExpression(c.column->field, findPattern(c.typed, *c.column));
        EXPECT_EQ(matches(e, c.column->field, c.value), c.found) << e << " on " << c.value.asText();
    }
}

TEST(VsFind, SetUpWithTheLastCriteria) {
    auto cols = *parseFindColumns("Código|@n_4|car:Codigo|Descripcion|@s40|car:Descripcion|");
    FindCriteria caller;
    VsFindLogic fresh(cols, caller);
    EXPECT_EQ(fresh.columnEntries(), "Código|Descripcion");
    EXPECT_EQ(fresh.chosen(), 0);  // the first entry selected
    EXPECT_EQ(fresh.valuePicture(), "n_4");
    EXPECT_EQ(fresh.expression(), "MATCH(car:Codigo,'',17)");

    caller.lastColumn = "Descripcion";
    caller.lastValue = "tuerca";
    VsFindLogic again(cols, caller);
    EXPECT_EQ(again.chosen(), 1);
    EXPECT_EQ(again.value(), "tuerca");
    EXPECT_EQ(again.pattern(), "*tuerca*");
    EXPECT_EQ(again.valuePicture(), "s40");
    EXPECT_EQ(again.expression(), "MATCH(car:Descripcion,'*tuerca*',17)");

    // A last column that is no longer in the list leaves the first chosen.
    caller.lastColumn = "Marca";
    VsFindLogic gone(cols, caller);
    EXPECT_EQ(gone.chosen(), 0);
    EXPECT_EQ(gone.expression(), "MATCH(car:Codigo,'tuerca',17)");
}

TEST(VsFind, ChangingTheColumnRebuildsThePattern) {
    auto cols = *parseFindColumns("Código|@n_4|car:Codigo|Descripcion|@s40|car:Descripcion|");
    FindCriteria caller;
    VsFindLogic w(cols, caller);
    w.chooseColumn(1);
    w.acceptValue("12");
    EXPECT_EQ(w.expression(), "MATCH(car:Descripcion,'*12*',17)");
    w.chooseColumn(0);  // the number column finds 12 itself, not 120
    EXPECT_EQ(w.expression(), "MATCH(car:Codigo,'12',17)");
    EXPECT_EQ(w.valuePicture(), "n_4");
    // A number typed as an entry shows it finds the number itself.
    for (const char* typed : {"12.00", "12."}) {
        w.acceptValue(typed);
        EXPECT_EQ(w.expression(), "MATCH(car:Codigo,'12',17)") << typed;
    }
    w.acceptValue("37.50");
    EXPECT_EQ(w.expression(), "MATCH(car:Codigo,'37.5',17)");
    w.acceptValue("12");
    w.chooseColumn(-1);
    EXPECT_EQ(w.expression(), "");
    EXPECT_EQ(w.valuePicture(), "s60");
    // The value is a text of 60.
    w.chooseColumn(1);
    w.acceptValue(std::string(70, '\''));
    EXPECT_EQ(w.value(), std::string(60, '\''));
    EXPECT_EQ(w.expression(), "MATCH(car:Descripcion,'*" + std::string(120, '\'') + "*',17)");
    EXPECT_LE(w.expression().size(), kFindFilterChars);  // never cut by the filter's 255
    expr::ExprError e;
    EXPECT_TRUE(expr::parseExpression(w.expression(), &e)) << e.describe();
}

TEST(VsFind, ButtonsTable) {
    auto cols = *parseFindColumns("Código|@n_4|car:Codigo|Descripcion|@s40|car:Descripcion|");
    enum class Button { Find, FindNext, Cancel, Other };
    struct Case {
        Button button;
        bool closes;
        const char* expression;
        const char* lastColumn;
        const char* lastValue;
        bool flag;
    };
    const Case cases[] = {
        {Button::Find, true, "MATCH(car:Descripcion,'*tor*',17)", "Descripcion", "tor", false},
        {Button::FindNext, true, "MATCH(car:Descripcion,'*tor*',17)", "Descripcion", "tor", true},
        {Button::Cancel, true, "", "old", "older", false},
        {Button::Other, true, "MATCH(car:Descripcion,'*tor*',17)", "old", "older", false},
    };
    for (const auto& c : cases) {
        FindCriteria caller{"old", "older", false};
        VsFindLogic w(cols, caller);
        w.chooseColumn(1);
        w.acceptValue("tor");
        VsFindLogic::Outcome o;
        switch (c.button) {
        case Button::Find: o = w.find(); break;
        case Button::FindNext: o = w.findNext(); break;
        case Button::Cancel: o = w.cancel(); break;
        case Button::Other: o = w.closeOther(); break;
        }
        EXPECT_EQ(o.closes, c.closes);
        EXPECT_EQ(o.expression, c.expression);
        EXPECT_EQ(caller.lastColumn, c.lastColumn);
        EXPECT_EQ(caller.lastValue, c.lastValue);  // as typed, not the pattern
        EXPECT_EQ(caller.findNext, c.flag);
    }
    // No column to choose: the window says so and stays.
    FindCriteria caller;
    VsFindLogic empty({}, caller);
    EXPECT_EQ(empty.chosen(), -1);
    auto o = empty.find();
    EXPECT_FALSE(o.closes);
    EXPECT_EQ(o.message, "Select a field first.");
    EXPECT_EQ(o.caption, "Error");
    EXPECT_FALSE(empty.findNext().closes);
    EXPECT_FALSE(caller.findNext);
}

// A view of a few records; the search reads from a position.
struct FakeView {
    std::vector<std::string> rows;
    std::size_t next = 0;
    std::string current;
    bool read() {
        if (next >= rows.size()) return false;
        current = rows[next++];
        return true;
    }
};

TEST(BrowseSearch, KeysAndStartPoints) {
    EXPECT_EQ(BrowseSearch::onKey(kKeyF3), BrowseSearch::Plan::AskThenSearch);
    EXPECT_EQ(BrowseSearch::onKey(kKeyF6), BrowseSearch::Plan::Search);
    EXPECT_EQ(BrowseSearch::onKey(kKeyF4), BrowseSearch::Plan::AskThenFilter);
    EXPECT_EQ(BrowseSearch::onKey(0x74), BrowseSearch::Plan::NotMine);

    BrowseSearch s("Descripcion|@s40|car:Descripcion|");
    s.criteria().findNext = true;
    s.beginAsk();
    EXPECT_FALSE(s.criteria().findNext);
    // "&Encontrar": from the top.
    EXPECT_EQ(s.askAnswered("MATCH(car:Descripcion,'*a*',17)", false), BrowseSearch::Start::Top);
    // "&Siguiente": after the selected row.
    s.beginAsk();
    s.criteria().findNext = true;  // as the find window leaves it
    EXPECT_EQ(s.askAnswered("MATCH(car:Descripcion,'*b*',17)", false), BrowseSearch::Start::AfterSelected);
    EXPECT_EQ(s.expression(), "MATCH(car:Descripcion,'*b*',17)");
    // The find window open on another thread: nothing changes.
    EXPECT_EQ(s.askAnswered("", true), BrowseSearch::Start::Nothing);
    EXPECT_EQ(s.expression(), "MATCH(car:Descripcion,'*b*',17)");
    // "Cancelar" after F3: the expression is blank, the search says so.
    s.beginAsk();
    EXPECT_EQ(s.askAnswered("", false), BrowseSearch::Start::Top);
    auto none = s.searchView([] { return true; }, [] { return true; });
    EXPECT_EQ(none.kind, BrowseSearch::Outcome::Kind::NoCriteria);
    EXPECT_EQ(none.message, "No search criteria specified.");
    EXPECT_EQ(none.caption, "Error");
    EXPECT_EQ(none.read, 0);
}

TEST(BrowseSearch, FilterByF4) {
    BrowseSearch s("Descripcion|@s40|car:Descripcion|");
    ASSERT_TRUE(s.filterAnswered("MATCH(car:Descripcion,'*tor*',17)", false));
    EXPECT_EQ(s.filterText(), "MATCH(car:Descripcion,'*tor*',17)");
    EXPECT_EQ(s.expression(), s.filterText());  // F6 then uses it
    // Refused: the filter stays as it was.
    EXPECT_FALSE(s.filterAnswered("", true));
    EXPECT_EQ(s.filterText(), "MATCH(car:Descripcion,'*tor*',17)");
    // "Cancelar": a blank filter, every record again.
    ASSERT_TRUE(s.filterAnswered("", false));
    EXPECT_EQ(s.filterText(), "");
    std::string longText(300, 'x');
    s.filterAnswered(longText, false);
    EXPECT_EQ(s.filterText().size(), kFindFilterChars);
    EXPECT_STREQ(kFindFilterName, "5 vsFind");
}

TEST(BrowseSearch, WalksOnAndNeverWraps) {
    BrowseSearch s;
    s.askAnswered("MATCH(car:Descripcion,'*tor*',17)", false);
    FakeView view{{"Clavo", "Tornillo", "Tuerca", "MOTOR", "Arandela"}, 0, ""};
    const expr::Matcher m("*tor*", kMatchModeFind);
    auto read = [&] { return view.read(); };
    auto match = [&] { return m.matches(std::string_view(view.current)); };

    auto first = s.searchView(read, match);
    EXPECT_EQ(first.kind, BrowseSearch::Outcome::Kind::Found);
    EXPECT_EQ(view.current, "Tornillo");
    EXPECT_EQ(first.read, 2);
    // F6 from the selected row.
    auto second = s.searchView(read, match);
    EXPECT_EQ(second.kind, BrowseSearch::Outcome::Kind::Found);
    EXPECT_EQ(view.current, "MOTOR");
    // After the last match: no more, no wrap to the top.
    auto third = s.searchView(read, match);
    EXPECT_EQ(third.kind, BrowseSearch::Outcome::Kind::NoMore);
    EXPECT_EQ(third.message, "No se encontraron más coincidencias.");
    EXPECT_EQ(third.caption, "Búsqueda");
    EXPECT_EQ(third.read, 1);
}

}  // namespace
}  // namespace tv::list
