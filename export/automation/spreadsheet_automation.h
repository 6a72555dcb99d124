#pragma once
// SpreadsheetAutomation: the spreadsheet layer of the office automation
// component. It creates the spreadsheet application in the window's
// container and offers the spreadsheet's operations on workbooks, sheets,
// cells, ranges, rows and columns, formats, charts and page set-up, each a
// member path sent through the base layer's primitives.
//
// Addresses: a cell is Cells(row,column) counted from 1, a range any
// address the spreadsheet takes ("A5", "A1:C3", "Hoja1!B2"), columns "A:D".
// Texts inside a path are quoted by QuoteArgument, so a text with a double
// quote in it is passed whole. Alignments are the spreadsheet's own codes
// (1 general, 5 fill, 7 centred across; 2, 3 and 4 also read as left,
// centre and right, since -4131, -4108 and -4152 do not fit in a byte).
//
// A cell written with SetActiveCellValue takes the text as typed into the
// cell (a number when it reads as one, a formula in row-and-column notation
// when it begins with "="). SetActiveCellText and SetActiveCellNumber write
// a text cell and a number cell as they are, whatever the text looks like.
#include <cstdint>
#include <string>
#include <string_view>

#include "export/automation/office_automation.h"

namespace tv::automation {

class SpreadsheetAutomation : public OfficeAutomation {
public:
    // The base layer's operations that this layer answers.
    Result<int32_t> GetAlignmentOfSelection() override;
    Status SetAlignmentOfSelection(uint8_t value) override;
    Status CreateServer() override;

