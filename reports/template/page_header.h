#pragma once
// What the reports' layouts share: the letter page with its page header
// area and report area, and the page header every report prints (the
// company name centred at the top, the page number at the top right, the
// title centred below it, the column headings, and a line under them).
#include <string>
#include <vector>

#include "platform/report/layout.h"

namespace tv::reports {

// A column heading of the page header.
struct Heading {
    std::string text;
    report::Mils x = 0;
    report::Mils w = 0;  // the box of a right-aligned or centred heading
    report::Align align = report::Align::Left;
};

// Where the page header's items stand (thousandths of an inch, from the
// page header area's corner).
inline constexpr report::Mils kHeadingY = 688;
inline constexpr report::Mils kHeaderLineY = 885;
inline constexpr report::Mils kReportWidth = 8000;

report::Band StandardPageHeader(const std::string& title, const std::vector<Heading>& headings,
                                bool lineUnder = true);

// A layout on the letter page: the page header at (250, 250), 8,000 by
// 927; the report area from (250, 1,198), 8,000 by 9,604; no page footer.
report::ReportLayout StandardReportLayout(const std::string& layoutTitle, report::Band pageHeader);

// The size of the reports' text: the company name and the title stand out
// in bold at the default size; every item left at the default font gets
// this one, so the columns fit their places.
inline constexpr double kReportFontSize = 8;
void UseReportFont(report::ReportLayout& l);

// A number of a decimal field of 11 digits with 2 places (9 whole digits):
// right-aligned in its box, flagged when a value does not fit the field.
report::Item Amount(const std::string& field, report::Mils x, report::Mils y, report::Mils w,
                    const std::string& picture = "n-14.2");

}  // namespace tv::reports
