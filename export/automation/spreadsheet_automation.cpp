#include "export/automation/spreadsheet_automation.h"

#include <vector>

#include "export/automation/address.h"
#include "export/automation/member_path.h"
#include "platform/types/text.h"

namespace tv::automation {

namespace {

std::string num(int64_t n) { return std::to_string(n); }
std::string byteText(uint8_t b) { return std::to_string(static_cast<int>(b)); }

}  // namespace

std::string RangePath(std::string_view range) { return "Range(" + QuoteArgument(range) + ")"; }
std::string CellPath(int32_t row, int32_t column) { return "Cells(" + num(row) + "," + num(column) + ")"; }
std::string ColumnsPath(std::string_view columns) { return "Columns(" + QuoteArgument(columns) + ")"; }

// ------------------------------------------------------ the base's operations

Result<int32_t> SpreadsheetAutomation::GetAlignmentOfSelection() { return GetSelectionHorizontalAlignment(); }
Status SpreadsheetAutomation::SetAlignmentOfSelection(uint8_t value) { return SetSelectionHorizontalAlignment(value); }

Status SpreadsheetAutomation::CreateServer() {
    if (CONTAINER == nullptr) return Unbound();
    if (Status st = CONTAINER->Create(AutomationContainer::kSpreadsheetClass); !st) return st;
    return SetLanguageId();
}

Status SpreadsheetAutomation::Select(const std::string& path) {
    Result<std::string> r = GetServerProperty(path);
    OBJECT = cutText(r.value, 19);
    return r.status;
}

// ---------------------------------------------------------------- cells

Status SpreadsheetAutomation::AutoFilterSelection() { return EvaluateCommand("Selection.AutoFilter"); }
Status SpreadsheetAutomation::AutoFilterRange(std::string_view range) {
    return EvaluateCommand(RangePath(range) + ".AutoFilter");
}

Status SpreadsheetAutomation::AddSheet(uint8_t count) {
    for (int i = 0; i < count; ++i)
        if (Status st = EvaluateCommand("Sheets.Add"); !st) return st;
    return Status::Ok();
}

Status SpreadsheetAutomation::SetActiveCellValue(std::string_view value) {
    return SetServerProperty("ActiveCell.FormulaR1C1", value);
}
Status SpreadsheetAutomation::SetActiveCellText(std::string_view text) {
    return SetServerProperty("ActiveCell.Value", text);
}
Status SpreadsheetAutomation::SetActiveCellNumber(double number) {
    return SetServerProperty("ActiveCell.Value", Variant::Number(number));
}

Status SpreadsheetAutomation::WriteRange(std::string_view range, std::string_view value) {
    if (Status st = SelectRange(range); !st) return st;
    return SetActiveCellValue(value);
}

Status SpreadsheetAutomation::WriteCell(int32_t row, int32_t column, std::string_view value) {
    if (Status st = SelectCell(row, column); !st) return st;
    return SetActiveCellValue(value);
}

Status SpreadsheetAutomation::AutoFitSelectedColumns() { return EvaluateCommand("Selection.Columns.AutoFit"); }
Status SpreadsheetAutomation::AutoFitColumnsNamed(std::string_view columns) {
    return EvaluateCommand(ColumnsPath(columns) + ".AutoFit");
}
Status SpreadsheetAutomation::AutoFitColumn(int32_t n) { return EvaluateCommand("Columns(" + num(n) + ").AutoFit"); }
Status SpreadsheetAutomation::AutoFitSelectedRows() { return EvaluateCommand("Selection.Rows.AutoFit"); }
Status SpreadsheetAutomation::AutoFitRow(int32_t n) { return EvaluateCommand("Rows(" + num(n) + ").AutoFit"); }

Status SpreadsheetAutomation::AutoFormatSelection(uint8_t format) {
    return EvaluateCommand("Selection.AutoFormat(" + byteText(format) + ",1,1,1,1,1,1)");
}

Status SpreadsheetAutomation::AutoFormatRange(std::string_view range, uint8_t format) {
    if (Status st = SelectRange(range); !st) return st;
    return AutoFormatSelection(format);
}

Status SpreadsheetAutomation::CloseActiveWindow(uint8_t saveChanges) {
    return EvaluateCommand("ActiveWindow.Close(" + byteText(saveChanges) + ")");
}

Status SpreadsheetAutomation::MergeAndCenterRange(std::string_view range) {
    if (Status st = SelectRange(range); !st) return st;
    if (Status st = SetServerProperty("Selection.HorizontalAlignment", "-4108"); !st) return st;
    return EvaluateCommand("Selection.Merge");
}

// ------------------------------------------------------ workbooks and charts

Status SpreadsheetAutomation::AddWorkbook() { return EvaluateCommand("Workbooks.Add"); }
Status SpreadsheetAutomation::AddWorkbookFrom(std::string_view path) {
    return EvaluateCommand("Workbooks.Add(" + QuoteArgument(path) + ")");
}
Status SpreadsheetAutomation::ApplyDataLabels(uint8_t kind) {
    return EvaluateCommand("ActiveChart.ApplyDataLabels(" + byteText(kind) + ")");
}

Status SpreadsheetAutomation::SetDataTable(uint8_t flag) {
    if (flag != 0) {
        if (Status st = SetServerProperty("ActiveChart.HasDataTable", "1"); !st) return st;
        return SetServerProperty("ActiveChart.DataTable.ShowLegendKey", "1");
    }
    if (Status st = SetServerProperty("ActiveChart.DataTable.ShowLegendKey", "0"); !st) return st;
    return SetServerProperty("ActiveChart.HasDataTable", "0");
}

Status SpreadsheetAutomation::PasteText(std::string_view text) {
    Result<int32_t> row = GetLong("ActiveCell.Row");
    if (!row.ok()) return row.status;
    Result<int32_t> column = GetLong("ActiveCell.Column");
    if (!column.ok()) return column.status;
    std::vector<std::vector<std::string>> lines{{std::string()}};
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (c == '\n' || c == '\r') lines.push_back({std::string()});
        else if (c == '\t') lines.back().emplace_back();
        else lines.back().back() += c;
    }
    if (lines.size() > 1 && lines.back().size() == 1 && lines.back().front().empty()) lines.pop_back();
    size_t widest = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        widest = std::max(widest, lines[i].size());
        for (size_t j = 0; j < lines[i].size(); ++j) {
            const auto r = static_cast<int32_t>(row.value + static_cast<int32_t>(i));
            const auto c = static_cast<int32_t>(column.value + static_cast<int32_t>(j));
            if (!ValidCell(r, c)) return Status::Fail("El texto pegado no cabe en la hoja.");
            if (Status st = SetServerProperty(CellPath(r, c) + ".FormulaR1C1", lines[i][j]); !st) return st;
        }
    }
    const std::string last = CellAddress(row.value + static_cast<int32_t>(lines.size()) - 1,
                                         column.value + static_cast<int32_t>(widest) - 1);
    return SelectRange(CellAddress(row.value, column.value) + ":" + last);
}