    // Filters, sheets, cell values.
    Status AutoFilterSelection();
    Status AutoFilterRange(std::string_view range);
    Status AddSheet(uint8_t count);
    Status SetActiveCellValue(std::string_view value);
    Status SetActiveCellText(std::string_view text);
    Status SetActiveCellNumber(double number);
    Status WriteRange(std::string_view range, std::string_view value);
    Status WriteCell(int32_t row, int32_t column, std::string_view value);
    // Fitting widths and heights.
    Status AutoFitSelectedColumns();
    Status AutoFitColumnsNamed(std::string_view columns);
    Status AutoFitColumn(int32_t n);
    Status AutoFitSelectedRows();
    Status AutoFitRow(int32_t n);
    Status AutoFormatSelection(uint8_t format);
    Status AutoFormatRange(std::string_view range, uint8_t format);
    Status CloseActiveWindow(uint8_t saveChanges);
    Status MergeAndCenterRange(std::string_view range);
    // Workbooks and charts.
    Status AddWorkbook();
    Status AddWorkbookFrom(std::string_view path);
    Status ApplyDataLabels(uint8_t kind);
    Status SetDataTable(uint8_t flag);
    // A block of text (tabs between cells, new lines between rows) written
    // from the active cell on, each piece as typed; the clipboard is not used.
    Status PasteText(std::string_view text);
    Status PasteTextAtRange(std::string_view range, std::string_view text);
    Status PasteTextAtCell(int32_t row, int32_t column, std::string_view text);
    // Reading formats and sizes.
    Result<int32_t> GetAlignmentOfRange(std::string_view range);
    Result<int32_t> GetAlignmentOfCell(int32_t row, int32_t column);
    Result<int32_t> GetSelectedColumnsWidth();
    Result<int32_t> GetColumnsWidthNamed(std::string_view columns);
    Result<int32_t> GetColumnWidth(int32_t n);
    Result<int32_t> GetSelectionHorizontalAlignment();
    Result<int32_t> GetRangeHorizontalAlignment(std::string_view range);
    Result<int32_t> GetCellHorizontalAlignment(int32_t row, int32_t column);
    Result<std::string> GetInternational(int16_t index);
    Result<int32_t> GetSelectedRowsHeight();
    Result<int32_t> GetRowHeight(int32_t n);
    Result<int32_t> GetSeriesCount();
    Result<int32_t> GetSheetCount();
    Result<int32_t> GetActiveSheetIndex();
    Result<int32_t> GetSheetIndex(std::string_view name);
    Result<std::string> GetActiveSheetName();
    Result<std::string> GetSheetName(int32_t index);
    Result<int32_t> GetSelectionVerticalAlignment();
    Result<int32_t> GetRangeVerticalAlignment(std::string_view range);
    Result<int32_t> GetCellVerticalAlignment(int32_t row, int32_t column);
    Result<int32_t> GetSelectionWrapText();
    Result<int32_t> GetRangeWrapText(std::string_view range);
    Result<int32_t> GetCellWrapText(int32_t row, int32_t column);
    // Charts from the selected cells.
    Status AddChart(std::string_view sheetName, int16_t type, uint8_t where);
    Status FormatPlotArea(int16_t borderColorIndex, int16_t borderWeight, int16_t borderLineStyle,
                          int16_t interiorColorIndex, int16_t patternColorIndex, int16_t pattern);
    Status FormatChartArea(int16_t borderColorIndex, int16_t borderWeight, int16_t borderLineStyle,
                           int16_t interiorColorIndex, int16_t patternColorIndex, int16_t pattern);
    Status SetHeadersFooters(std::string_view leftHeader, std::string_view centerHeader, std::string_view rightHeader,
                             std::string_view leftFooter, std::string_view centerFooter, std::string_view rightFooter);
    // Inserting columns and rows.
    Status InsertColumnsNamed(std::string_view columns);
    Status InsertColumn(int32_t n);
    Status InsertRow(int32_t n);
    Status SetLegendPosition(int16_t position);
    Status SetSeriesAxisGroup(int16_t series, int16_t group);
    Status MergeSelection();
    Status SetRangeMerge(std::string_view range);
    Status OpenWorkbook(std::string_view path);
    Status SetDocumentPaper(uint8_t paper, uint8_t orientation);
    Status PrintActiveSheet(uint8_t copies);
    Status LockRange(std::string_view range, uint8_t locked);
    Status ProtectActiveSheet(std::string_view password);
    // Reading values.
    Result<std::string> GetActiveCellValue();
    Result<std::string> ReadRange(std::string_view range);
    Result<std::string> ReadCell(int32_t row, int32_t column);
    Status GotoOrReplace(std::string_view text1, std::string_view text2, uint8_t flag, uint8_t mode);
    Status SaveWorkbookAs(std::string_view path);
    Status SaveWorkbookAsFull(std::string_view path, int32_t format, std::string_view text2, std::string_view text3,
                              uint8_t flag);
    // Selecting.
    Status SelectRange(std::string_view range);
    Status SelectCell(int32_t row, int32_t column);
    Status SelectColumnsNamed(std::string_view columns);
    Status SelectColumn(int32_t n);
    Status SelectRow(int32_t n);
    Status SelectSheet(int16_t index);
    Status SelectSheetNamed(std::string_view name);
    // Setting formats and sizes.
    Status SetAlignmentOfRange(std::string_view range, uint8_t value);
    Status SetAlignmentOfCell(int32_t row, int32_t column, uint8_t value);
    Status SetSelectedColumnsWidth(int32_t width);
    Status SetColumnsWidthNamed(std::string_view columns, int32_t width);
    Status SetColumnWidth(int32_t n, int32_t width);
    Status SetChartTitle(std::string_view title);
    Status SetSelectionHorizontalAlignment(uint8_t value);
    Status SetRangeHorizontalAlignment(std::string_view range, uint8_t value);
    Status SetCellHorizontalAlignment(int32_t row, int32_t column, uint8_t value);
    Status SetDocumentMargins(int16_t top, int16_t bottom, int16_t left, int16_t right);
    Status SetSelectionMerge(uint8_t flag);
    Status SetSelectionNumberFormat(std::string_view format);
    Status SetRangeNumberFormat(std::string_view range, std::string_view format);
    Status SetCellNumberFormat(int32_t row, int32_t column, std::string_view format);
    Status SetSelectedRowsHeight(int32_t height);
    Status SetRowHeight(int32_t n, int32_t height);
    Status SetSheetName(int16_t index, std::string_view name);
    Status SetSelectionVerticalAlignment(uint8_t value);
    Status SetRangeVerticalAlignment(std::string_view range, uint8_t value);
    Status SetCellVerticalAlignment(int32_t row, int32_t column, uint8_t value);
    Status SetSelectionWrapText(uint8_t flag);
    Status SetRangeWrapText(std::string_view range, uint8_t flag);
    Status SetCellWrapText(int32_t row, int32_t column, uint8_t flag);
    Status SetCategoryAxisTitle(std::string_view title);
    Status SetValueAxisTitle(std::string_view title);
    Status SetSeriesAxisTitle(std::string_view title);
    Status SetGridlines(uint8_t axis, uint8_t major, uint8_t minor);

private:
    Status Select(const std::string& path);   // reads it and keeps the reply in OBJECT
    Status FormatArea(const char* area, int16_t borderColorIndex, int16_t borderWeight, int16_t borderLineStyle,
                      int16_t interiorColorIndex, int16_t patternColorIndex, int16_t pattern);
    Status SetAxisTitle(int axis, std::string_view title);
};

// Addresses as they go into a path.
std::string RangePath(std::string_view range);                 // Range("A5")
std::string CellPath(int32_t row, int32_t column);             // Cells(5,2)
std::string ColumnsPath(std::string_view columns);             // Columns("A:D")

}  // namespace tv::automation
