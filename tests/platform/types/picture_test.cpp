#include "platform/types/picture.h"

#include <gtest/gtest.h>

#include "platform/types/date.h"

namespace tv {
namespace {

Decimal D(std::string_view s) { return Decimal::parse(s).value_or(Decimal()); }

Picture P(std::string_view s) {
    auto p = Picture::parse(s);
    EXPECT_TRUE(p.has_value()) << s;
    return p.value_or(Picture());
}

TEST(Picture, ParsesThePicturesInUse) {
    struct Case { const char* text; Picture::Kind kind; int width, places; };
    const Case cases[] = {
        {"n_10", Picture::Kind::Number, 10, 0}, {"@n-14.2", Picture::Kind::Number, 14, 2},
        {"n10.2b", Picture::Kind::Number, 10, 2}, {"n_10B", Picture::Kind::Number, 10, 0},
        {"n-4.0", Picture::Kind::Number, 4, 0},   {"n2", Picture::Kind::Number, 2, 0},
        {"@s40", Picture::Kind::Text, 40, 0},     {"S16", Picture::Kind::Text, 16, 0},
        {"s255", Picture::Kind::Text, 255, 0},    {"@d6", Picture::Kind::Date, 10, 0},
        {"p<<#p", Picture::Kind::Page, 3, 0},
    };
    for (const auto& c : cases) {
        Picture p = P(c.text);
        EXPECT_EQ(p.kind(), c.kind) << c.text;
        EXPECT_EQ(p.width(), c.width) << c.text;
        EXPECT_EQ(p.places(), c.places) << c.text;
    }
    for (const char* bad : {"", "@", "n", "n.2", "nx", "n10.2c", "s", "s10x", "d7", "x10", "p<<#", "n--5"})
        EXPECT_FALSE(Picture::parse(bad).has_value()) << bad;
}

TEST(Picture, FormatsNumbers) {
    struct Case { const char* pic; const char* value; const char* shown; };
    const Case cases[] = {
        {"n_10", "1234567", "   1234567"},
        {"n10.2", "1234567.891", "1,234,567.89"},   // wider than the picture: whole
        {"n10.2", "1234.5", "  1,234.50"},
        {"n10.2", "-1234.5", " -1,234.50"},         // minus shown even without "-"
        {"n-14.2", "-1234567.125", " -1,234,567.13"},
        {"n-14.2", "0", "          0.00"},
        {"n10.2b", "0", "          "},
        {"n10.2b", "0.004", "          "},           // rounds to zero: blank
        {"n10.2b", "0.005", "      0.01"},
        {"n_10B", "0", "          "},
        {"n_10B", "-5", "        -5"},
        {"n-4.0", "-2.5", "  -3"},
        {"n_4", "123456", "123456"},
        {"n_3", "-999", "-999"},
        {"n2", "7", " 7"},
        {"n13.2", "999.999", "     1,000.00"},
        {"n10", "-1000", "    -1,000"},
        {"n_16", "-0.4", "               0"},        // no negative zero
        {"n-10.2", "100", "    100.00"},
    };
    for (const auto& c : cases) EXPECT_EQ(P(c.pic).format(Value(D(c.value))), c.shown) << c.pic << " " << c.value;
    EXPECT_EQ(P("n_5").format(Value("12abc")), "   12");
}

TEST(Picture, FormatsTextDatePage) {
    EXPECT_EQ(P("s5").format(Value("año")), "año  ");
    EXPECT_EQ(P("S5").format(Value("camión")), "camió");
    EXPECT_EQ(P("s5").format(Value(D("-1.5"))), "-1.5 ");
    EXPECT_EQ(P("d6").format(Value(dateFromYmd(2024, 3, 7))), "07/03/2024");
    EXPECT_EQ(P("d6").format(Value(0)), "          ");
    EXPECT_EQ(P("d6").format(Value(-3)), "          ");
    EXPECT_EQ(P("p<<#p").format(Value(1)), "  1");
    EXPECT_EQ(P("p<<#p").format(Value(120)), "120");
    EXPECT_EQ(P("p<<#p").format(Value(1234)), "1234");
    EXPECT_EQ(formatWithPicture("@n_10", Value(5)), "         5");
    EXPECT_EQ(formatWithPicture("zz9", Value(D("2.50"))), "2.5");
}

TEST(Picture, ReadsNumbersBack) {
    struct Case { const char* pic; const char* typed; const char* value; };
    const Case cases[] = {
        {"n10.2", "  1,234.50", "1234.5"}, {"n10.2", "1234.5", "1234.5"},
        {"n10.2", "-1,234,567.89", "-1234567.89"}, {"n10.2", "1.005", "1.01"},
        {"n10.2", "-1.005", "-1.01"}, {"n10.2b", "          ", "0"}, {"n10.2", "", "0"},
        {"n_10", "  42 ", "42"}, {"n_10", "2.5", "3"}, {"n-14.2", "-0.5", "-0.5"},
        {"n10.2", ".5", "0.5"}, {"n10.2", "5.", "5"}, {"n10", "999,999", "999999"},
    };
    for (const auto& c : cases) {
        std::string err;
        auto v = P(c.pic).read(c.typed, &err);
        ASSERT_TRUE(v.has_value()) << c.pic << " '" << c.typed << "' " << err;
        EXPECT_EQ(v->asNumber(), D(c.value)) << c.pic << " '" << c.typed << "'";
        EXPECT_TRUE(v->isNumber());
    }
    // Every shown value reads back as itself.
    for (const char* pic : {"n10.2", "n-14.2", "n_10", "n10.2b", "n-4.0", "n_4"})
        for (const char* value : {"0", "-1234567.89", "1000", "0.01", "-3", "98765432.1"}) {
            Picture p = P(pic);
            Decimal want = D(value).rounded(p.places());
            auto v = p.read(p.format(Value(D(value))));
            ASSERT_TRUE(v.has_value()) << pic << " " << value;
            EXPECT_EQ(v->asNumber(), want) << pic << " " << value;
        }
}

TEST(Picture, RefusesBadNumbers) {
    for (const char* typed : {"abc", "12a", "1,5", "12,34", "1,2345", ",123", "123,", "1..2", "--1",
                              "1-", "- 1", "1 2", "1.2.3", "+", "-", ".", "1e3", "12%", "1,234.5,6"}) {
        std::string err;
        EXPECT_FALSE(P("n10.2").read(typed, &err).has_value()) << typed;
        EXPECT_EQ(err, "Número no válido") << typed;
    }
    EXPECT_FALSE(P("n_10").read("100000000000000000000000000000000").has_value());
}

TEST(Picture, ReadsTextDatePage) {
    auto t = P("S16").read("  12345678901234567890");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->asText(), "  12345678901234");
    EXPECT_EQ(P("s3").read("ñandú")->asText(), "ñan");