Status SpreadsheetAutomation::PasteTextAtRange(std::string_view range, std::string_view text) {
    if (Status st = SelectRange(range); !st) return st;
    return PasteText(text);
}

Status SpreadsheetAutomation::PasteTextAtCell(int32_t row, int32_t column, std::string_view text) {
    if (Status st = SelectCell(row, column); !st) return st;
    return PasteText(text);
}

// ---------------------------------------------------------------- reading

Result<int32_t> SpreadsheetAutomation::GetAlignmentOfRange(std::string_view range) {
    return GetRangeHorizontalAlignment(range);
}
Result<int32_t> SpreadsheetAutomation::GetAlignmentOfCell(int32_t row, int32_t column) {
    return GetCellHorizontalAlignment(row, column);
}
Result<int32_t> SpreadsheetAutomation::GetSelectedColumnsWidth() { return GetLong("Selection.Columns.ColumnWidth"); }
Result<int32_t> SpreadsheetAutomation::GetColumnsWidthNamed(std::string_view columns) {
    return GetLong(ColumnsPath(columns) + ".ColumnWidth");
}
Result<int32_t> SpreadsheetAutomation::GetColumnWidth(int32_t n) { return GetLong("Columns(" + num(n) + ").ColumnWidth"); }
Result<int32_t> SpreadsheetAutomation::GetSelectionHorizontalAlignment() {
    return GetLong("Selection.HorizontalAlignment");
}
Result<int32_t> SpreadsheetAutomation::GetRangeHorizontalAlignment(std::string_view range) {
    return GetLong(RangePath(range) + ".HorizontalAlignment");
}
Result<int32_t> SpreadsheetAutomation::GetCellHorizontalAlignment(int32_t row, int32_t column) {
    return GetLong(CellPath(row, column) + ".HorizontalAlignment");
}
Result<std::string> SpreadsheetAutomation::GetInternational(int16_t index) {
    return GetServerProperty("Application.International(" + num(index) + ")");
}
Result<int32_t> SpreadsheetAutomation::GetSelectedRowsHeight() { return GetLong("Selection.Rows.RowHeight"); }
Result<int32_t> SpreadsheetAutomation::GetRowHeight(int32_t n) { return GetLong("Rows(" + num(n) + ").RowHeight"); }
Result<int32_t> SpreadsheetAutomation::GetSeriesCount() { return GetLong("ActiveChart.SeriesCollection.Count"); }
Result<int32_t> SpreadsheetAutomation::GetSheetCount() { return GetLong("Sheets.Count"); }
Result<int32_t> SpreadsheetAutomation::GetActiveSheetIndex() { return GetLong("ActiveSheet.Index"); }
Result<int32_t> SpreadsheetAutomation::GetSheetIndex(std::string_view name) {
    return GetLong("Sheets(" + QuoteArgument(name) + ").Index");
}
Result<std::string> SpreadsheetAutomation::GetActiveSheetName() { return GetServerProperty("ActiveSheet.Name"); }
Result<std::string> SpreadsheetAutomation::GetSheetName(int32_t index) {
    return GetServerProperty("Sheets(" + num(index) + ").Name");
}
Result<int32_t> SpreadsheetAutomation::GetSelectionVerticalAlignment() { return GetLong("Selection.VerticalAlignment"); }
Result<int32_t> SpreadsheetAutomation::GetRangeVerticalAlignment(std::string_view range) {
    return GetLong(RangePath(range) + ".VerticalAlignment");
}
Result<int32_t> SpreadsheetAutomation::GetCellVerticalAlignment(int32_t row, int32_t column) {
    return GetLong(CellPath(row, column) + ".VerticalAlignment");
}
Result<int32_t> SpreadsheetAutomation::GetSelectionWrapText() { return GetLong("Selection.WrapText"); }
Result<int32_t> SpreadsheetAutomation::GetRangeWrapText(std::string_view range) {
    return GetLong(RangePath(range) + ".WrapText");
}
Result<int32_t> SpreadsheetAutomation::GetCellWrapText(int32_t row, int32_t column) {
    return GetLong(CellPath(row, column) + ".WrapText");
}

