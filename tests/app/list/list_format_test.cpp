#include "app/list/list_format.h"

#include <gtest/gtest.h>

#include "platform/types/date.h"

namespace tv::list {
namespace {

struct FormatCase {
    const char* text;
    int columns;
    int groups;
};

// Every list format of the system's lists and drop lists.
const FormatCase kFormats[] = {
    {"120L(2)|M*~Nombre~@s30@120L(2)|M*~Télefono~@s30@", 2, 0},
    {"120L(2)|M~Nombre~@s30@", 1, 0},
    {"20R(1)|M~Id~R(2)@n_4@120L(2)|M~Nombre~@s30@", 2, 0},
    {"25R(2)|M~Código~@n_4@160L(2)|M~Marca~@s40@", 2, 0},
    {"26R(2)|M~Código~@n_4@160L(1)|M~Marca~@s40@", 2, 0},
    {"27R(1)|M~Código~@n_3@120L(1)|M~Descripcion~@s30@", 2, 0},
    {"27R(2)|M~Código~@n_3@160L(2)|M~Unidad de Medida~@s40@", 2, 0},
    {"27R(2)|M~Código~@n_4@160L(1)|M~Descripcion~@s40@", 2, 0},
    {"27R(2)|M~Código~@n_4@160L(2)|M~Descripcion~@s40@", 2, 0},
    {"27R(2)|M~Código~@n_4@160L(2)|M~Marca~@s40@", 2, 0},
    {"28R(2)|M~Código~@n_4@160L(2)|M~Descripcion~@s40@", 2, 0},
    {"28R(2)|M~Código~@n_4@160L(2)|M~Marca~@s40@", 2, 0},
    {"29R(2)|M~Código~@n_3@120L(2)|M~Descripcion~@s30@", 2, 0},
    {"40R(2)|M*~No Art~@n_10@279L(2)|M*~Descripcion~@s70@105L(2)|M*~UM~@s40@47R(2)|M*~Entrada~@n_10@"
     "51R(2)|M*~Fecha~@d6@40R(2)|M*~Costo Unitario~@n10.2@",
     6, 0},
    {"40R|M~Folio~R(2)@n_10@", 1, 0},
    {"45R(1)|M*~No Art~@n_10@283L(2)|M*~Descripción~@s70@85L(2)|M*~Modelo~@s20@68L(1)|M*~Codigo Barras~@n_16@"
     "80L(2)|M*~Tamaño~@s20@",
     5, 0},
    {"46C(1)|M*~Fecha~@d6@62L(2)|M*~Documento~@s14@87L(2)|M*~Concepto~@s20@86L(2)|M*~Referencia~@s20@"
     "45R(2)|M*~Entrada~@n10.2@44R(2)|M*~Salida~@n10.2@40R(2)|M*~Existencia~@n-10.2@",
     7, 0},
    {"46R(1)|M*~Id~@n_10@47R(1)|M*~Folio~@n_10@120L(1)|M*~Tipo~@s30@52R(1)|M*~Fecha~@d6@"
     "80L(2)|M*~Referencia~@s20@",
     5, 0},
    {"46R(1)|M*~Id~@n_10@64L(2)|M*~Código~@s15@165L(2)|M*~Nombre~@s40@163L(2)|M*~Nombre 2~@s40@"
     "80L(2)|M*~Nombre Comercial~@s40@",
     5, 0},
    {"46R(2)|M*~Id~@n_10@50R(2)|M*~Folio~@n_10@[23R(2)|M*@n_3@120L(2)|M*@s30@]|M~Tipo~49R(2)|M*~Fecha~@d6@"
     "51R(2)|M*~Orden Compra~@n_10@80L(2)|M*~Referencia~@s20@",
     7, 1},
    {"46R(2)|M*~No Art~@n_10@165L(2)|M*~Descripción~@s40@17L(2)|M*~UM~@s40@56R(2)|M*~Entradas~@n-14.2@"
     "56R(2)|M*~Salidas~@n-14.2@56R(2)|M*~Existencia Actual~@n-14.2@",
     6, 0},
    {"46R(2)|M*~No Art~@n_10@165L(2)|M*~Descripción~@s40@17L(2)|M*~UM~@s40@56R(2)|M*~Existencia Actual~@n-14.2@"
     "[56R(2)|M*~Stock~@n-14.2@56R(2)|M*~Diferencia~@n-14.2@]|M~Stocl Máximo~"
     "[56R(2)|M*~Stock~@n-14.2@56R(2)|M*~Diferencia~@n-14.2@]|M~Stock Mínimo~"
     "[56R(2)|M*~Stock~@n-14.2@56R(2)|M*~Diferencia~@n-14.2@]|M~Stock Ideal~",
     10, 3},
    {"47R(2)|M*~No Art~@n_10@280L(2)|M*~Descripcion~@s70@67L(2)|M*~UM~@s40@87L(2)|M*~Referencia~@s20@"
     "40R(2)|M*~Existencia~@n10.2@",
     5, 0},
    {"47R(2)|M*~No Art~@n_10@280L(2)|M*~Descripcion~@s70@90L(2)|M*~UM~@s40@80L(2)|M*~Referencia~@s20@"
     "40R(2)|M*~Existencia~@n10.2@",
     5, 0},
    {"51R(2)|M*~Codigo Articulo~@n_10@211L(2)|M*~Descripcion~@s70@61L(2)|M*~UM~@s40@44R(2)|M*~Cantidad~@n10.2@"
     "40R(2)|M*~Costo~@n10.2@56R(2)|M*~Importe~@n-14.2@",
     6, 0},
    {"51R(2)|M*~Codigo Articulo~@n_10@278L(2)|M*~Descripcion~@s70@85L(2)|M*~UM~@s40@40R(2)|M*~Cantidad~@n10.2@",
     4, 0},
    {"52C(2)|M*~Fecha~C(0)@d6@80L(2)|M*~Descripcion~@s60@", 2, 0},
    {"64L(2)|M*~Código~@s15@80L(2)|M*~Nombre~@s40@", 2, 0},
    {"66L(2)|M~Código~@s15@160L(2)|M~Nombre~@s40@", 2, 0},
    {"68L(1)|M*~Codigo Barras~@n_16@283L(2)|M*~Descripción~@s70@45R(1)|M*~No Art~@n_10@85L(2)|M*~Modelo~@s20@"
     "80L(2)|M*~Tamaño~@s20@",
     5, 0},
    {"80L(2)|M*~Nombre~@s30@", 1, 0},
    {"80R(1)|M*~Código~@n_2@80L(1)|M*~Nombre~@s30@", 2, 0},
    {"80R(1)|M*~Código~@n_2@80L(2)|M*~Nombre~@s30@", 2, 0},
    {"80R(1)|M*~Código~@n_3@80L(1)|M*~Unidad de Medida~@s40@", 2, 0},
    {"80R(1)|M*~Código~@n_3@80L(2)|M*~Nombre~@s40@", 2, 0},
    {"80R(1)|M*~Código~@n_4@80L(1)|M*~Descripcion~@s40@", 2, 0},
    {"80R(1)|M*~Código~@n_4@80L(1)|M*~Marca~@s40@", 2, 0},
    {"80R(1)|M*~Código~@n_4@80L(1)|M*~Nombre~@s30@", 2, 0},
    {"80R(2)|M*~Codigo~@n_3@80L(2)|M*~Descripcion~@s30@", 2, 0},
    {"80R(2)|M*~No Art~@n_10@285L(2)|M*~Descripcion~@s70@56L(2)|M*~UM~@s40@56R(2)|M*~Pedido~@n-14.2@"
     "56R(2)|M*~Recibido~@n-14.2@56R(2)|M*~Por Recibir~@n-14.2@",
     6, 0},
    {"[52R(2)|M*@n_10@167L(2)|M*@s40@]|M~Artículo~21L(2)|M*~UM~@n_3@45R(2)|M*~Cantidad~@n10.2@"
     "49R(2)|M*~Costo Unitario~@n10.2@56R(2)|M*~Importe~@n-14.2@",
     6, 1},
    {"[54R(2)|M*~Código~@n_10@160L(2)|M*~Descripción~@s40@12R(2)|M*~UM~@n_3@](231)|M~Artículo~"
     "45R(2)|M*~Cantidad~@n10.2@51R(2)|M*~Costo Unitario~@n10.2@56R(2)|M*~Importe~@n14.2@",
     6, 1},
};

TEST(ListFormat, EveryListFormatOfTheSystemParses) {
    for (const auto& c : kFormats) {
        ListFormatError err;
        auto f = ListFormat::parse(c.text, &err);
        ASSERT_TRUE(f) << c.text << "\n" << err.describe();
        EXPECT_EQ(f->columnCount(), c.columns) << c.text;
        EXPECT_EQ(static_cast<int>(f->groups().size()), c.groups) << c.text;
        for (const auto& col : f->columns()) {
            EXPECT_GT(col.width, 0) << c.text;
            EXPECT_TRUE(col.picture) << c.text;
            EXPECT_TRUE(col.resizable && col.rightBorder) << c.text;
        }
    }
}

TEST(ListFormat, CatalogueColumnsInDetail) {
    auto f = ListFormat::parse("80R(1)|M*~Código~@n_4@80L(1)|M*~Descripcion~@s40@");
    ASSERT_TRUE(f);
    const ListColumn& code = f->columns()[0];
    EXPECT_EQ(code.width, 80);
    EXPECT_EQ(code.align, Align::Right);
    EXPECT_EQ(code.indent, 1);
    EXPECT_TRUE(code.rightBorder);
    EXPECT_TRUE(code.resizable);
    EXPECT_TRUE(code.cellColours);
    EXPECT_EQ(code.header, "Código");
    EXPECT_FALSE(code.headerAlignGiven);
    EXPECT_EQ(code.headerAlign, Align::Right);  // the column's own
    EXPECT_EQ(code.pictureText, "n_4");
    EXPECT_EQ(code.picture->kind(), Picture::Kind::Number);
    EXPECT_EQ(code.group, -1);
    const ListColumn& name = f->columns()[1];
    EXPECT_EQ(name.align, Align::Left);
    EXPECT_EQ(name.header, "Descripcion");
    EXPECT_EQ(name.picture->kind(), Picture::Kind::Text);
    EXPECT_EQ(name.picture->width(), 40);
    // Line: value + 4 colours per column.
    EXPECT_EQ(f->lineFieldCount(), 10);
    EXPECT_EQ(f->valueField(1), 5);
    EXPECT_EQ(f->colourField(1), 6);
}

TEST(ListFormat, HeadersWithTheirOwnAlignment) {
    auto f = ListFormat::parse("52C(2)|M*~Fecha~C(0)@d6@80L(2)|M*~Descripcion~@s60@");
    ASSERT_TRUE(f);
    const ListColumn& date = f->columns()[0];
    EXPECT_EQ(date.align, Align::Center);
    EXPECT_EQ(date.indent, 2);
    EXPECT_TRUE(date.headerAlignGiven);
    EXPECT_EQ(date.headerAlign, Align::Center);
    EXPECT_EQ(date.headerIndent, 0);
    EXPECT_EQ(date.picture->kind(), Picture::Kind::Date);

    auto folio = ListFormat::parse("40R|M~Folio~R(2)@n_10@");
    ASSERT_TRUE(folio);
    const ListColumn& c = folio->columns()[0];
    EXPECT_EQ(c.indent, 0);
    EXPECT_FALSE(c.cellColours);
    EXPECT_EQ(c.headerAlign, Align::Right);
    EXPECT_EQ(c.headerIndent, 2);
    EXPECT_EQ(folio->lineFieldCount(), 1);
    EXPECT_EQ(folio->colourField(0), -1);
}

TEST(ListFormat, GroupedHeaders) {
    auto f = ListFormat::parse(
        "[54R(2)|M*~Código~@n_10@160L(2)|M*~Descripción~@s40@12R(2)|M*~UM~@n_3@](231)|M~Artículo~"
        "45R(2)|M*~Cantidad~@n10.2@51R(2)|M*~Costo Unitario~@n10.2@56R(2)|M*~Importe~@n14.2@");
    ASSERT_TRUE(f);
    ASSERT_EQ(f->groups().size(), 1u);
    const ListGroup& g = f->groups()[0];
    EXPECT_EQ(g.firstColumn, 0);
    EXPECT_EQ(g.columnCount, 3);
    EXPECT_EQ(g.width, 231);
    EXPECT_EQ(g.header, "Artículo");
    EXPECT_TRUE(g.rightBorder && g.resizable);
    EXPECT_EQ(f->columns()[2].group, 0);
    EXPECT_EQ(f->columns()[3].group, -1);
    EXPECT_EQ(f->columns()[3].header, "Cantidad");

    // A group in the middle, its columns without headers of their own.
    auto r = ListFormat::parse(
        "46R(2)|M*~Id~@n_10@50R(2)|M*~Folio~@n_10@[23R(2)|M*@n_3@120L(2)|M*@s30@]|M~Tipo~49R(2)|M*~Fecha~@d6@");
    ASSERT_TRUE(r);
    const ListGroup& t = r->groups()[0];
    EXPECT_EQ(t.firstColumn, 2);
    EXPECT_EQ(t.columnCount, 2);
    EXPECT_EQ(t.width, 0);
    EXPECT_EQ(t.header, "Tipo");
    EXPECT_EQ(r->columns()[2].header, "");
    EXPECT_EQ(r->columns()[2].pictureText, "n_3");
    EXPECT_EQ(r->columns()[4].header, "Fecha");
}

TEST(ListFormat, BadTextsGiveClearErrors) {
    struct Bad {
        const char* text;
        std::size_t position;
        const char* says;
    };
    const Bad cases[] = {
        {"", 0, "vacío"},
        {"80X(1)|M~A~@s4@", 2, "alineación"},
        {"R(1)|M~A~@s4@", 0, "ancho"},
        {"80R(1|M~A~@s4@", 5, "')'"},
        {"80R(1)|M~Código@s4@", 8, "'~'"},
        {"80R(1)|M~A~@s4", 11, "'@'"},
        {"80R(1)|M~A~@q9@", 12, "máscara desconocida"},
        {"80R(1)|M~A~@s4@#", 15, "'#'"},
        {"[80R(1)|M~A~@s4@", 0, "']'"},
        {"[]|M~A~", 0, "vacío"},
        {"[[80R|M@s4@]]", 1, "otro grupo"},
        {"80R(1)|M~A~@s4@ñ", 15, "'ñ'"},
        {"999999R(1)|M~A~@s4@", 0, "demasiado grande"},
        {"[80R@s4@]*~A~", 9, "colores"},
    };
    for (const auto& c : cases) {
        ListFormatError err;
        EXPECT_FALSE(ListFormat::parse(c.text, &err)) << c.text;
        EXPECT_EQ(err.position, c.position) << c.text << ": " << err.message;
        EXPECT_NE(err.message.find(c.says), std::string::npos) << c.text << ": " << err.message;
        EXPECT_NE(err.describe().find("Formato de lista no válido"), std::string::npos);
    }
}

TEST(ListFormat, DamagedFormatsNeverCrash) {
    // Every real format with one character cut, or one of the syntax's own
    // characters put in, anywhere: parsed or refused with a place inside it.
    const std::string inserts = "[]()|M*~@LRCD-0 \xC3";
    for (const auto& c : kFormats) {
        const std::string text = c.text;
        for (std::size_t at = 0; at <= text.size(); ++at) {
            std::vector<std::string> variants;
            if (at < text.size()) variants.push_back(text.substr(0, at) + text.substr(at + 1));
            for (char ch : inserts) variants.push_back(text.substr(0, at) + ch + text.substr(at));
            variants.push_back(text.substr(0, at));
            for (const auto& v : variants) {
                ListFormatError err;
                auto f = ListFormat::parse(v, &err);
                if (!f) {
                    EXPECT_LE(err.position, v.size()) << v;
                    EXPECT_FALSE(err.message.empty()) << v;
                }
            }
        }
    }
}

TEST(ListFormat, NegativeIndentAndDecimalAlignment) {
    auto f = ListFormat::parse("60D(-4)|~Importe~@n-14.2@ 30L~X~");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->columns()[0].align, Align::Decimal);
    EXPECT_EQ(f->columns()[0].indent, -4);
    EXPECT_FALSE(f->columns()[0].resizable);
    EXPECT_FALSE(f->columns()[1].picture);
}

TEST(ListFormat, CellTextThroughThePicture) {
    auto f = ListFormat::parse(
        "45R(1)|M*~No Art~@n_10@283L(2)|M*~Descripción~@s70@68L(1)|M*~Codigo Barras~@n_16@"
        "56R(2)|M*~Importe~@n-14.2@44R(2)|M*~Cantidad~@n10.2@52R(1)|M*~Fecha~@d6@30L~Libre~");
    ASSERT_TRUE(f);
    const auto& c = f->columns();
    struct Case {
        int column;
        Value value;
        const char* shown;
    };
    const Case cases[] = {
        {0, Value(1234567), "1234567"},
        {0, Value(0), "0"},
        {1, Value("Tornillo 3/4'   "), "Tornillo 3/4'"},
        {1, Value("  sangría"), "  sangría"},
        {2, Value("7501234567890"), "7501234567890"},
        {2, Value("ABC-12"), "ABC-12"},  // a bar code with letters stays readable
        {2, Value("0075123  "), "0075123"},  // and keeps its leading zeros
        {3, Value(Decimal::fromScaled(-123456, 2)), "-1,234.56"},
        {4, Value(Decimal::fromScaled(1234567, 2)), "12,345.67"},
        {5, Value(static_cast<long long>(dateFromYmd(2025, 3, 15))), "15/03/2025"},
        {5, Value(0), ""},
        {6, Value("sin máscara  "), "sin máscara"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(formatCell(c[static_cast<std::size_t>(k.column)], k.value), k.shown) << k.column;
}

TEST(ListFormat, StripesBelongToScreenRows) {
    EXPECT_EQ(stripeColours(1).background, kStripeColour);
    EXPECT_EQ(stripeColours(2).background, -1);
    EXPECT_EQ(stripeColours(3).background, kStripeColour);
    CellColours odd = stripeColours(5);
    EXPECT_EQ(odd.foreground, -1);
    EXPECT_EQ(odd.selectedForeground, -1);
    EXPECT_EQ(odd.selectedBackground, -1);
}

}  // namespace
}  // namespace tv::list
