// The expressions the lists, filter windows and reports write, evaluated on
// one article; then the arithmetic, comparison and function rules.
#include <gtest/gtest.h>

#include "platform/expr/program.h"
#include "tests/platform/expr/article_fixture.h"

namespace tv::expr::test {
namespace {

struct Case {
    const char* expr;
    Value expected;
};

std::string show(const Value& v) {
    return v.isText() ? "'" + *v.textPtr() + "'" : v.numberPtr()->toText();
}

bool sameValue(const Value& a, const Value& b) {
    if (a.isText() != b.isText()) return false;
    if (a.isText()) return *a.textPtr() == *b.textPtr();
    return *a.numberPtr() == *b.numberPtr();
}

class GrammarTest : public ::testing::Test {
protected:
    ArticleFixture fx;

    void SetUp() override {
        ArticleRow r;
        r.noArt = 150;
        r.descripcion = "Tornillo de acero llave 3/4'";
        r.marca = 7;
        r.categoria = 4;
        r.codigoBarras = "7501234567890";
        r.modelo = "T-100";
        r.stockMinimo = "20";
        r.stockIdeal = "10";
        r.entradas = "12.50";
        r.salidas = "2.25";
        r.pedido = "30";
        r.recibido = "12.5";
        r.notas = "Llega los lunes";
        fx.load(r);
        fx.importe = dec("33.33");
        fx.pvd.set(0, Value(5));
    }

