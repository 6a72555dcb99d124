#pragma once
// Thumb positioners: a list shows only its visible page, so its scroll-bar
// thumb cannot be a row count. Each order maps the thumb to a value of its
// key's first free field (where to reposition when the thumb is dragged) and
// back (where to draw the thumb for the selected record).
//
// Thumb positions run from 0 (top) to kThumbRange (bottom). At the two ends
// the list goes to its first or last record rather than to a value.
// Descending orders run from the highest value down; their text values end
// in kHighChar so that a reposition lands before every value with that start.
#include <string>
#include <string_view>

#include "platform/types/decimal.h"
#include "platform/types/record.h"

namespace tv::list {

inline constexpr int kThumbRange = 100;
// Sorts after every character a text key holds (also after UTF-8 lead bytes).
inline constexpr char kHighChar = '\xFE';

struct ThumbTarget {
    enum class Kind { First, Last, Value };
    Kind kind = Kind::First;
    Value value;  // for Kind::Value: the free key field's new value
};

// Text keys: the thumb follows how initial letters are spread in names
// (more "C", "M", "P" than "K" or "X"), two letters deep.
class TextScrollStep {
public:
    explicit TextScrollStep(bool descending = false, bool noCase = true);
    ThumbTarget valueAt(int thumb) const;
    int thumbFor(std::string_view keyValue) const;

private:
    // Fraction 0..1 of the key order for an (upper-cased when no-case) text.
    double fractionOf(std::string_view text) const;
    std::string textAt(double fraction) const;

    bool descending_;
    bool noCase_;
};

// Number keys: a straight line between the lowest and the highest value of
// the order (the list reads them from its first and last records and sets
// them with setLimits whenever it reloads from the start or the end).
class FloatScrollStep {
public:
    explicit FloatScrollStep(int places = 2, bool descending = false);
    void setLimits(const Decimal& low, const Decimal& high);
    ThumbTarget valueAt(int thumb) const;
    int thumbFor(const Decimal& keyValue) const;

private:
    int places_;
    bool descending_;
    Decimal low_, high_;
};

class IntegerScrollStep {
public:
    explicit IntegerScrollStep(bool descending = false) : step_(0, descending) {}
    void setLimits(long long low, long long high) { step_.setLimits(Decimal(low), Decimal(high)); }
    ThumbTarget valueAt(int thumb) const { return step_.valueAt(thumb); }
    int thumbFor(long long keyValue) const { return step_.thumbFor(Decimal(keyValue)); }

private:
    FloatScrollStep step_;
};

}  // namespace tv::list
