// Order texts: the appended orders of reports and the column-header sort.
#include <gtest/gtest.h>

#include "platform/expr/order.h"

namespace tv::expr {
namespace {

TEST(OrderText, ReadsWhatTheApplicationWrites) {
    struct Case {
        const char* text;
        std::vector<OrderItem> items;
    };
    const Case cases[] = {
        {"art:marca", {{"art:marca", false, false}}},
        {"ART:marca,ART:NoArt", {{"ART:marca", false, false}, {"ART:NoArt", false, false}}},
        {"ART:categoria,ART:NoArt", {{"ART:categoria", false, false}, {"ART:NoArt", false, false}}},
        {"ppv:articulo", {{"ppv:articulo", false, false}}},
        {"+ORD:Folio", {{"ORD:Folio", false, false}}},
        {"-ORD:Folio", {{"ORD:Folio", true, false}}},
        {"+UPPER(ART:Descripcion)", {{"ART:Descripcion", false, true}}},
        {"-UPPER(ART:Descripcion)", {{"ART:Descripcion", true, true}}},
        {"UPPER(-ART:Descripcion)", {{"ART:Descripcion", true, true}}},
        {"upper( + art:modelo )", {{"art:modelo", false, true}}},
        {" -UPPER(ART:Descripcion) , +ART:NoArt ",
         {{"ART:Descripcion", true, true}, {"ART:NoArt", false, false}}},
        {"Existencia", {{"Existencia", false, false}}},
        {"", {}},
        {"   ", {}},
    };
    for (const auto& c : cases) {
        ExprError err;
        auto got = parseOrder(c.text, &err);
        ASSERT_TRUE(got) << c.text << ": " << err.describe();
        EXPECT_EQ(*got, c.items) << c.text;
        // What formatOrder writes reads back the same.
        auto again = parseOrder(formatOrder(*got));
        ASSERT_TRUE(again);
        EXPECT_EQ(*again, c.items) << formatOrder(*got);
    }
}

TEST(OrderText, RejectsMalformedTexts) {
    struct Case {
        const char* text;
        std::size_t position;
    };
    const Case cases[] = {
        {",", 0},            {"a,", 2},          {"a,,b", 2},   {"UPPER(a", 5},
        {"a b", 2},          {"+", 1},           {"UPPER(+a", 5}, {"-UPPER(-a)", 7},
        {"UPPER()", 6},      {"ART:NoArt;", 9},  {"1abc", 0},
    };
    for (const auto& c : cases) {
        ExprError err;
        EXPECT_FALSE(parseOrder(c.text, &err)) << c.text;
        EXPECT_EQ(err.position, c.position) << c.text << ": " << err.message;
        EXPECT_FALSE(err.message.empty());
    }
}

TEST(OrderText, FormatsSignsAndUpper) {
    EXPECT_EQ(formatOrder({{"ART:Descripcion", false, true}, {"ART:NoArt", true, false}}),
              "+UPPER(ART:Descripcion),-ART:NoArt");
    EXPECT_EQ(formatOrder({}), "");
}

}  // namespace
}  // namespace tv::expr
