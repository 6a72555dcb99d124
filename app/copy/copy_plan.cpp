#include "app/copy/copy_plan.h"

#include <QByteArrayView>

#include "data/tables.h"
#include "data/thread_table_set.h"
#include "platform/storage/sql_util.h"

namespace tv::copy::detail {

namespace {

std::vector<TablePlan> buildPlans() {
    std::vector<TablePlan> plans;
    for (const data::TableDecl& d : data::tableDecls()) {
        if (d.aliasOf || d.threadPrivate) continue;
        TablePlan p;
        p.def = data::storageDef(d.id);
        p.table = p.def->table;
        const RecordLayout& lay = *p.def->layout;
        for (int i = 0; i < lay.fieldCount(); ++i) {
            const FieldSpec& f = lay.field(i);
            const auto idx = static_cast<size_t>(i);
            PlanColumn c;
            c.name = idx < p.def->columns.size() ? p.def->columns[idx] : storage::detail::columnOf(f);
            if (f.type == FieldType::String || f.type == FieldType::Memo) {
                c.kind = ColKind::Text;
            } else if (f.type == FieldType::Decimal && f.places > 0) {
                c.kind = ColKind::Decimal;
                c.places = f.places;
                // As the server's numeric(size, places) takes it.
                c.digits = std::max(f.size, f.places);
            }
            p.cols.push_back(std::move(c));
        }
        plans.push_back(std::move(p));
    }
    return plans;
}

}  // namespace

const std::vector<TablePlan>& tablePlans() {
    static const std::vector<TablePlan> plans = buildPlans();
    return plans;
}

std::vector<std::shared_ptr<const storage::TableDef>> storedDefs() {
    std::vector<std::shared_ptr<const storage::TableDef>> defs;
    for (const TablePlan& p : tablePlans()) defs.push_back(p.def);
    return defs;
}

std::vector<std::string> programTableNames() {
    std::vector<std::string> names;
    for (const TablePlan& p : tablePlans()) names.push_back(p.table);
    names.insert(names.end(), {"tv_autonumber", "tv_claim"});
    return names;
}

std::string where(const TablePlan& t, int64_t tvRow, const PlanColumn& c, std::string_view what) {
    return "tabla " + t.table + ", registro " + std::to_string(tvRow) + ", columna " + c.name + ": " +
           std::string(what);
}

bool storableText(std::string_view t) {
    return t.find('\0') == std::string_view::npos &&
           QByteArrayView(t.data(), static_cast<qsizetype>(t.size())).isValidUtf8();
}

bool fitsDigits(int64_t scaled, int digits) {
    if (digits >= 19) return true;
    int64_t limit = 1;
    for (int i = 0; i < digits; ++i) limit *= 10;
    return scaled < limit && scaled > -limit;
}

storage::Status failure(std::string text) { return storage::Status::make(storage::kFileSystemError, std::move(text)); }

storage::Status during(std::string_view what, storage::Status st) {
    if (st.text.empty()) st.text = std::string(storage::errorText(st.code));
    st.text = std::string(what) + ": " + st.text;
    return st;
}

}  // namespace tv::copy::detail