// ---------------------------------------------------------------- charts

Status SpreadsheetAutomation::AddChart(std::string_view sheetName, int16_t type, uint8_t where) {
    if (Status st = EvaluateCommand("Charts.Add"); !st) return st;
    if (Status st = SetServerProperty("ActiveChart.ChartType", num(type)); !st) return st;
    return EvaluateCommand("ActiveChart.Location(" + byteText(where) + ", " + QuoteArgument(sheetName) + ")");
}

Status SpreadsheetAutomation::FormatArea(const char* area, int16_t borderColorIndex, int16_t borderWeight,
                                         int16_t borderLineStyle, int16_t interiorColorIndex,
                                         int16_t patternColorIndex, int16_t pattern) {
    if (Status st = EvaluateCommand(std::string("ActiveChart.") + area + ".Select"); !st) return st;
    const std::pair<const char*, int16_t> writes[] = {
        {"Selection.Border.ColorIndex", borderColorIndex},
        {"Selection.Border.Weight", borderWeight},
        {"Selection.Border.LineStyle", borderLineStyle},
        {"Selection.Interior.ColorIndex", interiorColorIndex},
        {"Selection.Interior.PatternColorIndex", patternColorIndex},
        {"Selection.Interior.Pattern", pattern},
    };
    for (const auto& [name, value] : writes)
        if (Status st = SetServerProperty(name, num(value)); !st) return st;
    return Status::Ok();
}

