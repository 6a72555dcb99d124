#pragma once
// What a document's list and its form show of the document's lines alike:
// the lines of the document in the thread's header buffer, and their amount.
#include <functional>
#include <vector>

#include "app/browse/browse_list.h"
#include "platform/report/layout.h"
#include "platform/report/record_source.h"

namespace tv::movements {

// The order of the lines' link key (DEN:KeyEntrada), limited to the lines of
// the folio in the buffer of `header`.
app::BrowseOrderSetup DocumentLinesOrder(const char* linkKey, data::TableId header);
// The line's amount (quantity x cost, 2 places), computed for each row under `name`.
app::BrowseColumn LineAmountColumn(const char* name, data::TableId lines, const char* quantity, const char* cost);

// The printout's step for each line: LOC:IMPORTE, the line's amount.
std::function<void(const report::RecordValues&, report::OverlayValues&)> LineAmountStep(const char* quantity,
                                                                                        const char* cost);
// The top of a document printout's page: the company name and `title`
// centred, the page number at the right.
std::vector<report::Item> DocumentPageTop(const char* title);
// The page header of a document printout: the company name and `title` at
// the top, the page number at the right, the columns' headings at `headingsY`
// ("Codigo", `description`, "UM", "Cantidad", "Costo", "Importe") with a line
// under them; the document's own items go between.
std::vector<report::Item> DocumentPageHeader(const char* title, const char* description, report::Mils headingsY,
                                             std::vector<report::Item> own);
// The detail band of a document printout: the line's article, its
// description and unit, the quantity, the cost and LOC:IMPORTE.
report::Band LineDetailBand(const char* article, const char* quantity, const char* cost);
// Every item of the page header and the detail band without a font of its
// own in `points` (the columns of the document printouts are set out for 8).
void SetPlainFontSize(report::ReportLayout& l, int points);

}  // namespace tv::movements
