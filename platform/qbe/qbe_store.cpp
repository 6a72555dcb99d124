#include "platform/qbe/qbe_store.h"

#include <algorithm>
#include <charconv>

#include "platform/types/text.h"

namespace tv::qbe {

namespace {

constexpr const char* kCountKey = "Consultas";

std::string nameKey(std::size_t n) { return "Nombre" + std::to_string(n); }
std::string queryKey(std::size_t n) { return "Consulta" + std::to_string(n); }

std::optional<int> readInt(const IniStore& ini, const std::string& section, const char* key) {
    auto v = ini.find(section, key);
    if (!v) return std::nullopt;
    std::string_view t = trim(*v);
    int n = 0;
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
    if (ec != std::errc() || p != t.data() + t.size()) return std::nullopt;
    return n;
}

bool sameName(std::string_view a, std::string_view b) { return compareNoCase(trim(a), trim(b)) == 0; }

}  // namespace

SavedQueries::SavedQueries(IniStore& ini, std::string procedure)
    : ini_(ini), section_("QBE-" + std::move(procedure)) {}

bool SavedQueries::fail(std::string why) {
    error_ = std::move(why);
    return false;
}

// The numbers n of the "Nombre<n>" keys present, in order. The count kept
// beside them is not trusted: edited by hand (negative, not a number, far
// too large or too small) it would freeze a walk or make a save write over
// a query that is there; the keys present are what counts.
std::vector<std::size_t> SavedQueries::numbersPresent() const {
    std::vector<std::size_t> out;
    for (const std::string& k : ini_.keys(section_)) {
        if (k.size() <= 6 || compareNoCase(std::string_view(k).substr(0, 6), "Nombre") != 0) continue;
        std::string_view digits = std::string_view(k).substr(6);
        std::size_t n = 0;
        auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (ec != std::errc() || p != digits.data() + digits.size() || n == 0 || digits.front() == '0') continue;
        out.push_back(n);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::vector<SavedQueries::Entry> SavedQueries::entries() const {
    std::vector<Entry> out;
    for (std::size_t n : numbersPresent()) {
        auto name = ini_.find(section_, nameKey(n));
        if (!name || trim(*name).empty()) continue;
        out.push_back({std::string(trim(*name)), ini_.read(section_, queryKey(n))});
    }
    return out;
}

std::vector<std::string> SavedQueries::names() const {
    std::vector<std::string> out;
    for (const Entry& e : entries()) out.push_back(e.name);
    return out;
}

std::optional<Query> SavedQueries::load(std::string_view name) const {
    for (const Entry& e : entries())
        if (sameName(e.name, name)) return decodeQuery(e.conditions);
    return std::nullopt;
}

bool SavedQueries::writeEntries(const std::vector<Entry>& list) {
    const std::vector<std::size_t> before = numbersPresent();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!ini_.write(section_, nameKey(i + 1), list[i].name) ||
            !ini_.write(section_, queryKey(i + 1), list[i].conditions))
            return fail(ini_.lastError());
    }
    if (!ini_.write(section_, kCountKey, std::to_string(list.size()))) return fail(ini_.lastError());
    for (std::size_t n : before) {
        if (n <= list.size()) continue;
        ini_.removeKey(section_, nameKey(n));
        ini_.removeKey(section_, queryKey(n));
    }
    return true;
}

bool SavedQueries::save(std::string_view name, const Query& q) {
    std::string clean(trim(name));
    if (clean.empty()) return fail("Escriba el nombre de la consulta");
    auto list = entries();
    std::string conditions = encodeQuery(q);
    bool replaced = false;
    for (Entry& e : list) {
        if (sameName(e.name, clean)) {
            e = {clean, conditions};
            replaced = true;
        }
    }
    if (!replaced) list.push_back({clean, conditions});
    return writeEntries(list);
}

bool SavedQueries::remove(std::string_view name) {
    auto list = entries();
    std::size_t before = list.size();
    std::erase_if(list, [&](const Entry& e) { return sameName(e.name, name); });
    if (list.size() == before) return fail("No hay una consulta con ese nombre");
    if (!writeEntries(list)) return false;
    if (sameName(lastUsed(), name)) ini_.removeKey(section_, kMruKey);
    return true;
}

std::string SavedQueries::lastUsed() const { return std::string(trim(ini_.read(section_, kMruKey))); }

bool SavedQueries::setLastUsed(std::string_view name) {
    if (!ini_.write(section_, kMruKey, trim(name))) return fail(ini_.lastError());
    return true;
}

std::optional<WindowPosition> SavedQueries::position() const {
    auto x = readInt(ini_, section_, "XPos"), y = readInt(ini_, section_, "YPos");
    auto w = readInt(ini_, section_, "Width"), h = readInt(ini_, section_, "Height");
    if (!x || !y || !w || !h || *w <= 0 || *h <= 0) return std::nullopt;
    return WindowPosition{*x, *y, *w, *h};
}

bool SavedQueries::setPosition(const WindowPosition& p) {
    if (!ini_.write(section_, "XPos", std::to_string(p.x)) || !ini_.write(section_, "YPos", std::to_string(p.y)) ||
        !ini_.write(section_, "Width", std::to_string(p.width)) ||
        !ini_.write(section_, "Height", std::to_string(p.height)))
        return fail(ini_.lastError());
    return true;
}

}  // namespace tv::qbe
