#include "platform/report/preview_logic.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "platform/types/text.h"

namespace tv::report {

namespace {

bool readNumber(std::string_view s, int& out) {
    s = trim(s);
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

}  // namespace

std::optional<std::vector<int>> parsePageList(std::string_view text, int pageCount, std::string* error) {
    if (text.size() > kPageListMaxLength) {
        fail(error, "La lista de páginas es demasiado larga.");
        return std::nullopt;
    }
    if (trim(text).empty()) {
        fail(error, "Indique las páginas a imprimir, por ejemplo 1-3,5.");
        return std::nullopt;
    }
    std::set<int> pages;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t comma = text.find(',', pos);
        std::string_view part = text.substr(pos, comma == std::string_view::npos ? std::string_view::npos
                                                                                 : comma - pos);
        std::string shown(trim(part));
        int from = 0, to = 0;
        std::size_t dash = part.find('-');
        bool ok = dash == std::string_view::npos
                      ? readNumber(part, from) && (to = from, true)
                      : readNumber(part.substr(0, dash), from) && readNumber(part.substr(dash + 1), to);
        if (!ok) {
            fail(error, "\"" + shown + "\" no es una página ni un rango de páginas.");
            return std::nullopt;
        }
        if (from > to) {
            fail(error, "El rango \"" + shown + "\" va hacia atrás.");
            return std::nullopt;
        }
        if (from < 1 || to > pageCount) {
            fail(error, "El reporte tiene las páginas 1 a " + std::to_string(pageCount) + "; \"" + shown +
                            "\" queda fuera.");
            return std::nullopt;
        }
        for (int p = from; p <= to; ++p) pages.insert(p);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    return std::vector<int>(pages.begin(), pages.end());
}

PreviewNavigator::PreviewNavigator(int pageCount) { setPageCount(pageCount); }

void PreviewNavigator::setPageCount(int n) {
    pages_ = std::max(0, n);
    current_ = pages_ > 0 ? std::clamp(current_, 1, pages_) : 0;
}

bool PreviewNavigator::setView(int across, int down) {
    if (across < 1 || across > 8 || down < 1 || down > 8) return false;
    across_ = across;
    down_ = down;
    return true;
}

std::vector<int> PreviewNavigator::visiblePages() const {
    std::vector<int> out;
    for (int p = current_; p > 0 && p <= pages_ && p < current_ + pagesPerView(); ++p) out.push_back(p);
    return out;
}

bool PreviewNavigator::canNext() const { return current_ > 0 && current_ + pagesPerView() <= pages_; }
bool PreviewNavigator::canPrevious() const { return current_ > 1; }

bool PreviewNavigator::next() {
    if (!canNext()) return false;
    current_ += pagesPerView();
    return true;
}

bool PreviewNavigator::previous() {
    if (!canPrevious()) return false;
    current_ = std::max(1, current_ - pagesPerView());
    return true;
}

bool PreviewNavigator::goTo(int page) {
    if (page < 1 || page > pages_) return false;
    current_ = page;
    return true;
}

void PreviewNavigator::first() { current_ = pages_ > 0 ? 1 : 0; }

void PreviewNavigator::last() {
    if (pages_ == 0) return;
    current_ = std::max(1, pages_ - pagesPerView() + 1);
}

const std::vector<int>& PreviewNavigator::zoomSteps() {
    static const std::vector<int> steps = {25, 50, 75, 100, 125, 150, 200, 300, 400};
    return steps;
}

bool PreviewNavigator::setZoom(int percent) {
    if (percent < zoomSteps().front() || percent > zoomSteps().back()) return false;
    zoom_ = percent;
    return true;
}

bool PreviewNavigator::zoomIn() {
    for (int s : zoomSteps())
        if (s > zoom_) return setZoom(s);
    return false;
}

bool PreviewNavigator::zoomOut() {
    const auto& steps = zoomSteps();
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        if (*it < zoom_) return setZoom(*it);
    return false;
}

std::optional<WindowPlacement> loadPlacement(const PlacementStore& store, std::string_view section) {
    auto number = [&](const char* key, int& out) {
        std::optional<std::string> v = store.read(section, key);
        if (!v) return false;
        std::string_view s = trim(*v);
        bool negative = !s.empty() && s[0] == '-';
        if (negative) s.remove_prefix(1);
        if (!readNumber(s, out)) return false;
        if (negative) out = -out;
        return true;
    };
    WindowPlacement p;
    if (!number("XPos", p.x) || !number("YPos", p.y) || !number("Width", p.width) ||
        !number("Height", p.height) || p.width <= 0 || p.height <= 0)
        return std::nullopt;
    auto yes = [&](const char* key) {
        std::optional<std::string> v = store.read(section, key);
        return v && toUpper(trim(*v)) == "YES";
    };
    p.maximized = yes("Maximize");
    p.minimized = yes("Minimize");
    return p;
}

bool savePlacement(PlacementStore& store, std::string_view section, const WindowPlacement& p) {
    bool ok = store.write(section, "XPos", std::to_string(p.x));
    ok = store.write(section, "YPos", std::to_string(p.y)) && ok;
    ok = store.write(section, "Width", std::to_string(p.width)) && ok;
    ok = store.write(section, "Height", std::to_string(p.height)) && ok;
    ok = store.write(section, "Maximize", p.maximized ? "Yes" : "No") && ok;
    ok = store.write(section, "Minimize", p.minimized ? "Yes" : "No") && ok;
    return ok;
}

}  // namespace tv::report
