#pragma once
// The document printout: one document's lines, one detail band per line
// under a page header that shows the document's header data, into the print
// preview, from which the pages go to the printer or to an HTML, PDF or text
// file. The receipt, issue, purchase-order and physical-count printouts are
// each a DocumentPrintoutSetup handed to RunDocumentPrintout:
//
//     DocumentPrintoutSetup s;
//     s.procedure = "ImprimirEntrada";
//     s.layout = ...;                                  // page header + detail band
//     s.lines = data::TableId::DetEntradas;
//     s.linkKey = "DEN:KeyEntrada";
//     s.range = PrintoutRange::LineBufferValue;        // DEN:ENTRADA as the buffer holds it
//     s.linkField = "DEN:ENTRADA";
//     s.joins = {{data::TableId::Entradas, "ENT:KeyFolio", {{"ENT:Folio", "DEN:ENTRADA"}}}, ...};
//     s.compute = [](const report::RecordValues& r, report::OverlayValues& o) { ... LOC:IMPORTE ... };
//     RunDocumentPrintout(s);
//
// A printout is a report procedure without parameters: it takes its request
// from CallRequest (the list passes 5), keeps to one run per procedure name
// through RunningProcedures, reads on the caller's thread with the caller's
// record buffers, and writes nothing. With no line in range it says
// message 25 and shows nothing.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "data/tables.h"
#include "platform/report/layout.h"
#include "platform/report/record_source.h"

namespace tv {
class IniStore;
}

namespace tv::report {
class ReportRunController;
}

namespace tv::app {

// How a printout limits its lines to one document.
enum class PrintoutRange {
    LineBufferValue,   // the link field's value in the line buffer when the printout starts
    HeaderRelation,    // the declared relation to the header table's current record
};

// A table joined to each line (the header, its look-ups, the article, its unit).
struct PrintoutJoin {
    data::TableId table{};
    std::string key;                                          // "ENT:KeyFolio"
    std::vector<std::pair<std::string, std::string>> links;   // {"ENT:Folio", "DEN:ENTRADA"}
};

struct DocumentPrintoutSetup {
    std::string procedure;                 // "ImprimirEntrada": tracking, PDF program name and subject
    report::ReportLayout layout;
    data::TableId lines{};                 // the line table
    std::string linkKey;                   // its key on the link to the header ("DEN:KeyEntrada")
    PrintoutRange range = PrintoutRange::LineBufferValue;
    std::string linkField;                 // LineBufferValue: the line's link field ("DEN:ENTRADA")
    data::TableId header{};                // HeaderRelation: the header table
    std::string addedOrder;                // ordered further after the key ("dfi:CodigoArticulo")
    std::vector<PrintoutJoin> joins;       // in order: a join may read fields of an earlier one
    // The printout's own step for each line before its detail band prints (LOC:IMPORTE).
    std::function<void(const report::RecordValues&, report::OverlayValues&)> compute;
};

// The settings every document printout makes.
inline constexpr int kPrintoutZoom = 100;
inline constexpr const char* kPdfTitle = "QJ Report";
inline constexpr const char* kPdfApplication = "talvor";
inline constexpr const char* kPrinterDialogCaption = "Choose Printer";

// Gives the run the writers' options, the preview's settings and the
// placement store every document printout uses (tests look at them).
void ConfigureDocumentPrintout(report::ReportRunController& run, const std::string& procedure,
                               IniStore* placements);

// Runs the printout on the calling logical thread; leaves CallResponse 1
// when the preview was shown, 2 when nothing was (no lines, cancelled, or
// the printout was already running).
void RunDocumentPrintout(const DocumentPrintoutSetup& setup);

// Where the preview keeps its placement ("_PreviewWindow_"): nullptr is the
// program's INI store. Tests give a store in their scratch folder.
void SetPrintoutPlacementStore(IniStore* store);

}  // namespace tv::app