    struct Case { const char* typed; long day; };
    const Case dates[] = {
        {"07/03/2024", dateFromYmd(2024, 3, 7)}, {"7/3/2024", dateFromYmd(2024, 3, 7)},
        {" 29/02/2024 ", dateFromYmd(2024, 2, 29)}, {"", 0}, {"          ", 0},
    };
    for (const auto& c : dates) {
        auto v = P("d6").read(c.typed);
        ASSERT_TRUE(v.has_value()) << c.typed;
        EXPECT_EQ(v->asNumber(), Decimal(static_cast<long long>(c.day))) << c.typed;
    }
    for (const char* bad : {"31/02/2024", "29/02/2023", "00/01/2024", "1/13/2024", "1/1/24",
                            "1-1-2024", "01/01/2024x", "abc", "123/1/2024", "1/1/02024"}) {
        std::string err;
        EXPECT_FALSE(P("d6").read(bad, &err).has_value()) << bad;
        EXPECT_FALSE(err.empty()) << bad;
    }
    // The shown date reads back as itself.
    long d = dateFromYmd(2026, 12, 10);
    EXPECT_EQ(P("d6").read(P("d6").format(Value(d)))->asNumber(), Decimal(static_cast<long long>(d)));

    EXPECT_EQ(P("p<<#p").read(" 12")->asNumber(), Decimal(12));
    EXPECT_FALSE(P("p<<#p").read("-1").has_value());
}

}  // namespace
}  // namespace tv
