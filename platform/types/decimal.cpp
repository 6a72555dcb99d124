#include "platform/types/decimal.h"

#include <boost/multiprecision/cpp_int.hpp>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace tv {

__extension__ typedef unsigned __int128 U128;
using Big = boost::multiprecision::uint512_t;

namespace {

constexpr U128 pow10u(int n) {
    U128 r = 1;
    for (int i = 0; i < n; ++i) r *= 10;
    return r;
}

constexpr U128 kPow10[] = {
    pow10u(0),  pow10u(1),  pow10u(2),  pow10u(3),  pow10u(4),  pow10u(5),  pow10u(6),
    pow10u(7),  pow10u(8),  pow10u(9),  pow10u(10), pow10u(11), pow10u(12), pow10u(13),
    pow10u(14), pow10u(15), pow10u(16), pow10u(17), pow10u(18), pow10u(19), pow10u(20),
    pow10u(21), pow10u(22), pow10u(23), pow10u(24), pow10u(25), pow10u(26), pow10u(27),
    pow10u(28), pow10u(29), pow10u(30), pow10u(31), pow10u(32), pow10u(33), pow10u(34),
    pow10u(35), pow10u(36), pow10u(37), pow10u(38)};

constexpr U128 kOne = pow10u(32);  // 10^32: one whole unit of the fraction part

// 128-bit division is a library call; most operands fit in 64 bits.
inline U128 div128(U128 a, U128 b) {
    if ((a >> 64) == 0 && (b >> 64) == 0) return static_cast<uint64_t>(a) / static_cast<uint64_t>(b);
    return a / b;
}
inline U128 mod128(U128 a, U128 b) {
    if ((a >> 64) == 0 && (b >> 64) == 0) return static_cast<uint64_t>(a) % static_cast<uint64_t>(b);
    return a % b;
}

Big toBig(U128 v) {
    Big r = static_cast<uint64_t>(v >> 64);
    r <<= 64;
    r |= static_cast<uint64_t>(v);
    return r;
}

U128 fromBig(const Big& v) {  // v < 2^128
    const Big mask = std::numeric_limits<uint64_t>::max();
    U128 lo = static_cast<uint64_t>(Big(v & mask));
    U128 hi = static_cast<uint64_t>(Big((v >> 64) & mask));
    return (hi << 64) | lo;
}

// Exactly 32 digits, leading zeros kept.
void put32(std::string& out, U128 v) {
    const U128 k16 = kPow10[16];
    uint64_t parts[2] = {static_cast<uint64_t>(v / k16), static_cast<uint64_t>(v % k16)};
    for (uint64_t p : parts) {
        char buf[16];
        for (int i = 15; i >= 0; --i) {
            buf[i] = static_cast<char>('0' + p % 10);
            p /= 10;
        }
        out.append(buf, 16);
    }
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

// Gives the parser and helpers access to the parts.
struct DecimalAccess {
    static Decimal make(bool neg, U128 i, U128 f) {
        Decimal d;
        d.int_ = i;
        d.frac_ = f;
        d.neg_ = neg && (i != 0 || f != 0);
        return d;
    }
    static U128 intPart(const Decimal& d) { return d.int_; }
    static U128 fracPart(const Decimal& d) { return d.frac_; }
    static bool neg(const Decimal& d) { return d.neg_; }
    static Big mag(const Decimal& d) { return toBig(d.int_) * toBig(kOne) + toBig(d.frac_); }
    // From a magnitude scaled by 10^32; leading digits beyond 32 dropped.
    static Decimal fromMag(bool neg, Big m) {
        static const Big one = toBig(kOne);
        static const Big limit = one * one;
        if (m >= limit) m %= limit;
        return make(neg, fromBig(m / one), fromBig(m % one));
    }
};

// Reads a plain number at the start of `text` (after blanks). With `wrap`
// integer digits beyond 32 are dropped from the left, else refused.
// Returns the number of characters read (0 when there is no number).
namespace {
size_t scanDecimal(std::string_view text, bool wrap, Decimal* out) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        neg = text[i] == '-';
        ++i;
    }
    U128 ip = 0, fp = 0;
    int intDigits = 0, fracDigits = 0, seen = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ip = ip * 10 + static_cast<unsigned>(text[i] - '0');
        if (ip != 0) ++intDigits;
        if (intDigits > 32) {
            if (!wrap) return 0;
            ip %= kOne;
            intDigits = 32;
        }
        ++seen;
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        size_t j = i + 1;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
            if (fracDigits < 32) {
                fp = fp * 10 + static_cast<unsigned>(text[j] - '0');
                ++fracDigits;
            }
            ++seen;
            ++j;
        }
        if (seen > 0) i = j;
    }
    if (seen == 0) return 0;
    fp *= kPow10[32 - fracDigits];
    *out = DecimalAccess::make(neg, ip, fp);
    return i;
}
}  // namespace

Decimal Decimal::leadingNumber(std::string_view text) {
    Decimal d;
    scanDecimal(text, true, &d);
    return d;
}

Decimal::Decimal(long long v) {
    neg_ = v < 0;
    int_ = neg_ ? static_cast<U128>(-(v + 1)) + 1 : static_cast<U128>(v);
}

