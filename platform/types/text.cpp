#include "platform/types/text.h"

#include <cstdint>
#include <cstring>

namespace tv {

namespace {

// The accented pairs are all two-byte sequences 0xC3 xx; upper and lower
// case differ by 0x20 in the second byte. Only the locale's own pairs map.
constexpr unsigned char kLead = 0xC3;
bool isUpperAccent(unsigned char b) {
    // Ä Á Å Æ Ç É Í Ñ Ó Ö Ú Ü  (U+00C4 ... as second bytes 0x80 + (cp - 0xC0))
    switch (b) {
    case 0x84: case 0x81: case 0x85: case 0x86: case 0x87: case 0x89:
    case 0x8D: case 0x91: case 0x93: case 0x96: case 0x9A: case 0x9C:
        return true;
    default:
        return false;
    }
}
bool isLowerAccent(unsigned char b) { return b >= 0xA0 && isUpperAccent(static_cast<unsigned char>(b - 0x20)); }

inline unsigned char upperByte(unsigned char prev, unsigned char b) {
    if (b >= 'a' && b <= 'z') return static_cast<unsigned char>(b - 0x20);
    if (prev == kLead && isLowerAccent(b)) return static_cast<unsigned char>(b - 0x20);
    return b;
}

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

int sign3(int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); }

}  // namespace

std::string toUpper(std::string_view s) {
    std::string out(s);
    unsigned char prev = 0;
    for (char& c : out) {
        auto b = static_cast<unsigned char>(c);
        c = static_cast<char>(upperByte(prev, b));
        prev = b;
    }
    return out;
}

std::string toLower(std::string_view s) {
    std::string out(s);
    unsigned char prev = 0;
    for (char& c : out) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 'A' && b <= 'Z') c = static_cast<char>(b + 0x20);
        else if (prev == kLead && isUpperAccent(b)) c = static_cast<char>(b + 0x20);
        prev = b;
    }
    return out;
}

std::string_view rtrim(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ') --n;
    return s.substr(0, n);
}

std::string_view trim(std::string_view s) {
    s = rtrim(s);
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    return s.substr(i);
}

int compareText(std::string_view a, std::string_view b) {
    a = rtrim(a);
    b = rtrim(b);
    size_t n = a.size() < b.size() ? a.size() : b.size();
    int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
    if (c != 0) return sign3(c);
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int compareNoCase(std::string_view a, std::string_view b) {
    a = rtrim(a);
    b = rtrim(b);
    size_t n = a.size() < b.size() ? a.size() : b.size();
    unsigned char pa = 0, pb = 0;
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        unsigned char ua = upperByte(pa, ca), ub = upperByte(pb, cb);
        if (ua != ub) return ua < ub ? -1 : 1;
        pa = ca;
        pb = cb;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

namespace {
// Where the character at s[i] ends: a lead byte takes the continuation bytes
// its sequence allows; any other byte (a stray continuation byte too) is a
// character of its own, so text that is not valid UTF-8 cannot make a field
// of n characters hold any number of bytes.
std::size_t charEnd(std::string_view s, std::size_t i) {
    auto b = static_cast<unsigned char>(s[i]);
    std::size_t len = b >= 0xF0 && b < 0xF8 ? 4 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xC0 && b < 0xE0 ? 2 : 1;
    std::size_t j = i + 1;
    while (j < i + len && j < s.size() && isContinuation(static_cast<unsigned char>(s[j]))) ++j;
    return j;
}
}  // namespace

std::size_t charCount(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); i = charEnd(s, i)) ++n;
    return n;
}

std::string cutText(std::string_view s, std::size_t n) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < s.size(); i = charEnd(s, i)) {
        if (chars == n) return std::string(s.substr(0, i));
        ++chars;
    }
    return std::string(s);
}

std::string fitText(std::string_view s, std::size_t n) {
    std::string out;
    fitTextInto(out, s, n);
    return out;
}

namespace {
// No byte of `s` past 0x7F: eight at a time.
bool plainAscii(std::string_view s) {
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        if (w & 0x8080808080808080ULL) return false;
    }
    for (; i < s.size(); ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    return true;
}
}  // namespace

void fitTextInto(std::string& out, std::string_view s, std::size_t n) {
    // Stored texts are mostly plain ASCII that fits, put over a cell already
    // as wide: one byte, one character, copied and padded in place (a move,
    // as `s` may lie inside `out`).
    if (s.size() <= n && out.size() == n && plainAscii(s)) {
        if (!s.empty()) std::memmove(out.data(), s.data(), s.size());
        std::memset(out.data() + s.size(), ' ', n - s.size());
        return;
    }
    std::size_t chars = 0, end = 0;
    while (end < s.size() && chars < n) {
        // Most stored texts are plain ASCII: one byte, one character.
        end = static_cast<unsigned char>(s[end]) < 0x80 ? end + 1 : charEnd(s, end);
        ++chars;
    }
    s = s.substr(0, end);
    if (!out.empty() && s.data() >= out.data() && s.data() < out.data() + out.size()) {
        out = std::string(s);  // part of `out` itself
    } else {
        out.assign(s.data(), s.size());
    }
    if (chars < n) out.append(n - chars, ' ');
}

}  // namespace tv
