// The spreadsheet component through its container: what each operation
// sends, what it does to the workbook, and how every failure is reported.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/automation/container.h"
#include "export/automation/spreadsheet_automation.h"

namespace tv::automation {
namespace {

class Component : public ::testing::Test {
protected:
    void SetUp() override {
        box.SetRecorder([this](const AutomationContainer::Call& c) {
            using K = AutomationContainer::Call::Kind;
            switch (c.kind) {
            case K::Read: calls.push_back("R " + c.name); break;
            case K::Write: calls.push_back("W " + c.name + " := " + c.value); break;
            case K::Create: calls.push_back("Create := " + c.name); break;
            case K::Language: calls.push_back("Language := " + c.value); break;
            case K::Deactivate: calls.push_back("Deactivate"); break;
            }
        });
    }
    // An application with one new workbook; what was sent so far forgotten.
    void open() {
        ASSERT_TRUE(xl.Attach(&box, 1, 1, 1));
        ASSERT_TRUE(xl.AddWorkbook());
        calls.clear();
    }
    Workbook& book() { return *box.Object()->activeWorkbook(); }
    Worksheet& cells() { return book().activeSheet().cells; }
    const Style& style(int32_t row, int32_t column) { return book().style(cells().styleAt(row, column)); }

    AutomationContainer box;
    SpreadsheetAutomation xl;
    std::vector<std::string> calls;
};

TEST_F(Component, AttachCreatesTheApplicationOnceAndSetsItsVisibility) {
    ASSERT_TRUE(xl.Attach(&box, 1, 1, 1));
    EXPECT_EQ(calls, (std::vector<std::string>{"R Application.Version", "Create := Excel.Application", "Language := 1033",
                                               "R Application.Activate", "W Visible := 1"}));
    EXPECT_EQ(box.CreatedCount(), 1);
    calls.clear();
    ASSERT_TRUE(xl.Attach(&box, 1, 0, 0));
    EXPECT_EQ(calls, (std::vector<std::string>{"R Application.Version", "W Visible := 0"}))
        << "a running application is reused, not activated, and hidden";
    EXPECT_EQ(box.CreatedCount(), 1);
    EXPECT_EQ(xl.GetVisible().value, 0);
    EXPECT_EQ(xl.GetServerVersion().value, 16);
    EXPECT_EQ(xl.IsServerRunning(), 1);

    ASSERT_TRUE(xl.QuitServer());
    EXPECT_EQ(xl.IsServerRunning(), 0) << "quitting ends the application in the container";
    EXPECT_FALSE(xl.Attach(nullptr, 1, 1, 1));
}

TEST_F(Component, WithoutAnApplicationReadsGiveZeroAndEveryCallSaysWhy) {
    ASSERT_TRUE(xl.Attach(&box, 0, 0, 1).message().find("No hay una hoja de cálculo") != std::string::npos)
        << "the visibility write of an attach without create reaches no application";
    Result<int32_t> visible = xl.GetVisible();
    EXPECT_EQ(visible.value, 0);
    EXPECT_FALSE(visible.ok());
    Result<std::string> font = xl.GetFontName();
    EXPECT_EQ(font.value, "0");
    EXPECT_FALSE(font.ok());
    EXPECT_EQ(xl.IsServerRunning(), 0);
    Status st = xl.AddWorkbook();
    EXPECT_FALSE(st);
    EXPECT_FALSE(st.message().empty());
    SpreadsheetAutomation unbound;
    EXPECT_EQ(unbound.SetVisible(1).message(), "El componente de hoja de cálculo no está enlazado a ninguna ventana.");
}

TEST_F(Component, TheCommandPrefixGoesBeforeEveryPath) {
    open();
    ASSERT_TRUE(xl.AddSheet(1));
    xl.SetCommandPrefix("Sheets(2).   ");
    EXPECT_EQ(xl.SWITH, "Sheets(2).");
    ASSERT_TRUE(xl.SetVisible(0));
    EXPECT_EQ(calls.back(), "W Sheets(2).Visible := 0");
    EXPECT_FALSE(book().sheets[1]->visible);
    xl.ClearCommandPrefix();
    xl.SetCommandPrefix(std::string(300, 'x'));
    EXPECT_EQ(xl.SWITH.size(), 255u);
    xl.ClearCommandPrefix();
    EXPECT_TRUE(xl.SWITH.empty());
}

TEST_F(Component, WhatOnlyASpreadsheetProgramOnTheDesktopDoesIsRefusedAndChangesNothing) {
    open();
    ASSERT_TRUE(xl.WriteRange("A1", "dato"));
    const struct {
        const char* what;
        std::function<Status()> call;
    } refused[] = {
        {"RunMacro", [&] { return xl.RunMacro("Macro1"); }},
        {"SetScreenUpdating", [&] { return xl.SetScreenUpdating(0); }},
        {"SetWindowStateOne", [&] { return xl.SetWindowStateOne(); }},
        {"SetWindowStateTwo", [&] { return xl.SetWindowStateTwo(); }},
        {"CopySelection", [&] { return xl.CopySelection(); }},
        {"CutSelection", [&] { return xl.CutSelection(); }},
        {"PasteSelection", [&] { return xl.PasteSelection(); }},
        {"PrintActiveSheet", [&] { return xl.PrintActiveSheet(1); }},
        {"OpenWorkbook", [&] { return xl.OpenWorkbook("/tmp/libro.xlsx"); }},
        {"AddWorkbookFrom", [&] { return xl.AddWorkbookFrom("/tmp/plantilla.xlsx"); }},
        {"SetDocumentPaper", [&] { return xl.SetDocumentPaper(9, 2); }},
        {"SetDocumentMargins", [&] { return xl.SetDocumentMargins(2, 2, 2, 2); }},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.what);
        Status st = r.call();
        EXPECT_FALSE(st);
        EXPECT_GT(st.message().size(), 20u) << st.message();
    }
    EXPECT_NE(std::find(calls.begin(), calls.end(), "R Application.Run(Macro1)"), calls.end())
        << "the macro name goes unquoted";
    EXPECT_EQ(box.Object()->workbookCount(), 1u);
    EXPECT_EQ(cells().value(1, 1), CellValue::Text("dato"));
    EXPECT_EQ(book().sheets.size(), 1u);
}

TEST_F(Component, CellsAreTypedAsWrittenOrReadAsTypedEntries) {
    open();
    const struct {
        const char* what;
        std::function<Status()> write;
        CellValue expected;
    } cases[] = {
        {"bar code with leading zeros", [&] { return xl.SetActiveCellText("0075012345678"); }, CellValue::Text("0075012345678")},
        {"20-digit code", [&] { return xl.SetActiveCellText("12345678901234567890"); }, CellValue::Text("12345678901234567890")},
        {"text that looks like a formula", [&] { return xl.SetActiveCellText("=1+1"); }, CellValue::Text("=1+1")},
        {"accented text", [&] { return xl.SetActiveCellText("Cañón Ñandú ÁÉÍÓÚ"); }, CellValue::Text("Cañón Ñandú ÁÉÍÓÚ")},
        {"empty text", [&] { return xl.SetActiveCellText(""); }, CellValue{}},
        {"number", [&] { return xl.SetActiveCellNumber(12345678901.0); }, CellValue::Number(12345678901.0)},
        {"typed number", [&] { return xl.SetActiveCellValue("007"); }, CellValue::Number(7)},
        {"typed text kept by an apostrophe", [&] { return xl.SetActiveCellValue("'007"); }, CellValue::Text("007")},
        {"typed formula", [&] { return xl.SetActiveCellValue("=R1C1*2"); }, CellValue::Formula("=$A$1*2")},
        {"typed relative formula", [&] { return xl.SetActiveCellValue("=R[-1]C+1"); }, CellValue::Formula("=B1+1")},
        {"typed text", [&] { return xl.SetActiveCellValue("Marca"); }, CellValue::Text("Marca")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(xl.SelectRange("B2"));
        ASSERT_TRUE(xl.SetActiveCellText("antes"));
        ASSERT_TRUE(c.write());
        EXPECT_EQ(cells().value(2, 2), c.expected);
    }
    ASSERT_TRUE(xl.SelectRange("C3"));
    Status tooLong = xl.SetActiveCellText(std::string(32768, 'x'));
    EXPECT_FALSE(tooLong);
    EXPECT_NE(tooLong.message().find("32767"), std::string::npos);
    EXPECT_TRUE(cells().empty(3, 3));
    Result<std::string> read = xl.ReadRange("B2");
    EXPECT_EQ(read.value, "Marca");
    ASSERT_TRUE(xl.WriteCell(4, 1, "=1+1"));
    EXPECT_FALSE(xl.ReadCell(4, 1).ok()) << "a formula's value is worked out where the file is opened";
}

TEST_F(Component, EachCellCostsASelectionAndAWriteAndAFailedSelectionWritesNothing) {
    open();
    ASSERT_TRUE(xl.WriteCell(5, 2, "Marca"));
    EXPECT_EQ(calls, (std::vector<std::string>{"R Cells(5,2).Select", "W ActiveCell.FormulaR1C1 := Marca"}));
    EXPECT_EQ(xl.OBJECT, "1");
    calls.clear();
    ASSERT_TRUE(xl.WriteRange("A5", "x"));
    EXPECT_EQ(calls.front(), "R Range(\"A5\").Select");

    const struct {
        const char* what;
        std::function<Status()> write;
    } bad[] = {
        {"range A0", [&] { return xl.WriteRange("A0", "perdido"); }},
        {"cell 0,1", [&] { return xl.WriteCell(0, 1, "perdido"); }},
        {"column past XFD", [&] { return xl.WriteCell(1, 16385, "perdido"); }},
        {"sheet that is not there", [&] { return xl.WriteRange("Otra!A1", "perdido"); }},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.what);
        Status st = b.write();
        EXPECT_FALSE(st);
        EXPECT_FALSE(st.message().empty());
    }
    EXPECT_EQ(cells().value(5, 1), CellValue::Text("x")) << "the cell selected before keeps its value";
    EXPECT_EQ(cells().cellCount(), 2u);

    const std::string before = xl.OBJECT;
    ASSERT_TRUE(xl.SelectSheet(1));
    EXPECT_EQ(xl.OBJECT, before) << "selecting a sheet leaves OBJECT alone";
}

TEST_F(Component, FontsAlignmentsAndFlagsAsTheyAreSent) {
    open();
    ASSERT_TRUE(xl.SelectRange("A1:B2"));
    calls.clear();
    ASSERT_TRUE(xl.SetFont("   ", 14, 0x0000FF, 1, 0, 0));
    EXPECT_EQ(calls, (std::vector<std::string>{"W Selection.Font.Size := 14", "W Selection.Font.Bold := 1",
                                               "W Selection.Font.Italic := 0", "W Selection.Font.Color := 255"}))
        << "a blank name and alignment 0 send nothing";
    EXPECT_EQ(style(2, 2).fontSize, 14);
    EXPECT_TRUE(style(2, 2).bold);
    EXPECT_EQ(style(1, 1).fontColor, 0x0000FF);
    EXPECT_EQ(xl.GetFontColorIndex().value, 3) << "red is colour 3 of the index";
    ASSERT_TRUE(xl.SetFont("Arial", 10, 0, 0, 1, 3));
    EXPECT_EQ(style(1, 1).fontName, "Arial");
    EXPECT_EQ(xl.GetAlignmentOfSelection().value, -4108) << "3 reads as centred";

    calls.clear();
    ASSERT_TRUE(xl.SetFontBold(7));
    EXPECT_EQ(calls.back(), "W Selection.Font.Bold := 1");
    Status small = xl.SetFontSize(-3);
    EXPECT_EQ(calls.back(), "W Selection.Font.Size := -3");
    EXPECT_FALSE(small);
    EXPECT_EQ(xl.GetFontSize().value, 10);
    ASSERT_TRUE(xl.SetCellWrapText(1, 1, 2));
    EXPECT_EQ(calls.back(), "W Cells(1,1).WrapText := 2");
    EXPECT_EQ(xl.GetCellWrapText(1, 1).value, 1);
    ASSERT_TRUE(xl.SetFontUnderline(1));
    EXPECT_EQ(xl.GetFontUnderline().value, 2);
    EXPECT_FALSE(xl.SetRangeHorizontalAlignment("A1", 9)) << "9 is no alignment";
    ASSERT_TRUE(xl.SetCellVerticalAlignment(1, 1, 1));
    EXPECT_EQ(xl.GetCellVerticalAlignment(1, 1).value, -4160);
    ASSERT_TRUE(xl.SetRangeNumberFormat("A1", "#,##0.00"));
    EXPECT_EQ(style(1, 1).numberFormat, "#,##0.00");
}

TEST_F(Component, SheetsAreAddedNamedAndCounted) {
    open();
    calls.clear();
    ASSERT_TRUE(xl.AddSheet(0));
    EXPECT_TRUE(calls.empty());
    ASSERT_TRUE(xl.AddSheet(3));
    EXPECT_EQ(calls, std::vector<std::string>(3, "R Sheets.Add"));
    EXPECT_EQ(xl.GetSheetCount().value, 4);
    ASSERT_TRUE(xl.SetSheetName(1, "Un nombre de hoja de cuarenta caracteres"));
    EXPECT_EQ(xl.GetSheetName(1).value, "Un nombre de hoja de cuarenta c");
    EXPECT_EQ(xl.GetSheetIndex("un nombre de hoja de cuarenta c").value, 1) << "names match without regard to case";
    for (const char* bad : {"", "a/b", "[x]", "'x", "Hoja1"}) {
        SCOPED_TRACE(bad);
        Status st = xl.SetSheetName(2, bad);
        EXPECT_FALSE(st);
        EXPECT_FALSE(st.message().empty());
    }
    ASSERT_TRUE(xl.SelectSheetNamed("Hoja1"));
    EXPECT_EQ(xl.GetActiveSheetName().value, "Hoja1");
    EXPECT_FALSE(xl.SelectSheet(9));
}

TEST_F(Component, AProtectedSheetKeepsItsLockedCells) {
    open();
    ASSERT_TRUE(xl.LockRange("C1", 5));
    EXPECT_EQ(calls.back(), "W Selection.Locked := 1");
    ASSERT_TRUE(xl.LockRange("B1", 0));
    EXPECT_EQ(calls.back(), "W Selection.Locked := 0");
    ASSERT_TRUE(xl.ProtectActiveSheet("clave   "));
    EXPECT_EQ(calls.back(), "R ActiveSheet.Protect(\"clave\",1,1,1)");
    Status locked = xl.WriteRange("A1", "x");
    EXPECT_FALSE(locked);
    EXPECT_NE(locked.message().find("protegida"), std::string::npos);
    EXPECT_TRUE(cells().empty(1, 1));
    EXPECT_TRUE(xl.WriteRange("B1", "libre"));
    EXPECT_FALSE(xl.InsertRow(1));
    EXPECT_FALSE(xl.LockRange("A1", 0)) << "the locks of a protected sheet stay as they are";
    EXPECT_FALSE(box.Object()->Read("ActiveSheet.Unprotect(\"otra\")").ok());
    ASSERT_TRUE(box.Object()->Read("ActiveSheet.Unprotect(\"clave\")").ok());
    EXPECT_TRUE(xl.WriteRange("A1", "x"));
}

TEST_F(Component, RangesAreMergedInsertedReplacedFittedAndPasted) {
    open();
    ASSERT_TRUE(xl.WriteRange("A1", "Título"));
    ASSERT_TRUE(xl.MergeAndCenterRange("A1:C1"));
    ASSERT_EQ(cells().merges.size(), 1u);
    EXPECT_EQ(cells().merges[0], (CellRect{1, 1, 1, 3}));
    EXPECT_EQ(style(1, 1).horizontal, xl::kCenter);
    ASSERT_TRUE(xl.WriteRange("B3", "dato"));
    ASSERT_TRUE(xl.WriteRange("B4", "otro"));
    Status keep = box.Object()->Write("Range(\"B3:B4\").MergeCells", "1");
    EXPECT_FALSE(keep) << "merging would drop B4's value while alerts are on";
    EXPECT_EQ(cells().value(4, 2), CellValue::Text("otro"));

    ASSERT_TRUE(xl.InsertRow(2));
    EXPECT_EQ(cells().value(4, 2), CellValue::Text("dato"));
    ASSERT_TRUE(xl.InsertColumn(1));
    EXPECT_EQ(cells().value(4, 3), CellValue::Text("dato"));
    EXPECT_EQ(cells().merges[0], (CellRect{1, 2, 1, 4}));

    ASSERT_TRUE(xl.GotoOrReplace("dat?", "DATO", 0, 2));
    EXPECT_EQ(cells().value(4, 3), CellValue::Text("DATO"));
    ASSERT_TRUE(xl.GotoOrReplace("E7", "ir aquí", 0, 1));
    EXPECT_EQ(cells().value(7, 5), CellValue::Text("ir aquí"));

    ASSERT_TRUE(xl.PasteTextAtCell(10, 1, "Código\tNombre\r\n007\tTornillo\n\tTuerca\n"));
    EXPECT_EQ(cells().value(10, 2), CellValue::Text("Nombre"));
    EXPECT_EQ(cells().value(11, 1), CellValue::Number(7));
    EXPECT_EQ(cells().value(12, 2), CellValue::Text("Tuerca"));
    EXPECT_TRUE(cells().empty(13, 1));
    EXPECT_EQ(book().activeSheet().selection, (CellRect{10, 1, 12, 2})) << "the pasted block is selected";

    ASSERT_TRUE(xl.WriteRange("F1", "una descripción bastante larga"));
    ASSERT_TRUE(xl.AutoFitColumn(6));
    EXPECT_GT(xl.GetColumnWidth(6).value, 25);
    ASSERT_TRUE(xl.SetColumnsWidthNamed("G:H", 20));
    EXPECT_EQ(xl.GetColumnsWidthNamed("G:H").value, 20);
    EXPECT_FALSE(xl.GetColumnsWidthNamed("F:G").ok()) << "columns of different widths have no one width";
    ASSERT_TRUE(xl.SetRowHeight(3, 30));
    EXPECT_EQ(xl.GetRowHeight(3).value, 30);
    EXPECT_FALSE(xl.SetColumnWidth(1, 300));
    ASSERT_TRUE(xl.AutoFilterRange("A10"));
    EXPECT_EQ(cells().autoFilter, (CellRect{10, 1, 12, 2})) << "a single cell filters its block";
    ASSERT_TRUE(xl.AutoFormatRange("A10", 1));
    EXPECT_TRUE(style(10, 1).bold);
    EXPECT_FALSE(xl.AutoFormatSelection(99));
}

TEST_F(Component, ChartsAreMadeFromTheSelectedCells) {
    open();
    ASSERT_TRUE(xl.PasteTextAtCell(1, 1, "Mes\tEntradas\tSalidas\nEne\t10\t4\nFeb\t12\t7\nMar\t9\t3\n"));
    ASSERT_TRUE(xl.SelectRange("A1:C4"));
    ASSERT_TRUE(xl.AddChart("Hoja1", 51, 2));
    ASSERT_EQ(cells().charts.size(), 1u);
    const Chart& c = *cells().charts[0];
    ASSERT_EQ(c.series.size(), 2u);
    EXPECT_EQ(c.series[0].name, "Entradas");
    EXPECT_EQ(c.series[0].values.rect, (CellRect{2, 2, 4, 2}));
    EXPECT_EQ(c.series[1].categories->rect, (CellRect{2, 1, 4, 1}));
    EXPECT_EQ(xl.GetSeriesCount().value, 2);
    ASSERT_TRUE(xl.SetChartTitle("Movimientos"));
    ASSERT_TRUE(xl.SetCategoryAxisTitle("Mes"));
    ASSERT_TRUE(xl.SetValueAxisTitle("Piezas"));
    EXPECT_FALSE(xl.SetSeriesAxisTitle("Serie")) << "only 3-D charts have a series axis";
    ASSERT_TRUE(xl.SetGridlines(2, 1, 0));
    ASSERT_TRUE(xl.SetLegendPosition(-4107));
    ASSERT_TRUE(xl.ApplyDataLabels(2));
    ASSERT_TRUE(xl.SetDataTable(1));
    ASSERT_TRUE(xl.FormatPlotArea(5, 2, 1, 19, 1, 1));
    ASSERT_TRUE(xl.FormatChartArea(1, -4138, -4115, 2, 3, -4125));
    EXPECT_FALSE(xl.SetSeriesAxisGroup(1, 2));
    EXPECT_FALSE(xl.FormatPlotArea(99, 2, 1, 19, 1, 1)) << "colour 99 is not in the index";
    EXPECT_EQ(c.title, "Movimientos");
    EXPECT_EQ(c.axes[1].title, "Piezas");
    EXPECT_TRUE(c.axes[1].majorGridlines);
    EXPECT_EQ(c.legendPosition, -4107);
    EXPECT_TRUE(c.hasDataTable && c.dataTableLegendKey);
    EXPECT_EQ(c.plotArea.interiorColorIndex, 19);
    EXPECT_EQ(c.chartArea.pattern, -4125);

    ASSERT_TRUE(xl.SelectRange("B1:B4"));
    ASSERT_TRUE(xl.AddChart("Gráfica de entradas", 5, 1));
    EXPECT_EQ(book().activeSheet().name, "Gráfica de entradas");
    EXPECT_EQ(book().activeSheet().kind, Sheet::Kind::ChartSheet);
    EXPECT_FALSE(xl.SetCategoryAxisTitle("x")) << "a pie has no axes";
    ASSERT_TRUE(xl.SelectSheetNamed("Hoja1"));
    ASSERT_TRUE(xl.SelectRange("Z100"));
    EXPECT_FALSE(xl.AddChart("Hoja1", 51, 2)) << "nothing to show";
    EXPECT_FALSE(box.Object()->Write("ActiveChart.ChartType", "-4100").ok());
}

}  // namespace
}  // namespace tv::automation
