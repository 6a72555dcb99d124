#pragma once
// The in-memory workbook the spreadsheet component works on: sheets with
// typed cells, cell formats, column widths and row heights, merged cells,
// an auto filter, protection, page set-up and charts. It is written as an
// .xlsx file by xlsx_file.h.
//
// Cells are kept compactly (16 bytes each, texts in one buffer per sheet),
// row by row, so a sheet of a million cells costs tens of megabytes, not
// hundreds.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/automation/address.h"
#include "export/automation/status.h"

namespace tv::automation {

// Codes of the spreadsheet application's automation interface that the
// component passes through.
namespace xl {
inline constexpr int32_t kNone = -4142;          // no underline, no fill, no line
inline constexpr int32_t kAutomatic = -4105;     // automatic colour
inline constexpr int32_t kGeneral = 1;           // horizontal alignment
inline constexpr int32_t kLeft = -4131;
inline constexpr int32_t kCenter = -4108;
inline constexpr int32_t kRight = -4152;
inline constexpr int32_t kFill = 5;
inline constexpr int32_t kJustify = -4130;
inline constexpr int32_t kCenterAcross = 7;
inline constexpr int32_t kDistributed = -4117;
inline constexpr int32_t kTop = -4160;           // vertical alignment
inline constexpr int32_t kBottom = -4107;
inline constexpr int32_t kUnderlineSingle = 2;
inline constexpr int32_t kUnderlineDouble = -4119;
inline constexpr int32_t kShiftDown = -4121;     // Insert
inline constexpr int32_t kShiftToRight = -4161;
}  // namespace xl

// A cell's value as callers see it.
struct CellValue {
    enum class Kind : uint8_t { Empty, Number, Text, Formula };
    Kind kind = Kind::Empty;
    double number = 0;
    std::string text;  // Text: the text; Formula: "=A1+1" (column-letter notation)

    static CellValue Number(double d) {
        CellValue v;
        v.kind = Kind::Number;
        v.number = d;
        return v;
    }
    static CellValue Text(std::string t) {
        CellValue v;
        v.kind = Kind::Text;
        v.text = std::move(t);
        return v;
    }
    static CellValue Formula(std::string f) {
        CellValue v;
        v.kind = Kind::Formula;
        v.text = std::move(f);
        return v;
    }
    bool operator==(const CellValue&) const = default;
};

// A cell format. Colours are blue-green-red values; -1 is automatic (font)
// or none (fill).
struct Style {
    int32_t horizontal = xl::kGeneral;
    int32_t vertical = xl::kBottom;
    bool wrap = false;
    bool locked = true;
    std::string numberFormat = "General";
    std::string fontName = "Calibri";
    double fontSize = 11;
    bool bold = false;
    bool italic = false;
    int32_t underline = xl::kNone;
    int32_t fontColor = -1;
    int32_t fill = -1;
    std::array<int8_t, 4> borders{};  // top, bottom, left, right: 0 none, 1 hair, 2 thin, 3 medium, 4 thick
    bool operator==(const Style&) const = default;
};

// The 56 colours of the colour index (1..56), as blue-green-red values.
int32_t PaletteColor(int32_t index);          // -1 for an index outside 1..56
int32_t PaletteIndex(int32_t bgr);            // the first index of that colour, or xl::kAutomatic

// One chart: on a chart sheet of its own or embedded in a worksheet.
struct ChartSeries {
    std::string name;                 // empty: "Serie n"
    RangeAddress values;              // sheet name always set
    std::optional<RangeAddress> categories;
    int32_t axisGroup = 1;
};
struct ChartAxis {
    bool hasTitle = false;
    std::string title;
    bool majorGridlines = false;
    bool minorGridlines = false;
};
struct ChartAreaFormat {
    bool set = false;
    int32_t borderColorIndex = xl::kAutomatic;
    int32_t borderWeight = 2;          // thin
    int32_t borderLineStyle = 1;       // continuous
    int32_t interiorColorIndex = xl::kAutomatic;
    int32_t patternColorIndex = xl::kAutomatic;
    int32_t pattern = 1;               // solid
};
struct Chart {
    int32_t type = 51;                 // clustered columns
    bool hasTitle = false;
    std::string title;
    std::array<ChartAxis, 3> axes;     // category, value, series
    bool hasLegend = true;
    int32_t legendPosition = xl::kRight;
    std::vector<ChartSeries> series;
    int32_t dataLabels = 0;            // 0 none, else the kind applied
    bool hasDataTable = false;
    bool dataTableLegendKey = false;
    ChartAreaFormat chartArea, plotArea;
    int32_t anchorRow = 1, anchorColumn = 1;  // embedded: the top-left cell it stands on
};

// The text buffer and the cells of one sheet.
class Worksheet {
public:
    CellValue value(int32_t row, int32_t column) const;
    bool empty(int32_t row, int32_t column) const;
    // Sets a cell's value (an empty value clears it, keeping its format).
    Status setValue(int32_t row, int32_t column, const CellValue& v);
    uint32_t styleAt(int32_t row, int32_t column) const;
    void setStyle(int32_t row, int32_t column, uint32_t style);

