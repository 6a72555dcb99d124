#include "platform/report/page_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/report/win_ansi.h"

namespace tv::report {

namespace {

constexpr double kMilsPerPoint = 1000.0 / 72.0;
constexpr Mils kCaptionGap = 60;  // between a mark and its caption

bool intersect(const Rect& a, const Rect& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

bool hasArea(const Rect& r) { return r.w > 0 && r.h > 0; }

// Drops the last UTF-8 character.
void dropLastChar(std::string& s) {
    if (s.empty()) return;
    std::size_t i = s.size() - 1;
    while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
    s.erase(i);
}

}  // namespace

Mils textWidth(std::string_view utf8, const Font& font) {
    const double points = textWidth1000(toWinAnsi(utf8), standardFontFor(font)) * font.size / 1000.0;
    // A hair under a whole mil is rounding, not width.
    return static_cast<Mils>(std::ceil(points * kMilsPerPoint - 1e-6));
}

Mils textHeight(const Font& font) { return static_cast<Mils>(std::lround(font.size * kMilsPerPoint * 1.15)); }

Rect inkRect(const Primitive& p) {
    switch (p.kind) {
    case PrimKind::Text: {
        const Mils width = textWidth(p.text, p.font);
        // Only a left-aligned text is cut at its box's edge.
        const Mils ink = (p.align == Align::Left && p.w > 0) ? std::min(width, p.w) : width;
        Mils x = p.x;
        if (p.align == Align::Right) x = p.w > 0 ? p.x + p.w - ink : p.x - ink;
        else if (p.align == Align::Center) x = p.w > 0 ? p.x + (p.w - ink) / 2 : p.x - ink / 2;
        return {x, p.y, ink, textHeight(p.font)};
    }
    case PrimKind::CheckBox:
    case PrimKind::Radio: {
        Rect r{p.x, p.y, kMarkSize, kMarkSize};
        if (!p.text.empty()) {
            r.w += kCaptionGap + textWidth(p.text, p.font);
            r.h = std::max(r.h, textHeight(p.font));
        }
        return r;
    }
    case PrimKind::Line: {
        const Mils pen = std::max<Mils>(1, p.doubleLine ? 3 * p.pen : p.pen);
        Rect r{std::min(p.x, p.x + p.w), std::min(p.y, p.y + p.h), std::abs(p.w), std::abs(p.h)};
        if (r.h == 0) {
            r.y -= pen / 2;
            r.h = pen;
        }
        if (r.w == 0) {
            r.x -= pen / 2;
            r.w = pen;
        }
        return r;
    }
    case PrimKind::Rect:
    case PrimKind::Image:
        return {p.x, p.y, p.w, p.h};
    }
    return {};
}

void fitInBox(Primitive& p, bool number) {
    if (p.kind != PrimKind::Text || p.w <= 0 || p.text.empty()) return;
    const Mils width = textWidth(p.text, p.font);
    if (width <= p.w) return;
    if (!number && p.align == Align::Left) return;
    // What fills its box would touch the text beside it ("0.00" and
    // "1,999.98" reading as "0.001,999.98"): it keeps a blank's width clear.
    const Mils room = std::max<Mils>(1, p.w - textWidth(" ", p.font));
    // Sizes in tenths of a point: widths grow with the size, so the first
    // guess is close and a few steps down settle it.
    const int tenths = static_cast<int>(std::lround(p.font.size * 10));
    const int smallest = static_cast<int>(std::ceil(tenths * kSmallestShrink));
    Font f = p.font;
    for (int t = std::min(tenths - 1, static_cast<int>(tenths * static_cast<double>(room) / width)); t >= smallest;
         --t) {
        f.size = t / 10.0;
        if (textWidth(p.text, f) <= room) {
            // On the line's baseline, as its neighbours.
            p.y += static_cast<Mils>(std::lround((p.font.size - f.size) * kMilsPerPoint * kTextAscent));
            p.font.size = f.size;
            return;
        }
    }
    if (number) {
        // Too large to read in its place: marks that say so, not digits
        // that would read as another value.
        std::string marks;
        while (textWidth(marks + "#", p.font) <= room) marks += '#';
        p.text = marks;
        return;
    }
    p.y += static_cast<Mils>(std::lround((p.font.size - smallest / 10.0) * kMilsPerPoint * kTextAscent));
    p.font.size = smallest / 10.0;
    while (p.text.size() > 1 && textWidth(p.text, p.font) > room) dropLastChar(p.text);
}

std::vector<std::pair<std::size_t, std::size_t>> overlaps(const Page& page) {
    struct Placed {
        std::size_t index;
        Rect r;
    };
    std::vector<Placed> ink, lines;
    for (std::size_t i = 0; i < page.items.size(); ++i) {
        const Primitive& p = page.items[i];
        const Rect r = inkRect(p);
        if (!hasArea(r)) continue;
        switch (p.kind) {
        case PrimKind::Text:
            if (!p.text.empty()) ink.push_back({i, r});
            break;
        case PrimKind::CheckBox:
        case PrimKind::Radio:
        case PrimKind::Image:
            ink.push_back({i, r});
            break;
        case PrimKind::Line:
            lines.push_back({i, r});
            break;
        case PrimKind::Rect:
            break;
        }
    }
    std::vector<std::pair<std::size_t, std::size_t>> out;
    auto add = [&](std::size_t a, std::size_t b) { out.emplace_back(std::min(a, b), std::max(a, b)); };
    for (std::size_t i = 0; i < ink.size(); ++i) {
        for (std::size_t j = i + 1; j < ink.size(); ++j)
            if (intersect(ink[i].r, ink[j].r)) add(ink[i].index, ink[j].index);
        for (const Placed& l : lines)
            if (intersect(ink[i].r, l.r)) add(ink[i].index, l.index);
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace tv::report
