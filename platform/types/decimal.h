#pragma once
// Exact signed decimal arithmetic: 32 integer and 32 fractional digits.
// Quotients are carried to 32 places (further digits dropped); a division by
// zero yields 0. Rounding happens only when a value is stored (rounded()).
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tv {

class Decimal {
public:
    static constexpr int kIntDigits = 32;
    static constexpr int kFracDigits = 32;

    Decimal() = default;  // zero
    Decimal(long long v);  // NOLINT: numbers convert implicitly
    Decimal(int v) : Decimal(static_cast<long long>(v)) {}
    Decimal(long v) : Decimal(static_cast<long long>(v)) {}  // NOLINT: day numbers
    // value = unscaled / 10^places, exact (places 0..32)
    static Decimal fromScaled(long long unscaled, int places);
    // The double's shortest round-trip decimal text, taken exactly.
    static Decimal fromDouble(double v);
    // Plain decimal text: optional sign, digits, optional '.' and digits,
    // surrounding blanks allowed. No grouping; fraction digits beyond 32 are
    // dropped. nullopt when not a number or
    // when it has more than 32 integer digits.
    static std::optional<Decimal> parse(std::string_view text);
    // The leading plain number of a text after its leading blanks (the
    // string-to-number of text joined into arithmetic): "12abc" is 12, "abc"
    // 0; integer digits beyond 32 are dropped from the left.
    static Decimal leadingNumber(std::string_view text);

    Decimal operator+(const Decimal& o) const;
    Decimal operator-(const Decimal& o) const;
    Decimal operator*(const Decimal& o) const;  // fraction beyond 32 places dropped
    Decimal operator/(const Decimal& o) const;  // x/0 == 0
    Decimal operator-() const;
    Decimal& operator+=(const Decimal& o) { return *this = *this + o; }
    Decimal& operator-=(const Decimal& o) { return *this = *this - o; }
    Decimal& operator*=(const Decimal& o) { return *this = *this * o; }
    Decimal& operator/=(const Decimal& o) { return *this = *this / o; }
    std::strong_ordering operator<=>(const Decimal& o) const;
    bool operator==(const Decimal& o) const;

    bool isZero() const;
    int sign() const;  // -1, 0, 1
    Decimal abs() const;
    // Rounded half away from zero to `places` (0..32) fractional digits.
    Decimal rounded(int places) const;
    // Fraction cut (toward zero) to `places` digits.
    Decimal truncated(int places) const;
    // Number of digits before the point (0 for |v| < 1).
    int integerDigits() const;
    // Keeps the lowest `digits` integer digits: the silent store into a
    // field that is too narrow (10 into one digit gives 0).
    Decimal wrapIntegerDigits(int digits) const;
    // Whole part, toward zero; saturates at the int64 limits.
    long long toInt64() const;
    // round(value * 10^places) half away from zero; saturates.
    long long toScaled(int places) const;
    // The unchecked store into DECIMAL(digits, places) as a scaled integer:
    // rounded half away from zero to `places`, then integer digits beyond
    // digits-places dropped (digits <= 18).
    long long toScaledWrapped(int digits, int places) const;
    // Rounded half away from zero to a whole number, two's complement modulo
    // 2^64: cast to a narrower integer it is the wrapping store into LONG,
    // SHORT or BYTE.
    uint64_t wrappedInteger() const;
    double toDouble() const;
    // The number-to-text rule: plain digits, at most 15 significant digits,
    // leading '-' for negatives, no separators, no trailing point or zeros.
    std::string toText() const;
    // Exactly `places` fractional digits, rounded half away from zero.
    std::string toFixed(int places) const;

private:
    __extension__ typedef unsigned __int128 U128;
    // Sign and magnitude; the magnitude is int_ + frac_ / 10^32 with both
    // parts below 10^32, so sums, comparisons and scaled conversions stay in
    // native 128-bit arithmetic. Zero is never negative.
    U128 int_ = 0;
    U128 frac_ = 0;
    bool neg_ = false;
    friend struct DecimalAccess;
};

}  // namespace tv
