#pragma once
// Display pictures: showing a value and reading what a user typed.
// Numbers: n[-][_]W[.P][b|B]  (grouping with "," unless "_", point ".",
// negatives always show "-", b/B shows zero as blank, never cut when wider).
// Texts: sN / SN. Dates: d6 (dd/mm/yyyy, zero blank). Page numbers: p<<#p.
#include <optional>
#include <string>
#include <string_view>

#include "platform/types/record.h"

namespace tv {

class Picture {
public:
    enum class Kind { Number, Text, Date, Page };
    // nullopt when the text is not a picture this system knows. A leading '@'
    // is accepted and ignored.
    static std::optional<Picture> parse(std::string_view text);

    Kind kind() const { return kind_; }
    int width() const { return width_; }
    int places() const { return places_; }
    // Numbers: whether the picture has a sign ("n-14.2"); one without is
    // for values that are never negative.
    bool showsSign() const { return minus_; }
    // The text shown for a value (numbers right-aligned to the width when
    // they fit; texts cut or padded to the width).
    std::string format(const Value& v) const;
    // What the user typed, read back. On failure returns nullopt and sets
    // *error to a Spanish message for the user.
    std::optional<Value> read(std::string_view typed, std::string* error = nullptr) const;

private:
    Kind kind_ = Kind::Text;
    int width_ = 0;
    int places_ = 0;
    bool group_ = true;
    bool blankZero_ = false;
    bool minus_ = false;
};

// Convenience: format with a picture text; an unknown picture shows the
// value's plain text.
std::string formatWithPicture(std::string_view picture, const Value& v);

}  // namespace tv
