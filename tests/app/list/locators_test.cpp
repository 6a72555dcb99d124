#include "app/list/locators.h"

#include <gtest/gtest.h>

namespace tv::list {
namespace {

using K = LocatorDecision::Kind;

TEST(ListLocator, StepsThroughTheSameLetterAndJumpsOnAnother) {
    ListLocator loc;
    loc.setUp({});  // text, ascending, no-case
    struct Case {
        const char* typed;
        const char* rowAfterStep;  // nullptr: the list has no row
        K kind;
        const char* value;
    };
    const Case cases[] = {
        {"t", "Tornillo", K::None, ""},        // same letter, any case: the step was enough
        {"T", "tuerca", K::None, ""},
        {"t", "Clavo", K::Reposition, "T"},    // another letter: jump, upper-cased
        {"é", "Éter", K::None, ""},            // accented letters compare through their capitals
        {"É", "éxito", K::None, ""},
        {"é", "Escuadra", K::Reposition, "É"},  // É is not E
        {"ñ", "Nudo", K::Reposition, "Ñ"},
        {"ñ", "Ñandú", K::None, ""},
        {"a", "", K::Reposition, "A"},          // blank field
        {"a", nullptr, K::Reposition, "A"},     // empty list: every key goes to the locator
        {"3", "3/4 codo", K::None, ""},
        {" ", "Clavo", K::Reposition, " "},
    };
    for (const auto& c : cases) {
        Value row(c.rowAfterStep ? c.rowAfterStep : "");
        ASSERT_TRUE(loc.accepts(c.typed)) << c.typed;
        LocatorDecision d = loc.onChar(c.typed, c.rowAfterStep ? &row : nullptr);
        EXPECT_EQ(d.kind, c.kind) << c.typed << " on " << (c.rowAfterStep ? c.rowAfterStep : "(none)");
        if (c.kind == K::Reposition) {
            EXPECT_EQ(d.value.asText(), c.value) << c.typed;
        }
    }
}

TEST(ListLocator, CaseKeptWhenNotNoCaseAndDescendingEndsHigh) {
    ListLocator exact;
    exact.setUp({false, false, false});
    Value row("tuerca");
    EXPECT_EQ(exact.onChar("T", &row).kind, K::Reposition);
    EXPECT_EQ(exact.onChar("T", &row).value.asText(), "T");
    EXPECT_EQ(exact.onChar("t", &row).kind, K::None);

    ListLocator down;
    down.setUp({false, true, true});
    Value other("Martillo");
    LocatorDecision d = down.onChar("c", &other);
    ASSERT_EQ(d.kind, K::Reposition);
    EXPECT_EQ(d.value.asText(), "C\xFE");
}

TEST(ListLocator, NumberFieldTakesDigitsOnly) {
    ListLocator loc;
    loc.setUp({true, false, true});
    EXPECT_FALSE(loc.accepts("a"));
    EXPECT_FALSE(loc.accepts("-"));
    EXPECT_TRUE(loc.accepts("7"));
    Value row(123);
    EXPECT_EQ(loc.onChar("1", &row).kind, K::None);  // 123 starts with 1
    LocatorDecision d = loc.onChar("4", &row);
    ASSERT_EQ(d.kind, K::Reposition);
    EXPECT_TRUE(d.value.isNumber());
    EXPECT_EQ(d.value.asNumber(), Decimal(4));
    EXPECT_EQ(loc.onChar("x", &row).kind, K::None);
}

TEST(ListLocator, RefusesWhatIsNotOnePrintableCharacter) {
    ListLocator loc;
    for (const char* bad : {"", "ab", "\t", "\x7f", "\x80", "\xC3", "\xC3\x28", "\xFF"})
        EXPECT_FALSE(loc.accepts(bad)) << static_cast<int>(static_cast<unsigned char>(bad[0]));
    for (const char* good : {"a", " ", "ñ", "Ü", "€", "3"}) EXPECT_TRUE(loc.accepts(good)) << good;
}

TEST(ShadowTextLocator, TypingBackspaceAndAccept) {
    ShadowTextLocator loc;
    loc.setUp({});
    LocatorDecision first = loc.onListChar("m");
    EXPECT_EQ(first.kind, K::FocusEntry);
    EXPECT_EQ(first.text, "m");
    for (const char* c : {"a", "r", "t", "í"}) loc.typeInEntry(c);
    EXPECT_EQ(loc.text(), "martí");
    loc.backspace();  // removes the whole "í", not one byte of it
    EXPECT_EQ(loc.text(), "mart");
    loc.typeInEntry("ñ");
    LocatorDecision d = loc.accept();
    ASSERT_EQ(d.kind, K::Reposition);
    EXPECT_EQ(d.value.asText(), "MARTÑ");
    loc.typeInEntry("\n");  // not printable: ignored
    EXPECT_EQ(loc.text(), "martñ");
    for (int k = 0; k < 10; ++k) loc.backspace();
    EXPECT_EQ(loc.text(), "");
    // A blank entry goes back to the start of the order.
    EXPECT_EQ(loc.accept().kind, K::Reposition);
    EXPECT_EQ(loc.accept().value.asText(), "");
    loc.setText("tornillo");
    loc.reset();
    EXPECT_EQ(loc.text(), "");
}

TEST(ShadowTextLocator, FortyCharactersAtMostAndDescending) {
    ShadowTextLocator loc;
    loc.setUp({false, true, true});
    for (int k = 0; k < 45; ++k) loc.typeInEntry("é");
    EXPECT_EQ(loc.text().size(), 80u);  // 40 characters of two bytes
    loc.setText(std::string(50, 'x'));
    EXPECT_EQ(loc.text(), std::string(40, 'x'));
    LocatorDecision d = loc.accept();
    EXPECT_EQ(d.value.asText(), std::string(40, 'X') + "\xFE");
}

TEST(ShadowTextLocator, NumberEntry) {
    ShadowTextLocator loc;
    loc.setUp({true, false, true});
    loc.setText(" 1250 ");
    LocatorDecision d = loc.accept();
    ASSERT_EQ(d.kind, K::Reposition);
    EXPECT_EQ(d.value.asNumber(), Decimal(1250));
    loc.setText("12a");
    LocatorDecision bad = loc.accept();
    EXPECT_EQ(bad.kind, K::Refused);
    EXPECT_FALSE(bad.message.empty());
}

}  // namespace
}  // namespace tv::list
