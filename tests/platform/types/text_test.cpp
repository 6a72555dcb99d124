#include "platform/types/text.h"

#include <gtest/gtest.h>

namespace tv {
namespace {

TEST(Text, CaseConversionWithAccentedPairs) {
    EXPECT_EQ(toUpper("äáåæçéíñóöúü"), "ÄÁÅÆÇÉÍÑÓÖÚÜ");
    EXPECT_EQ(toLower("ÄÁÅÆÇÉÍÑÓÖÚÜ"), "äáåæçéíñóöúü");
    EXPECT_EQ(toUpper("año señal, camión 12-b"), "AÑO SEÑAL, CAMIÓN 12-B");
    EXPECT_EQ(toLower("PEÑA NIETO Ü"), "peña nieto ü");
    // Letters outside the locale's pairs stay as they are.
    EXPECT_EQ(toUpper("àèß€"), "àèß€");
    EXPECT_EQ(toLower("ÀÈ"), "ÀÈ");
}

TEST(Text, ComparisonsIgnoreTrailingBlanks) {
    EXPECT_EQ(compareText("ABC", "ABC   "), 0);
    EXPECT_EQ(compareText("", "   "), 0);
    EXPECT_LT(compareText("AB", "ABC"), 0);
    EXPECT_LT(compareText("AB ", "AB!"), 0);  // a blank inside still counts
    EXPECT_GT(compareText("b", "a   "), 0);
    EXPECT_LT(compareText("Z", "a"), 0);  // byte order
    EXPECT_EQ(compareNoCase("camión  ", "CAMIÓN"), 0);
    EXPECT_EQ(compareNoCase("Peña", "PEÑA "), 0);
    EXPECT_LT(compareNoCase("abc", "ABD"), 0);
    EXPECT_GT(compareNoCase("b", "A"), 0);
    EXPECT_NE(compareNoCase("Peña", "PENA"), 0);
}

TEST(Text, FittingCutsAtCharacters) {
    EXPECT_EQ(charCount("añoé"), 4u);
    EXPECT_EQ(fitText("año", 5), "año  ");
    EXPECT_EQ(fitText("camión", 5), "camió");
    EXPECT_EQ(fitText("ñññ", 2), "ññ");
    EXPECT_EQ(fitText("", 3), "   ");
    EXPECT_EQ(cutText("camión", 5), "camió");
    EXPECT_EQ(cutText("ab", 5), "ab");
    // Into a field that held a longer text, or from a part of its own text.
    std::string field = "una descripción larga";
    fitTextInto(field, "año", 5);
    EXPECT_EQ(field, "año  ");
    fitTextInto(field, std::string_view(field).substr(3), 4);
    EXPECT_EQ(field, "o   ");
    // A cell of its width refitted from its own tail, then emptied.
    std::string cell = "abcdefgh";
    fitTextInto(cell, std::string_view(cell).substr(2), 8);
    EXPECT_EQ(cell, "cdefgh  ");
    fitTextInto(cell, "", 8);
    EXPECT_EQ(cell, "        ");
    EXPECT_EQ(rtrim("  a b  "), "  a b");
    EXPECT_EQ(trim("  a b  "), "a b");
}

// Text that is not valid UTF-8 (read from a damaged file, another tool) is
// still held to the field's width: a stray byte counts as one character, so
// a 10-character field cannot be made to hold any number of bytes.
TEST(Text, InvalidUtf8StaysWithinTheWidth) {
    const std::string strays(100000, '\x80');
    EXPECT_EQ(cutText(strays, 10), std::string(10, '\x80'));
    EXPECT_EQ(fitText(strays, 10).size(), 10u);
    EXPECT_EQ(charCount("\x80\x80" "a"), 3u);
    // A lead byte whose sequence is cut short is one character; what follows counts on.
    EXPECT_EQ(charCount("\xc3" "a"), 2u);
    EXPECT_EQ(cutText("\xc3\xb1\xb1\xb1" "z", 2), "\xc3\xb1\xb1");
    EXPECT_EQ(fitText("ab\xc3", 4), "ab\xc3 ");
    // Well-formed text of 1 to 4 bytes per character is cut as before.
    EXPECT_EQ(cutText("a\xc3\xb1\xe2\x82\xac\xf0\x9f\x98\x80" "b", 4), "a\xc3\xb1\xe2\x82\xac\xf0\x9f\x98\x80");
    EXPECT_EQ(charCount("a\xc3\xb1\xe2\x82\xac\xf0\x9f\x98\x80" "b"), 5u);
}

}  // namespace
}  // namespace tv