Status SpreadsheetAutomation::FormatPlotArea(int16_t a, int16_t b, int16_t c, int16_t d, int16_t e, int16_t f) {
    return FormatArea("PlotArea", a, b, c, d, e, f);
}
Status SpreadsheetAutomation::FormatChartArea(int16_t a, int16_t b, int16_t c, int16_t d, int16_t e, int16_t f) {
    return FormatArea("ChartArea", a, b, c, d, e, f);
}

Status SpreadsheetAutomation::SetHeadersFooters(std::string_view lh, std::string_view ch, std::string_view rh,
                                                std::string_view lf, std::string_view cf, std::string_view rf) {
    const std::pair<const char*, std::string_view> writes[] = {
        {"LeftHeader", lh}, {"CenterHeader", ch}, {"RightHeader", rh},
        {"LeftFooter", lf}, {"CenterFooter", cf}, {"RightFooter", rf},
    };
    for (const auto& [name, value] : writes)
        if (Status st = SetServerProperty(std::string("ActiveSheet.PageSetup.") + name, value); !st) return st;
    return Status::Ok();
}

// ------------------------------------------------------ columns, rows, sheets

Status SpreadsheetAutomation::InsertColumnsNamed(std::string_view columns) {
    if (Status st = SelectColumnsNamed(columns); !st) return st;
    return EvaluateCommand("Selection.Insert(-4161)");
}
Status SpreadsheetAutomation::InsertColumn(int32_t n) {
    if (Status st = SelectColumn(n); !st) return st;
    return EvaluateCommand("Selection.Insert(-4161)");
}
Status SpreadsheetAutomation::InsertRow(int32_t n) {
    if (Status st = SelectRow(n); !st) return st;
    return EvaluateCommand("Selection.Insert(-4121)");
}

Status SpreadsheetAutomation::SetLegendPosition(int16_t position) {
    if (Status st = EvaluateCommand("ActiveChart.Legend.Select"); !st) return st;
    return SetServerProperty("Selection.Position", num(position));
}

Status SpreadsheetAutomation::SetSeriesAxisGroup(int16_t series, int16_t group) {
    return SetServerProperty("ActiveChart.SeriesCollection(" + num(series) + ").AxisGroup", num(group));
}

Status SpreadsheetAutomation::MergeSelection() { return SetSelectionMerge(1); }
Status SpreadsheetAutomation::SetRangeMerge(std::string_view range) {
    return SetServerProperty(RangePath(range) + ".MergeCells", "1");
}

Status SpreadsheetAutomation::OpenWorkbook(std::string_view path) {
    if (trim(path).empty()) return AddWorkbook();
    return EvaluateCommand("Workbooks.Open(" + QuoteArgument(path) + ")");
}

Status SpreadsheetAutomation::SetDocumentPaper(uint8_t paper, uint8_t orientation) {
    if (Status st = SetServerProperty("Application.ActiveDocument.PageSetup.PaperSize", byteText(paper)); !st) return st;
    return SetServerProperty("Application.ActiveDocument.PageSetup.Orientation", byteText(orientation));
}

Status SpreadsheetAutomation::PrintActiveSheet(uint8_t copies) {
    return EvaluateCommand("ActiveSheet.PrintOut(,," + byteText(copies) + ",,,,,)");
}

Status SpreadsheetAutomation::LockRange(std::string_view range, uint8_t locked) {
    if (Status st = SelectRange(range); !st) return st;
    return SetServerProperty("Selection.Locked", locked != 0 ? "1" : "0");
}

Status SpreadsheetAutomation::ProtectActiveSheet(std::string_view password) {
    return EvaluateCommand("ActiveSheet.Protect(" + QuoteArgument(rtrim(password)) + ",1,1,1)");
}

Result<std::string> SpreadsheetAutomation::GetActiveCellValue() { return GetServerProperty("ActiveCell.Value"); }

Result<std::string> SpreadsheetAutomation::ReadRange(std::string_view range) {
    if (Status st = SelectRange(range); !st) return {"0", st};
    return GetActiveCellValue();
}

Result<std::string> SpreadsheetAutomation::ReadCell(int32_t row, int32_t column) {
    if (Status st = SelectCell(row, column); !st) return {"0", st};
    return GetActiveCellValue();
}

