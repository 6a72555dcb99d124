#include "export/automation/workbook.h"

#include <algorithm>
#include <limits>

#include "platform/types/text.h"

namespace tv::automation {

namespace {

// The colour index's 56 colours, as red-green-blue.
constexpr std::array<uint32_t, 56> kPaletteRgb = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000,
    0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080, 0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF,
    0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF, 0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000,
    0x008080, 0x0000FF, 0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696, 0x003366, 0x339966,
    0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

int32_t rgbToBgr(uint32_t rgb) {
    return static_cast<int32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
}

std::string styleKey(const Style& s) {
    std::string k;
    auto add = [&k](const auto& v) {
        k += std::to_string(v);
        k += '|';
    };
    add(s.horizontal);
    add(s.vertical);
    add(int(s.wrap));
    add(int(s.locked));
    k += s.numberFormat + '\x1f' + s.fontName + '\x1f';
    add(s.fontSize);
    add(int(s.bold));
    add(int(s.italic));
    add(s.underline);
    add(s.fontColor);
    add(s.fill);
    for (int8_t b : s.borders) add(int(b));
    return k;
}

}  // namespace

int32_t PaletteColor(int32_t index) {
    if (index < 1 || index > 56) return -1;
    return rgbToBgr(kPaletteRgb[static_cast<size_t>(index - 1)]);
}

int32_t PaletteIndex(int32_t bgr) {
    for (int32_t i = 1; i <= 56; ++i)
        if (PaletteColor(i) == bgr) return i;
    return xl::kAutomatic;
}

// ---------------------------------------------------------------- Worksheet

const Worksheet::Cell* Worksheet::find(int32_t row, int32_t column) const {
    if (row < 1 || column < 1 || row > static_cast<int32_t>(rows_.size())) return nullptr;
    const Row& r = rows_[static_cast<size_t>(row - 1)];
    if (column > static_cast<int32_t>(r.cells.size())) return nullptr;
    return &r.cells[static_cast<size_t>(column - 1)];
}

Worksheet::Cell& Worksheet::touch(int32_t row, int32_t column) {
    if (row > static_cast<int32_t>(rows_.size())) rows_.resize(static_cast<size_t>(row));
    Row& r = rows_[static_cast<size_t>(row - 1)];
    if (column > static_cast<int32_t>(r.cells.size())) r.cells.resize(static_cast<size_t>(column));
    return r.cells[static_cast<size_t>(column - 1)];
}

std::string_view Worksheet::textOf(const Cell& c) const {
    return std::string_view(texts_).substr(c.text.offset, c.text.length);
}

CellValue Worksheet::value(int32_t row, int32_t column) const {
    const Cell* c = find(row, column);
    if (c == nullptr) return {};
    switch (c->kind) {
    case CellValue::Kind::Empty: return {};
    case CellValue::Kind::Number: return CellValue::Number(c->number);
    case CellValue::Kind::Text: return CellValue::Text(std::string(textOf(*c)));
    case CellValue::Kind::Formula: return CellValue::Formula(std::string(textOf(*c)));
    }
    return {};
}

bool Worksheet::empty(int32_t row, int32_t column) const {
    const Cell* c = find(row, column);
    return c == nullptr || c->kind == CellValue::Kind::Empty;
}

Status Worksheet::setValue(int32_t row, int32_t column, const CellValue& v) {
    if (!ValidCell(row, column)) return Status::Fail("La celda está fuera de la hoja.");
    if (v.kind == CellValue::Kind::Empty && find(row, column) == nullptr) return Status::Ok();
    const bool text = v.kind == CellValue::Kind::Text || v.kind == CellValue::Kind::Formula;
    if (text && texts_.size() + v.text.size() > std::numeric_limits<uint32_t>::max())
        return Status::Fail("La hoja no admite más texto.");
    const bool fresh = find(row, column) == nullptr;
    Cell& c = touch(row, column);
    if (fresh || (c.kind == CellValue::Kind::Empty && c.style == 0)) c.style = styleAt(row, column);
    c.kind = v.kind;
    if (v.kind == CellValue::Kind::Number) {
        c.number = v.number;
    } else if (text) {
        c.text.offset = static_cast<uint32_t>(texts_.size());
        c.text.length = static_cast<uint32_t>(v.text.size());
        texts_ += v.text;
    } else {
        c.number = 0;
    }
    return Status::Ok();
}

uint32_t Worksheet::styleAt(int32_t row, int32_t column) const {
    if (const Cell* c = find(row, column); c != nullptr && c->style != 0) return c->style;
    if (uint32_t r = rowStyle(row); r != 0) return r;
    return columnStyle(column);
}

void Worksheet::setStyle(int32_t row, int32_t column, uint32_t style) { touch(row, column).style = style; }

uint32_t Worksheet::rowStyle(int32_t row) const {
    return row >= 1 && row <= static_cast<int32_t>(rows_.size()) ? rows_[static_cast<size_t>(row - 1)].style : 0;
}

uint32_t Worksheet::columnStyle(int32_t column) const {
    return column >= 1 && column <= static_cast<int32_t>(columns_.size()) ? columns_[static_cast<size_t>(column - 1)].style
                                                                          : 0;
}

void Worksheet::setRowStyle(int32_t row, uint32_t style) {
    if (row > static_cast<int32_t>(rows_.size())) rows_.resize(static_cast<size_t>(row));
    rows_[static_cast<size_t>(row - 1)].style = style;
}

void Worksheet::setColumnStyle(int32_t column, uint32_t style) {
    if (column > static_cast<int32_t>(columns_.size())) columns_.resize(static_cast<size_t>(column));
    columns_[static_cast<size_t>(column - 1)].style = style;
}

double Worksheet::rowHeight(int32_t row) const {
    return row >= 1 && row <= static_cast<int32_t>(rows_.size()) ? rows_[static_cast<size_t>(row - 1)].height : -1;
}

double Worksheet::columnWidth(int32_t column) const {
    return column >= 1 && column <= static_cast<int32_t>(columns_.size())
               ? columns_[static_cast<size_t>(column - 1)].width
               : -1;
}

void Worksheet::setRowHeight(int32_t row, double h) {
    if (row > static_cast<int32_t>(rows_.size())) rows_.resize(static_cast<size_t>(row));
    rows_[static_cast<size_t>(row - 1)].height = h;
}

void Worksheet::setColumnWidth(int32_t column, double w) {
    if (column > static_cast<int32_t>(columns_.size())) columns_.resize(static_cast<size_t>(column));
    columns_[static_cast<size_t>(column - 1)].width = w;
}

int32_t Worksheet::lastColumn() const {
    size_t n = 0;
    for (const Row& r : rows_) n = std::max(n, r.cells.size());
    return static_cast<int32_t>(n);
}

int32_t Worksheet::rowColumns(int32_t row) const {
    return row >= 1 && row <= static_cast<int32_t>(rows_.size())
               ? static_cast<int32_t>(rows_[static_cast<size_t>(row - 1)].cells.size())
               : 0;
}

void Worksheet::visitRow(int32_t row, const CellVisitor& visit) const {
    if (row < 1 || row > static_cast<int32_t>(rows_.size())) return;
    const auto& cells = rows_[static_cast<size_t>(row - 1)].cells;
    for (size_t c = 0; c < cells.size(); ++c) {
        const Cell& cell = cells[c];
        const bool text = cell.kind == CellValue::Kind::Text || cell.kind == CellValue::Kind::Formula;
        visit(static_cast<int32_t>(c + 1), cell.kind, text ? 0 : cell.number, text ? textOf(cell) : std::string_view(),
              cell.style);
    }
}

size_t Worksheet::cellCount() const {
    size_t n = 0;
    for (const Row& r : rows_)
        for (const Cell& c : r.cells)
            if (c.kind != CellValue::Kind::Empty) ++n;
    return n;
}

std::optional<CellRect> Worksheet::usedRange() const {
    std::optional<CellRect> out;
    for (size_t r = 0; r < rows_.size(); ++r) {
        const auto& cells = rows_[r].cells;
        for (size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].kind == CellValue::Kind::Empty) continue;
            const int32_t row = static_cast<int32_t>(r + 1), col = static_cast<int32_t>(c + 1);
            if (!out) out = CellRect{row, col, row, col};
            out->top = std::min(out->top, row);
            out->bottom = std::max(out->bottom, row);
            out->left = std::min(out->left, col);
            out->right = std::max(out->right, col);
        }
    }
    return out;
}

