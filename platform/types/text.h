#pragma once
// Text helpers shared by keys, locators, UPPER() and MATCH. All texts are UTF-8.
#include <string>
#include <string_view>

namespace tv {

// Upper and lower case with the locale's accented pairs
// "ÄÁÅÆÇÉÍÑÓÖÚÜ" <-> "äáåæçéíñóöúü" plus ASCII; other characters unchanged.
std::string toUpper(std::string_view s);
std::string toLower(std::string_view s);
// Without trailing blanks.
std::string_view rtrim(std::string_view s);
// Comparison ignoring trailing blanks (byte order otherwise).
int compareText(std::string_view a, std::string_view b);
// Comparison through toUpper, ignoring trailing blanks (no-case keys).
int compareNoCase(std::string_view a, std::string_view b);
// Number of characters (code points) of UTF-8 text.
std::size_t charCount(std::string_view s);
// Cut to at most n characters (never in the middle of a code point), then
// pad with blanks to exactly n characters: the STRING(n) store.
std::string fitText(std::string_view s, std::size_t n);
// The same into `out`, whose storage is reused (a record read field by field).
void fitTextInto(std::string& out, std::string_view s, std::size_t n);
// Cut to at most n characters, no padding: the MEMO(n) store.
std::string cutText(std::string_view s, std::size_t n);
// Without leading and trailing blanks.
std::string_view trim(std::string_view s);

}  // namespace tv