Status SpreadsheetAutomation::GotoOrReplace(std::string_view text1, std::string_view text2, uint8_t flag, uint8_t mode) {
    if (mode == 1) {
        if (Status st = EvaluateCommand("Application.Goto(" + QuoteArgument(text1) + ")"); !st) return st;
        return SetActiveCellValue(text2);
    }
    return EvaluateCommand("Cells.Replace(" + QuoteArgument(text1) + "," + QuoteArgument(text2) + ",1,1," +
                           byteText(flag) + ")");
}

Status SpreadsheetAutomation::SaveWorkbookAs(std::string_view path) {
    return EvaluateCommand("ActiveWorkbook.SaveAs(" + QuoteArgument(path) + ")");
}

Status SpreadsheetAutomation::SaveWorkbookAsFull(std::string_view path, int32_t format, std::string_view text2,
                                                 std::string_view text3, uint8_t flag) {
    return EvaluateCommand("Application.ActiveWorkbook.SaveAs(" + QuoteArgument(path) + "," + num(format) + "," +
                           std::string(text2) + ",1," + std::string(text3) + "," + byteText(flag) + ",1)");
}

// ---------------------------------------------------------------- selecting

Status SpreadsheetAutomation::SelectRange(std::string_view range) { return Select(RangePath(range) + ".Select"); }
Status SpreadsheetAutomation::SelectCell(int32_t row, int32_t column) { return Select(CellPath(row, column) + ".Select"); }
Status SpreadsheetAutomation::SelectColumnsNamed(std::string_view columns) {
    return Select(ColumnsPath(columns) + ".Select");
}
Status SpreadsheetAutomation::SelectColumn(int32_t n) { return Select("Columns(" + num(n) + ").Select"); }
Status SpreadsheetAutomation::SelectRow(int32_t n) { return Select("Rows(" + num(n) + ").Select"); }
Status SpreadsheetAutomation::SelectSheet(int16_t index) { return EvaluateCommand("Sheets(" + num(index) + ").Select"); }
Status SpreadsheetAutomation::SelectSheetNamed(std::string_view name) {
    return EvaluateCommand("Sheets(" + QuoteArgument(name) + ").Select");
}

// ------------------------------------------------------ formats and sizes

Status SpreadsheetAutomation::SetAlignmentOfRange(std::string_view range, uint8_t value) {
    return SetRangeHorizontalAlignment(range, value);
}
Status SpreadsheetAutomation::SetAlignmentOfCell(int32_t row, int32_t column, uint8_t value) {
    return SetCellHorizontalAlignment(row, column, value);
}
Status SpreadsheetAutomation::SetSelectedColumnsWidth(int32_t width) {
    return SetServerProperty("Selection.Columns.ColumnWidth", num(width));
}
Status SpreadsheetAutomation::SetColumnsWidthNamed(std::string_view columns, int32_t width) {
    return SetServerProperty(ColumnsPath(columns) + ".ColumnWidth", num(width));
}
Status SpreadsheetAutomation::SetColumnWidth(int32_t n, int32_t width) {
    return SetServerProperty("Columns(" + num(n) + ").ColumnWidth", num(width));
}

Status SpreadsheetAutomation::SetChartTitle(std::string_view title) {
    if (Status st = EvaluateCommand("ActiveChart.ChartArea.Select"); !st) return st;
    if (Status st = SetServerProperty("ActiveChart.HasTitle", "1"); !st) return st;
    return SetServerProperty("ActiveChart.ChartTitle.Characters.Text", title);
}

Status SpreadsheetAutomation::SetSelectionHorizontalAlignment(uint8_t value) {
    return SetServerProperty("Selection.HorizontalAlignment", byteText(value));
}
Status SpreadsheetAutomation::SetRangeHorizontalAlignment(std::string_view range, uint8_t value) {
    return SetServerProperty(RangePath(range) + ".HorizontalAlignment", byteText(value));
}
Status SpreadsheetAutomation::SetCellHorizontalAlignment(int32_t row, int32_t column, uint8_t value) {
    return SetServerProperty(CellPath(row, column) + ".HorizontalAlignment", byteText(value));
}