    void check(const std::vector<Case>& cases) {
        for (const auto& c : cases) {
            ExprError err;
            auto p = Program::compile(c.expr, fx.names, &err);
            ASSERT_TRUE(p) << c.expr << ": " << err.describe();
            Value got = p->evaluate();
            EXPECT_TRUE(sameValue(got, c.expected))
                << c.expr << " gave " << show(got) << ", expected " << show(c.expected);
            EXPECT_EQ(p->test(), c.expected.truthy()) << c.expr;
        }
    }
};

TEST_F(GrammarTest, FilterAndFindTextsOfTheApplication) {
    check({
        // Report filter windows (ranges, one value, stock clause, pending clause).
        {"ART:NoArt >= 100 and ART:NoArt <= 250", 1},
        {"ART:NoArt >= 151 and ART:NoArt <= 250", 0},
        {"ART:NoArt = 150", 1},
        {"ART:Marca >= 7 and ART:Marca <= 7", 1},
        {"ART:Marca = 12", 0},
        {"ART:categoria >= 3 and ART:categoria <= 5", 1},
        {"art:categoria = 4", 1},
        {"ART:NoArt >= 100 and ART:NoArt <= 250 and art:categoria = 4 and "
         "ART:ExistenciaAnterior + ART:Entradas - ART:Salidas <> 0",
         1},
        {"ART:ExistenciaAnterior + ART:Entradas - ART:Salidas <> 0", 1},
        {"ART:ExistenciaAnterior + ART:Entradas - ART:Salidas", dec("10.25")},
        {"ART:Pedido - ART:Recibido > 0", 1},
        {"ART:NoArt >= 100 and ART:NoArt <= 0", 0},
        {"pvd:ID >= 3 and pvd:ID <= 7", 1},
        {"pvd:ID = 3", 0},
        // Standing filters of the pending-items query and the order wizard.
        {"(ART:Pedido > ART:Recibido)", 1},
        {"( ART:ExistenciaAnterior + ART:Entradas - ART:Salidas ) < ART:StockMinimo ", 1},
        {" ( ART:ExistenciaAnterior + ART:Entradas - ART:Salidas ) < ART:StockIdeal ", 0},
        // Find expressions built by the find window.
        {"MATCH(ART:Descripcion,'*tornillo*',17)", 1},
        {"MATCH(ART:Descripcion,'*llave 3/4''*',17)", 1},
        {"MATCH(ART:Descripcion,'tor*',17)", 1},
        {"MATCH(ART:Descripcion,'acero*',17)", 0},
        {"MATCH(ART:NoArt,'150',17)", 1},
        {"MATCH(ART:NoArt,'15',17)", 0},
        {"MATCH(ART:CodigoBarras,'7501234567890',17)", 1},
        {"MATCH(loc:importe,'33.33',17)", 1},
        {"MATCH(PorRecibir,'17.5',17)", 1},
        {"MATCH(Existencia,'10.25',17)", 1},
        {"MATCH(ART:Notas,'*LUNES*',17)", 1},
        // Query-by-example conditions.
        {"UPPER(ART:Modelo) = 'T-100' AND ART:Marca <> 8", 1},
        {"MATCH(UPPER(ART:Descripcion),'TORNILLO*',1)", 1},
    });
}

TEST_F(GrammarTest, LogicAndKeywordsInAnyCase) {
    check({
        {"art:noart = 150 AnD ART:MARCA = 7", 1},
        {"ART:Marca = 8 OR ART:categoria = 4", 1},
        {"ART:Marca = 8 or ART:categoria = 5", 0},
        {"NOT ART:NoArt = 150", 0},
        {"not (ART:Marca = 8) and ART:Marca = 7", 1},
        {"~(ART:Marca = 7)", 0},
        {"ART:Marca = 8 OR ART:Marca = 7 AND ART:categoria = 5", 0},  // AND binds tighter
        {"(ART:Marca = 8 OR ART:Marca = 7) AND ART:categoria = 4", 1},
        {"ART:Marca ~= 8", 1},
        {"ART:Marca != 8", 1},
        {"ART:Marca =< 7", 1},
        {"ART:Marca => 8", 0},
        {"ART:Modelo", std::string("T-100") + std::string(15, ' ')},  // a text is true when not blank
        {"''", ""},
    });
}

TEST_F(GrammarTest, ExactDecimalArithmetic) {
    check({
        {"0.1 + 0.2 = 0.3", 1},
        {"10 / 0", 0},
        {"ART:Entradas / 0 + 1", 1},
        {"100 / 7", dec("14.28571428571428571428571428571428")},
        {"1 / 3 * 3 = 1", 0},  // quotients carry 32 places, no rounding up
        {"-5 + 2", -3},
        {"2 * -3", -6},
        {"- ART:Salidas", dec("-2.25")},
        {"+5", 5},
        {"7 % 3", 1},
        {"-7 % 3", -1},
        {"7 % 0", 0},
        {"ART:Entradas * 2", 25},
        {"2 + 3 * 4", 14},
        {"(2 + 3) * 4", 20},
        {"10 - 4 - 3", 3},  // left to right
        {".5 + 1.25", dec("1.75")},
        {"ART:Pedido - ART:Recibido", dec("17.5")},
        {"'12abc' + 1", 13},  // a text counts as its leading number
        {"'abc' * 2", 0},
    });
}

TEST_F(GrammarTest, ComparisonsOfTextsAndNumbers) {
    check({
        {"'abc  ' = 'abc'", 1},          // trailing blanks ignored
        {"'  abc' = 'abc'", 0},          // leading ones are not
        {"'abc' < 'abd'", 1},
        {"'Abc' = 'abc'", 0},            // letter case counts ...
        {"UPPER('ñandú') = 'ÑANDÚ'", 1}, // ... unless UPPER is asked for
        {"'b' > 'a '", 1},
        {"ART:Modelo = 'T-100'", 1},
        {"ART:CodigoBarras = 7501234567890", 1},  // a numeric text against a number: numerically
        {"' 12 ' = 12", 1},
        {"'012' = 12", 1},
        {"'12abc' = 12", 0},             // not a number: compared as texts
        {"ART:Modelo = 0", 0},
        {"'' = 0", 1},                   // blank counts as 0
        {"'abc' > 5", 1},                // "5" < "abc" as texts
        {"'10' > '9'", 0},               // two texts: as texts
        {"10 > 9", 1},
        {"ART:Entradas = 12.5", 1},
        {"ART:Entradas = '12.50'", 1},
    });
}

TEST_F(GrammarTest, FunctionsAndJoining) {
    check({
        {"'a' & 1 & 'b'", "a1b"},
        {"ART:NoArt & ''", "150"},
        {"CLIP(ART:Modelo) & '|'", "T-100|"},
        {"LEN(ART:Modelo)", 20},
        {"LEN(CLIP(ART:Modelo))", 5},
        {"LEN('ñandú')", 5},
        {"UPPER('cañón')", "CAÑÓN"},
        {"LOWER('CAÑÓN')", "cañón"},
        {"SUB('Tornillo', 2, 3)", "orn"},
        {"SUB('Tornillo', 5)", "illo"},
        {"SUB('ñandú', 2, 3)", "and"},
        {"SUB('abc', 0, 2)", "a"},
        {"SUB('abc', 9, 2)", ""},
        {"SUB('abc', 2, 99999999999999999999)", "bc"},
        {"SUB('abc', -99999999999999999999, 99999999999999999999)", ""},
        {"SUB('abc', -1, 4)", "ab"},
        {"INSTRING('c', 'abc', 99999999999999999999, -5)", 0},
        {"INSTRING('c', 'abc', 1, 3)", 3},
        {"INSTRING('ll', 'Tornillo', 1, 1)", 6},
        {"INSTRING('x', 'Tornillo')", 0},
        {"INSTRING('DE', UPPER(ART:Descripcion), 1, 1) > 0", 1},
        {"ABS(-2.5)", dec("2.5")},
        {"INT(-2.5)", -2},
        {"match(art:modelo, 't-1*', 17)", 1},
        {"MATCH(ART:Modelo, 't-1*')", 0},  // default mode: wildcards, case counts
    });
}

TEST_F(GrammarTest, NamesAreBoundOnceAndReadEachTime) {
    auto p = Program::compile("ART:NoArt >= 100 AND MATCH(ART:Descripcion,'*perno*',17) AND PorRecibir > 0",
                              fx.names);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->test());
    ArticleRow r;
    r.noArt = 120;
    r.descripcion = "PERNO hexagonal";
    r.pedido = "5";
    fx.load(r);
    EXPECT_TRUE(p->test());
    r.recibido = "5";
    fx.load(r);
    EXPECT_FALSE(p->test());
}

TEST(NameTable, CaseInsensitiveWithFallback) {
    Decimal a = 1, b = 2;
    NameTable inner;
    inner.bind("GLO:Valor", Binding::number(a));
    NameTable outer;
    outer.bind("loc:importe", Binding::number(b));
    outer.setFallback(&inner);
    EXPECT_TRUE(outer.resolve("LOC:IMPORTE"));
    EXPECT_TRUE(outer.resolve("glo:valor"));
    EXPECT_FALSE(outer.resolve("glo:otro"));
    auto v = evaluateOnce("loc:Importe + GLO:VALOR", outer);
    ASSERT_TRUE(v);
    EXPECT_EQ(*v->numberPtr(), Decimal(3));
    outer.unbind("LOC:importe");
    EXPECT_FALSE(outer.contains("loc:importe"));
}

TEST(ExpressionNames, ListsEachNameOnce) {
    auto e = parseExpression("ART:NoArt >= 1 and art:noart <= 9 and MATCH(PorRecibir,'1*',17)");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->names(), (std::vector<std::string>{"ART:NoArt", "PorRecibir"}));
}

TEST(GetterFailure, GivesZeroNotACrash) {
    NameTable names;
    names.bind("Roto", Binding::getter([]() -> Value { throw std::runtime_error("sin memo"); }));
    auto p = Program::compile("Roto = 0 OR 1", names);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->test());
    EXPECT_TRUE(p->evaluate().isNumber());
}

}  // namespace
}  // namespace tv::expr::test
