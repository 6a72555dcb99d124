#include "app/list/list_format.h"

#include "platform/types/text.h"

namespace tv::list {

std::string ListFormatError::describe() const {
    return "Formato de lista no válido (posición " + std::to_string(position + 1) + "): " + message;
}

namespace {

constexpr int kMaxNumber = 100000;

struct Fail {
    std::size_t position;
    std::string message;
};

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    void run(std::vector<ListColumn>& columns, std::vector<ListGroup>& groups) {
        skipBlanks();
        if (atEnd()) throw Fail{0, "el formato está vacío"};
        while (!atEnd()) {
            if (peek() == '[') {
                parseGroup(columns, groups);
            } else {
                columns.push_back(parseColumn());
            }
            skipBlanks();
        }
    }

private:
    bool atEnd() const { return i_ >= s_.size(); }
    char peek() const { return s_[i_]; }
    void skipBlanks() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t')) ++i_;
    }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    [[noreturn]] void unexpected(std::string_view what) const {
        if (atEnd()) throw Fail{i_, "el formato termina antes de " + std::string(what)};
        // Show the whole character, not one byte of it.
        std::size_t n = 1;
        auto c = static_cast<unsigned char>(s_[i_]);
        if (c >= 0xF0) n = 4;
        else if (c >= 0xE0) n = 3;
        else if (c >= 0xC0) n = 2;
        throw Fail{i_, "carácter inesperado '" + std::string(s_.substr(i_, n)) + "'; se esperaba " +
                           std::string(what)};
    }

    int number(std::string_view what, bool allowSign) {
        std::size_t start = i_;
        bool negative = false;
        if (allowSign && !atEnd() && (peek() == '-' || peek() == '+')) {
            negative = peek() == '-';
            ++i_;
        }
        if (atEnd() || !isDigit(peek())) {
            i_ = start;
            unexpected(what);
        }
        long v = 0;
        while (!atEnd() && isDigit(peek())) {
            v = v * 10 + (peek() - '0');
            if (v > kMaxNumber) throw Fail{start, std::string(what) + " demasiado grande"};
            ++i_;
        }
        return static_cast<int>(negative ? -v : v);
    }

    static bool isAlign(char c) { return c == 'L' || c == 'R' || c == 'C' || c == 'D'; }
    static Align alignOf(char c) {
        switch (c) {
        case 'R': return Align::Right;
        case 'C': return Align::Center;
        case 'D': return Align::Decimal;
        default: return Align::Left;
        }
    }

    // "(" n ")" when present.
    std::optional<int> bracketed(std::string_view what, bool allowSign) {
        if (atEnd() || peek() != '(') return std::nullopt;
        ++i_;
        int v = number(what, allowSign);
        if (atEnd() || peek() != ')') unexpected("')'");
        ++i_;
        return v;
    }

    void modifiers(bool& border, bool& resizable, bool* colours) {
        while (!atEnd()) {
            char c = peek();
            if (c == '|') border = true;
            else if (c == 'M') resizable = true;
            else if (c == '*' && colours) *colours = true;
            else break;
            ++i_;
        }
    }

    // "~" text "~" [just ["(" n ")"]]; false when there is no header.
    bool header(std::string& text, Align& align, int& indent, bool& given) {
        if (atEnd() || peek() != '~') return false;
        std::size_t open = i_++;
        std::size_t close = s_.find('~', i_);
        if (close == std::string_view::npos) throw Fail{open, "falta el '~' que cierra el encabezado"};
        text = std::string(s_.substr(i_, close - i_));
        i_ = close + 1;
        if (!atEnd() && isAlign(peek())) {
            align = alignOf(peek());
            ++i_;
            indent = bracketed("el margen del encabezado", true).value_or(0);
            given = true;
        }
        return true;
    }

