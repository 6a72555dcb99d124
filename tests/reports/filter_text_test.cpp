// The filter text each filter window builds from its choices.
#include <gtest/gtest.h>

#include "reports/template/filter_text.h"

namespace tv::reports {
namespace {

FilterChoices choices(int articulos, long long a1, long long a2, long long ae, int marcas, long long m1, long long m2,
                      long long me, int categorias, long long c1, long long c2, long long ce, bool cero) {
    FilterChoices c;
    c.articulos = articulos;
    c.noArt1 = a1;
    c.noArt2 = a2;
    c.noArtE = ae;
    c.marcas = marcas;
    c.marca1 = m1;
    c.marca2 = m2;
    c.marcaE = me;
    c.categorias = categorias;
    c.cat1 = c1;
    c.cat2 = c2;
    c.catE = ce;
    c.cero = cero;
    return c;
}

TEST(FilterText, ChoicesGiveTheClausesInTheirOrder) {
    struct Case {
        const char* what;
        FilterChoices c;
        ClosingClause closing;
        std::string expected;
    };
    const std::string stock = kStockClause;
    const std::vector<Case> cases = {
        {"as the window opens", choices(1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, false), ClosingClause::Stock, stock},
        {"everything, stock box ticked", choices(1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, true), ClosingClause::Stock, ""},
        {"a range of articles and one category",
         choices(2, 100, 250, 0, 1, 0, 0, 0, 3, 0, 0, 4, false), ClosingClause::Stock,
         "ART:NoArt >= 100 and ART:NoArt <= 250 and art:categoria = 4 and " + stock},
        {"one brand alone has no leading joiner", choices(1, 0, 0, 0, 3, 0, 0, 12, 1, 0, 0, 0, true),
         ClosingClause::Stock, "ART:Marca = 12"},
        {"both bounds of a category range", choices(1, 0, 0, 0, 1, 0, 0, 0, 2, 3, 5, 0, true), ClosingClause::Stock,
         "ART:categoria >= 3 and ART:categoria <= 5"},
        {"one article, a brand range", choices(3, 0, 0, 1234, 2, 7, 9, 0, 1, 0, 0, 0, true), ClosingClause::Stock,
         "ART:NoArt = 1234 and ART:Marca >= 7 and ART:Marca <= 9"},
        {"values of the unused choices are ignored", choices(1, 5, 6, 7, 1, 8, 9, 10, 1, 11, 12, 13, true),
         ClosingClause::Stock, ""},
        {"an empty bound is 0", choices(2, 100, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, true), ClosingClause::Stock,
         "ART:NoArt >= 100 and ART:NoArt <= 0"},
        {"a negative number keeps its sign", choices(3, 0, 0, -5, 1, 0, 0, 0, 1, 0, 0, 0, true), ClosingClause::Stock,
         "ART:NoArt = -5"},
        {"the ledger report: no stock clause", choices(1, 0, 0, 0, 3, 0, 0, 2, 1, 0, 0, 0, false), ClosingClause::None,
         "ART:Marca = 2"},
        {"the ledger report with every choice on all", choices(1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, false),
         ClosingClause::None, ""},
        {"pending items: the clause alone", choices(1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, false), ClosingClause::Pending,
         kPendingClause},
        {"pending items: after the ranges, whatever the stock box says",
         choices(2, 1, 9, 0, 1, 0, 0, 0, 3, 0, 0, 6, true), ClosingClause::Pending,
         std::string("ART:NoArt >= 1 and ART:NoArt <= 9 and art:categoria = 6 and ") + kPendingClause},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildFilterText(c.c, c.closing), c.expected) << c.what;
        // Built afresh: a second build gives the same text.
        EXPECT_EQ(BuildFilterText(c.c, c.closing), c.expected) << c.what;
    }
}

TEST(FilterText, NumbersAreWrittenWhole) {
    EXPECT_EQ(FilterNumber(Decimal(0)), "0");
    EXPECT_EQ(FilterNumber(Decimal(99999999999LL)), "99999999999");
    EXPECT_EQ(FilterNumber(Decimal::fromScaled(-1299, 2)), "-12");
    EXPECT_EQ(FilterNumber(Decimal::fromScaled(75, 1)), "7");
}

TEST(FilterText, TheWidestChoicesFitTheFilterField) {
    const long long a = -99999999999LL, m = -999999999LL;
    const std::string t =
        BuildFilterText(choices(2, a, a, a, 2, m, m, m, 2, m, m, m, false), ClosingClause::Stock);
    EXPECT_LE(t.size(), kFilterMaxLength) << t;
}

}  // namespace
}  // namespace tv::reports
