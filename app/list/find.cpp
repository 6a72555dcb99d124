#include "app/list/find.h"

#include "platform/types/picture.h"
#include "platform/types/text.h"

namespace tv::list {

namespace {

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == ':'; }

bool isName(std::string_view s) {
    if (s.empty() || !isNameStart(s[0])) return false;
    for (char c : s)
        if (!isNameChar(c)) return false;
    return true;
}

}  // namespace

bool FindColumn::isText() const { return picture.find_first_of("sS") != std::string::npos; }

bool FindColumn::isDate() const {
    auto p = Picture::parse(picture);
    return p && p->kind() == Picture::Kind::Date;
}

std::optional<std::vector<FindColumn>> parseFindColumns(std::string_view list, std::string* error) {
    std::vector<std::string> parts;
    std::string_view text = rtrim(list);
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t bar = text.find('|', from);
        std::size_t end = bar == std::string_view::npos ? text.size() : bar;
        parts.push_back(cutText(text.substr(from, end - from), kFindPartChars));
        from = end + 1;
    }
    auto fail = [&](std::string message) -> std::optional<std::vector<FindColumn>> {
        if (error) *error = std::move(message);
        return std::nullopt;
    };
    if (parts.size() % 3 != 0)
        return fail("Lista de columnas de búsqueda incompleta: cada columna lleva encabezado, máscara y campo.");
    std::vector<FindColumn> columns;
    for (std::size_t k = 0; k < parts.size(); k += 3) {
        FindColumn c{parts[k], parts[k + 1], std::string(trim(parts[k + 2]))};
        if (!isName(c.field))
            return fail("Lista de columnas de búsqueda: '" + c.field + "' no es un nombre de campo (columna \"" +
                        c.header + "\").");
        columns.push_back(std::move(c));
    }
    return columns;
}

std::string EscapeQuotes(std::string_view text) {
    std::string_view t = rtrim(text);
    std::string out;
    out.reserve(t.size() + 8);
    for (char c : t) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

std::string findPattern(std::string_view value, const FindColumn& column) {
    const bool wild = value.find_first_of("*?") != std::string_view::npos;
    if (wild) return std::string(value);
    if (column.isText()) return "*" + std::string(rtrim(value)) + "*";
    if (column.isDate()) {
        // A date field holds a day number: a typed date is looked for as the
        // day number it stands for, or it could never be found.
        if (!trim(value).empty()) {
            auto p = Picture::parse(column.picture);
            if (auto day = p->read(value)) return day->asText();
        }
        return std::string(value);
    }
    // A number is matched against the field's own text ("37.5"): typed with
    // the places the entry shows ("37.50") it is looked for as that number.
    // Leading zeros stay: a number-pictured text field (a bar code) keeps them.
    if (value.find('.') != std::string_view::npos)
        if (auto n = Decimal::parse(value)) return n->toText();
    return std::string(value);
}

std::string matchExpression(std::string_view field, std::string_view pattern) {
    return "MATCH(" + std::string(rtrim(field)) + ",'" + EscapeQuotes(pattern) + "'," +
           std::to_string(kMatchModeFind) + ")";
}

VsFindLogic::VsFindLogic(std::vector<FindColumn> columns, FindCriteria& caller)
    : columns_(std::move(columns)), caller_(caller) {
    if (!columns_.empty()) chosen_ = 0;
    if (!trim(caller_.lastColumn).empty()) {
        for (std::size_t k = 0; k < columns_.size(); ++k) {
            if (compareText(columns_[k].header, caller_.lastColumn) == 0) {
                chosen_ = static_cast<int>(k);
                break;
            }
        }
    }
    if (!trim(caller_.lastValue).empty()) {
        acceptValue(caller_.lastValue);
        return;
    }
    rebuild();
}

std::string VsFindLogic::columnEntries() const {
    std::string out;
    for (std::size_t k = 0; k < columns_.size(); ++k) {
        if (k) out += '|';
        out += columns_[k].header;
    }
    return out;
}

std::string VsFindLogic::valuePicture() const {
    if (chosen_ < 0) return findtext::kValuePicture;
    std::string p = columns_[static_cast<std::size_t>(chosen_)].picture;
    if (!p.empty() && p[0] == '@') p.erase(0, 1);
    return p;
}

void VsFindLogic::chooseColumn(int index) {
    chosen_ = index >= 0 && index < static_cast<int>(columns_.size()) ? index : -1;
    // The pattern depends on the column (text columns look inside the
    // field): built again, or a value typed for a text column would be
    // searched as "*12*" in a number column.
    pattern_ = chosen_ < 0 ? value_ : findPattern(value_, columns_[static_cast<std::size_t>(chosen_)]);
    rebuild();
}

void VsFindLogic::acceptValue(std::string_view typed) {
    value_ = cutText(typed, kFindValueChars);
    pattern_ = chosen_ < 0 ? value_ : findPattern(value_, columns_[static_cast<std::size_t>(chosen_)]);
    rebuild();
}

void VsFindLogic::rebuild() {
    if (chosen_ < 0) {
        expression_.clear();
        return;
    }
    expression_ = matchExpression(columns_[static_cast<std::size_t>(chosen_)].field, pattern_);
}

VsFindLogic::Outcome VsFindLogic::accept(bool next) {
    Outcome o;
    if (chosen_ < 0) {
        o.message = findtext::kSelectField;
        o.caption = findtext::kSelectFieldCaption;
        return o;
    }
    caller_.lastColumn = cutText(columns_[static_cast<std::size_t>(chosen_)].header, kFindValueChars);
    caller_.lastValue = value_;
    if (next) caller_.findNext = true;
    o.closes = true;
    o.expression = expression_;
    return o;
}

VsFindLogic::Outcome VsFindLogic::find() { return accept(false); }
VsFindLogic::Outcome VsFindLogic::findNext() { return accept(true); }

VsFindLogic::Outcome VsFindLogic::cancel() {
    expression_.clear();
    Outcome o;
    o.closes = true;
    return o;
}

VsFindLogic::Outcome VsFindLogic::closeOther() {
    Outcome o;
    o.closes = true;
    o.expression = expression_;
    return o;
}

BrowseSearch::Plan BrowseSearch::onKey(int key) {
    switch (key) {
    case kKeyF3: return Plan::AskThenSearch;
    case kKeyF6: return Plan::Search;
    case kKeyF4: return Plan::AskThenFilter;
    default: return Plan::NotMine;
    }
}

BrowseSearch::Start BrowseSearch::askAnswered(std::string_view expression, bool refused) {
    if (refused) return Start::Nothing;
    expression_ = std::string(expression);
    return criteria_.findNext ? Start::AfterSelected : Start::Top;
}

bool BrowseSearch::filterAnswered(std::string_view expression, bool refused) {
    if (refused) return false;
    expression_ = std::string(expression);
    filter_ = cutText(expression, kFindFilterChars);
    return true;
}

BrowseSearch::Outcome BrowseSearch::searchView(const std::function<bool()>& readNext,
                                               const std::function<bool()>& matches) const {
    Outcome o;
    if (trim(expression_).empty()) {
        o.kind = Outcome::Kind::NoCriteria;
        o.message = findtext::kNoCriteria;
        o.caption = findtext::kNoCriteriaCaption;
        return o;
    }
    while (readNext()) {
        ++o.read;
        if (matches()) {
            o.kind = Outcome::Kind::Found;
            return o;
        }
    }
    o.kind = Outcome::Kind::NoMore;
    o.message = findtext::kNoMore;
    o.caption = findtext::kNoMoreCaption;
    return o;
}

}  // namespace tv::list
