// Ranges of cells: values, formats, sizes, merging, filters, inserting and
// replacing, as the spreadsheet application answers them.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <regex>
#include <unordered_map>

#include "export/automation/server_internal.h"
#include "platform/types/text.h"

namespace tv::automation {

namespace {

// The part of a range that holds anything (a whole column holds a million
// cells, of which only the used ones matter).
CellRect clipToUsed(const Worksheet& w, const CellRect& r) {
    CellRect out = r;
    out.bottom = std::min(out.bottom, std::max(w.lastRow(), out.top));
    out.right = std::min(out.right, std::max(w.lastColumn(), out.left));
    return out;
}

// The last row a row setting goes to: every row of a range of rows, but
// only the used ones when the range runs to the end of the sheet.
int32_t lastLine(const CellRect& r, const Worksheet& w) {
    return r.bottom == kMaxRows ? std::min(r.bottom, std::max(w.lastRow(), r.top)) : r.bottom;
}

int64_t cellsIn(const CellRect& r) { return static_cast<int64_t>(r.rows()) * r.columns(); }

Status tooMany() {
    return Status::Fail("El rango es demasiado grande: una operación cambia a lo más " +
                        std::to_string(kMaxCellsPerOperation) + " celdas.");
}

// A protected sheet refuses every change to its locked cells.
Status checkUnlocked(Workbook& book, const Sheet& s, const CellRect& r) {
    const Worksheet& w = s.cells;
    if (!w.protectedSheet) return Status::Ok();
    const std::string refused = "La hoja \"" + s.name + "\" está protegida";
    if (r.wholeColumns() || r.wholeRows()) return Status::Fail(refused + ".");
    for (int32_t row = r.top; row <= r.bottom; ++row)
        for (int32_t c = r.left; c <= r.right; ++c)
            if (book.style(w.styleAt(row, c)).locked)
                return Status::Fail(refused + ": la celda " + CellAddress(row, c) + " no se puede cambiar.");
    return Status::Ok();
}

Status checkNotProtected(const Sheet& s) {
    if (s.cells.protectedSheet) return Status::Fail("La hoja \"" + s.name + "\" está protegida.");
    return Status::Ok();
}

// A text as typed into a cell: a number, a formula, or text.
Result<CellValue> entryOf(std::string_view text, bool r1c1, int32_t row, int32_t column) {
    if (text.empty()) return {CellValue{}, Status::Ok()};
    if (text.front() == '\'') return {CellValue::Text(std::string(text.substr(1))), Status::Ok()};
    if (text.front() == '=' && text.size() > 1) {
        if (!r1c1) return {CellValue::Formula(std::string(text)), Status::Ok()};
        std::string error;
        std::optional<std::string> f = FormulaFromR1C1(text, row, column, &error);
        if (!f) return {CellValue{}, Status::Fail(error)};
        return {CellValue::Formula(*f), Status::Ok()};
    }
    if (std::optional<double> d = PlainNumber(text)) return {CellValue::Number(*d), Status::Ok()};
    return {CellValue::Text(std::string(text)), Status::Ok()};
}

Status checkText(const CellValue& v) {
    if ((v.kind == CellValue::Kind::Text || v.kind == CellValue::Kind::Formula) && charCount(v.text) > kMaxCellText)
        return Status::Fail("Una celda admite a lo más " + std::to_string(kMaxCellText) + " caracteres.");
    return Status::Ok();
}

Status writeValues(Workbook& book, Sheet& s, const CellRect& r, const Variant& v, bool entry, bool r1c1) {
    if (cellsIn(r) > kMaxCellsPerOperation) return tooMany();
    if (Status st = checkUnlocked(book, s, r); !st) return st;
    for (int32_t row = r.top; row <= r.bottom; ++row)
        for (int32_t c = r.left; c <= r.right; ++c) {
            CellValue value;
            if (v.kind == Variant::Kind::Number) {
                value = CellValue::Number(v.number);
            } else if (entry) {
                Result<CellValue> e = entryOf(v.text, r1c1, row, c);
                if (!e.ok()) return e.status;
                value = std::move(e.value);
            } else if (!v.text.empty()) {
                value = CellValue::Text(v.text);
            }
            if (Status st = checkText(value); !st) return st;
            if (Status st = s.cells.setValue(row, c, value); !st) return st;
        }
    return Status::Ok();
}

// Changes the format of every cell of the range (whole columns and rows
// keep it as their own format, for the cells written there later).
Status applyStyle(Workbook& book, Sheet& s, const CellRect& r, const std::function<void(Style&)>& change) {
    if (Status st = checkUnlocked(book, s, r); !st) return st;
    Worksheet& w = s.cells;
    std::unordered_map<uint32_t, uint32_t> done;
    auto changed = [&](uint32_t from) {
        auto it = done.find(from);
        if (it != done.end()) return it->second;
        Style st = book.style(from);
        change(st);
        const uint32_t to = book.intern(st);
        done.emplace(from, to);
        return to;
    };
    if (r.wholeColumns() || r.wholeRows()) {
        if (r.wholeColumns())
            for (int32_t c = r.left; c <= r.right; ++c) w.setColumnStyle(c, changed(w.columnStyle(c)));
        if (r.wholeRows())
            for (int32_t row = r.top; row <= lastLine(r, w); ++row) w.setRowStyle(row, changed(w.rowStyle(row)));
        const CellRect used = clipToUsed(w, r);
        for (int32_t row = used.top; row <= used.bottom; ++row)
            for (int32_t c = used.left; c <= std::min(used.right, w.rowColumns(row)); ++c)
                w.setStyle(row, c, changed(w.styleAt(row, c)));
        return Status::Ok();
    }
    if (cellsIn(r) > kMaxCellsPerOperation) return tooMany();
    for (int32_t row = r.top; row <= r.bottom; ++row)
        for (int32_t c = r.left; c <= r.right; ++c) w.setStyle(row, c, changed(w.styleAt(row, c)));
    return Status::Ok();
}

const Style& topLeftStyle(Workbook& book, const Sheet& s, const CellRect& r) {
    return book.style(s.cells.styleAt(r.top, r.left));
}

Result<int32_t> horizontalCode(const Variant& v) {
    Result<int32_t> n = WholeOf(v);
    if (!n.ok()) return n;
    switch (n.value) {
    case 2: return {xl::kLeft, Status::Ok()};
    case 3: return {xl::kCenter, Status::Ok()};
    case 4: return {xl::kRight, Status::Ok()};
    case xl::kGeneral: case xl::kLeft: case xl::kCenter: case xl::kRight: case xl::kFill: case xl::kJustify:
    case xl::kCenterAcross: case xl::kDistributed: return n;
    default: return {0, Status::Fail("La alineación horizontal " + std::to_string(n.value) + " no existe.")};
    }
}

Result<int32_t> verticalCode(const Variant& v) {
    Result<int32_t> n = WholeOf(v);
    if (!n.ok()) return n;
    switch (n.value) {
    case 1: return {xl::kTop, Status::Ok()};
    case 2: return {xl::kCenter, Status::Ok()};
    case 3: return {xl::kBottom, Status::Ok()};
    case 4: return {xl::kJustify, Status::Ok()};
    case 5: return {xl::kDistributed, Status::Ok()};
    case xl::kTop: case xl::kCenter: case xl::kBottom: case xl::kJustify: case xl::kDistributed: return n;
    default: return {0, Status::Fail("La alineación vertical " + std::to_string(n.value) + " no existe.")};
    }
}

Result<int32_t> colorFromIndex(const Variant& v, bool fill) {
    Result<int32_t> n = WholeOf(v);
    if (!n.ok()) return n;
    if (n.value == xl::kAutomatic || (fill && n.value == xl::kNone)) return {-1, Status::Ok()};
    const int32_t bgr = PaletteColor(n.value);
    if (bgr < 0) return {0, Status::Fail("El índice de color " + std::to_string(n.value) + " no existe (1 a 56).")};
    return {bgr, Status::Ok()};
}

Result<int32_t> colorValue(const Variant& v) {
    Result<int32_t> n = WholeOf(v);
    if (!n.ok()) return n;
    if (n.value < 0 || n.value > 0xFFFFFF) return {0, Status::Fail("El color " + std::to_string(n.value) + " no existe.")};
    return n;
}

// What a cell shows, for fitting widths.
size_t shownLength(const Worksheet& w, int32_t row, int32_t column) {
    const CellValue v = w.value(row, column);
    switch (v.kind) {
    case CellValue::Kind::Empty: return 0;
    case CellValue::Kind::Number: return NumberText(v.number).size();
    case CellValue::Kind::Formula: return 8;
    case CellValue::Kind::Text: {
        size_t longest = 0, start = 0;
        for (;;) {
            const size_t nl = v.text.find('\n', start);
            longest = std::max(longest, charCount(std::string_view(v.text).substr(start, nl - start)));
            if (nl == std::string::npos) break;
            start = nl + 1;
        }
        return longest;
    }
    }
    return 0;
}

bool inMerge(const Worksheet& w, int32_t row, int32_t column) {
    for (const CellRect& m : w.merges)
        if (!m.single() && m.contains(row, column)) return true;
    return false;
}

Status autoFit(Workbook& book, Sheet& s, const CellRect& range, Ref::View view) {
    if (view == Ref::View::Cells)
        return Status::Fail("Ajustar el tamaño se hace por columnas o por filas (Columns.AutoFit, Rows.AutoFit).");
    if (Status st = checkNotProtected(s); !st) return st;
    Worksheet& w = s.cells;
    const CellRect r = clipToUsed(w, range);
    if (view == Ref::View::Columns) {
        for (int32_t c = r.left; c <= r.right; ++c) {
            double widest = 0;
            for (int32_t row = r.top; row <= r.bottom; ++row) {
                if (c > w.rowColumns(row) || w.empty(row, c) || inMerge(w, row, c)) continue;
                const Style& st = book.style(w.styleAt(row, c));
                widest = std::max(widest, static_cast<double>(shownLength(w, row, c)) * st.fontSize / 11.0);
            }
            if (widest > 0) w.setColumnWidth(c, std::min(255.0, std::ceil(widest + 1.0)));
        }
        return Status::Ok();
    }
    for (int32_t row = r.top; row <= r.bottom; ++row) {
        double tallest = 0;
        for (int32_t c = r.left; c <= std::min(r.right, w.rowColumns(row)); ++c) {
            if (w.empty(row, c) || inMerge(w, row, c)) continue;
            const Style& st = book.style(w.styleAt(row, c));
            const CellValue v = w.value(row, c);
            double lines = 1;
            if (v.kind == CellValue::Kind::Text) {
                lines = static_cast<double>(std::count(v.text.begin(), v.text.end(), '\n') + 1);
                const double width = w.columnWidth(c) < 0 ? 8.43 : w.columnWidth(c);
                if (st.wrap && width > 0) lines = std::max(lines, std::ceil(shownLength(w, row, c) / width));
            }
            tallest = std::max(tallest, lines * st.fontSize * 15.0 / 11.0);
        }
        w.setRowHeight(row, tallest > 0 ? std::min(409.0, tallest) : -1);
    }
    return Status::Ok();
}

Result<CellRect> regionOrRange(const Worksheet& w, const CellRect& r) {
    if (r.single()) return CurrentRegion(w, r.top, r.left);
    const CellRect c = clipToUsed(w, r);
    if (w.lastRow() == 0) return {c, Status::Fail("No hay datos en el rango.")};
    return {c, Status::Ok()};
}

Status autoFilter(Sheet& s, const CellRect& r) {
    if (Status st = checkNotProtected(s); !st) return st;
    Worksheet& w = s.cells;
    if (w.autoFilter) {  // the same command takes the filter off again
        w.autoFilter.reset();
        return Status::Ok();
    }
    Result<CellRect> region = regionOrRange(w, r);
    if (!region.ok()) return region.status;
    w.autoFilter = region.value;
    return Status::Ok();
}

// The table formats of AutoFormat, by family.
Status autoFormat(Workbook& book, Sheet& s, const CellRect& r, int32_t format, bool fitWidths) {
    enum Family { Classic, Accounting, Colorful, List, Effects };
    Family family;
    if ((format >= 1 && format <= 3) || format == 15 || format == 16) family = Classic;
    else if ((format >= 4 && format <= 6) || format == 17) family = Accounting;
    else if (format >= 7 && format <= 9) family = Colorful;
    else if ((format >= 10 && format <= 12) || (format >= 18 && format <= 21)) family = List;
    else if (format == 13 || format == 14) family = Effects;
    else return Status::Fail("El formato automático " + std::to_string(format) + " no existe.");
    Result<CellRect> region = regionOrRange(s.cells, r);
    if (!region.ok()) return region.status;
    const CellRect t = region.value;
    const CellRect header{t.top, t.left, t.top, t.right};
    const CellRect body{std::min(t.top + 1, t.bottom), t.left, t.bottom, t.right};
    Status st = applyStyle(book, s, t, [&](Style& x) {
        if (family == Classic) x.borders = {2, 2, 2, 2};
        if (family == Effects) x.fill = PaletteColor(15);
    });
    if (st) st = applyStyle(book, s, header, [&](Style& x) {
        x.bold = true;
        x.borders[1] = 2;
        if (family == Colorful) {
            x.fill = PaletteColor(11);
            x.fontColor = PaletteColor(2);
        }
    });
    if (st && t.bottom > t.top) {
        for (int32_t row = body.top; st && row <= body.bottom; ++row) {
            const CellRect line{row, t.left, row, t.right};
            st = applyStyle(book, s, line, [&](Style& x) {
                if (family == Colorful) x.fill = PaletteColor(19);
                if (family == List && (row - body.top) % 2 == 1) x.fill = PaletteColor(15);
            });
            if (st && family == Accounting)
                for (int32_t c = t.left; c <= t.right; ++c)
                    if (s.cells.value(row, c).kind == CellValue::Kind::Number)
                        st = applyStyle(book, s, {row, c, row, c}, [](Style& x) { x.numberFormat = "#,##0.00"; });
        }
    }
    if (st && fitWidths) st = autoFit(book, s, {1, t.left, kMaxRows, t.right}, Ref::View::Columns);
    return st;
}

Status merge(AppState& app, Sheet& s, const CellRect& r) {
    if (Status st = checkNotProtected(s); !st) return st;
    if (r.single()) return Status::Ok();
    if (r.wholeColumns() || r.wholeRows()) return Status::Fail("No se combinan columnas ni filas enteras.");
    Worksheet& w = s.cells;
    for (const CellRect& m : w.merges)
        if (m.intersects(r) && !(r.contains(m.top, m.left) && r.contains(m.bottom, m.right)))
            return Status::Fail("El rango " + RangeText(r) + " corta las celdas combinadas " + RangeText(m) + ".");
    bool others = false;
    for (int32_t row = r.top; row <= r.bottom && !others; ++row)
        for (int32_t c = r.left; c <= r.right && !others; ++c)
            others = (row != r.top || c != r.left) && !w.empty(row, c);
    if (others && app.displayAlerts)
        return Status::Fail("Al combinar " + RangeText(r) +
                            " solo quedaría el valor de la celda superior izquierda; las demás celdas tienen datos.");
    for (int32_t row = r.top; row <= r.bottom; ++row)
        for (int32_t c = r.left; c <= r.right; ++c)
            if (row != r.top || c != r.left) (void)w.setValue(row, c, CellValue{});
    std::erase_if(w.merges, [&](const CellRect& m) { return m.intersects(r); });
    w.merges.push_back(r);
    return Status::Ok();
}

void unmerge(Worksheet& w, const CellRect& r) {
    std::erase_if(w.merges, [&](const CellRect& m) { return m.intersects(r); });
}

Status insert(Sheet& s, const CellRect& r, Ref::View view) {
    if (Status st = checkNotProtected(s); !st) return st;
    if (view == Ref::View::Columns || r.wholeColumns()) return s.cells.insertColumns(r.left, r.columns());
    if (view == Ref::View::Rows || r.wholeRows()) return s.cells.insertRows(r.top, r.rows());
    return Status::Fail("Solo se insertan columnas o filas enteras.");
}

// Cells.Replace(what, by, lookAt, searchOrder, matchCase): "*" and "?" are
// wildcards ("~*" a star); lookAt 1 matches whole cells, 2 any part.
Status replace(Workbook& book, Sheet& s, const CellRect& range, const PathMember& m) {
    Result<std::string> what = TextArg(m, 0), by = TextArg(m, 1);
    if (!what.ok() || what.value.empty()) return Status::Fail("Falta el texto que reemplazar.");
    if (!by.ok()) return by.status;
    const bool whole = !HasArg(m, 2) || NumberArg(m, 2).value != 2;
    const bool matchCase = HasArg(m, 4) && NumberArg(m, 4).value != 0;
    std::string pattern;
    for (size_t i = 0; i < what.value.size(); ++i) {
        const char c = what.value[i];
        if (c == '~' && i + 1 < what.value.size()) {
            pattern += '\\';
            pattern += what.value[++i];
        } else if (c == '*') {
            pattern += ".*";
        } else if (c == '?') {
            pattern += '.';
        } else if (std::string_view("\\^$.|+()[]{}").find(c) != std::string_view::npos) {
            pattern += '\\';
            pattern += c;
        } else {
            pattern += c;
        }
    }
    auto flags = std::regex::ECMAScript;
    if (!matchCase) flags |= std::regex::icase;
    const std::regex re(pattern, flags);
    Worksheet& w = s.cells;
    const CellRect r = clipToUsed(w, range);
    for (int32_t row = r.top; row <= r.bottom; ++row)
        for (int32_t c = r.left; c <= std::min(r.right, w.rowColumns(row)); ++c) {
            const CellValue v = w.value(row, c);
            if (v.kind == CellValue::Kind::Empty) continue;
            const std::string shown = v.kind == CellValue::Kind::Number ? NumberText(v.number) : v.text;
            std::string result;
            if (whole) {
                if (!std::regex_match(shown, re)) continue;
                result = by.value;
            } else {
                bool found = false;
                auto from = shown.cbegin();
                std::smatch hit;
                while (std::regex_search(from, shown.cend(), hit, re)) {
                    found = true;
                    result.append(from, hit[0].first);
                    result += by.value;
                    from = hit[0].second;
                    if (hit[0].length() == 0) {
                        if (from == shown.cend()) break;
                        result += *from++;
                    }
                }
                if (!found) continue;
                result.append(from, shown.cend());
            }
            if (Status st = checkUnlocked(book, s, {row, c, row, c}); !st) return st;
            CellValue next = v.kind == CellValue::Kind::Text ? CellValue::Text(result) : CellValue{};
            if (v.kind == CellValue::Kind::Formula) next = CellValue::Formula(result);
            if (v.kind == CellValue::Kind::Number) next = entryOf(result, false, row, c).value;
            if (next.kind == CellValue::Kind::Text && next.text.empty()) next = CellValue{};
            if (Status st = checkText(next); !st) return st;
            if (Status st = w.setValue(row, c, next); !st) return st;
        }
    return Status::Ok();
}

TextResult cellText(const Worksheet& w, const CellRect& r, bool formula) {
    const CellValue v = w.value(r.top, r.left);
    switch (v.kind) {
    case CellValue::Kind::Empty: return Reply("");
    case CellValue::Kind::Number: return ReplyNumber(v.number);
    case CellValue::Kind::Text: return Reply(v.text);
    case CellValue::Kind::Formula:
        if (formula) return Reply(v.text);
        return ReplyFail("El valor de la fórmula de " + CellAddress(r.top, r.left) +
                         " se calcula al abrir el libro en un programa de hojas de cálculo.");
    }
    return Reply("");
}

Result<double> sameSize(const CellRect& r, bool columns, const std::function<double(int32_t)>& size, double normal) {
    const int32_t first = columns ? r.left : r.top, last = columns ? r.right : r.bottom;
    const double a = size(first);
    for (int32_t i = first + 1; i <= last; ++i)
        if (size(i) != a) return {0, Status::Fail(columns ? "Las columnas tienen anchos distintos." : "Las filas tienen alturas distintas.")};
    return {a < 0 ? normal : a, Status::Ok()};
}

TextResult readFont(const Style& st, const PathMember& m) {
    if (Is(m, "Name")) return Reply(st.fontName);
    if (Is(m, "Size")) return ReplyNumber(st.fontSize);
    if (Is(m, "Bold")) return ReplyFlag(st.bold);
    if (Is(m, "Italic")) return ReplyFlag(st.italic);
    if (Is(m, "Underline")) return ReplyNumber(st.underline);
    if (Is(m, "ColorIndex")) return ReplyNumber(st.fontColor < 0 ? xl::kAutomatic : PaletteIndex(st.fontColor));
    if (Is(m, "Color")) return ReplyNumber(st.fontColor < 0 ? 0 : st.fontColor);
    return ReplyFail(UnknownMember(m.name, "la fuente"));
}

Result<std::function<void(Style&)>> fontChange(const PathMember& m, const Variant& v) {
    using Change = std::function<void(Style&)>;
    auto fail = [](Status st) { return Result<Change>{{}, std::move(st)}; };
    if (Is(m, "Name")) {
        const std::string name(trim(v.text));
        if (v.kind != Variant::Kind::Text || name.empty()) return fail(Status::Fail("Falta el nombre de la fuente."));
        return {[name](Style& s) { s.fontName = name; }, Status::Ok()};
    }
    if (Is(m, "Size")) {
        Result<double> n = NumberOf(v);
        if (!n.ok()) return fail(n.status);
        if (n.value < 1 || n.value > 409) return fail(Status::Fail("El tamaño de fuente " + NumberText(n.value) + " no es válido (1 a 409)."));
        return {[size = n.value](Style& s) { s.fontSize = size; }, Status::Ok()};
    }
    if (Is(m, "Bold") || Is(m, "Italic")) {
        Result<bool> f = FlagOf(v);
        if (!f.ok()) return fail(f.status);
        if (Is(m, "Bold")) return {[on = f.value](Style& s) { s.bold = on; }, Status::Ok()};
        return {[on = f.value](Style& s) { s.italic = on; }, Status::Ok()};
    }
    if (Is(m, "Underline")) {
        Result<int32_t> n = WholeOf(v);
        if (!n.ok()) return fail(n.status);
        int32_t u;
        switch (n.value) {
        case 0: case xl::kNone: u = xl::kNone; break;
        case 1: case -1: case xl::kUnderlineSingle: case 4: u = xl::kUnderlineSingle; break;
        case xl::kUnderlineDouble: case 5: u = xl::kUnderlineDouble; break;
        default: return fail(Status::Fail("El subrayado " + std::to_string(n.value) + " no existe."));
        }
        return {[u](Style& s) { s.underline = u; }, Status::Ok()};
    }
    if (Is(m, "ColorIndex") || Is(m, "Color")) {
        Result<int32_t> c = Is(m, "Color") ? colorValue(v) : colorFromIndex(v, false);
        if (!c.ok()) return fail(c.status);
        return {[c = c.value](Style& s) { s.fontColor = c; }, Status::Ok()};
    }
    return fail(Status::Fail(UnknownMember(m.name, "la fuente")));
}

}  // namespace

Result<CellRect> CurrentRegion(const Worksheet& w, int32_t row, int32_t column) {
    CellRect r{row, column, row, column};
    auto anyIn = [&](int32_t top, int32_t left, int32_t bottom, int32_t right) {
        top = std::max(top, 1);
        left = std::max(left, 1);
        bottom = std::min(bottom, w.lastRow());
        for (int32_t i = top; i <= bottom; ++i)
            for (int32_t c = left; c <= std::min(right, w.rowColumns(i)); ++c)
                if (!w.empty(i, c)) return true;
        return false;
    };
    for (bool grew = true; grew;) {
        grew = false;
        while (r.bottom < w.lastRow() && anyIn(r.bottom + 1, r.left - 1, r.bottom + 1, r.right + 1)) ++r.bottom, grew = true;
        while (r.top > 1 && anyIn(r.top - 1, r.left - 1, r.top - 1, r.right + 1)) --r.top, grew = true;
        while (r.right < w.lastColumn() && anyIn(r.top - 1, r.right + 1, r.bottom + 1, r.right + 1)) ++r.right, grew = true;
        while (r.left > 1 && anyIn(r.top - 1, r.left - 1, r.bottom + 1, r.left - 1)) --r.left, grew = true;
    }
    if (r.single() && w.empty(row, column))
        return {r, Status::Fail("No hay datos alrededor de la celda " + CellAddress(row, column) + ".")};
    return {r, Status::Ok()};
}

RefResult StepRange(AppState&, const Ref& at, const PathMember& m) {
    if (at.kind != Ref::Kind::Range) return Refused(UnknownMember(m.name, "este objeto"));
    Ref r = at;
    if (Is(m, "Font")) r.kind = Ref::Kind::Font;
    else if (Is(m, "Interior")) r.kind = Ref::Kind::Interior;
    else if (Is(m, "Columns") || Is(m, "Rows")) {
        const bool columns = Is(m, "Columns");
        r.view = columns ? Ref::View::Columns : Ref::View::Rows;
        if (!m.arguments.empty()) {
            Result<double> n = NumberArg(m, 0);
            if (!n.ok()) return Refused(n.status.message());
            const auto i = static_cast<int32_t>(n.value);
            if (i < 1 || i > (columns ? at.rect.columns() : at.rect.rows()))
                return Refused(std::string(columns ? "La columna " : "La fila ") + NumberText(n.value) + " no está en el rango.");
            if (columns) r.rect.left = r.rect.right = at.rect.left + i - 1;
            else r.rect.top = r.rect.bottom = at.rect.top + i - 1;
        }
    } else if (Is(m, "EntireColumn")) {
        r.rect = {1, at.rect.left, kMaxRows, at.rect.right};
        r.view = Ref::View::Columns;
    } else if (Is(m, "EntireRow")) {
        r.rect = {at.rect.top, 1, at.rect.bottom, kMaxColumns};
        r.view = Ref::View::Rows;
    } else if (Is(m, "Cells") && !m.arguments.empty()) {
        Result<double> row = NumberArg(m, 0), column = NumberArg(m, 1);
        if (!row.ok() || !column.ok()) return Refused((row.ok() ? column : row).status.message());
        const auto y = at.rect.top + static_cast<int32_t>(row.value) - 1;
        const auto x = at.rect.left + static_cast<int32_t>(column.value) - 1;
        if (!ValidCell(y, x)) return Refused("La celda está fuera de la hoja.");
        r.rect = {y, x, y, x};
        r.view = Ref::View::Cells;
    } else if (Is(m, "Application")) {
        return Reached(Ref{});
    } else {
        return Refused(UnknownMember(m.name, "un rango"));
    }
    return Reached(r);
}

TextResult ReadRangeMember(AppState& app, const Ref& at, const PathMember& m) {
    Workbook& book = *at.book;
    Sheet& s = *at.sheet;
    Worksheet& w = s.cells;
    const CellRect& r = at.rect;
    if (at.kind == Ref::Kind::Font) return readFont(topLeftStyle(book, s, r), m);
    if (at.kind == Ref::Kind::Interior) {
        const int32_t fill = topLeftStyle(book, s, r).fill;
        if (Is(m, "ColorIndex")) return ReplyNumber(fill < 0 ? xl::kNone : PaletteIndex(fill));
        if (Is(m, "Color")) return ReplyNumber(fill < 0 ? 0xFFFFFF : fill);
        return ReplyFail(UnknownMember(m.name, "el relleno"));
    }
    if (Is(m, "Select") || Is(m, "Activate")) {
        SelectCells(book, s, r, r.top, r.left);
        return Reply("1");
    }
    if (Is(m, "Value") || Is(m, "Value2") || Is(m, "Text")) return cellText(w, r, false);
    if (Is(m, "Formula") || Is(m, "FormulaR1C1")) return cellText(w, r, true);
    if (Is(m, "Address")) return Reply(RangeText(r));
    if (Is(m, "Row")) return ReplyNumber(r.top);
    if (Is(m, "Column")) return ReplyNumber(r.left);
    if (Is(m, "Count"))
        return ReplyNumber(at.view == Ref::View::Columns ? r.columns()
                           : at.view == Ref::View::Rows  ? r.rows()
                                                         : static_cast<double>(cellsIn(r)));
    if (Is(m, "HorizontalAlignment")) return ReplyNumber(topLeftStyle(book, s, r).horizontal);
    if (Is(m, "VerticalAlignment")) return ReplyNumber(topLeftStyle(book, s, r).vertical);
    if (Is(m, "WrapText")) return ReplyFlag(topLeftStyle(book, s, r).wrap);
    if (Is(m, "NumberFormat")) return Reply(topLeftStyle(book, s, r).numberFormat);
    if (Is(m, "Locked")) return ReplyFlag(topLeftStyle(book, s, r).locked);
    if (Is(m, "MergeCells")) {
        for (const CellRect& mr : w.merges)
            if (mr.contains(r.top, r.left) && mr.contains(r.bottom, r.right)) return ReplyFlag(true);
        return ReplyFlag(false);
    }
    if (Is(m, "ColumnWidth")) {
        Result<double> wd = sameSize(r, true, [&](int32_t c) { return w.columnWidth(c); }, 8.43);
        return wd.ok() ? ReplyNumber(wd.value) : ReplyFail(wd.status.message());
    }
    if (Is(m, "RowHeight")) {
        Result<double> h = sameSize(r, false, [&](int32_t row) { return w.rowHeight(row); }, 15);
        return h.ok() ? ReplyNumber(h.value) : ReplyFail(h.status.message());
    }
    if (Is(m, "Merge")) return ReplyFrom(merge(app, s, r));
    if (Is(m, "UnMerge")) {
        if (Status st = checkNotProtected(s); !st) return ReplyFail(st.message());
        unmerge(w, r);
        return Reply("1");
    }
    if (Is(m, "AutoFit")) return ReplyFrom(autoFit(book, s, r, at.view));
    if (Is(m, "AutoFilter")) return ReplyFrom(autoFilter(s, r));
    if (Is(m, "AutoFormat")) {
        Result<double> f = NumberArg(m, 0);
        if (!f.ok()) return ReplyFail(f.status.message());
        const bool widths = HasArg(m, 6) && NumberArg(m, 6).value != 0;
        return ReplyFrom(autoFormat(book, s, r, static_cast<int32_t>(f.value), widths));
    }
    if (Is(m, "Insert")) return ReplyFrom(insert(s, r, at.view));
    if (Is(m, "Replace")) return ReplyFrom(replace(book, s, r, m));
    if (Is(m, "ClearContents")) {
        const CellRect c = clipToUsed(w, r);
        return ReplyFrom(writeValues(book, s, c, Variant(""), false, false));
    }
    if (Is(m, "Copy") || Is(m, "Cut") || Is(m, "Paste") || Is(m, "PasteSpecial")) return ReplyFrom(NoClipboard());
    if (Is(m, "PrintOut")) return ReplyFail(DesktopOnly("Imprimir un rango"));
    return ReplyFail(UnknownMember(m.name, "un rango"));
}

Status WriteRangeMember(AppState& app, const Ref& at, const PathMember& m, const Variant& v) {
    Workbook& book = *at.book;
    Sheet& s = *at.sheet;
    Worksheet& w = s.cells;
    const CellRect& r = at.rect;
    if (at.kind == Ref::Kind::Font) {
        Result<std::function<void(Style&)>> change = fontChange(m, v);
        if (!change.ok()) return change.status;
        return applyStyle(book, s, r, change.value);
    }
    if (at.kind == Ref::Kind::Interior) {
        if (!Is(m, "ColorIndex") && !Is(m, "Color")) return Status::Fail(UnknownMember(m.name, "el relleno"));
        Result<int32_t> c = Is(m, "Color") ? colorValue(v) : colorFromIndex(v, true);
        if (!c.ok()) return c.status;
        return applyStyle(book, s, r, [c = c.value](Style& x) { x.fill = c; });
    }
    if (Is(m, "Value") || Is(m, "Value2")) return writeValues(book, s, r, v, false, false);
    if (Is(m, "Formula")) return writeValues(book, s, r, v, true, false);
    if (Is(m, "FormulaR1C1")) return writeValues(book, s, r, v, true, true);
    if (Is(m, "HorizontalAlignment") || Is(m, "VerticalAlignment")) {
        const bool h = Is(m, "HorizontalAlignment");
        Result<int32_t> code = h ? horizontalCode(v) : verticalCode(v);
        if (!code.ok()) return code.status;
        return applyStyle(book, s, r, [h, c = code.value](Style& x) { (h ? x.horizontal : x.vertical) = c; });
    }
    if (Is(m, "WrapText") || Is(m, "Locked")) {
        Result<bool> f = FlagOf(v);
        if (!f.ok()) return f.status;
        if (Is(m, "Locked")) {
            if (Status st = checkNotProtected(s); !st) return st;
            return applyStyle(book, s, r, [on = f.value](Style& x) { x.locked = on; });
        }
        return applyStyle(book, s, r, [on = f.value](Style& x) { x.wrap = on; });
    }
    if (Is(m, "NumberFormat")) {
        const std::string format = v.kind == Variant::Kind::Number ? NumberText(v.number) : v.text;
        if (format.size() > 255) return Status::Fail("El formato de número es demasiado largo.");
        return applyStyle(book, s, r, [f = format.empty() ? std::string("General") : format](Style& x) {
            x.numberFormat = f;
        });
    }
    if (Is(m, "MergeCells")) {
        Result<bool> f = FlagOf(v);
        if (!f.ok()) return f.status;
        if (f.value) return merge(app, s, r);
        if (Status st = checkNotProtected(s); !st) return st;
        unmerge(w, r);
        return Status::Ok();
    }
    if (Is(m, "ColumnWidth") || Is(m, "RowHeight")) {
        const bool columns = Is(m, "ColumnWidth");
        Result<double> n = NumberOf(v);
        if (!n.ok()) return n.status;
        if (n.value < 0 || n.value > (columns ? 255 : 409))
            return Status::Fail(std::string(columns ? "El ancho " : "La altura ") + NumberText(n.value) + " no es válido" +
                                (columns ? " (0 a 255)." : " (0 a 409)."));
        if (Status st = checkNotProtected(s); !st) return st;
        if (columns)
            for (int32_t c = r.left; c <= r.right; ++c) w.setColumnWidth(c, n.value);
        else
            for (int32_t row = r.top; row <= lastLine(r, w); ++row) w.setRowHeight(row, n.value);
        return Status::Ok();
    }
    return Status::Fail(UnknownMember(m.name, "un rango"));
}

}  // namespace tv::automation