namespace {
// Shifts a rectangle for an insertion of `count` lines at `at` along one axis.
void shiftRect(int32_t& first, int32_t& last, int32_t at, int32_t count) {
    if (first >= at) {
        first += count;
        last += count;
    } else if (last >= at) {
        last += count;
    }
}
}  // namespace

Status Worksheet::insertColumns(int32_t at, int32_t count) {
    if (at < 1 || count < 1 || at > kMaxColumns) return Status::Fail("La columna está fuera de la hoja.");
    for (const Row& r : rows_)
        for (size_t c = static_cast<size_t>(std::max(0, kMaxColumns - count)); c < r.cells.size(); ++c)
            if (r.cells[c].kind != CellValue::Kind::Empty)
                return Status::Fail("No se pueden insertar columnas: se perderían datos al final de la hoja.");
    for (Row& r : rows_) {
        if (static_cast<int32_t>(r.cells.size()) < at) continue;
        r.cells.insert(r.cells.begin() + (at - 1), static_cast<size_t>(count), Cell());
        if (static_cast<int32_t>(r.cells.size()) > kMaxColumns) r.cells.resize(kMaxColumns);
    }
    if (static_cast<int32_t>(columns_.size()) >= at) {
        columns_.insert(columns_.begin() + (at - 1), static_cast<size_t>(count), Column());
        if (static_cast<int32_t>(columns_.size()) > kMaxColumns) columns_.resize(kMaxColumns);
    }
    for (CellRect& m : merges) shiftRect(m.left, m.right, at, count);
    if (autoFilter) shiftRect(autoFilter->left, autoFilter->right, at, count);
    return Status::Ok();
}

