#include "platform/view/table_set_view.h"

namespace tv::view {

std::optional<expr::Binding> ThreadFieldNames::resolve(std::string_view name) const {
    Record* r = nullptr;
    int f = -1;
    if (!set_.findBoundField(name, r, f)) return std::nullopt;
    return expr::Binding::field(*r, f);
}

TableSetView::TableSetView(ViewCursor& view, data::ThreadTableSet& set) : view_(view), set_(set), names_(set) {}

namespace {
// The gateway's handle, opened; null when the table cannot be used.
storage::Table* openHandle(data::ThreadTableSet& set, data::TableId t) {
    data::TableGateway& g = set.gateway(t);
    if (g.UseOnDemand(data::kUseAccess) != data::kDone) return nullptr;
    return g.file();
}
}  // namespace

bool TableSetView::setPrimary(data::TableId t) {
    storage::Table* h = openHandle(set_, t);
    if (!h) return false;
    primary_ = t;
    view_.setPrimary(data::storageDef(t), set_.buffer(t), h);
    view_.setFallbackNames(&names_);
    return true;
}

int TableSetView::join(data::TableId t, std::string_view keyName,
                       const std::vector<std::pair<std::string, std::string>>& links, JoinKind kind) {
    const data::TableDecl& d = data::decl(t);
    int key = d.keyIndex(keyName);
    if (key < 0 || view_.tableCount() == 0) return -1;
    const std::vector<int>& comps = d.keys[static_cast<size_t>(key)].components;
    std::vector<ViewCursor::Source> sources(links.size());
    for (const auto& [own, from] : links) {
        int f = d.fieldIndex(own);
        auto pos = std::find(comps.begin(), comps.end(), f);
        if (f < 0 || pos == comps.end()) return -1;
        size_t slot = static_cast<size_t>(pos - comps.begin());
        if (slot >= sources.size()) return -1;
        ViewCursor::Source s;
        if (!view_.findField(from, s.table, s.field)) return -1;
        sources[slot] = s;
    }
    storage::Table* h = openHandle(set_, t);
    return view_.addJoin(data::storageDef(t), set_.buffer(t), key, std::move(sources), kind, h);
}

bool TableSetView::setOrder(std::string_view keyName, std::string_view addedOrder, expr::ExprError* error) {
    int key = ViewCursor::kRecordOrder;
    if (!keyName.empty()) {
        key = data::decl(primary_).keyIndex(keyName);
        if (key < 0) {
            if (error) error->message = "Clave desconocida: " + std::string(keyName);
            return false;
        }
    }
    return view_.setOrder(key, addedOrder, error);
}

bool TableSetView::addRangeByRelation(data::TableId header) {
    for (const data::RelationDecl& r : data::decl(header).relations) {
        if (r.related != primary_ || !r.linked || r.links.empty()) continue;
        for (const data::LinkDecl& l : r.links)
            view_.addRangeByRelation(l.relatedField, set_.buffer(header), l.ownField);
        return true;
    }
    return false;
}

bool TableSetView::addRange(std::string_view field, const Value& value) {
    int f = data::decl(primary_).fieldIndex(field);
    if (f < 0) return false;
    view_.addRange(f, value);
    return true;
}

bool TableSetView::addRange(std::string_view field, const Value& low, const Value& high) {
    int f = data::decl(primary_).fieldIndex(field);
    if (f < 0) return false;
    view_.addRange(f, low, high);
    return true;
}

}  // namespace tv::view
