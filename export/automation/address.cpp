#include "export/automation/address.h"

#include <algorithm>
#include <cctype>

namespace tv::automation {

namespace {

bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool isNameChar(char c) { return isLetter(c) || isDigit(c) || c == '_' || c == '.'; }

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

void fail(std::string* error, std::string_view text) {
    if (error != nullptr) *error = "La dirección \"" + std::string(text) + "\" no es válida.";
}

// One side of a range: "$B$4", "B", "4".
struct Part {
    enum class Kind { Cell, Column, Row } kind = Kind::Cell;
    int32_t row = 0, column = 0;
};

std::optional<Part> parsePart(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && s[i] == '$') ++i;
    size_t letters = i;
    while (i < s.size() && isLetter(s[i])) ++i;
    std::string_view col = s.substr(letters, i - letters);
    const bool dollarBeforeRow = i < s.size() && s[i] == '$';
    if (dollarBeforeRow) {
        if (col.empty()) return std::nullopt;  // "$$4"
        ++i;
    }
    size_t digits = i;
    while (i < s.size() && isDigit(s[i])) ++i;
    std::string_view row = s.substr(digits, i - digits);
    if (i != s.size() || (col.empty() && row.empty())) return std::nullopt;
    if (dollarBeforeRow && row.empty()) return std::nullopt;
    Part p;
    if (!col.empty()) {
        auto c = ColumnNumber(col);
        if (!c) return std::nullopt;
        p.column = *c;
    }
    if (!row.empty()) {
        if (row.size() > 7 || row.front() == '0') return std::nullopt;
        p.row = std::stoi(std::string(row));
        if (p.row < 1 || p.row > kMaxRows) return std::nullopt;
    }
    if (!col.empty() && !row.empty()) p.kind = Part::Kind::Cell;
    else if (!col.empty()) p.kind = Part::Kind::Column;
    else p.kind = Part::Kind::Row;
    return p;
}

CellRect rectOf(const Part& a, const Part& b) {
    CellRect r;
    switch (a.kind) {
    case Part::Kind::Cell:
        r = {std::min(a.row, b.row), std::min(a.column, b.column), std::max(a.row, b.row), std::max(a.column, b.column)};
        break;
    case Part::Kind::Column:
        r = {1, std::min(a.column, b.column), kMaxRows, std::max(a.column, b.column)};
        break;
    case Part::Kind::Row:
        r = {std::min(a.row, b.row), 1, std::max(a.row, b.row), kMaxColumns};
        break;
    }
    return r;
}

// "Hoja1!" or "'Mi hoja'!" in front of an address; the rest in *rest.
bool splitSheet(std::string_view text, std::string& sheet, std::string_view& rest) {
    rest = text;
    if (!text.empty() && text.front() == '\'') {
        std::string name;
        size_t i = 1;
        for (;; ++i) {
            if (i >= text.size()) return false;
            if (text[i] == '\'') {
                if (i + 1 < text.size() && text[i + 1] == '\'') {
                    name += '\'';
                    ++i;
                    continue;
                }
                break;
            }
            name += text[i];
        }
        if (i + 1 >= text.size() || text[i + 1] != '!' || name.empty()) return false;
        sheet = name;
        rest = text.substr(i + 2);
        return true;
    }
    const size_t bang = text.find('!');
    if (bang == std::string_view::npos) return true;
    if (bang == 0) return false;
    sheet = std::string(text.substr(0, bang));
    rest = text.substr(bang + 1);
    return true;
}

}  // namespace

std::string ColumnLetters(int32_t column) {
    if (column < 1 || column > kMaxColumns) return {};
    std::string out;
    while (column > 0) {
        const int32_t m = (column - 1) % 26;
        out.insert(out.begin(), static_cast<char>('A' + m));
        column = (column - 1) / 26;
    }
    return out;
}

std::optional<int32_t> ColumnNumber(std::string_view letters) {
    if (letters.empty() || letters.size() > 3) return std::nullopt;
    int32_t n = 0;
    for (char c : letters) {
        if (!isLetter(c)) return std::nullopt;
        n = n * 26 + (std::toupper(static_cast<unsigned char>(c)) - 'A' + 1);
    }
    if (n > kMaxColumns) return std::nullopt;
    return n;
}

bool ValidCell(int32_t row, int32_t column) {
    return row >= 1 && row <= kMaxRows && column >= 1 && column <= kMaxColumns;
}

