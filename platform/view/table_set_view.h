#pragma once
// Views over the declared tables of a logical thread: the view reads into the
// thread's record buffers, and each record it reads becomes the current
// record of the table's gateway handle, so a form that changes it after the
// list picked it is checked against the version the list read.
//
//     ViewCursor v(tables().connection());
//     TableSetView tv(v, tables());
//     tv.setPrimary(TableId::DetEntradas);
//     int a = tv.join(TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DEN:CodigoArticulo"}});
//     tv.join(TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}});
//     tv.setOrder("DEN:KeyEntrada");
//     tv.addRangeByRelation(TableId::Entradas);   // DEN:ENTRADA = ENT:Folio
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/tables.h"
#include "data/thread_table_set.h"
#include "platform/expr/binding.h"
#include "platform/view/view_cursor.h"

namespace tv::view {

// Names of the fields of every table bound on the thread ("PRE:Name").
class ThreadFieldNames : public expr::NameResolver {
public:
    explicit ThreadFieldNames(data::ThreadTableSet& set) : set_(set) {}
    std::optional<expr::Binding> resolve(std::string_view name) const override;

private:
    data::ThreadTableSet& set_;
};

class TableSetView {
public:
    TableSetView(ViewCursor& view, data::ThreadTableSet& set);

    ViewCursor& view() const { return view_; }

    // The primary table. Opens it (through its gateway) so its handle can
    // follow the view's records. Also makes the thread's other tables known
    // to the view's expressions. False when the table cannot be used.
    bool setPrimary(data::TableId t);
    // Joins table t by key `keyName`; each link is (field of t, field of a
    // table already in the view), one per leading key component, in key
    // order. Returns the table's index in the view, -1 for a bad declaration.
    int join(data::TableId t, std::string_view keyName,
             const std::vector<std::pair<std::string, std::string>>& links, JoinKind kind = JoinKind::Outer);
    // Key of the primary table by name ("DEN:KeyEntrada"; blank: record
    // order) plus an added order text.
    bool setOrder(std::string_view keyName, std::string_view addedOrder = {}, expr::ExprError* error = nullptr);
    // The primary table's records linked to the current record of `header`
    // through their declared relation (the lines of a receipt: DEN:ENTRADA =
    // ENT:Folio). False when no such relation is declared.
    bool addRangeByRelation(data::TableId header);
    // A range on one field of the primary table, by label.
    bool addRange(std::string_view field, const Value& value);
    bool addRange(std::string_view field, const Value& low, const Value& high);

private:
    ViewCursor& view_;
    data::ThreadTableSet& set_;
    data::TableId primary_{};
    ThreadFieldNames names_;
};

}  // namespace tv::view
