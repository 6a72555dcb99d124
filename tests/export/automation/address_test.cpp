// Cell addresses, ranges, member paths and formulas in row-and-column
// notation, as tables of cases.
#include <gtest/gtest.h>

#include "export/automation/address.h"
#include "export/automation/member_path.h"

namespace tv::automation {
namespace {

TEST(Address, ColumnLettersBothWays) {
    const struct {
        int32_t number;
        const char* letters;
    } cases[] = {{1, "A"}, {26, "Z"}, {27, "AA"}, {52, "AZ"}, {53, "BA"}, {702, "ZZ"}, {703, "AAA"}, {16384, "XFD"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.letters);
        EXPECT_EQ(ColumnLetters(c.number), c.letters);
        EXPECT_EQ(ColumnNumber(c.letters), c.number);
    }
    EXPECT_EQ(ColumnNumber("xfd"), 16384) << "letters in any case";
    for (const char* bad : {"", "XFE", "AAAA", "A1", "Ñ"}) EXPECT_FALSE(ColumnNumber(bad)) << bad;
    EXPECT_EQ(ColumnLetters(0), "");
    EXPECT_EQ(ColumnLetters(16385), "");
    EXPECT_EQ(CellAddress(4, 2), "B4");
    EXPECT_EQ(CellAddress(1048577, 1), "");
}

TEST(Address, RangesThatReadAndThoseThatDoNot) {
    const struct {
        const char* text;
        const char* sheet;
        CellRect rect;
    } good[] = {
        {"A5", "", {5, 1, 5, 1}},
        {"a5", "", {5, 1, 5, 1}},
        {"$B$4", "", {4, 2, 4, 2}},
        {"A1:C3", "", {1, 1, 3, 3}},
        {"C3:A1", "", {1, 1, 3, 3}},
        {"A:D", "", {1, 1, kMaxRows, 4}},
        {"$C:$C", "", {1, 3, kMaxRows, 3}},
        {"2:5", "", {2, 1, 5, kMaxColumns}},
        {"Hoja1!B2", "Hoja1", {2, 2, 2, 2}},
        {"'Mi hoja'!A1:B2", "Mi hoja", {1, 1, 2, 2}},
        {"'O''Brien'!A1", "O'Brien", {1, 1, 1, 1}},
        {"A5                              ", "", {5, 1, 5, 1}},
        {"XFD1048576", "", {kMaxRows, kMaxColumns, kMaxRows, kMaxColumns}},
    };
    for (const auto& c : good) {
        SCOPED_TRACE(c.text);
        std::optional<RangeAddress> r = ParseRange(c.text);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->sheet, c.sheet);
        EXPECT_EQ(r->rect, c.rect);
    }
    for (const char* bad : {"", "A", "5", "A0", "A1048577", "XFE1", "A1:B", "A1:C3:D4", "A1,B2", "1A", "!A1",
                            "'Hoja!A1", "A$", "$$4", "Total"}) {
        SCOPED_TRACE(bad);
        std::string error;
        EXPECT_FALSE(ParseRange(bad, &error));
        EXPECT_NE(error.find("no es válida"), std::string::npos);
    }
    EXPECT_EQ(RangeText({1, 1, 3, 3}), "A1:C3");
    EXPECT_EQ(RangeText({1, 2, kMaxRows, 4}), "B:D");
    EXPECT_EQ(RangeText({2, 1, 5, kMaxColumns}), "2:5");
    EXPECT_EQ(ParseColumns("A:D"), (CellRect{1, 1, kMaxRows, 4}));
    EXPECT_EQ(ParseColumns("C"), (CellRect{1, 3, kMaxRows, 3}));
    EXPECT_FALSE(ParseColumns("A1:D4"));
}

TEST(Address, FormulasInRowAndColumnNotationGetColumnLetters) {
    const struct {
        const char* r1c1;
        int32_t row, column;
        const char* a1;
    } cases[] = {
        {"=R1C1", 5, 5, "=$A$1"},
        {"=RC", 5, 2, "=B5"},
        {"=R[-1]C+R[1]C[2]", 5, 2, "=B4+D6"},
        {"=SUM(R1C1:R3C1)", 9, 9, "=SUM($A$1:$A$3)"},
        {"=ROUND(RC[-1],2)", 2, 3, "=ROUND(B2,2)"},
        {"=\"RC\"&R1C2", 1, 1, "=\"RC\"&$B$1"},
        {"=R2C[1]*2", 7, 1, "=B$2*2"},
        {"=1+1", 1, 1, "=1+1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.r1c1);
        EXPECT_EQ(FormulaFromR1C1(c.r1c1, c.row, c.column), c.a1);
    }
    std::string error;
    EXPECT_FALSE(FormulaFromR1C1("=R[-1]C", 1, 1, &error)) << "above the first row";
    EXPECT_FALSE(error.empty());
}

TEST(MemberPath, PathsReadAsMembersWithTheirArguments) {
    auto p = ParseMemberPath("Application.ActiveWorkbook.SaveAs(\"C:\\libro.xlsx\",51,,1,\"\",0,1)");
    ASSERT_TRUE(p);
    ASSERT_EQ(p->size(), 3u);
    EXPECT_EQ((*p)[2].name, "SaveAs");
    ASSERT_EQ((*p)[2].arguments.size(), 7u);
    EXPECT_EQ((*p)[2].arguments[0].text, "C:\\libro.xlsx");
    EXPECT_EQ((*p)[2].arguments[1].number, 51);
    EXPECT_EQ((*p)[2].arguments[2].kind, PathArgument::Kind::Omitted);
    EXPECT_EQ((*p)[2].arguments[4].kind, PathArgument::Kind::Text);

    // A text with dots, commas, parentheses and a doubled quote stays one argument.
    p = ParseMemberPath("Sheets(\"a.b, (c) \"\"d\"\"\").Name");
    ASSERT_TRUE(p);
    ASSERT_EQ(p->size(), 2u);
    EXPECT_EQ((*p)[0].arguments.at(0).text, "a.b, (c) \"d\"");
    EXPECT_EQ(QuoteArgument("a\"b"), "\"a\"\"b\"");
    EXPECT_EQ(ParseMemberPath("Range(" + QuoteArgument("x\").Quit(\"") + ").Select")->size(), 2u)
        << "a quoted text cannot end its argument early";

    for (const char* bad : {"", ".Visible", "Range(\"A1\"", "Range(\"A1).Select", "Cells(1;2)", "A..B", "Range(\"A1\")x"}) {
        SCOPED_TRACE(bad);
        std::string error;
        EXPECT_FALSE(ParseMemberPath(bad, &error));
        EXPECT_NE(error.find("no se entiende"), std::string::npos);
    }
}

}  // namespace
}  // namespace tv::automation