Decimal Decimal::fromScaled(long long unscaled, int places) {
    if (places < 0) places = 0;
    if (places > 32) places = 32;
    bool neg = unscaled < 0;
    uint64_t m = neg ? static_cast<uint64_t>(-(unscaled + 1)) + 1 : static_cast<uint64_t>(unscaled);
    if (places == 0) return DecimalAccess::make(neg, m, 0);
    if (places <= 19) {
        uint64_t p = static_cast<uint64_t>(kPow10[places]);
        return DecimalAccess::make(neg, m / p, static_cast<U128>(m % p) * kPow10[32 - places]);
    }
    return DecimalAccess::make(neg, 0, static_cast<U128>(m) * kPow10[32 - places]);
}

Decimal Decimal::fromDouble(double v) {
    if (!std::isfinite(v) || v == 0) return Decimal();
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    if (r.ec != std::errc()) return Decimal();
    Decimal d;
    scanDecimal(std::string_view(buf, static_cast<size_t>(r.ptr - buf)), true, &d);
    return d;
}

std::optional<Decimal> Decimal::parse(std::string_view text) {
    Decimal d;
    size_t n = scanDecimal(text, false, &d);
    if (n == 0) return std::nullopt;
    while (n < text.size() && isBlank(text[n])) ++n;
    if (n != text.size()) return std::nullopt;
    return d;
}

namespace {
// |a| + |b| with the wrap beyond 32 integer digits.
inline void addMag(U128 ai, U128 af, U128 bi, U128 bf, U128& ri, U128& rf) {
    rf = af + bf;
    U128 carry = 0;
    if (rf >= kOne) {
        rf -= kOne;
        carry = 1;
    }
    ri = ai + bi + carry;
    if (ri >= kOne) ri -= kOne;
}
// |a| - |b| where |a| >= |b|.
inline void subMag(U128 ai, U128 af, U128 bi, U128 bf, U128& ri, U128& rf) {
    U128 borrow = 0;
    if (af < bf) {
        rf = af + kOne - bf;
        borrow = 1;
    } else {
        rf = af - bf;
    }
    ri = ai - bi - borrow;
}
inline int cmpMag(U128 ai, U128 af, U128 bi, U128 bf) {
    if (ai != bi) return ai < bi ? -1 : 1;
    if (af != bf) return af < bf ? -1 : 1;
    return 0;
}
}  // namespace

Decimal Decimal::operator+(const Decimal& o) const {
    U128 ri, rf;
    if (neg_ == o.neg_) {
        addMag(int_, frac_, o.int_, o.frac_, ri, rf);
        return DecimalAccess::make(neg_, ri, rf);
    }
    int c = cmpMag(int_, frac_, o.int_, o.frac_);
    if (c == 0) return Decimal();
    if (c > 0) {
        subMag(int_, frac_, o.int_, o.frac_, ri, rf);
        return DecimalAccess::make(neg_, ri, rf);
    }
    subMag(o.int_, o.frac_, int_, frac_, ri, rf);
    return DecimalAccess::make(o.neg_, ri, rf);
}

Decimal Decimal::operator-(const Decimal& o) const { return *this + (-o); }

Decimal Decimal::operator-() const { return DecimalAccess::make(!neg_, int_, frac_); }

Decimal Decimal::operator*(const Decimal& o) const {
    if (isZero() || o.isZero()) return Decimal();
    bool neg = neg_ != o.neg_;
    // Fast path: both whole numbers that fit in 64 bits.
    if (frac_ == 0 && o.frac_ == 0 && (int_ >> 64) == 0 && (o.int_ >> 64) == 0) {
        U128 p = int_ * o.int_;  // < 2^128
        return DecimalAccess::make(neg, p % kOne, 0);
    }
    Big p = DecimalAccess::mag(*this) * DecimalAccess::mag(o);
    p /= toBig(kOne);
    return DecimalAccess::fromMag(neg, p);
}

Decimal Decimal::operator/(const Decimal& o) const {
    if (o.isZero() || isZero()) return Decimal();
    bool neg = neg_ != o.neg_;
    Big n = DecimalAccess::mag(*this) * toBig(kOne);
    return DecimalAccess::fromMag(neg, n / DecimalAccess::mag(o));
}

std::strong_ordering Decimal::operator<=>(const Decimal& o) const {
    if (neg_ != o.neg_) return neg_ ? std::strong_ordering::less : std::strong_ordering::greater;
    int c = cmpMag(int_, frac_, o.int_, o.frac_);
    if (neg_) c = -c;
    return c < 0 ? std::strong_ordering::less
                 : (c > 0 ? std::strong_ordering::greater : std::strong_ordering::equal);
}

bool Decimal::operator==(const Decimal& o) const {
    return neg_ == o.neg_ && int_ == o.int_ && frac_ == o.frac_;
}

bool Decimal::isZero() const { return int_ == 0 && frac_ == 0; }

int Decimal::sign() const { return isZero() ? 0 : (neg_ ? -1 : 1); }

Decimal Decimal::abs() const { return DecimalAccess::make(false, int_, frac_); }