std::string CellAddress(int32_t row, int32_t column) {
    if (!ValidCell(row, column)) return {};
    return ColumnLetters(column) + std::to_string(row);
}

std::string RangeText(const CellRect& r) {
    if (r.wholeColumns()) return ColumnLetters(r.left) + ":" + ColumnLetters(r.right);
    if (r.wholeRows()) return std::to_string(r.top) + ":" + std::to_string(r.bottom);
    if (r.single()) return CellAddress(r.top, r.left);
    return CellAddress(r.top, r.left) + ":" + CellAddress(r.bottom, r.right);
}

std::optional<RangeAddress> ParseRange(std::string_view text, std::string* error) {
    const std::string_view whole = trimBlanks(text);
    RangeAddress out;
    std::string_view rest;
    if (!splitSheet(whole, out.sheet, rest)) {
        fail(error, text);
        return std::nullopt;
    }
    const size_t colon = rest.find(':');
    std::optional<Part> a = parsePart(rest.substr(0, colon));
    std::optional<Part> b = colon == std::string_view::npos ? a : parsePart(rest.substr(colon + 1));
    if (!a || !b || a->kind != b->kind || (colon == std::string_view::npos && a->kind != Part::Kind::Cell)) {
        fail(error, text);
        return std::nullopt;
    }
    out.rect = rectOf(*a, *b);
    return out;
}

std::optional<CellRect> ParseColumns(std::string_view text, std::string* error) {
    const std::string_view t = trimBlanks(text);
    const size_t colon = t.find(':');
    std::optional<Part> a = parsePart(t.substr(0, colon));
    std::optional<Part> b = colon == std::string_view::npos ? a : parsePart(t.substr(colon + 1));
    if (!a || !b || a->kind != Part::Kind::Column || b->kind != Part::Kind::Column) {
        fail(error, text);
        return std::nullopt;
    }
    return rectOf(*a, *b);
}

std::optional<std::string> FormulaFromR1C1(std::string_view f, int32_t row, int32_t column, std::string* error) {
    std::string out;
    out.reserve(f.size() + 8);
    // One part of a reference: "R", "R3", "R[-1]" (the same for C).
    auto readPart = [&](size_t& i, char letter, int32_t base, int32_t& value, bool& absolute) {
        if (i >= f.size() || std::toupper(static_cast<unsigned char>(f[i])) != letter) return false;
        ++i;
        absolute = false;
        value = base;
        if (i < f.size() && f[i] == '[') {
            size_t j = i + 1;
            bool negative = false;
            if (j < f.size() && (f[j] == '-' || f[j] == '+')) negative = f[j++] == '-';
            size_t start = j;
            while (j < f.size() && isDigit(f[j])) ++j;
            if (j == start || j >= f.size() || f[j] != ']' || j - start > 7) return false;
            const int32_t offset = std::stoi(std::string(f.substr(start, j - start)));
            value = base + (negative ? -offset : offset);
            i = j + 1;
        } else if (i < f.size() && isDigit(f[i])) {
            size_t start = i;
            while (i < f.size() && isDigit(f[i])) ++i;
            if (i - start > 7) return false;
            value = std::stoi(std::string(f.substr(start, i - start)));
            absolute = true;
        }
        return true;
    };
    for (size_t i = 0; i < f.size();) {
        const char c = f[i];
        if (c == '"') {  // a text: copied as it is, "" inside it included
            size_t j = i + 1;
            while (j < f.size()) {
                if (f[j] == '"') {
                    if (j + 1 < f.size() && f[j + 1] == '"') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            j = std::min(j + 1, f.size());
            out.append(f.substr(i, j - i));
            i = j;
            continue;
        }
        const bool startsName = i == 0 || !isNameChar(f[i - 1]);
        if (startsName && (c == 'R' || c == 'r')) {
            size_t j = i;
            int32_t r = 0, k = 0;
            bool rAbs = false, cAbs = false;
            if (readPart(j, 'R', row, r, rAbs) && readPart(j, 'C', column, k, cAbs) &&
                (j >= f.size() || (!isNameChar(f[j]) && f[j] != '('))) {
                if (!ValidCell(r, k)) {
                    if (error != nullptr) *error = "La fórmula hace referencia a una celda fuera de la hoja.";
                    return std::nullopt;
                }
                out += (cAbs ? "$" : "") + ColumnLetters(k) + (rAbs ? "$" : "") + std::to_string(r);
                i = j;
                continue;
            }
        }
        out += c;
        ++i;
    }
    return out;
}

}  // namespace tv::automation
