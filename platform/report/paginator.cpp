#include "platform/report/paginator.h"

#include <cmath>

#include "platform/report/page_geometry.h"
#include "platform/types/picture.h"
#include "platform/types/text.h"

namespace tv::report {

namespace {

Mils defaultTextHeight(const Font& f) {
    return static_cast<Mils>(std::lround(f.size * 1000.0 / 72.0 * 1.25));
}

// Whether |d| < 10^digits.
bool fitsWholeDigits(const Decimal& d, int digits) { return d.integerDigits() <= digits; }

bool radioSelected(const Value& v, const std::string& want) {
    if (v.isNumber()) {
        std::optional<Decimal> d = Decimal::parse(want);
        return d && *d == *v.numberPtr();
    }
    return rtrim(*v.textPtr()) == rtrim(want);
}

}  // namespace

Paginator::Paginator(ReportLayout layout) : layout_(std::move(layout)) {
    fields_ = layout_.referencedFields();
    const int innermost = static_cast<int>(layout_.groups.size()) - 1;
    auto collect = [&](const Band& band, int ownGroup) {
        for (const Item& it : band.items) {
            if (it.total == TotalKind::None) continue;
            Total t;
            t.item = &it;
            if (it.reset == TotalReset::Group) {
                t.resetGroup = it.resetGroup >= 0 ? it.resetGroup : ownGroup;
            } else if (it.reset == TotalReset::Page) {
                t.perPage = true;
            }
            totalOfItem_[&it] = totals_.size();
            totals_.push_back(t);
        }
    };
    collect(layout_.pageForm, innermost);
    collect(layout_.pageHeader, innermost);
    collect(layout_.pageFooter, innermost);
    for (std::size_t g = 0; g < layout_.groups.size(); ++g) {
        if (layout_.groups[g].header) collect(*layout_.groups[g].header, static_cast<int>(g));
        if (layout_.groups[g].footer) collect(*layout_.groups[g].footer, static_cast<int>(g));
    }
    collect(layout_.detail, innermost);
    keys_.resize(layout_.groups.size());
}

ValueMap Paginator::snapshot(const RecordValues& record, const Band* extra) const {
    ValueMap out;
    for (const std::string& f : fields_) out.set(f, record.value(f));
    if (extra)
        for (const Item& it : extra->items)
            if (!it.field.empty()) out.set(it.field, record.value(it.field));
    return out;
}

std::string Paginator::breakKey(const ValueMap& values, std::size_t group) const {
    const std::string& f = layout_.groups[group].field;
    if (f.empty()) return {};
    Value v = values.value(f);
    return v.isNumber() ? v.asText() : std::string(rtrim(*v.textPtr()));
}

void Paginator::addRecord(const RecordValues& record) {
    if (finished_) return;
    ValueMap cur = snapshot(record);
    const std::size_t n = layout_.groups.size();
    std::size_t level = started_ ? n : 0;
    if (started_) {
        for (std::size_t g = 0; g < n; ++g) {
            if (breakKey(cur, g) != keys_[g]) {
                level = g;
                break;
            }
        }
        if (level < n) printFooters(level, last_);
    }
    for (std::size_t g = level; g < n; ++g) keys_[g] = breakKey(cur, g);
    started_ = true;

    if (level < n) {
        // A group header does not stay alone at the foot of a page.
        Mils need = layout_.detail.height;
        bool keep = false;
        for (std::size_t g = level; g < n; ++g) {
            if (!layout_.groups[g].header) continue;
            need += layout_.groups[g].header->height;
            keep = keep || layout_.groups[g].keepHeaderWithDetail;
        }
        if (!pageOpen_) startPage(cur);
        if (keep && bodyUsed_ && cursor_ + need > bottom()) {
            closePage();
            startPage(cur);
        }
        for (std::size_t g = level; g < n; ++g)
            if (layout_.groups[g].header) printFlowBand(*layout_.groups[g].header, cur);
    }
    // The page is settled before the record counts, so that page totals
    // count it on the page it prints on.
    ensureRoom(layout_.detail.height, cur);
    accumulate(cur);
    printFlowBand(layout_.detail, cur);
    ++records_;
}

void Paginator::printBand(const Band& band, const RecordValues& record) {
    if (finished_) return;
    printFlowBand(band, snapshot(record, &band));
}

std::vector<Page> Paginator::finish() {
    if (!finished_) {
        if (started_) {
            printFooters(0, last_);
            if (pageOpen_) closePage();
        }
        finished_ = true;
    }
    return pages_;
}

void Paginator::printFooters(std::size_t downTo, const ValueMap& values) {
    for (std::size_t g = layout_.groups.size(); g-- > downTo;) {
        if (layout_.groups[g].footer) printFlowBand(*layout_.groups[g].footer, values);
        resetTotals(static_cast<int>(g));
    }
}

void Paginator::resetTotals(int group) {
    for (Total& t : totals_) {
        if (t.resetGroup == group) {
            t.sum = Decimal();
            t.count = 0;
        }
    }
}

void Paginator::accumulate(const ValueMap& values) {
    for (Total& t : totals_) {
        ++t.count;
        if (t.item->total == TotalKind::Sum) {
            const std::string& f = t.item->totalOf.empty() ? t.item->field : t.item->totalOf;
            t.sum += values.value(f).asNumber();
        }
    }
}

void Paginator::ensureRoom(Mils height, const ValueMap& values) {
    if (!pageOpen_) startPage(values);
    // A band taller than the whole area prints at the top of a page, cut.
    if (bodyUsed_ && cursor_ + height > bottom()) {
        closePage();
        startPage(values);
    }
}

void Paginator::printFlowBand(const Band& band, const ValueMap& values) {
    ensureRoom(band.height, values);
    placeBand(band, layout_.detailArea.x, cursor_, values);
    cursor_ += band.height;
    bodyUsed_ = true;
    last_ = values;
}

void Paginator::startPage(const ValueMap& values) {
    current_ = Page{};
    current_.number = ++pageCount_;
    current_.width = layout_.pageWidth;
    current_.height = layout_.pageHeight;
    pageOpen_ = true;
    bodyUsed_ = false;
    cursor_ = layout_.detailArea.y;
    for (Total& t : totals_) {
        if (t.perPage) {
            t.sum = Decimal();
            t.count = 0;
        }
    }
    placeBand(layout_.pageForm, 0, 0, values);
    placeBand(layout_.pageHeader, layout_.pageHeaderArea.x, layout_.pageHeaderArea.y, values);
}

void Paginator::closePage() {
    placeBand(layout_.pageFooter, layout_.pageFooterArea.x, layout_.pageFooterArea.y, last_);
    pageOpen_ = false;
    if (sink_) {
        sink_(std::move(current_));
    } else {
        current_.items.shrink_to_fit();
        pages_.push_back(std::move(current_));
    }
    current_ = Page{};
}

void Paginator::placeBand(const Band& band, Mils ox, Mils oy, const ValueMap& values) {
    for (const Item& it : band.items) placeItem(it, ox, oy, values);
}

std::shared_ptr<const ImageData> Paginator::image(const std::string& path) {
    auto it = images_.find(path);
    if (it != images_.end()) return it->second;
    auto img = ImageData::load(path);
    images_[path] = img;
    return img;
}

void Paginator::placeItem(const Item& it, Mils ox, Mils oy, const ValueMap& values) {
    Page& page = current_;
    Primitive p;
    p.x = ox + it.x;
    p.y = oy + it.y;
    p.w = it.w;
    p.h = it.h;
    p.font = it.font;
    p.align = it.align;
    p.pen = it.pen;
    p.doubleLine = it.doubleLine;
    switch (it.kind) {
    case ItemKind::Text:
        p.kind = PrimKind::Text;
        p.text = it.text;
        fitInBox(p, false);
        break;
    case ItemKind::Field: {
        p.kind = PrimKind::Text;
        std::optional<Picture> pic;
        if (!it.picture.empty()) pic = Picture::parse(it.picture);
        Value v;
        if (pic && pic->kind() == Picture::Kind::Page) {
            v = Value(page.number);
        } else if (auto t = totalOfItem_.find(&it); t != totalOfItem_.end()) {
            const Total& total = totals_[t->second];
            v = it.total == TotalKind::Count ? Value(total.count) : Value(total.sum);
        } else {
            v = values.value(it.field);
        }
        std::string shown = pic ? pic->format(v) : v.asText();
        p.text = std::string(trim(shown));
        if (p.text.empty()) return;
        if (it.wholeDigits > 0 && v.isNumber() && !fitsWholeDigits(*v.numberPtr(), it.wholeDigits))
            p.text += kOverflowMark;
        // Nothing runs over its neighbours: what is too wide shrinks into its box.
        fitInBox(p, v.isNumber());
        if (p.text.empty()) return;
        break;
    }
    case ItemKind::Line:
        p.kind = PrimKind::Line;
        break;
    case ItemKind::Box:
        p.kind = PrimKind::Rect;
        p.fill = it.fill;
        p.border = it.border;
        break;
    case ItemKind::Image: {
        std::string path = it.imagePath;
        if (path.empty() && !it.field.empty())
            path = std::string(trim(values.value(it.field).asText()));
        if (path.empty()) return;
        auto img = image(path);
        // A picture that cannot be read leaves its place blank.
        if (!img->valid()) return;
        p.kind = PrimKind::Image;
        p.image = std::move(img);
        break;
    }
    case ItemKind::CheckBox:
        p.kind = PrimKind::CheckBox;
        p.text = it.text;
        p.checked = values.value(it.field).truthy();
        break;
    case ItemKind::Radio:
        p.kind = PrimKind::Radio;
        p.text = it.text;
        p.checked = radioSelected(values.value(it.field), it.radioValue);
        break;
    }
    if ((p.kind == PrimKind::Text || p.kind == PrimKind::CheckBox || p.kind == PrimKind::Radio) &&
        p.h == 0)
        p.h = defaultTextHeight(p.font);
    page.items.push_back(std::move(p));
}

}  // namespace tv::report