Decimal Decimal::rounded(int places) const {
    if (places >= 32) return *this;
    if (places < 0) places = 0;
    U128 d = kPow10[32 - places];
    U128 f = div128(frac_ + d / 2, d) * d;
    U128 i = int_;
    if (f >= kOne) {
        f -= kOne;
        if (++i >= kOne) i -= kOne;
    }
    return DecimalAccess::make(neg_, i, f);
}

Decimal Decimal::truncated(int places) const {
    if (places >= 32) return *this;
    if (places < 0) places = 0;
    U128 d = kPow10[32 - places];
    return DecimalAccess::make(neg_, int_, div128(frac_, d) * d);
}

int Decimal::integerDigits() const {
    int n = 0;
    while (n < 32 && int_ >= kPow10[n]) ++n;
    return n;
}

Decimal Decimal::wrapIntegerDigits(int digits) const {
    if (digits >= 32) return *this;
    if (digits <= 0) return DecimalAccess::make(neg_, 0, frac_);
    return DecimalAccess::make(neg_, mod128(int_, kPow10[digits]), frac_);
}

long long Decimal::toInt64() const {
    constexpr U128 maxPos = static_cast<U128>(std::numeric_limits<long long>::max());
    if (!neg_) return int_ > maxPos ? std::numeric_limits<long long>::max() : static_cast<long long>(int_);
    if (int_ > maxPos) return std::numeric_limits<long long>::min();
    return -static_cast<long long>(int_);
}

long long Decimal::toScaled(int places) const {
    if (places < 0) places = 0;
    if (places > 32) places = 32;
    constexpr U128 maxPos = static_cast<U128>(std::numeric_limits<long long>::max());
    U128 q = 0;
    if (frac_ != 0) {
        U128 d = kPow10[32 - places];
        q = d == 1 ? frac_ : div128(frac_ + d / 2, d);
    }
    U128 m;
    if (places > 18 || int_ > div128(maxPos, kPow10[places])) {
        m = maxPos + 1;  // saturates below
    } else {
        m = int_ * kPow10[places] + q;
    }
    if (m > maxPos) return neg_ ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
    return neg_ ? -static_cast<long long>(m) : static_cast<long long>(m);
}

long long Decimal::toScaledWrapped(int digits, int places) const {
    if (places < 0) places = 0;
    if (digits > 18) digits = 18;
    if (places > digits) places = digits;
    U128 q = 0;
    if (frac_ != 0) {
        U128 d = kPow10[32 - places];
        q = div128(frac_ + d / 2, d);
    }
    U128 i = mod128(int_, kPow10[digits - places]);
    U128 m = mod128(i * kPow10[places] + q, kPow10[digits]);
    long long s = static_cast<long long>(m);
    return neg_ ? -s : s;
}

uint64_t Decimal::wrappedInteger() const {
    U128 i = int_;
    if (frac_ >= kOne / 2) ++i;
    uint64_t w = static_cast<uint64_t>(i);
    return neg_ ? ~w + 1 : w;
}

double Decimal::toDouble() const {
    std::string s = toFixed(32);
    return std::strtod(s.c_str(), nullptr);
}

std::string Decimal::toText() const {
    if (isZero()) return "0";
    std::string all;  // 32 integer then 32 fraction digits
    all.reserve(65);
    put32(all, int_);
    put32(all, frac_);
    size_t first = all.find_first_not_of('0');
    constexpr size_t kSignificant = 15;
    std::string lead;  // a carry beyond the 32nd integer digit
    if (all.size() - first > kSignificant) {
        size_t cut = first + kSignificant;
        bool up = all[cut] >= '5';
        for (size_t k = cut; k < all.size(); ++k) all[k] = '0';
        if (up) {
            size_t k = cut;
            while (k > 0) {
                --k;
                if (all[k] == '9') {
                    all[k] = '0';
                } else {
                    ++all[k];
                    break;
                }
            }
            if (k == 0 && all[0] == '0') lead = "1";
        }
    }
    std::string ip = lead + all.substr(0, 32);
    size_t nz = ip.find_first_not_of('0');
    ip = nz == std::string::npos ? "0" : ip.substr(nz);
    std::string fp = all.substr(32);
    size_t last = fp.find_last_not_of('0');
    fp = last == std::string::npos ? std::string() : fp.substr(0, last + 1);
    if (ip == "0" && fp.empty()) return "0";
    std::string out = neg_ ? "-" : "";
    out += ip;
    if (!fp.empty()) out += "." + fp;
    return out;
}

std::string Decimal::toFixed(int places) const {
    if (places < 0) places = 0;
    if (places > 32) places = 32;
    Decimal r = rounded(places);
    std::string all;
    all.reserve(64);
    put32(all, r.int_);
    put32(all, r.frac_);
    std::string ip = all.substr(0, 32);
    size_t nz = ip.find_first_not_of('0');
    ip = nz == std::string::npos ? "0" : ip.substr(nz);
    std::string out = r.neg_ ? "-" : "";
    out += ip;
    if (places > 0) out += "." + all.substr(32, static_cast<size_t>(places));
    return out;
}

}  // namespace tv
