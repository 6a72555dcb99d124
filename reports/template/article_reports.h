#pragma once
// What the reports over the article catalogue share: their view (by number,
// or grouped by brand or category with the group's name read for each
// article), the group heading, and the detail of the stock and pending
// reports (number, description, unit and three amounts).
#include <string>

#include "platform/report/layout.h"
#include "reports/template/report_procedure.h"

namespace tv::reports {

enum class ArticleGrouping { None, Brand, Category };

// Primary table Articulo with its unit; the key, the progress field and,
// for a grouped report, the brand or category read for each article and
// (when `appendOrderText`) the grouping field appended to the key's order.
void SetArticleView(ReportDefinition& d, ArticleGrouping g, bool appendOrderText);

// "Marca:" or "Categoría:" with the name of the group's code.
report::GroupBreak ArticleGroupHeading(ArticleGrouping g);

// Stock on hand: opening stock plus receipts minus issues, two places.
Decimal StockOnHand(const report::RecordValues& r);

// Where the unit's name prints on a detail line: wide enough for twelve
// capitals (and a blank after them in the text output).
inline constexpr report::Mils kUnitWidth = 1100;
inline constexpr report::Mils kUnitX = 4100;

// A detail line: number, description, unit, then three amounts that end
// where the next one starts.
report::Band ArticleAmountsDetail(const std::string& first, const std::string& second, const std::string& third);

}  // namespace tv::reports
