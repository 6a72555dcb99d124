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
    EXPECT_EQ(rtrim("  a b  "), "  a b");
    EXPECT_EQ(trim("  a b  "), "a b");
}

}  // namespace
}  // namespace tv