Status Worksheet::insertRows(int32_t at, int32_t count) {
    if (at < 1 || count < 1 || at > kMaxRows) return Status::Fail("La fila está fuera de la hoja.");
    for (size_t r = static_cast<size_t>(std::max(0, kMaxRows - count)); r < rows_.size(); ++r)
        for (const Cell& c : rows_[r].cells)
            if (c.kind != CellValue::Kind::Empty)
                return Status::Fail("No se pueden insertar filas: se perderían datos al final de la hoja.");
    if (static_cast<int32_t>(rows_.size()) >= at) {
        rows_.insert(rows_.begin() + (at - 1), static_cast<size_t>(count), Row());
        if (static_cast<int32_t>(rows_.size()) > kMaxRows) rows_.resize(kMaxRows);
    }
    for (CellRect& m : merges) shiftRect(m.top, m.bottom, at, count);
    if (autoFilter) shiftRect(autoFilter->top, autoFilter->bottom, at, count);
    return Status::Ok();
}

// ----------------------------------------------------------------- Workbook

Workbook::Workbook(std::string n) : name(std::move(n)) {
    styles_.push_back(Style{});
    index_[styleKey(styles_.front())] = 0;
    sheets.push_back(std::make_unique<Sheet>(Sheet::Kind::Worksheet, "Hoja1"));
}

Sheet* Workbook::sheet(std::string_view n) {
    for (auto& s : sheets)
        if (toUpper(s->name) == toUpper(n)) return s.get();
    return nullptr;
}

int Workbook::indexOf(const Sheet* s) const {
    for (size_t i = 0; i < sheets.size(); ++i)
        if (sheets[i].get() == s) return static_cast<int>(i);
    return -1;
}

std::string Workbook::freeName(std::string_view stem) const {
    for (int n = 1;; ++n) {
        std::string candidate = std::string(stem) + std::to_string(n);
        bool taken = false;
        for (const auto& s : sheets) taken = taken || toUpper(s->name) == toUpper(candidate);
        if (!taken) return candidate;
    }
}

Status Workbook::checkSheetName(std::string_view n, const Sheet* self) const {
    if (n.empty()) return Status::Fail("El nombre de la hoja no puede quedar vacío.");
    if (charCount(n) > 31) return Status::Fail("El nombre de la hoja tiene más de 31 caracteres.");
    if (n.find_first_of("[]:*?/\\") != std::string_view::npos)
        return Status::Fail("El nombre de la hoja no puede llevar los caracteres [ ] : * ? / \\.");
    if (n.front() == '\'' || n.back() == '\'')
        return Status::Fail("El nombre de la hoja no puede empezar ni terminar con un apóstrofo.");
    for (const auto& s : sheets)
        if (s.get() != self && toUpper(s->name) == toUpper(n))
            return Status::Fail("Ya hay una hoja llamada \"" + std::string(n) + "\".");
    return Status::Ok();
}

uint32_t Workbook::intern(const Style& s) {
    std::string key = styleKey(s);
    auto it = index_.find(key);
    if (it != index_.end()) return it->second;
    const auto n = static_cast<uint32_t>(styles_.size());
    styles_.push_back(s);
    index_.emplace(std::move(key), n);
    return n;
}

}  // namespace tv::automation
