#pragma once
// The report procedure every report of the system shares: it takes a filter
// text, reads the records of one ordered view (a primary table with the
// tables read by key for each record) that pass it, works out the report's
// own values for each record and prints its layout; then shows the pages in
// the print preview, from which the user prints them or saves them as text,
// HTML or PDF.
//
// A report describes itself with a ReportDefinition:
//
//     ReportDefinition d;
//     d.procedure = "ImpresionExistencias";
//     d.primary = data::TableId::Articulo;
//     d.lookups = {{data::TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
//     d.sortKey = "ART:KeyNoArt";
//     d.progressField = "ART:NoArt";
//     d.layout = StockLayout;
//     d.compute = [](const report::RecordValues& r, report::OverlayValues& out) { ... };
//     RunReport(d, filter);
//
// The record loop runs from the progress window's timer in batches, so the
// windows stay responsive and "Cancelar" stops it at once. Without a record
// message 25 is shown and no preview opens; a filter text that cannot be
// read is told with its reason and no report runs.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/tables.h"
#include "platform/report/layout.h"
#include "platform/report/page.h"
#include "platform/report/record_source.h"

namespace tv {
class IniStore;
}
namespace tv::view {
class ViewCursor;
class TableSetView;
}  // namespace tv::view
namespace tv::report {
class PageOutput;
class ViewRecordSource;
}

namespace tv::reports {

// A table read by key for each record (the unit of an article): each link
// is (field of the table, field of a table before it in the view), one per
// leading key component. A code with no row leaves the table's buffer
// cleared, so its fields print blank.
struct ReportLookup {
    data::TableId table{};
    std::string key;
    std::vector<std::pair<std::string, std::string>> links;
};

struct ReportDefinition {
    std::string procedure;                 // its name in RunningProcedures and the PDF's producer
    data::TableId primary{};
    std::vector<ReportLookup> lookups;
    std::string sortKey;                   // a key of the primary table
    std::string addedOrder;                // an order text after the key's ("art:marca")
    std::string progressField;             // the ordering field the percentage follows
    std::function<report::ReportLayout()> layout;
    // The report's own values (LOC:...), worked out before each detail prints.
    std::function<void(const report::RecordValues&, report::OverlayValues&)> compute;
};

// The INI store that keeps the preview's placement (nullptr: the program's).
void SetReportIniStore(IniStore* store);
IniStore& ReportIniStore();

// Tells the user that the filter text cannot be read (the report does not run).
void ShowBadFilter(const std::string& reason);

// The report's view over the current thread's tables, fed to the layout.
class ReportView {
public:
    explicit ReportView(const ReportDefinition& def);
    ~ReportView();
    ReportView(const ReportView&) = delete;
    ReportView& operator=(const ReportView&) = delete;

    // Builds the view with the filter text. False, with the reason in
    // *error, when a table cannot be used or the text cannot be read.
    bool SetUp(std::string_view filter, std::string* error);
    report::ViewRecordSource& Source() { return *source_; }
    view::ViewCursor& Cursor() { return *cursor_; }

private:
    const ReportDefinition& def_;
    std::unique_ptr<view::ViewCursor> cursor_;
    std::unique_ptr<view::TableSetView> tables_;
    std::unique_ptr<report::ViewRecordSource> source_;
};

// The report without windows, on the current thread: its pages (none when
// no record passes the filter, after message 25, or when the filter cannot
// be read: then `error` says why and nothing is shown).
struct ReportPages {
    int response = 2;  // 1 printed, 2 not
    std::vector<report::Page> pages;
    std::string error;
};
ReportPages PrintReportPages(const ReportDefinition& def, std::string_view filter);

// The report without windows straight into an output (a writer's file, the
// printer), each page written as it completes, so that memory stays the same
// however many records it prints. `response` is 1 when the output is
// complete; 2 when no record passed the filter (message 25), the filter
// could not be read or the output failed (`error` says why).
struct ReportOutcome {
    int response = 2;
    std::string error;
};
ReportOutcome PrintReportTo(const ReportDefinition& def, std::string_view filter, report::PageOutput& out);

// Control numbers of the progress window "Imprimiendo...".
enum ProgressControl : int {
    kProgressThermometer = 1,  // ?PROGRESS:THERMOMETER
    kProgressUserString = 2,   // ?PROGRESS:USERSTRING
    kProgressPctText = 3,      // ?PROGRESS:PCTTEXT
    kProgressCancel = 4,       // ?PROGRESS:CANCEL
};

// The report procedure: progress window, record loop, preview. CallResponse
// is 1 when it ran to its last record, 2 when it was cancelled, found no
// record or did not start (its window is open on another thread).
void RunReport(const ReportDefinition& def, std::string_view filter);

}  // namespace tv::reports
