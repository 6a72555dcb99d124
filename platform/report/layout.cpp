#include "platform/report/layout.h"

#include <algorithm>
#include <set>

#include "platform/types/picture.h"

namespace tv::report {

Item Item::fixed(std::string text, Mils x, Mils y, Mils w, Align a) {
    Item i;
    i.kind = ItemKind::Text;
    i.text = std::move(text);
    i.x = x, i.y = y, i.w = w, i.align = a;
    return i;
}

Item Item::value(std::string field, std::string picture, Mils x, Mils y, Mils w, Align a) {
    Item i;
    i.kind = ItemKind::Field;
    i.field = std::move(field);
    i.picture = std::move(picture);
    i.x = x, i.y = y, i.w = w, i.align = a;
    return i;
}

Item Item::pageNumber(Mils x, Mils y, Mils w, Align a) { return value({}, "p<<#p", x, y, w, a); }

Item Item::sum(std::string field, std::string picture, Mils x, Mils y, Mils w, TotalReset reset,
               Align a) {
    Item i = value(field, std::move(picture), x, y, w, a);
    i.total = TotalKind::Sum;
    i.totalOf = std::move(field);
    i.reset = reset;
    return i;
}

Item Item::count(std::string picture, Mils x, Mils y, Mils w, TotalReset reset, Align a) {
    Item i = value({}, std::move(picture), x, y, w, a);
    i.total = TotalKind::Count;
    i.reset = reset;
    return i;
}

Item Item::line(Mils x, Mils y, Mils w, Mils h, bool doubleLine, Mils pen) {
    Item i;
    i.kind = ItemKind::Line;
    i.x = x, i.y = y, i.w = w, i.h = h;
    i.doubleLine = doubleLine;
    i.pen = pen;
    return i;
}

Item Item::box(Mils x, Mils y, Mils w, Mils h, int fill) {
    Item i;
    i.kind = ItemKind::Box;
    i.x = x, i.y = y, i.w = w, i.h = h;
    i.fill = fill;
    return i;
}

Item Item::image(std::string path, Mils x, Mils y, Mils w, Mils h) {
    Item i;
    i.kind = ItemKind::Image;
    i.imagePath = std::move(path);
    i.x = x, i.y = y, i.w = w, i.h = h;
    return i;
}

Item Item::checkBox(std::string field, std::string caption, Mils x, Mils y) {
    Item i;
    i.kind = ItemKind::CheckBox;
    i.field = std::move(field);
    i.text = std::move(caption);
    i.x = x, i.y = y;
    return i;
}

Item Item::radio(std::string field, std::string value, std::string caption, Mils x, Mils y) {
    Item i;
    i.kind = ItemKind::Radio;
    i.field = std::move(field);
    i.radioValue = std::move(value);
    i.text = std::move(caption);
    i.x = x, i.y = y;
    return i;
}

namespace {

template <class F>
void forEachBand(const ReportLayout& l, F f) {
    f(l.pageForm, "page form");
    f(l.pageHeader, "page header");
    f(l.pageFooter, "page footer");
    for (const GroupBreak& g : l.groups) {
        if (g.header) f(*g.header, "group header");
        if (g.footer) f(*g.footer, "group footer");
    }
    f(l.detail, "detail");
}

}  // namespace

std::vector<std::string> ReportLayout::referencedFields() const {
    std::vector<std::string> out;
    std::set<std::string> seen;
    auto add = [&](const std::string& f) {
        if (!f.empty() && seen.insert(f).second) out.push_back(f);
    };
    for (const GroupBreak& g : groups) add(g.field);
    forEachBand(*this, [&](const Band& b, const char*) {
        for (const Item& i : b.items) {
            add(i.field);
            add(i.totalOf);
        }
    });
    return out;
}

std::optional<std::string> ReportLayout::check() const {
    if (pageWidth <= 0 || pageHeight <= 0) return "the page has no size";
    if (detailArea.h <= 0 || detailArea.w <= 0) return "the report area has no size";
    std::optional<std::string> problem;
    forEachBand(*this, [&](const Band& b, const char* name) {
        if (problem) return;
        if (b.height < 0) problem = std::string(name) + " band has a negative height";
        for (const Item& i : b.items) {
            if (problem) return;
            if (i.kind == ItemKind::Field && !i.picture.empty() && !Picture::parse(i.picture))
                problem = std::string(name) + " band: unknown picture \"" + i.picture + "\"";
            else if (i.total == TotalKind::Sum && i.totalOf.empty() && i.field.empty())
                problem = std::string(name) + " band: a sum names no field";
            else if (i.total != TotalKind::None && i.reset == TotalReset::Group &&
                     i.resetGroup >= static_cast<int>(groups.size()))
                problem = std::string(name) + " band: a total resets on a group that does not exist";
        }
    });
    return problem;
}

}  // namespace tv::report
