#pragma once
// What the parts of the spreadsheet application share: its state, the
// object a path has reached so far, and the conversions of values.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/automation/member_path.h"
#include "export/automation/spreadsheet_server.h"
#include "export/automation/workbook.h"

namespace tv::automation {

struct SpreadsheetApplication::State {
    std::vector<std::unique_ptr<Workbook>> books;
    int active = -1;
    int nextBook = 1;
    bool visible = false;
    bool displayAlerts = true;
    int32_t language = 0;

    Workbook* book() { return active < 0 ? nullptr : books[static_cast<size_t>(active)].get(); }
};
using AppState = SpreadsheetApplication::State;

// The object a path has reached.
struct Ref {
    enum class Kind {
        App, Workbooks, Workbook, Sheets, Sheet, Range, Font, Interior, PageSetup, Window,
        Charts, Chart, ChartTitle, Characters, Axis, AxisTitle, Legend, Area, AreaBorder, AreaInterior,
        SeriesCollection, Series, DataTable,
    };
    enum class View { Cells, Columns, Rows };
    Kind kind = Kind::App;
    Workbook* book = nullptr;
    Sheet* sheet = nullptr;
    CellRect rect;
    View view = View::Cells;
    Chart* chart = nullptr;
    int part = 0;    // Axis: 0 category, 1 value, 2 series; Area: 0 chart area, 1 plot area; Series: index
    bool ofAxis = false;  // Characters: of an axis title (else of the chart title)
};

using RefResult = Result<Ref>;
using TextResult = Result<std::string>;

inline RefResult Reached(Ref r) { return {std::move(r), Status::Ok()}; }
inline RefResult Refused(std::string why) { return {Ref{}, Status::Fail(std::move(why))}; }
inline TextResult Reply(std::string text) { return {std::move(text), Status::Ok()}; }
inline TextResult ReplyFail(std::string why) { return {"0", Status::Fail(std::move(why))}; }
TextResult ReplyNumber(double d);
inline TextResult ReplyFlag(bool b) { return Reply(b ? "1" : "0"); }
TextResult ReplyFrom(const Status& st);  // "1" when done

// A value read as a number ("12", "-3.5", "True"/"False"); fails for text that is none.
Result<double> NumberOf(const Variant& v);
Result<int32_t> WholeOf(const Variant& v);
Result<bool> FlagOf(const Variant& v);
// The arguments of a member.
Result<double> NumberArg(const PathMember& m, size_t i);
Result<std::string> TextArg(const PathMember& m, size_t i);   // a text, or a number written as text
bool HasArg(const PathMember& m, size_t i);
// Whether a member is the one named (names are matched without regard to case).
bool Is(const PathMember& m, std::string_view name);

// Messages.
std::string UnknownMember(std::string_view member, std::string_view of);
std::string DesktopOnly(std::string_view what);
Status NoClipboard();

// Selection and activation inside a workbook.
void SelectCells(Workbook& book, Sheet& sheet, const CellRect& rect, int32_t activeRow, int32_t activeColumn);
void ActivateSheet(Workbook& book, Sheet& sheet);
// The sheet a range text names (its own sheet when it names none).
Result<Sheet*> SheetOfRange(Workbook& book, Sheet& own, const RangeAddress& a);
Result<CellRect> CurrentRegion(const Worksheet& w, int32_t row, int32_t column);

// The parts of the application, by family of object.
RefResult StepRange(AppState& app, const Ref& at, const PathMember& m);
TextResult ReadRangeMember(AppState& app, const Ref& at, const PathMember& m);
Status WriteRangeMember(AppState& app, const Ref& at, const PathMember& m, const Variant& v);
RefResult StepChart(AppState& app, const Ref& at, const PathMember& m);
TextResult ReadChartMember(AppState& app, const Ref& at, const PathMember& m);
Status WriteChartMember(AppState& app, const Ref& at, const PathMember& m, const Variant& v);
// Charts.Add on the active sheet's selection.
TextResult AddChart(AppState& app, Workbook& book);
// The object Selection stands for.
RefResult SelectionOf(Workbook& book);

}  // namespace tv::automation
