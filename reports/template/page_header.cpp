#include "reports/template/page_header.h"

namespace tv::reports {

using report::Align;
using report::Item;

report::Band StandardPageHeader(const std::string& title, const std::vector<Heading>& headings, bool lineUnder) {
    report::Band b;
    b.height = 927;
    const report::Font strong{"Arial", 10, true, false};
    b.items.push_back(Item::value("GLO:EMPRESA", "s60", 1708, 0, 4583, Align::Center).withFont(strong));
    b.items.push_back(Item::pageNumber(7385, 0, 250, Align::Right));
    b.items.push_back(Item::fixed(title, 1708, 208, 4583, Align::Center).withFont(strong));
    for (const Heading& h : headings) b.items.push_back(Item::fixed(h.text, h.x, kHeadingY, h.w, h.align));
    if (lineUnder) b.items.push_back(Item::line(0, kHeaderLineY, kReportWidth, 0));
    return b;
}

report::ReportLayout StandardReportLayout(const std::string& layoutTitle, report::Band pageHeader) {
    report::ReportLayout l;
    l.title = layoutTitle;
    l.pageWidth = report::kLetterWidth;
    l.pageHeight = report::kLetterHeight;
    l.pageHeaderArea = {250, 250, kReportWidth, 927};
    l.pageHeader = std::move(pageHeader);
    l.detailArea = {250, 1198, kReportWidth, 9604};
    l.pageFooterArea = {250, 10802, kReportWidth, 0};
    return l;
}

void UseReportFont(report::ReportLayout& l) {
    auto apply = [](report::Band& b) {
        for (Item& i : b.items)
            if (i.font == report::Font{}) i.font.size = kReportFontSize;
    };
    apply(l.pageForm);
    apply(l.pageHeader);
    apply(l.pageFooter);
    for (report::GroupBreak& g : l.groups) {
        if (g.header) apply(*g.header);
        if (g.footer) apply(*g.footer);
    }
    apply(l.detail);
}

report::Item Amount(const std::string& field, report::Mils x, report::Mils y, report::Mils w,
                    const std::string& picture) {
    return Item::value(field, picture, x, y, w, Align::Right).withWholeDigits(9);
}

}  // namespace tv::reports