    // Whole-row and whole-column formats (0: none) and sizes (-1: default).
    uint32_t rowStyle(int32_t row) const;
    uint32_t columnStyle(int32_t column) const;
    void setRowStyle(int32_t row, uint32_t style);
    void setColumnStyle(int32_t column, uint32_t style);
    double rowHeight(int32_t row) const;      // points; -1 default
    double columnWidth(int32_t column) const; // characters; -1 default
    void setRowHeight(int32_t row, double h);
    void setColumnWidth(int32_t column, double w);

    // The last row and column that hold a value or a format (0 when none).
    int32_t lastRow() const { return static_cast<int32_t>(rows_.size()); }
    int32_t lastColumn() const;
    // The rectangle of cells that hold something (nullopt: an empty sheet).
    std::optional<CellRect> usedRange() const;
    int32_t rowColumns(int32_t row) const;    // cells kept in that row
    // Every kept cell of a row, left to right (texts without copying).
    using CellVisitor = std::function<void(int32_t column, CellValue::Kind kind, double number,
                                           std::string_view text, uint32_t style)>;
    void visitRow(int32_t row, const CellVisitor& visit) const;
    size_t cellCount() const;

    // Moves cells right of / below the place to make room (the merges and
    // sizes move with them); cells pushed off the sheet are refused.
    Status insertColumns(int32_t at, int32_t count);
    Status insertRows(int32_t at, int32_t count);

    std::vector<CellRect> merges;
    std::optional<CellRect> autoFilter;
    bool protectedSheet = false;
    std::string password;
    std::array<std::string, 6> headersFooters;  // left, centre, right header; left, centre, right footer
    int32_t paperSize = 0;                      // 0: the default
    int32_t orientation = 0;                    // 1 portrait, 2 landscape, 0 default
    std::array<double, 4> margins{-1, -1, -1, -1};  // top, bottom, left, right, points; -1 default
    std::vector<std::unique_ptr<Chart>> charts;     // embedded

private:
    struct Cell {
        CellValue::Kind kind = CellValue::Kind::Empty;
        uint32_t style = 0;
        union {
            double number;
            struct {
                uint32_t offset;
                uint32_t length;
            } text;
        };
        Cell() : number(0) {}
    };
    struct Row {
        std::vector<Cell> cells;
        double height = -1;
        uint32_t style = 0;
    };
    struct Column {
        double width = -1;
        uint32_t style = 0;
    };
    const Cell* find(int32_t row, int32_t column) const;
    Cell& touch(int32_t row, int32_t column);
    std::string_view textOf(const Cell& c) const;

    std::vector<Row> rows_;
    std::vector<Column> columns_;
    std::string texts_;
};

class Sheet {
public:
    enum class Kind { Worksheet, ChartSheet };
    Sheet(Kind k, std::string name) : kind(k), name(std::move(name)) {}

    Kind kind;
    std::string name;
    bool visible = true;
    Worksheet cells;                 // worksheets
    std::unique_ptr<Chart> chart;    // chart sheets
    CellRect selection{1, 1, 1, 1};
    int32_t activeRow = 1, activeColumn = 1;
};

class Workbook {
public:
    explicit Workbook(std::string name);

    std::string name;
    std::string path;                // where it was last saved
    std::vector<std::unique_ptr<Sheet>> sheets;
    int active = 0;                  // index of the active sheet
    Chart* activeChart = nullptr;    // the chart being worked on (nullptr: none)
    // What Selection is: the active sheet's cells, or a part of the active chart.
    enum class ChartPart { None, ChartArea, PlotArea, Legend } chartPart = ChartPart::None;

    Sheet& activeSheet() { return *sheets[static_cast<size_t>(active)]; }
    Sheet* sheet(std::string_view name);     // case ignored
    int indexOf(const Sheet* s) const;
    // "Hoja2", "Gráfico1": the first free name with that stem.
    std::string freeName(std::string_view stem) const;
    // Checks a new name for sheet `self` (31 characters, no []:*?/\, unique).
    Status checkSheetName(std::string_view name, const Sheet* self) const;

    // The style table: index 0 is the default format.
    const Style& style(uint32_t index) const { return styles_[index]; }
    uint32_t intern(const Style& s);
    size_t styleCount() const { return styles_.size(); }

private:
    std::vector<Style> styles_;
    std::map<std::string, uint32_t> index_;
};

}  // namespace tv::automation
