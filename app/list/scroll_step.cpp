#include "app/list/scroll_step.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/types/text.h"

namespace tv::list {

namespace {

// Share of names per initial, in key (byte) order: everything before "A"
// (blanks, digits, signs), "A".."Z", everything after "Z" (accented capitals
// such as "Á" or "Ñ", which sort after "Z" byte by byte; lower case letters in
// a key that keeps case).
constexpr std::array<double, 28> kNoCaseWeights = {
    2,                                                  // before A
    7, 4, 10, 6, 6, 3.5, 3, 2, 2.5, 1, 0.5, 4.5, 7,     // A..M
    2, 1.5, 8, 0.5, 4.5, 6, 5, 1, 3, 0.3, 0.2, 0.5, 0.5,  // N..Z
    1                                                   // after Z
};

struct Buckets {
    std::array<double, 28> weight{};
    std::array<double, 29> start{};
};

Buckets makeBuckets(bool noCase) {
    Buckets b;
    b.weight = kNoCaseWeights;
    // A key that keeps case holds the lower case names after "Z".
    if (!noCase) b.weight[27] = 40;
    double total = 0;
    for (double w : b.weight) total += w;
    double acc = 0;
    for (std::size_t k = 0; k < b.weight.size(); ++k) {
        b.weight[k] /= total;
        b.start[k] = acc;
        acc += b.weight[k];
    }
    b.start[28] = 1.0;
    return b;
}

const Buckets& buckets(bool noCase) {
    static const Buckets withCase = makeBuckets(false);
    static const Buckets without = makeBuckets(true);
    return noCase ? without : withCase;
}

std::size_t bucketOf(unsigned char c) {
    if (c < 'A') return 0;
    if (c <= 'Z') return static_cast<std::size_t>(c - 'A' + 1);
    return 27;
}

// Where the second character puts a text inside its first letter's share.
double secondFraction(std::string_view text) {
    if (text.size() < 2) return 0;
    auto c = static_cast<unsigned char>(text[1]);
    if (c < 'A') return 0;
    if (c <= 'Z') return (c - 'A') / 26.0;
    return 25.99 / 26.0;
}

int toThumb(double fraction) {
    int t = static_cast<int>(std::lround(fraction * kThumbRange));
    return std::clamp(t, 0, kThumbRange);
}

}  // namespace

TextScrollStep::TextScrollStep(bool descending, bool noCase) : descending_(descending), noCase_(noCase) {}

double TextScrollStep::fractionOf(std::string_view raw) const {
    std::string text = noCase_ ? toUpper(rtrim(raw)) : std::string(rtrim(raw));
    if (text.empty()) return 0;
    const Buckets& b = buckets(noCase_);
    auto c = static_cast<unsigned char>(text[0]);
    std::size_t k = bucketOf(c);
    double f = 0;
    if (k == 0) {
        f = c < ' ' ? 0 : (c - ' ') / double('A' - ' ');
    } else if (k <= 26) {
        f = secondFraction(text);
    } else if (!noCase_ && c >= 'a' && c <= 'z') {
        f = 0.8 * ((c - 'a') + secondFraction(toUpper(text))) / 26.0;
    } else {
        f = c < 'a' ? 0 : 0.9;
    }
    return b.start[k] + f * b.weight[k];
}

std::string TextScrollStep::textAt(double fraction) const {
    const Buckets& b = buckets(noCase_);
    std::size_t k = 0;
    while (k + 1 < b.weight.size() && fraction >= b.start[k + 1]) ++k;
    double f = b.weight[k] > 0 ? (fraction - b.start[k]) / b.weight[k] : 0;
    f = std::clamp(f, 0.0, 0.999999);
    if (k == 0) return std::string(1, static_cast<char>(' ' + static_cast<int>(f * ('A' - ' '))));
    if (k <= 26) {
        std::string s(1, static_cast<char>('A' + static_cast<int>(k) - 1));
        s += static_cast<char>('A' + static_cast<int>(f * 26));
        return s;
    }
    if (!noCase_ && f < 0.8) {
        double g = f / 0.8 * 26;
        int first = std::min(25, static_cast<int>(g));
        std::string s(1, static_cast<char>('a' + first));
        s += static_cast<char>('A' + std::min(25, static_cast<int>((g - first) * 26)));
        return s;
    }
    return "\xC3\x81";  // "Á": the start of the accented capitals
}

ThumbTarget TextScrollStep::valueAt(int thumb) const {
    if (thumb <= 0) return {ThumbTarget::Kind::First, Value()};
    if (thumb >= kThumbRange) return {ThumbTarget::Kind::Last, Value()};
    double fraction = static_cast<double>(descending_ ? kThumbRange - thumb : thumb) / kThumbRange;
    std::string text = textAt(fraction);
    if (descending_) text += kHighChar;
    return {ThumbTarget::Kind::Value, Value(std::move(text))};
}

int TextScrollStep::thumbFor(std::string_view keyValue) const {
    int t = toThumb(fractionOf(keyValue));
    return descending_ ? kThumbRange - t : t;
}

FloatScrollStep::FloatScrollStep(int places, bool descending) : places_(places), descending_(descending) {}

void FloatScrollStep::setLimits(const Decimal& low, const Decimal& high) {
    low_ = low <= high ? low : high;
    high_ = low <= high ? high : low;
}

ThumbTarget FloatScrollStep::valueAt(int thumb) const {
    if (thumb <= 0) return {ThumbTarget::Kind::First, Value()};
    if (thumb >= kThumbRange) return {ThumbTarget::Kind::Last, Value()};
    Decimal span = high_ - low_;
    Decimal part = span * Decimal(thumb) / Decimal(kThumbRange);
    Decimal v = descending_ ? high_ - part : low_ + part;
    return {ThumbTarget::Kind::Value, Value(v.rounded(places_))};
}

int FloatScrollStep::thumbFor(const Decimal& keyValue) const {
    Decimal span = high_ - low_;
    if (span.sign() <= 0) return 0;
    Decimal from = descending_ ? high_ - keyValue : keyValue - low_;
    if (from.sign() <= 0) return 0;
    if (from >= span) return kThumbRange;
    Decimal t = (from * Decimal(kThumbRange) / span).rounded(0);
    return std::clamp(static_cast<int>(t.toInt64()), 0, kThumbRange);
}

}  // namespace tv::list
