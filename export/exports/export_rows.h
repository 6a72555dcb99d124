#pragma once
// The two catalogue exports without their windows: which records go, the
// rows they make, and the workbook they are written to.
//
// A workbook of an export holds the company name in A1, the title in A2,
// the header row in row 4 and one row per record from row 5. The articles
// may be grouped by brand or by category, each group after a blank row.
// Cells are typed: the article number is a number cell; every text field
// is a text cell as stored, without its trailing blanks, and an empty text
// writes no cell. A stored text that is not UTF-8 (an outside edit of the
// database) is written with U+FFFD in place of each bad part, and counted
// so that the user can be told.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/thread_table_set.h"
#include "export/automation/container.h"
#include "export/automation/spreadsheet_automation.h"
#include "export/automation/status.h"

namespace tv::exports {

using automation::Status;

// One cell of an export row.
struct ExportValue {
    enum class Kind { Empty, Text, Number };
    Kind kind = Kind::Empty;
    std::string text;
    double number = 0;
    bool repaired = false;  // the stored text had bytes that are not UTF-8

    static ExportValue Text(std::string_view t);   // trailing blanks dropped; blank is Empty; made readable
    static ExportValue Number(double d);
    bool operator==(const ExportValue&) const = default;
};
// Columns from A. A row with no cells is the blank row before a group.
using ExportRow = std::vector<ExportValue>;
// Takes one row; false stops the reading.
using RowSink = std::function<bool(const ExportRow&)>;

enum class ExportKind { Articles, Suppliers };

struct ExportLayout {
    std::string title;                 // A2
    std::vector<std::string> headers;  // row 4 from A; an empty header writes no cell
};
const ExportLayout& LayoutOf(ExportKind kind);

inline constexpr int32_t kTitleRow = 2;
inline constexpr int32_t kHeaderRow = 4;
inline constexpr int32_t kFirstDataRow = 5;

// The supplier window's choice: 1 every supplier, 2 a range of ids, 3 one id.
struct SupplierChoice {
    int suppliers = 1;
    double first = 0, last = 0, id = 0;
};
// "" | "pvd:ID >= 3 and pvd:ID <= 7" | "pvd:ID = 5"
std::string SupplierFilter(const SupplierChoice& choice);
// A number as the filters write it: whole numbers without a decimal point.
std::string FilterNumber(double d);

// The rows of the articles that pass `filter` (the report filter window's
// text, without its stock clause), in `order` (its whole part): 1 by
// article number, 2 by brand then number, 3 by category then number; any
// other order gives no rows. Orders 2 and 3 put a blank row before each
// group whose code differs from the one before (the first included, unless
// its code is 0).
Status ReadArticleRows(data::ThreadTableSet& set, std::string_view filter, double order, const RowSink& onRow);
// The rows of the suppliers that pass `filter`, in stored order, with their
// city, state and country as their catalogues write them (blank when the
// name is not in the catalogue).
Status ReadSupplierRows(data::ThreadTableSet& set, std::string_view filter, const RowSink& onRow);

// Everything one export needs.
struct ExportRequest {
    ExportKind kind = ExportKind::Articles;
    std::string filter;
    double order = 1;           // articles only
    std::string company;        // A1
    std::string path;           // the .xlsx file to write
};
// What an export wrote.
struct ExportSummary {
    int64_t rows = 0;            // data rows, blank group rows included
    int64_t repairedTexts = 0;   // cells whose stored text was not UTF-8
    std::string firstRepaired;   // the first of them ("B7"), or empty
};

// The whole export: binds the component to the container (creating the
// spreadsheet application there when it holds none), adds a workbook,
// writes the title block, the headers and the rows cell by cell, saves the
// workbook as request.path and closes it. On a failure the workbook is
// closed unsaved and the status says why.
Status RunExport(automation::SpreadsheetAutomation& xl, automation::AutomationContainer& container,
                 data::ThreadTableSet& set, const ExportRequest& request, ExportSummary* summary = nullptr);

// What the user is told about the texts an export had to repair; empty
// when there were none.
std::string RepairedTextsNotice(const ExportSummary& summary);

}  // namespace tv::exports