Status SpreadsheetAutomation::SetDocumentMargins(int16_t top, int16_t bottom, int16_t left, int16_t right) {
    const std::pair<const char*, int16_t> margins[] = {
        {"TopMargin", top}, {"BottomMargin", bottom}, {"LeftMargin", left}, {"RightMargin", right}};
    for (const auto& [name, cm] : margins) {
        Result<std::string> points = GetServerProperty("CentimetersToPoints(" + num(cm) + ")");
        if (!points.ok()) return points.status;
        if (Status st = SetServerProperty(std::string("Application.ActiveDocument.PageSetup.") + name, points.value); !st)
            return st;
    }
    return Status::Ok();
}

Status SpreadsheetAutomation::SetSelectionMerge(uint8_t flag) {
    return SetServerProperty("Selection.MergeCells", byteText(flag));
}
Status SpreadsheetAutomation::SetSelectionNumberFormat(std::string_view format) {
    return SetServerProperty("Selection.NumberFormat", format);
}
Status SpreadsheetAutomation::SetRangeNumberFormat(std::string_view range, std::string_view format) {
    return SetServerProperty(RangePath(range) + ".NumberFormat", format);
}
Status SpreadsheetAutomation::SetCellNumberFormat(int32_t row, int32_t column, std::string_view format) {
    return SetServerProperty(CellPath(row, column) + ".NumberFormat", format);
}
Status SpreadsheetAutomation::SetSelectedRowsHeight(int32_t height) {
    return SetServerProperty("Selection.Rows.RowHeight", num(height));
}
Status SpreadsheetAutomation::SetRowHeight(int32_t n, int32_t height) {
    return SetServerProperty("Rows(" + num(n) + ").RowHeight", num(height));
}
Status SpreadsheetAutomation::SetSheetName(int16_t index, std::string_view name) {
    return SetServerProperty("Sheets(" + num(index) + ").Name", cutText(name, 31));
}
Status SpreadsheetAutomation::SetSelectionVerticalAlignment(uint8_t value) {
    return SetServerProperty("Selection.VerticalAlignment", byteText(value));
}
Status SpreadsheetAutomation::SetRangeVerticalAlignment(std::string_view range, uint8_t value) {
    return SetServerProperty(RangePath(range) + ".VerticalAlignment", byteText(value));
}
Status SpreadsheetAutomation::SetCellVerticalAlignment(int32_t row, int32_t column, uint8_t value) {
    return SetServerProperty(CellPath(row, column) + ".VerticalAlignment", byteText(value));
}
Status SpreadsheetAutomation::SetSelectionWrapText(uint8_t flag) {
    return SetServerProperty("Selection.WrapText", byteText(flag));
}
Status SpreadsheetAutomation::SetRangeWrapText(std::string_view range, uint8_t flag) {
    return SetServerProperty(RangePath(range) + ".WrapText", byteText(flag));
}
Status SpreadsheetAutomation::SetCellWrapText(int32_t row, int32_t column, uint8_t flag) {
    return SetServerProperty(CellPath(row, column) + ".WrapText", byteText(flag));
}

Status SpreadsheetAutomation::SetAxisTitle(int axis, std::string_view title) {
    const std::string a = "ActiveChart.Axes(" + num(axis) + ",1)";
    if (Status st = EvaluateCommand("ActiveChart.ChartArea.Select"); !st) return st;
    if (Status st = SetServerProperty(a + ".HasTitle", "1"); !st) return st;
    return SetServerProperty(a + ".AxisTitle.Characters.Text", title);
}
Status SpreadsheetAutomation::SetCategoryAxisTitle(std::string_view title) { return SetAxisTitle(1, title); }
Status SpreadsheetAutomation::SetValueAxisTitle(std::string_view title) { return SetAxisTitle(2, title); }
Status SpreadsheetAutomation::SetSeriesAxisTitle(std::string_view title) { return SetAxisTitle(3, title); }

Status SpreadsheetAutomation::SetGridlines(uint8_t axis, uint8_t major, uint8_t minor) {
    const std::string a = "ActiveChart.Axes(" + byteText(axis) + ")";
    if (Status st = EvaluateCommand("ActiveChart.PlotArea.Select"); !st) return st;
    if (Status st = SetServerProperty(a + ".HasMajorGridlines", byteText(major)); !st) return st;
    return SetServerProperty(a + ".HasMinorGridlines", byteText(minor));
}

}  // namespace tv::automation
