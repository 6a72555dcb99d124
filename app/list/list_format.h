#pragma once
// List format strings: the column layout of a list control, as every list
// window declares it, e.g.
//   "80R(1)|M*~Código~@n_4@80L(1)|M*~Descripcion~@s40@"
//   "[52R(2)|M*@n_10@167L(2)|M*@s40@]|M~Artículo~21L(2)|M*~UM~@n_3@"
//   "52C(2)|M*~Fecha~C(0)@d6@"       (header centred on its own)
//
// Grammar, per column:
//   width  justification [ "(" indent ")" ]  modifiers
//   [ "~" header "~" [ header justification [ "(" indent ")" ] ] ]
//   [ "@" picture "@" ]
// justification: L left, R right, C centre, D decimal; an indent may be
// negative. Modifiers, in any order: "|" right border, "M" resizable, "*"
// colours of its own per cell (four colours follow the value in the list
// line). A group of columns under one shared header:
//   "[" column... "]" [ "(" width ")" ] modifiers [ "~" header "~" [ just ] ]
// Blanks between items are allowed. Anything else is refused with a clear
// error naming the place.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types/picture.h"
#include "platform/types/record.h"

namespace tv::list {

enum class Align { Left, Right, Center, Decimal };

struct ListFormatError {
    std::size_t position = 0;  // byte offset into the format text, 0-based
    std::string message;       // Spanish, for the user
    // "Formato de lista no válido (posición 7): ..."
    std::string describe() const;
};

struct ListColumn {
    int width = 0;
    Align align = Align::Left;
    int indent = 0;
    bool rightBorder = false;  // "|"
    bool resizable = false;    // "M"
    bool cellColours = false;  // "*": four colours follow the value in the line
    std::string header;        // blank when the column has none
    Align headerAlign = Align::Left;  // the column's own unless given
    int headerIndent = 0;
    bool headerAlignGiven = false;
    std::string pictureText;          // as written, without the "@"s; blank: none
    std::optional<Picture> picture;   // parsed pictureText
    int group = -1;                   // index into ListFormat::groups(), -1 none
};

struct ListGroup {
    int firstColumn = 0;
    int columnCount = 0;
    int width = 0;  // 0 when not given: the sum of its columns
    bool rightBorder = false;
    bool resizable = false;
    std::string header;
    Align headerAlign = Align::Left;
    int headerIndent = 0;
    bool headerAlignGiven = false;
};

class ListFormat {
public:
    // nullopt and *error for a text this parser does not know.
    static std::optional<ListFormat> parse(std::string_view text, ListFormatError* error = nullptr);

    const std::vector<ListColumn>& columns() const { return columns_; }
    const std::vector<ListGroup>& groups() const { return groups_; }
    int columnCount() const { return static_cast<int>(columns_.size()); }

    // Layout of a list line: per column its value, then, for a "*" column,
    // foreground, background, selected foreground, selected background.
    int lineFieldCount() const;
    int valueField(int column) const;
    // Field of the first of the column's four colours; -1 when it has none.
    int colourField(int column) const;

private:
    std::vector<ListColumn> columns_;
    std::vector<ListGroup> groups_;
};

// The text a cell shows for a value, without the padding blanks of the
// picture (aligning is the renderer's business, by the column's Align).
// A text shown through a number picture (a bar code) is shown as stored,
// leading zeros and letters included.
std::string formatCell(const ListColumn& column, const Value& value);

// Colours of one cell as the list line holds them; -1 is "none": the list's
// own colour.
struct CellColours {
    int32_t foreground = -1;
    int32_t background = -1;
    int32_t selectedForeground = -1;
    int32_t selectedBackground = -1;
    bool operator==(const CellColours&) const = default;
};

inline constexpr int32_t kStripeColour = 0xE7F2D5;  // blue-green-red
// Colours of every cell of the screen row at `position` (1 = first row of
// the visible page): the odd rows are striped, so the stripes stay on the
// screen rows whatever records scroll through them.
CellColours stripeColours(int position);

}  // namespace tv::list
