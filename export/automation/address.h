#pragma once
// Cell addresses as a spreadsheet writes them: column letters, "B4",
// ranges ("A1:C3", "A:D", "2:5", "Hoja1!A1"), and formulas written in
// row-and-column notation ("=R1C1+R[1]C") turned into column-letter ones.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tv::automation {

inline constexpr int32_t kMaxRows = 1048576;
inline constexpr int32_t kMaxColumns = 16384;

// 1-based, both inclusive.
struct CellRect {
    int32_t top = 1, left = 1, bottom = 1, right = 1;
    int32_t rows() const { return bottom - top + 1; }
    int32_t columns() const { return right - left + 1; }
    bool single() const { return top == bottom && left == right; }
    bool wholeColumns() const { return top == 1 && bottom == kMaxRows; }
    bool wholeRows() const { return left == 1 && right == kMaxColumns; }
    bool contains(int32_t row, int32_t column) const {
        return row >= top && row <= bottom && column >= left && column <= right;
    }
    bool intersects(const CellRect& o) const {
        return top <= o.bottom && o.top <= bottom && left <= o.right && o.left <= right;
    }
    bool operator==(const CellRect&) const = default;
};

struct RangeAddress {
    std::string sheet;  // empty: the sheet the address is used on
    CellRect rect;
};

// "A".."XFD" for 1..16384; empty outside.
std::string ColumnLetters(int32_t column);
// 1..16384, or nullopt for letters that name no column (case ignored).
std::optional<int32_t> ColumnNumber(std::string_view letters);
// "B4"; empty when the row or the column is out of the sheet.
std::string CellAddress(int32_t row, int32_t column);
// "A1:C3" ("A1" for one cell, "A:D" for whole columns, "2:5" for whole rows).
std::string RangeText(const CellRect& r);
bool ValidCell(int32_t row, int32_t column);

// A range: one cell, two corners, whole columns ("A:D", "C"), whole rows
// ("2:5"), each part with or without "$", optionally after a sheet name
// ("Hoja1!A1", "'Mi hoja'!A1:B2"). Corners may come in any order. On
// failure *error says why, in the user's words.
std::optional<RangeAddress> ParseRange(std::string_view text, std::string* error = nullptr);
// Only whole columns: "A", "A:D" (also "$A:$D").
std::optional<CellRect> ParseColumns(std::string_view text, std::string* error = nullptr);

// A formula in row-and-column notation ("=R2C3*R[-1]C[2]", "=SUM(R1C1:R3C1)")
// written with column letters for the cell at (row, column); texts in double
// quotes are left alone. nullopt, with *error, when a reference falls off
// the sheet.
std::optional<std::string> FormulaFromR1C1(std::string_view formula, int32_t row, int32_t column,
                                           std::string* error = nullptr);

}  // namespace tv::automation
