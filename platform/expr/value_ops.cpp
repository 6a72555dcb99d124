#include "platform/expr/value_ops.h"

#include <cstring>
#include <optional>

#include "platform/types/text.h"

namespace tv::expr {

namespace {

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// Bytes of the UTF-8 character starting at s[i] (1 for a byte that does not
// start a valid sequence).
size_t charLen(const char* s, size_t i, size_t n) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    if (i + len > n) return 1;
    for (size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
    return len;
}

// Wildcard match over UTF-8 bytes, linear in the usual case: on a mismatch it
// falls back to the last "*" only. "?" and the fall-back step move by whole
// characters, so a literal is only ever compared at a character boundary.
bool wildMatch(const char* s, size_t n, const char* p, size_t m) {
    size_t i = 0, j = 0;
    size_t star = SIZE_MAX, mark = 0;
    while (i < n) {
        if (j < m && p[j] == '*') {
            star = j++;
            mark = i;
        } else if (j < m && p[j] == '?') {
            i += charLen(s, i, n);
            ++j;
        } else if (j < m && p[j] == s[i]) {
            ++i;
            ++j;
        } else if (star != SIZE_MAX) {
            j = star + 1;
            mark += charLen(s, mark, n);
            i = mark;
        } else {
            return false;
        }
    }
    while (j < m && p[j] == '*') ++j;
    return j == m;
}

bool isLowerAccentByte(unsigned char b) {
    // Second bytes of äáåæçéíñóöúü after 0xC3.
    switch (b) {
        case 0xA4: case 0xA1: case 0xA5: case 0xA6: case 0xA7: case 0xA9:
        case 0xAD: case 0xB1: case 0xB3: case 0xB6: case 0xBA: case 0xBC:
            return true;
        default:
            return false;
    }
}

}  // namespace

char32_t foldUpper(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - 32;
    switch (c) {
        case U'ä': return U'Ä';
        case U'á': return U'Á';
        case U'å': return U'Å';
        case U'æ': return U'Æ';
        case U'ç': return U'Ç';
        case U'é': return U'É';
        case U'í': return U'Í';
        case U'ñ': return U'Ñ';
        case U'ó': return U'Ó';
        case U'ö': return U'Ö';
        case U'ú': return U'Ú';
        case U'ü': return U'Ü';
        default: return c;
    }
}

void decodeUtf8(std::string_view s, bool upper, std::vector<char32_t>& out) {
    out.clear();
    const auto* b = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    size_t i = 0;
    while (i < n) {
        unsigned char c = b[i];
        char32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            len = 4;
        } else {
            cp = 0;
            len = 0;
        }
        bool ok = len != 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            if ((b[i + k] & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (b[i + k] & 0x3F);
        }
        if (!ok) {
            cp = 0xDC00 + c;
            len = 1;
        }
        out.push_back(upper ? foldUpper(cp) : cp);
        i += len;
    }
}

bool matchModeSupported(long long mode) {
    if (mode < 0) return false;
    long long base = mode & ~static_cast<long long>(kMatchNoCase);
    return base == 0 || base == kMatchWild || base == kMatchSimple;
}

namespace {
struct AsciiUpper {
    unsigned char map[256];
    constexpr AsciiUpper() : map() {
        for (int i = 0; i < 256; ++i) map[i] = static_cast<unsigned char>(i >= 'a' && i <= 'z' ? i - 0x20 : i);
    }
};
constexpr AsciiUpper kAsciiUpper;
}  // namespace

namespace {
constexpr uint64_t kHigh = 0x8080808080808080ULL;
constexpr uint64_t kBlanks = 0x2020202020202020ULL;

// Upper case of eight ASCII bytes at once (no byte has its high bit set).
inline uint64_t asciiUpper8(uint64_t x) {
    uint64_t geA = x + 0x1F1F1F1F1F1F1F1FULL;  // high bit set where byte >= 'a'
    uint64_t gtZ = x + 0x0505050505050505ULL;  // high bit set where byte > 'z'
    uint64_t lower = (geA ^ gtZ) & kHigh;
    return x ^ (lower >> 2);                   // clears 0x20 of 'a'..'z'
}

// Without trailing blanks, eight bytes at a time: fields are padded.
inline std::string_view rtrimFast(std::string_view s) {
    size_t n = s.size();
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, s.data() + n - 8, 8);
        if (w != kBlanks) break;
        n -= 8;
    }
    while (n > 0 && s[n - 1] == ' ') --n;
    return s.substr(0, n);
}
}  // namespace

