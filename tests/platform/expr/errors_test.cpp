// Bad expressions give an error with a position, never a crash; so do
// truncated and mangled ones.
#include <gtest/gtest.h>

#include <random>

#include "platform/expr/program.h"
#include "tests/platform/expr/article_fixture.h"

namespace tv::expr::test {
namespace {

struct BadCase {
    const char* expr;
    std::size_t position;
    const char* messagePart;
};

TEST(ExpressionErrors, ReportWhereAndWhat) {
    ArticleFixture fx;
    const BadCase cases[] = {
        {"", 0, "vacía"},
        {"   ", 0, "vacía"},
        {"ART:NoArt >=", 12, "falta un valor"},
        {"(ART:NoArt = 1", 0, "')'"},
        {"ART:NoArt = 1)", 13, "')'"},
        {"MATCH(ART:Descripcion,'*x*,17)", 22, "comilla"},
        {"ART:NoArt = = 1", 12, "'='"},
        {"FOO(1)", 0, "función desconocida: FOO"},
        {"MATCH(ART:Descripcion)", 0, "argumentos"},
        {"UPPER()", 0, "argumentos"},
        {"MATCH(ART:Descripcion,'x' 17)", 26, "','"},
        {"ART:NoArt # 1", 10, "'#'"},
        {"ART:Descripcion = 'año' ¿", 25, "'¿'"},
        {"1 2", 2, "operador"},
        {"12abc = 1", 2, "número"},
        {"ART:NoArt = 1 AND", 17, "falta un valor"},
        {"AND ART:NoArt = 1", 0, "AND"},
        {"ART:NoArt = 1 OR OR 2", 17, "OR"},
        {"ART:NoArt ! 1", 10, "'!'"},
        {"(,)", 1, "','"},
        {"123456789012345678901234567890123 = 1", 0, "grande"},
    };
    for (const auto& c : cases) {
        ExprError err;
        EXPECT_FALSE(Program::compile(c.expr, fx.names, &err)) << c.expr;
        EXPECT_EQ(err.position, c.position) << c.expr << ": " << err.describe();
        EXPECT_NE(err.message.find(c.messagePart), std::string::npos) << c.expr << ": " << err.message;
    }
}

TEST(ExpressionErrors, UnknownNamesAndModesFailAtCompileTime) {
    ArticleFixture fx;
    ExprError err;
    EXPECT_FALSE(Program::compile("ART:NoArt = 1 AND ART:Nada = 2", fx.names, &err));
    EXPECT_EQ(err.position, 18u);
    EXPECT_EQ(err.message, "nombre desconocido: ART:Nada");
    EXPECT_EQ(err.describe(), "Error en la expresión (posición 19): nombre desconocido: ART:Nada");

    EXPECT_FALSE(Program::compile("MATCH(ART:Descripcion,'x',2)", fx.names, &err));
    EXPECT_NE(err.message.find("MATCH"), std::string::npos);
    EXPECT_EQ(err.position, 26u);

    // A parsed expression is still fine: only the binding failed.
    EXPECT_TRUE(parseExpression("ART:NoArt = 1 AND ART:Nada = 2"));
}

TEST(ExpressionErrors, ModeComputedAtRunTimeThatIsUnsupportedMatchesNothing) {
    ArticleFixture fx;
    auto p = Program::compile("MATCH('x', 'x', ART:Marca + 2)", fx.names);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->test());
    fx.art.set(fx.field("ART:Marca"), Value(15));  // 17
    EXPECT_TRUE(p->test());
}

TEST(ExpressionErrors, NestingAndLengthAreBounded) {
    ArticleFixture fx;
    std::string deep(5000, '(');
    deep += "1";
    deep += std::string(5000, ')');
    ExprError err;
    EXPECT_FALSE(Program::compile(deep, fx.names, &err));
    EXPECT_NE(err.message.find("anidada"), std::string::npos);

    std::string nots;
    for (int i = 0; i < 5000; ++i) nots += "NOT ";
    EXPECT_FALSE(Program::compile(nots + "1", fx.names, &err));

    std::string chain = "1";
    for (int i = 0; i < 3000; ++i) chain += "+1";
    EXPECT_FALSE(Program::compile(chain, fx.names, &err));

    // What the application writes stays far below the bounds: a full
    // 1024-character find text and a deep but sane nesting.
    std::string ok = "1";
    for (int i = 0; i < 150; ++i) ok += "+1";
    auto v = evaluateOnce(ok, fx.names, &err);
    ASSERT_TRUE(v) << err.describe();
    EXPECT_EQ(*v->numberPtr(), Decimal(151));
    std::string nested = std::string(40, '(') + "2" + std::string(40, ')') + " * 2";
    v = evaluateOnce(nested, fx.names, &err);
    ASSERT_TRUE(v) << err.describe();
    EXPECT_EQ(*v->numberPtr(), Decimal(4));
}

// Every prefix of a valid expression, and random damage to it, gives either
// an error or a value.
TEST(ExpressionErrors, TruncatedAndMangledTextsNeverCrash) {
    ArticleFixture fx;
    ArticleRow r;
    r.noArt = 7;
    r.descripcion = "Cañón";
    fx.load(r);
    const char* valid[] = {
        "ART:NoArt >= 100 and ART:NoArt <= 250 and art:categoria = 4 and "
        "ART:ExistenciaAnterior + ART:Entradas - ART:Salidas <> 0",
        "MATCH(ART:Descripcion,'*llave 3/4''*',17)",
        " ( ART:ExistenciaAnterior + ART:Entradas - ART:Salidas ) < ART:StockIdeal ",
        "NOT (UPPER(ART:Modelo) = 'ÑANDÚ' OR SUB('abc', 2, 1) & 'x' = 'bx') AND INSTRING('a', 'bac', 1, 1) > 1",
        "-ART:Salidas * 2 / (ART:Entradas - 12.5) % 3 ~= .5",
        "MATCH(PorRecibir,'1?.5*',17) OR LEN(CLIP(ART:Notas)) > 0",
    };
    std::size_t errors = 0, values = 0;
    auto tryOne = [&](const std::string& text) {
        ExprError err;
        auto p = Program::compile(text, fx.names, &err);
        if (!p) {
            ++errors;
            EXPECT_LE(err.position, text.size()) << text;
            EXPECT_FALSE(err.message.empty()) << text;
            return;
        }
        ++values;
        (void)p->evaluate();
        (void)p->test();
    };
    for (const char* v : valid) {
        std::string s(v);
        for (std::size_t n = 0; n <= s.size(); ++n) tryOne(s.substr(0, n));
    }
    std::mt19937 rng(20261210);
    const std::string alphabet = "()',+-*/%&=<>~!. aZ9:_\xC3\xB1\xFF";
    for (int round = 0; round < 3000; ++round) {
        std::string s(valid[rng() % std::size(valid)]);
        int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits && !s.empty(); ++e) {
            std::size_t at = rng() % s.size();
            switch (rng() % 3) {
                case 0: s.erase(at, 1 + rng() % 3); break;
                case 1: s.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
                default: s[at] = alphabet[rng() % alphabet.size()]; break;
            }
        }
        tryOne(s);
    }
    EXPECT_GT(errors, 0u);
    EXPECT_GT(values, 0u);
}

}  // namespace
}  // namespace tv::expr::test
