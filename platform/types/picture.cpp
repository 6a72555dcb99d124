#include "platform/types/picture.h"

#include <cstdio>

#include "platform/types/date.h"
#include "platform/types/text.h"

namespace tv {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads digits at s[i...]; false when there are none or too many.
bool readInt(std::string_view s, size_t& i, int& out) {
    size_t start = i;
    long v = 0;
    while (i < s.size() && isDigit(s[i])) {
        v = v * 10 + (s[i] - '0');
        if (v > 100000) return false;
        ++i;
    }
    out = static_cast<int>(v);
    return i > start;
}

void setError(std::string* error, const char* text) {
    if (error) *error = text;
}

std::string padLeft(std::string s, int width) {
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), ' ');
    return s;
}

constexpr const char* kBadNumber = "Número no válido";
constexpr const char* kBadDate = "Fecha no válida (use dd/mm/aaaa)";

}  // namespace

std::optional<Picture> Picture::parse(std::string_view text) {
    if (!text.empty() && text.front() == '@') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    Picture p;
    size_t i = 1;
    switch (text[0]) {
    case 'n':
    case 'N': {
        p.kind_ = Kind::Number;
        bool sawMinus = false, sawUnderscore = false;
        while (i < text.size() && (text[i] == '-' || text[i] == '_')) {
            bool& seen = text[i] == '-' ? sawMinus : sawUnderscore;
            if (seen) return std::nullopt;
            seen = true;
            ++i;
        }
        p.minus_ = sawMinus;
        p.group_ = !sawUnderscore;
        if (!readInt(text, i, p.width_) || p.width_ == 0) return std::nullopt;
        if (i < text.size() && text[i] == '.') {
            ++i;
            if (!readInt(text, i, p.places_) || p.places_ > 32) return std::nullopt;
        }
        if (i < text.size() && (text[i] == 'b' || text[i] == 'B')) {
            p.blankZero_ = true;
            ++i;
        }
        if (i != text.size()) return std::nullopt;
        return p;
    }
    case 's':
    case 'S':
        p.kind_ = Kind::Text;
        if (!readInt(text, i, p.width_) || p.width_ == 0 || i != text.size()) return std::nullopt;
        return p;
    case 'd':
    case 'D':
        // dd/mm/yyyy is the only date layout in use.
        if (text.substr(1) != "6") return std::nullopt;
        p.kind_ = Kind::Date;
        p.width_ = 10;
        return p;
    case 'p':
    case 'P': {
        p.kind_ = Kind::Page;
        while (i < text.size() && (text[i] == '<' || text[i] == '#')) {
            ++p.width_;
            ++i;
        }
        if (p.width_ == 0 || i + 1 != text.size() || (text[i] != 'p' && text[i] != 'P'))
            return std::nullopt;
        return p;
    }
    default:
        return std::nullopt;
    }
}

std::string Picture::format(const Value& v) const {
    switch (kind_) {
    case Kind::Text:
        return fitText(v.asText(), static_cast<size_t>(width_));
    case Kind::Date: {
        auto ymd = ymdFromDate(static_cast<long>(v.asNumber().toInt64()));
        if (!ymd) return std::string(static_cast<size_t>(width_), ' ');
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", ymd->day, ymd->month, ymd->year);
        return buf;
    }
    case Kind::Page:
        return padLeft(v.asNumber().rounded(0).toText(), width_);
    case Kind::Number:
        break;
    }
    Decimal d = v.asNumber().rounded(places_);
    if (d.isZero() && blankZero_) return std::string(static_cast<size_t>(width_), ' ');
    std::string fixed = d.abs().toFixed(places_);
    size_t point = fixed.find('.');
    std::string whole = fixed.substr(0, point);
    std::string out = d.sign() < 0 ? "-" : "";
    if (group_) {
        size_t lead = whole.size() % 3 == 0 ? 3 : whole.size() % 3;
        out += whole.substr(0, lead);
        for (size_t k = lead; k < whole.size(); k += 3) {
            out += ',';
            out += whole.substr(k, 3);
        }
    } else {
        out += whole;
    }
    if (point != std::string::npos) out += fixed.substr(point);
    // Never cut: a number wider than its picture is shown whole.
    return padLeft(std::move(out), width_);
}

std::optional<Value> Picture::read(std::string_view typed, std::string* error) const {
    if (kind_ == Kind::Text) return Value(cutText(typed, static_cast<size_t>(width_)));
    std::string_view t = trim(typed);
    if (kind_ == Kind::Date) {
        if (t.empty()) return Value(0);
        size_t i = 0;
        int d = 0, m = 0, y = 0;
        size_t s0 = i;
        bool ok = readInt(t, i, d) && i - s0 <= 2 && i < t.size() && t[i] == '/';
        if (ok) {
            size_t s1 = ++i;
            ok = readInt(t, i, m) && i - s1 <= 2 && i < t.size() && t[i] == '/';
        }
        if (ok) {
            size_t s2 = ++i;
            ok = readInt(t, i, y) && i - s2 == 4 && i == t.size();
        }
        long day = ok ? dateFromYmd(y, m, d) : 0;
        if (day == 0) {
            setError(error, kBadDate);
            return std::nullopt;
        }
        return Value(static_cast<long long>(day));
    }
    if (t.empty()) return Value(0);
    // A number: an optional leading "-", digits grouped by "," in threes or
    // not at all, an optional point and fraction. Anything else is refused so
    // that a mistyped value is never taken as some other number.
    std::string plain;
    size_t i = 0;
    if (t[0] == '-' && kind_ == Kind::Number) {
        plain += '-';
        ++i;
    }
    size_t groupLen = 0, groups = 0;
    bool grouped = false, digits = false;
    for (; i < t.size() && (isDigit(t[i]) || t[i] == ','); ++i) {
        if (t[i] == ',') {
            if (groupLen == 0 || (groups > 0 && groupLen != 3) || (groups == 0 && groupLen > 3)) {
                setError(error, kBadNumber);
                return std::nullopt;
            }
            grouped = true;
            ++groups;
            groupLen = 0;
            continue;
        }
        plain += t[i];
        ++groupLen;
        digits = true;
    }
    if (grouped && groupLen != 3) {
        setError(error, kBadNumber);
        return std::nullopt;
    }
    if (i < t.size() && t[i] == '.' && kind_ == Kind::Number) {
        plain += '.';
        for (++i; i < t.size() && isDigit(t[i]); ++i) {
            plain += t[i];
            digits = true;
        }
    }
    std::optional<Decimal> n;
    if (digits && i == t.size()) n = Decimal::parse(plain);
    if (!n) {
        setError(error, kBadNumber);
        return std::nullopt;
    }
    return Value(n->rounded(places_));
}

std::string formatWithPicture(std::string_view picture, const Value& v) {
    auto p = Picture::parse(picture);
    return p ? p->format(v) : v.asText();
}

}  // namespace tv