void foldUpperInto(std::string_view s, std::string& out) {
    out.resize(s.size());
    const auto* in = reinterpret_cast<const unsigned char*>(s.data());
    char* o = out.data();
    const size_t n = s.size();
    size_t i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            uint64_t w;
            std::memcpy(&w, in + i, 8);
            if ((w & kHigh) == 0) {
                w = asciiUpper8(w);
                std::memcpy(o + i, &w, 8);
                i += 8;
                continue;
            }
        }
        unsigned char b = in[i];
        // The accented pairs are 0xC3 followed by a second byte that differs by 0x20.
        if (b == 0xC3 && i + 1 < n && isLowerAccentByte(in[i + 1])) {
            o[i] = static_cast<char>(b);
            o[i + 1] = static_cast<char>(in[i + 1] - 0x20);
            i += 2;
            continue;
        }
        o[i] = static_cast<char>(kAsciiUpper.map[b]);
        ++i;
    }
}

Matcher::Matcher(std::string_view pattern, int mode) : noCase_((mode & kMatchNoCase) != 0) {
    pattern = rtrim(pattern);
    if (noCase_) foldUpperInto(pattern, pattern_);
    else pattern_ = std::string(pattern);
    const bool wild = (mode & ~kMatchNoCase) != kMatchSimple;
    if (!wild) {
        shape_ = Shape::Exact;
        literal_ = pattern_;
        return;
    }
    std::string_view p = pattern_;
    const bool lead = !p.empty() && p.front() == '*';
    const bool trail = p.size() > (lead ? 1u : 0u) && p.back() == '*';
    std::string_view inner = p.substr(lead ? 1 : 0);
    if (trail) inner.remove_suffix(1);
    if (inner.find_first_of("*?") != std::string_view::npos) {
        shape_ = Shape::General;
        return;
    }
    literal_ = std::string(inner);
    shape_ = lead ? (trail || p.size() == 1 ? Shape::Contains : Shape::Suffix)
                  : (trail ? Shape::Prefix : Shape::Exact);
}

bool Matcher::matches(std::string_view value) const {
    value = rtrimFast(value);
    std::string_view v = value;
    if (noCase_) {
        foldUpperInto(value, scratch_);
        v = scratch_;
    }
    switch (shape_) {
        case Shape::Exact: return v == literal_;
        case Shape::Prefix: return v.substr(0, literal_.size()) == literal_;
        case Shape::Suffix:
            return v.size() >= literal_.size() && v.substr(v.size() - literal_.size()) == literal_;
        case Shape::Contains: return v.find(literal_) != std::string_view::npos;
        case Shape::General: break;
    }
    return wildMatch(v.data(), v.size(), pattern_.data(), pattern_.size());
}

bool Matcher::matches(const Value& value) const {
    if (const std::string* t = value.textPtr()) return matches(std::string_view(*t));
    return matches(std::string_view(value.asText()));
}

bool matchValue(const Value& value, std::string_view pattern, long long mode) {
    if (!matchModeSupported(mode)) return false;
    return Matcher(pattern, static_cast<int>(mode)).matches(value);
}

std::string textOf(const Value& v) {
    if (const std::string* t = v.textPtr()) return *t;
    return v.asText();
}

int compareNumberWithText(const Decimal& n, std::string_view text) {
    std::string_view t = trimBlanks(text);
    if (t.empty()) return n.sign();
    if (std::optional<Decimal> d = Decimal::parse(t)) {
        auto c = n <=> *d;
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    std::string nt = Value(n).asText();
    int c = compareText(nt, text);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareValues(const Value& a, const Value& b) {
    const std::string* ta = a.textPtr();
    const std::string* tb = b.textPtr();
    if (!ta && !tb) {
        auto c = *a.numberPtr() <=> *b.numberPtr();
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (ta && tb) {
        int c = compareText(*ta, *tb);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (tb) return compareNumberWithText(*a.numberPtr(), *tb);
    return -compareNumberWithText(*b.numberPtr(), *ta);
}

}  // namespace tv::expr