    ListColumn parseColumn() {
        ListColumn c;
        if (atEnd() || !isDigit(peek())) unexpected("el ancho de una columna");
        c.width = number("el ancho de la columna", false);
        if (atEnd() || !isAlign(peek())) unexpected("la alineación de la columna (L, R, C o D)");
        c.align = alignOf(peek());
        ++i_;
        c.indent = bracketed("el margen de la columna", true).value_or(0);
        modifiers(c.rightBorder, c.resizable, &c.cellColours);
        c.headerAlign = c.align;
        c.headerIndent = c.indent;
        header(c.header, c.headerAlign, c.headerIndent, c.headerAlignGiven);
        if (!atEnd() && peek() == '@') {
            std::size_t open = i_++;
            std::size_t close = s_.find('@', i_);
            if (close == std::string_view::npos) throw Fail{open, "falta la '@' que cierra la máscara"};
            c.pictureText = std::string(s_.substr(i_, close - i_));
            c.picture = Picture::parse(c.pictureText);
            if (!c.picture) throw Fail{open + 1, "máscara desconocida '@" + c.pictureText + "@'"};
            i_ = close + 1;
        }
        return c;
    }

    void parseGroup(std::vector<ListColumn>& columns, std::vector<ListGroup>& groups) {
        std::size_t open = i_++;
        ListGroup g;
        g.firstColumn = static_cast<int>(columns.size());
        int index = static_cast<int>(groups.size());
        skipBlanks();
        while (!atEnd() && peek() != ']') {
            if (peek() == '[') throw Fail{i_, "un grupo de columnas no puede contener otro grupo"};
            ListColumn c = parseColumn();
            c.group = index;
            columns.push_back(std::move(c));
            skipBlanks();
        }
        if (atEnd()) throw Fail{open, "falta el ']' que cierra el grupo de columnas"};
        g.columnCount = static_cast<int>(columns.size()) - g.firstColumn;
        if (g.columnCount == 0) throw Fail{open, "el grupo de columnas está vacío"};
        ++i_;  // ']'
        g.width = bracketed("el ancho del grupo", false).value_or(0);
        modifiers(g.rightBorder, g.resizable, nullptr);
        if (!atEnd() && peek() == '*') throw Fail{i_, "un grupo no lleva colores propios ('*')"};
        // A group header is centred unless it says otherwise.
        g.headerAlign = Align::Center;
        header(g.header, g.headerAlign, g.headerIndent, g.headerAlignGiven);
        groups.push_back(std::move(g));
    }

    std::string_view s_;
    std::size_t i_ = 0;
};

}  // namespace

std::optional<ListFormat> ListFormat::parse(std::string_view text, ListFormatError* error) {
    ListFormat f;
    try {
        Parser(text).run(f.columns_, f.groups_);
    } catch (const Fail& fail) {
        if (error) *error = ListFormatError{fail.position, fail.message};
        return std::nullopt;
    }
    return f;
}

int ListFormat::lineFieldCount() const {
    int n = 0;
    for (const auto& c : columns_) n += c.cellColours ? 5 : 1;
    return n;
}

int ListFormat::valueField(int column) const {
    int n = 0;
    for (int k = 0; k < column; ++k) n += columns_[static_cast<std::size_t>(k)].cellColours ? 5 : 1;
    return n;
}

int ListFormat::colourField(int column) const {
    if (!columns_[static_cast<std::size_t>(column)].cellColours) return -1;
    return valueField(column) + 1;
}

std::string formatCell(const ListColumn& column, const Value& value) {
    if (!column.picture) return std::string(rtrim(value.asText()));
    const Picture& p = *column.picture;
    // A text field shown through a number picture (the bar codes) is shown
    // as stored: read as a number it would lose its letters and leading zeros.
    if (p.kind() == Picture::Kind::Number && value.isText()) return std::string(trim(*value.textPtr()));
    std::string shown = p.format(value);
    if (p.kind() == Picture::Kind::Text) return std::string(rtrim(shown));
    return std::string(trim(shown));
}

CellColours stripeColours(int position) {
    CellColours c;
    if (position % 2 != 0) c.background = kStripeColour;
    return c;
}

}  // namespace tv::list
