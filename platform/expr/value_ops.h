#pragma once
// The comparison and matching rules of the expression language, shared by the
// evaluator, the SQL push-down's helper functions and the in-memory queues, so
// that a list sorted in memory, a filter evaluated per record and a filter run
// by SQLite all agree.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types/decimal.h"
#include "platform/types/record.h"

namespace tv::expr {

// Compares two values as the expression language does:
// - two numbers: numerically;
// - two texts: byte order, trailing blanks ignored (tv::compareText);
// - a number and a text: numerically when the text, without surrounding
//   blanks, is blank (taken as 0) or a plain number ("12", "-3.50");
//   otherwise the number's text (the number-to-text rule) against the text,
//   as texts.
// Returns <0, 0, >0.
int compareValues(const Value& a, const Value& b);

// The mixed case on its own: a number against a text.
int compareNumberWithText(const Decimal& n, std::string_view text);

// Upper case of one code point with the locale's accented pairs
// ("äáåæçéíñóöúü" -> "ÄÁÅÆÇÉÍÑÓÖÚÜ") plus ASCII; agrees with tv::toUpper.
char32_t foldUpper(char32_t c);

// UTF-8 into code points (an invalid byte stands for itself as 0xDC00+byte,
// so nothing is ever lost or merged). `upper` folds each code point.
void decodeUtf8(std::string_view s, bool upper, std::vector<char32_t>& out);

// MATCH modes: 1 wildcards ("*" any run, "?" one character), 4 plain
// equality, +16 letter case ignored. 0 counts as 1.
inline constexpr int kMatchWild = 1;
inline constexpr int kMatchSimple = 4;
inline constexpr int kMatchNoCase = 16;
bool matchModeSupported(long long mode);

// A pattern prepared once and matched against many values. The value and the
// pattern are both taken without trailing blanks and must match as a whole.
// The usual find patterns ("*word*", "word*", "*word", "word") are run as
// plain substring tests; others by a wildcard walk over UTF-8 in which "?"
// takes one whole character.
class Matcher {
public:
    Matcher() = default;
    Matcher(std::string_view pattern, int mode);
    bool matches(std::string_view value) const;
    bool matches(const Value& value) const;

private:
    enum class Shape { Exact, Prefix, Suffix, Contains, General };
    std::string pattern_;   // folded to upper case when case is ignored
    std::string literal_;   // the pattern without its outer "*" (simple shapes)
    Shape shape_ = Shape::Exact;
    bool noCase_ = false;
    mutable std::string scratch_;  // the folded value, reused: no allocation per row
};

// Upper case of UTF-8 text into `out` (reusing its storage), as tv::toUpper.
void foldUpperInto(std::string_view s, std::string& out);

// One-shot MATCH(value, pattern, mode); an unsupported mode gives false.
bool matchValue(const Value& value, std::string_view pattern, long long mode);

// The text of a value as MATCH, UPPER and "&" see it (a number by the
// number-to-text rule).
std::string textOf(const Value& v);

}  // namespace tv::expr
