// ViewCursor: SQL built from the view's tables, order, ranges and pushed
// filters; rows decoded into the record buffers; joins, computed values and
// the evaluated filters applied per row.
#include "platform/view/view_cursor.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "platform/expr/order.h"
#include "platform/expr/sql_filter.h"
#include "platform/storage/driver.h"
#include "platform/storage/sql_util.h"
#include "platform/types/text.h"

namespace tv::view {

using storage::Collation;
using storage::Statement;
using storage::Status;

namespace {

using storage::detail::columnOf;
using storage::detail::Kind;
using storage::detail::quoteId;

bool sameName(std::string_view a, std::string_view b) { return expr::normalizeName(a) == expr::normalizeName(b); }

Collation collationOf(Kind k, bool noCase) {
    if (k != Kind::Text) return Collation::None;
    return noCase ? Collation::NoCase : Collation::Binary;
}

// How an order item compares, as saved positions have always named it.
const char* signatureOf(Collation c) {
    switch (c) {
    case Collation::NoCase: return " COLLATE TVNOCASE";
    case Collation::Binary: return " COLLATE BINARY";
    default: return "";
    }
}

void bindValue(Statement& s, int idx, const SqlValue& v) {
    switch (v.kind) {
    case SqlValue::Kind::Int: s.bindInt(idx, v.i); break;
    case SqlValue::Kind::Real: s.bindReal(idx, v.d); break;
    case SqlValue::Kind::Text: s.bindTextCopy(idx, v.s); break;
    }
}

SqlValue columnValue(Statement& s, int col) {
    SqlValue v;
    switch (s.columnType(col)) {
    case Statement::Type::Int:
        v.kind = SqlValue::Kind::Int;
        v.i = s.columnInt(col);
        break;
    case Statement::Type::Real:
        v.kind = SqlValue::Kind::Real;
        v.d = s.columnReal(col);
        break;
    case Statement::Type::Null: v.kind = SqlValue::Kind::Int; break;
    case Statement::Type::Text:
        v.kind = SqlValue::Kind::Text;
        v.s.assign(s.columnText(col));
        break;
    }
    return v;
}

std::string param(std::vector<SqlValue>& params, SqlValue v) {
    params.push_back(std::move(v));
    return "?" + std::to_string(params.size());
}

// The "?" of a pushed filter, renumbered after the parameters already used.
std::string renumber(const std::string& where, size_t first) {
    std::string out;
    size_t n = first;
    char quote = 0;
    for (char c : where) {
        if (quote) {
            if (c == quote) quote = 0;
            out += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            out += c;
        } else if (c == '?') {
            out += "?" + std::to_string(++n);
        } else {
            out += c;
        }
    }
    return out;
}

// An expression tree written back as text the parser reads the same way
// (every operation in parentheses), so one conjunct of a filter can be
// translated on its own.
std::string printNode(const expr::Node& n) {
    using expr::Node;
    using expr::Op;
    switch (n.kind) {
    case Node::Kind::Number: {
        std::string t = n.number.toFixed(Decimal::kFracDigits);
        if (t.find('.') != std::string::npos) {
            while (t.back() == '0') t.pop_back();
            if (t.back() == '.') t.pop_back();
        }
        return "(" + t + ")";
    }
    case Node::Kind::Text: {
        std::string t = "'";
        for (char c : n.text) {
            if (c == '\'') t += '\'';
            t += c;
        }
        return t + "'";
    }
    case Node::Kind::Name: return n.text;
    case Node::Kind::Unary: return std::string(n.op == Op::Neg ? "(-" : "(NOT ") + printNode(*n.args[0]) + ")";
    case Node::Kind::Binary: {
        const char* op = "";
        switch (n.op) {
        case Op::Add: op = "+"; break;
        case Op::Sub: op = "-"; break;
        case Op::Mul: op = "*"; break;
        case Op::Div: op = "/"; break;
        case Op::Mod: op = "%"; break;
        case Op::Concat: op = "&"; break;
        case Op::Eq: op = "="; break;
        case Op::Ne: op = "<>"; break;
        case Op::Lt: op = "<"; break;
        case Op::Le: op = "<="; break;
        case Op::Gt: op = ">"; break;
        case Op::Ge: op = ">="; break;
        case Op::And: op = "AND"; break;
        case Op::Or: op = "OR"; break;
        default: break;
        }
        return "(" + printNode(*n.args[0]) + " " + op + " " + printNode(*n.args[1]) + ")";
    }
    case Node::Kind::Call: {
        std::string t = n.text + "(";
        for (size_t i = 0; i < n.args.size(); ++i) t += (i ? ", " : "") + printNode(*n.args[i]);
        return t + ")";
    }
    }
    return {};
}

void conjuncts(const expr::Node& n, std::vector<const expr::Node*>& out) {
    if (n.kind == expr::Node::Kind::Binary && n.op == expr::Op::And) {
        conjuncts(*n.args[0], out);
        conjuncts(*n.args[1], out);
    } else {
        out.push_back(&n);
    }
}

constexpr auto kFresh = std::chrono::milliseconds(20);

// The server answers a statement whole: a seek there reads this many rows at
// a time, and seeks again past the last one it read for the next batch.
constexpr int kServerBatch = 64;

uint32_t fnv1a(std::string_view s) {
    uint32_t h = 2166136261u;
    for (unsigned char c : s) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

}  // namespace

// ---------------------------------------------------------------------------

struct ViewCursor::Stmt {
    std::unique_ptr<Statement> s;
};

struct ViewCursor::Table {
    std::shared_ptr<const storage::TableDef> def;
    Record* buf = nullptr;
    std::unique_ptr<Record> scratch;        // converts values to the field's store
    storage::Table* watch = nullptr;
    std::unique_ptr<storage::Table> own;   // opens (creates) the table
    std::string tableQ;
    std::vector<std::string> cols;          // quoted column names
    std::vector<Kind> kinds;
    std::vector<double> scale;
    std::vector<int> places;
    const storage::Dialect* dialect = nullptr;
    // Joined tables.
    int key = -1;
    std::vector<Source> sources;
    JoinKind kind = JoinKind::Outer;
    std::string alias;                      // "j1", "j2", ... in subqueries
    Stmt lookup;
    bool found = true;

    int nf() const { return static_cast<int>(cols.size()); }

    // How the file's column compares: no-case when a no-case key has it.
    Collation columnCollation(int f) const {
        if (kinds[static_cast<size_t>(f)] != Kind::Text) return Collation::None;
        for (const storage::KeyDef& k : def->keys)
            for (int kf : k.fields)
                if (kf == f && k.noCase) return Collation::NoCase;
        return Collation::Binary;
    }

    // The partial-index condition of a key, as the storage declares it
    // (unique keys leave out pending reservations, optional keys blank values).
    std::string keyCond(int k, const std::string& q) const {
        const storage::KeyDef& kd = def->keys[static_cast<size_t>(k)];
        std::string cond;
        if (kd.unique && !kd.autoNumber) cond = q + "tv_pending=0";
        if (kd.optional) {
            std::string opt;
            for (size_t j = 0; j < kd.fields.size(); ++j) {
                int f = kd.fields[j];
                if (j) opt += " OR ";
                opt += q + cols[static_cast<size_t>(f)] + (kinds[static_cast<size_t>(f)] == Kind::Text ? "<>''" : "<>0");
            }
            cond += std::string(cond.empty() ? "" : " AND ") + "(" + opt + ")";
        }
        return cond;
    }
    std::string keyExprs(int k, const std::string& q) const {
        const storage::KeyDef& kd = def->keys[static_cast<size_t>(k)];
        std::string e;
        for (size_t j = 0; j < kd.fields.size(); ++j) {
            int f = kd.fields[j];
            if (j) e += ",";
            e += dialect->collate(q + cols[static_cast<size_t>(f)], collationOf(kinds[static_cast<size_t>(f)], kd.noCase));
        }
        return e;
    }

    void decode(Statement& s, int first) { s.readFields(first, *buf, kinds.data(), places.data(), nf()); }
};

struct ViewCursor::OrderItem {
    int table = 0;
    int field = -1;
    bool desc = false;
    Collation coll = Collation::None;
    std::string expr;   // SQL in the main query
};

struct ViewCursor::Range {
    enum class Type { Value, Between, Relation } type = Type::Value;
    int field = -1;
    Value low, high;
    const Record* other = nullptr;
    int otherField = -1;
};

struct ViewCursor::Filter {
    std::string name;   // "" for the standard filter
    std::string text;
    std::optional<expr::Program> program;
    std::optional<expr::SqlFilter> sql;   // what SQL selects for it
    bool complete = false;                // sql is the whole filter
};

struct ViewCursor::Computed {
    std::string name;
    std::function<Value()> fn;
    Value value;
};

class ViewCursor::Names : public expr::NameResolver {
public:
    explicit Names(const ViewCursor& v) : v_(v) {}
    std::optional<expr::Binding> resolve(std::string_view name) const override {
        int t = 0, f = -1;
        if (v_.findField(name, t, f)) return expr::Binding::field(*v_.tables_[static_cast<size_t>(t)]->buf, f);
        for (const auto& c : v_.computed_)
            if (sameName(c->name, name)) {
                const Computed* p = c.get();
                return expr::Binding::getter([p] { return p->value; });
            }
        if (v_.fallback_) return v_.fallback_->resolve(name);
        return std::nullopt;
    }

private:
    const ViewCursor& v_;
};

// ---------------------------------------------------------------------------

ViewCursor::ViewCursor(storage::Connection& connection) : conn_(connection), names_(new Names(*this)) {
    filters_.push_back(std::make_unique<Filter>());
}

ViewCursor::~ViewCursor() { release(); }

Record& ViewCursor::buffer(int table) const { return *tables_.at(static_cast<size_t>(table))->buf; }

std::unique_ptr<ViewCursor::Table> ViewCursor::makeTable(std::shared_ptr<const storage::TableDef> def,
                                                         Record& buffer, storage::Table* watch) {
    auto t = std::make_unique<Table>();
    t->def = std::move(def);
    t->buf = &buffer;
    t->scratch = std::make_unique<Record>(buffer.layoutPtr());
    t->watch = watch;
    t->tableQ = quoteId(t->def->table);
    storage::detail::ColumnMap map = storage::detail::columnMap(*t->def);
    t->cols = std::move(map.cols);
    t->kinds = std::move(map.kinds);
    t->scale = std::move(map.scale);
    t->places = std::move(map.places);
    return t;
}

int ViewCursor::setPrimary(std::shared_ptr<const storage::TableDef> def, Record& buffer, storage::Table* watch) {
    release();
    tables_.clear();
    tables_.push_back(makeTable(std::move(def), buffer, watch));
    tables_.back()->dialect = &conn_.dialect();
    key_ = kRecordOrder;
    addedOrder_.clear();
    startOrder_.clear();
    ranges_.clear();
    structureChanged();
    rebuildOrder();
    reset();
    return 0;
}

int ViewCursor::addJoin(std::shared_ptr<const storage::TableDef> def, Record& buffer, int key,
                        std::vector<Source> sources, JoinKind kind, storage::Table* watch) {
    if (tables_.empty() || key < 0 || key >= static_cast<int>(def->keys.size())) return -1;
    for (const Source& s : sources)
        if (s.table < 0 || s.table >= static_cast<int>(tables_.size())) return -1;
    std::unique_ptr<Table> t = makeTable(std::move(def), buffer, watch);
    t->dialect = &conn_.dialect();
    t->key = key;
    t->sources = std::move(sources);
    t->kind = kind;
    t->alias = "j" + std::to_string(tables_.size());
    tables_.push_back(std::move(t));
    structureChanged();
    rebuildOrder();
    return static_cast<int>(tables_.size()) - 1;
}

bool ViewCursor::findField(std::string_view name, int& table, int& field) const {
    std::string want = expr::normalizeName(name);
    for (size_t t = 0; t < tables_.size(); ++t) {
        const RecordLayout& lay = tables_[t]->buf->layout();
        for (int i = 0; i < lay.fieldCount(); ++i)
            if (expr::normalizeName(lay.field(i).name) == want) {
                table = static_cast<int>(t);
                field = i;
                return true;
            }
    }
    return false;
}

void ViewCursor::addComputed(std::string_view name, std::function<Value()> compute) {
    for (auto& c : computed_)
        if (sameName(c->name, name)) {
            c->fn = std::move(compute);
            return;
        }
    auto c = std::make_unique<Computed>();
    c->name = std::string(name);
    c->fn = std::move(compute);
    computed_.push_back(std::move(c));
    structureChanged();
}

std::optional<Value> ViewCursor::computed(std::string_view name) const {
    for (const auto& c : computed_)
        if (sameName(c->name, name)) return c->value;
    return std::nullopt;
}

void ViewCursor::setFallbackNames(const expr::NameResolver* names) {
    fallback_ = names;
    structureChanged();
}

const expr::NameResolver& ViewCursor::names() const { return *names_; }

void ViewCursor::structureChanged() {
    compiled_ = false;
    release();
}

// ---------------------------------------------------------------------------
// Order

bool ViewCursor::appendOrderText(std::string_view text, expr::ExprError* error) {
    if (trim(text).empty()) return true;
    auto items = expr::parseOrder(text, error);
    if (!items) return false;
    for (const expr::OrderItem& it : *items) {
        int t = 0, f = -1;
        if (!findField(it.name, t, f)) {
            if (error) {
                error->position = 0;
                error->message = "Nombre desconocido: " + it.name;
            }
            return false;
        }
        OrderItem o;
        o.table = t;
        o.field = f;
        o.desc = it.descending;
        Kind k = tables_[static_cast<size_t>(t)]->kinds[static_cast<size_t>(f)];
        o.coll = collationOf(k, it.upper);
        order_.push_back(std::move(o));
    }
    return true;
}

void ViewCursor::rebuildOrder() {
    order_.clear();
    if (tables_.empty()) return;
    appendOrderText(startOrder_, nullptr);
    const Table& p = *tables_[0];
    if (key_ >= 0 && key_ < static_cast<int>(p.def->keys.size())) {
        const storage::KeyDef& kd = p.def->keys[static_cast<size_t>(key_)];
        for (int f : kd.fields) {
            OrderItem o;
            o.field = f;
            o.coll = collationOf(p.kinds[static_cast<size_t>(f)], kd.noCase);
            order_.push_back(std::move(o));
        }
    }
    appendOrderText(addedOrder_, nullptr);
    // SQL of each item in the main query: a primary column as is; a joined
    // table's column through the lookup that joins it (first record in key
    // order, blank or 0 when missing).
    // A joined column is NULL when its record (or one it is joined from) is
    // missing, as the buffers are cleared then.
    const storage::Dialect& d = conn_.dialect();
    std::function<std::string(int, int)> rawSql = [&](int t, int f) -> std::string {
        const Table& tb = *tables_[static_cast<size_t>(t)];
        if (t == 0) return tables_[0]->tableQ + "." + tb.cols[static_cast<size_t>(f)];
        std::string q = tb.alias + ".";
        std::string sql =
            "(SELECT " + q + tb.cols[static_cast<size_t>(f)] + " FROM " + tb.tableQ + " AS " + tb.alias + " WHERE ";
        const storage::KeyDef& kd = tb.def->keys[static_cast<size_t>(tb.key)];
        for (size_t j = 0; j < tb.sources.size() && j < kd.fields.size(); ++j) {
            int kf = kd.fields[j];
            const Source& src = tb.sources[j];
            const Collation coll = collationOf(tb.kinds[static_cast<size_t>(kf)], kd.noCase);
            sql += d.collate(q + tb.cols[static_cast<size_t>(kf)], coll) + "=" +
                   d.collateValue(rawSql(src.table, src.field), coll) + " AND ";
        }
        std::string cond = tb.keyCond(tb.key, q);
        sql += cond.empty() ? d.truth(true) : cond;
        sql += " ORDER BY " + tb.keyExprs(tb.key, q) + "," + q + "tv_row LIMIT 1)";
        return sql;
    };
    auto colSql = [&](int t, int f) -> std::string {
        const Table& tb = *tables_[static_cast<size_t>(t)];
        if (t == 0) return tb.cols[static_cast<size_t>(f)];
        return "COALESCE(" + rawSql(t, f) + (tb.kinds[static_cast<size_t>(f)] == Kind::Text ? ",'')" : ",0)");
    };
    for (OrderItem& o : order_) o.expr = colSql(o.table, o.field);
}

bool ViewCursor::setOrder(int key, std::string_view addedOrder, expr::ExprError* error) {
    if (tables_.empty()) return false;
    int saveKey = key_;
    std::string saveAdded = addedOrder_;
    key_ = (key >= 0 && key < static_cast<int>(tables_[0]->def->keys.size())) ? key : kRecordOrder;
    addedOrder_ = std::string(addedOrder);
    order_.clear();
    if (!appendOrderText(addedOrder_, error)) {
        key_ = saveKey;
        addedOrder_ = saveAdded;
        rebuildOrder();
        return false;
    }
    rebuildOrder();
    release();
    reset();
    return true;
}

bool ViewCursor::setStartOrder(std::string_view text, expr::ExprError* error) {
    if (tables_.empty()) return false;
    order_.clear();
    if (!appendOrderText(text, error)) {
        rebuildOrder();
        return false;
    }
    startOrder_ = std::string(text);
    rebuildOrder();
    release();
    reset();
    return true;
}

std::string ViewCursor::orderSignature() const {
    std::string s = tables_.empty() ? std::string() : tables_[0]->def->table;
    for (const OrderItem& o : order_)
        s += "|" + std::to_string(o.table) + "." + std::to_string(o.field) + (o.desc ? "-" : "+") + signatureOf(o.coll);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08" PRIx32, fnv1a(s));
    return buf;
}

// ---------------------------------------------------------------------------
// Ranges

void ViewCursor::addRange(int field, const Value& value) {
    Range r;
    r.type = Range::Type::Value;
    r.field = field;
    r.low = value;
    ranges_.push_back(std::move(r));
    release();
    reset();
}

void ViewCursor::addRange(int field, const Value& low, const Value& high) {
    Range r;
    r.type = Range::Type::Between;
    r.field = field;
    r.low = low;
    r.high = high;
    ranges_.push_back(std::move(r));
    release();
    reset();
}

void ViewCursor::addRangeByRelation(int field, const Record& other, int otherField) {
    Range r;
    r.type = Range::Type::Relation;
    r.field = field;
    r.other = &other;
    r.otherField = otherField;
    ranges_.push_back(std::move(r));
    release();
    reset();
}

void ViewCursor::clearRanges() {
    ranges_.clear();
    release();
    reset();
}

// ---------------------------------------------------------------------------
// Filters

bool ViewCursor::compileFilter(Filter& f, expr::ExprError* error) {
    f.program.reset();
    f.sql.reset();
    f.complete = false;
    if (trim(f.text).empty()) return true;
    auto e = expr::parseExpression(f.text, error);
    if (!e) return false;
    auto prog = expr::Program::compile(*e, *names_, error);
    if (!prog) return false;
    f.program = std::move(prog);
    if (pushDown_ && !tables_.empty()) {
        const Table& p = *tables_[0];
        const Record* primary = p.buf;
        auto lookup = [&](std::string_view name) -> std::optional<expr::SqlColumn> {
            std::optional<expr::Binding> b = names_->resolve(name);
            if (!b || b->kind() != expr::Binding::Kind::Field || b->record() != primary) return std::nullopt;
            int i = b->index();
            const FieldSpec& fs = primary->layout().field(i);
            expr::SqlColumn c;
            c.sql = p.cols[static_cast<size_t>(i)];
            switch (p.kinds[static_cast<size_t>(i)]) {
            case Kind::Text:
                c.kind = expr::SqlColumn::Kind::Text;
                c.trimmed = true;
                break;
            case Kind::Int:
                c.kind = expr::SqlColumn::Kind::Number;
                c.places = 0;
                switch (fs.type) {
                case FieldType::Decimal: c.digits = fs.size; break;
                case FieldType::Short: c.digits = 5; break;
                case FieldType::Byte: c.digits = 3; break;
                default: c.digits = 10; break;
                }
                break;
            case Kind::Real:
                c.kind = expr::SqlColumn::Kind::Number;
                c.places = fs.places;
                c.digits = fs.size;
                // The scaled integer, exactly as the buffer holds it (the
                // file stores a real, the server an exact numeric).
                c.sql = conn_.dialect().server()
                            ? "(" + c.sql + "*" + std::to_string(static_cast<long long>(p.scale[static_cast<size_t>(i)])) +
                                  ")::bigint"
                            : "CAST(round(" + c.sql + "*" +
                                  std::to_string(static_cast<long long>(p.scale[static_cast<size_t>(i)])) + ") AS INTEGER)";
                break;
            }
            return c;
        };
        const expr::SqlFlavor flavor = conn_.dialect().server() ? expr::SqlFlavor::Server : expr::SqlFlavor::File;
        f.sql = expr::toSqlWhere(*e, lookup, flavor);
        f.complete = f.sql.has_value();
        if (!f.sql) {
            // The conjuncts SQL can take narrow the rows; the whole filter is
            // still evaluated on each of them.
            std::vector<const expr::Node*> parts;
            conjuncts(e->root(), parts);
            expr::SqlFilter acc;
            for (const expr::Node* part : parts) {
                if (parts.size() < 2) break;
                auto pe = expr::parseExpression(printNode(*part));
                if (!pe) continue;
                auto ps = expr::toSqlWhere(*pe, lookup, flavor);
                if (!ps) continue;
                acc.where += (acc.where.empty() ? "(" : " AND (") + ps->where + ")";
                acc.params.insert(acc.params.end(), ps->params.begin(), ps->params.end());
                acc.usesFunctions = acc.usesFunctions || ps->usesFunctions;
            }
            if (!acc.where.empty()) f.sql = std::move(acc);
        }
    }
    return true;
}

bool ViewCursor::setFilter(std::string_view text, expr::ExprError* error) {
    Filter f;
    f.text = std::string(text);
    if (!compileFilter(f, error)) return false;
    *filters_[0] = std::move(f);
    filterText_ = std::string(text);
    release();
    return true;
}

bool ViewCursor::setNamedFilter(std::string_view name, std::string_view text, expr::ExprError* error) {
    auto it = std::find_if(filters_.begin() + 1, filters_.end(),
                           [&](const std::unique_ptr<Filter>& f) { return sameName(f->name, name); });
    if (trim(text).empty()) {
        if (it != filters_.end()) filters_.erase(it);
        release();
        return true;
    }
    auto f = std::make_unique<Filter>();
    f->name = std::string(name);
    f->text = std::string(text);
    if (!compileFilter(*f, error)) return false;
    if (it != filters_.end()) *it = std::move(f);
    else filters_.push_back(std::move(f));
    release();
    return true;
}

void ViewCursor::clearFilters() {
    filters_.resize(1);
    *filters_[0] = Filter();
    filterText_.clear();
    release();
}

void ViewCursor::setPushDown(bool on) {
    pushDown_ = on;
    structureChanged();
}

int ViewCursor::pushedFilterCount() {
    ensureReady();
    int n = 0;
    for (const auto& f : filters_)
        if (f->sql) ++n;
    return n;
}

// ---------------------------------------------------------------------------
// Preparing

Status ViewCursor::ensureReady() {
    if (tables_.empty()) return Status::make(storage::kUnsupported, "la vista no tiene tabla principal");
    const storage::Driver* driver = conn_.isOpen() ? &conn_.driver() : nullptr;
    if (driver_ != driver || file_ != conn_.fileGeneration()) {
        // The connection was opened again (a repair, a file put in place of
        // its own): statements of the old handle go.
        release();
        cache_.clear();
        for (auto& t : tables_) {
            t->lookup.s.reset();
            t->own.reset();
        }
        driver_ = driver;
        file_ = conn_.fileGeneration();
    }
    for (auto& t : tables_) {
        if (!t->own) {
            t->own = std::make_unique<storage::Table>(conn_, t->def);
            Status st = t->own->open();
            if (!st.ok() && st.code != storage::kAccessDenied) {
                t->own.reset();
                return st;
            }
        }
    }
    if (!driver_) return Status::make(storage::kFileSystemError, "el archivo de datos no está abierto");
    if (!compiled_) {
        compiled_ = true;
        for (auto& f : filters_) {
            expr::ExprError e;
            if (!compileFilter(*f, &e)) {
                // A name that went away: the filter can no longer be applied.
                return Status::make(storage::kUnsupported, e.describe());
            }
        }
        rebuildOrder();
    }
    return {};
}

Statement* ViewCursor::prepareCached(const std::string& sql, Status& st) {
    auto it = cache_.find(sql);
    if (it != cache_.end()) {
        it->second->s->reset();
        it->second->s->clearBindings();
        return it->second->s.get();
    }
    if (cache_.size() > 48) {
        release();
        cache_.clear();
    }
    auto s = std::make_unique<Stmt>();
    st = conn_.prepare(sql, s->s);
    if (!st.ok()) return nullptr;
    Statement* raw = s->s.get();
    cache_.emplace(sql, std::move(s));
    return raw;
}

std::string ViewCursor::selectList() const {
    const Table& p = *tables_[0];
    std::string s;
    for (const std::string& c : p.cols) s += c + ",";
    s += "tv_row,tv_version";
    for (const OrderItem& o : order_) s += "," + o.expr;
    return s;
}

SqlValue ViewCursor::toSqlValue(const Table& t, int field, const Value& v) const {
    // Stored as the field would hold it: cut to its width, rounded to its places.
    Record& tmp = *t.scratch;
    tmp.set(field, v);
    SqlValue r;
    switch (t.kinds[static_cast<size_t>(field)]) {
    case Kind::Text:
        r.kind = SqlValue::Kind::Text;
        r.s = std::string(rtrim(tmp.text(field)));
        break;
    case Kind::Int:
        r.kind = SqlValue::Kind::Int;
        r.i = tmp.raw(field);
        break;
    case Kind::Real:
        r.kind = SqlValue::Kind::Real;
        r.d = static_cast<double>(tmp.raw(field)) / t.scale[static_cast<size_t>(field)];
        break;
    }
    return r;
}

SqlValue ViewCursor::fieldValue(int table, int field) const {
    const Table& t = *tables_[static_cast<size_t>(table)];
    SqlValue r;
    switch (t.kinds[static_cast<size_t>(field)]) {
    case Kind::Text:
        r.kind = SqlValue::Kind::Text;
        r.s = std::string(rtrim(t.buf->text(field)));
        break;
    case Kind::Int:
        r.kind = SqlValue::Kind::Int;
        r.i = t.buf->raw(field);
        break;
    case Kind::Real:
        r.kind = SqlValue::Kind::Real;
        r.d = static_cast<double>(t.buf->raw(field)) / t.scale[static_cast<size_t>(field)];
        break;
    }
    return r;
}

// Key condition, ranges and pushed filters.
std::string ViewCursor::whereBase(std::vector<SqlValue>& params) {
    const Table& p = *tables_[0];
    std::vector<std::string> conds;
    if (key_ >= 0) {
        std::string c = p.keyCond(key_, "");
        if (!c.empty()) conds.push_back(c);
    }
    const storage::Dialect& d = conn_.dialect();
    for (const Range& r : ranges_) {
        // A range compares as its column does on the file: no-case when a
        // no-case key has it (the column's collation), byte by byte else.
        const Collation coll = d.server() ? p.columnCollation(r.field) : Collation::None;
        const std::string col = d.collate(p.cols[static_cast<size_t>(r.field)], coll);
        auto value = [&](const Value& v) { return d.collateValue(param(params, toSqlValue(p, r.field, v)), coll); };
        switch (r.type) {
        case Range::Type::Value: conds.push_back(col + "=" + value(r.low)); break;
        case Range::Type::Between:
            conds.push_back(col + ">=" + value(r.low));
            conds.push_back(col + "<=" + value(r.high));
            break;
        case Range::Type::Relation: conds.push_back(col + "=" + value(r.other->get(r.otherField))); break;
        }
    }
    for (const auto& f : filters_) {
        if (!f->sql) continue;
        conds.push_back("(" + renumber(f->sql->where, params.size()) + ")");
        for (const expr::SqlParam& sp : f->sql->params) {
            SqlValue v;
            if (const long long* i = std::get_if<long long>(&sp)) {
                v.kind = SqlValue::Kind::Int;
                v.i = *i;
            } else {
                v.kind = SqlValue::Kind::Text;
                v.s = std::get<std::string>(sp);
            }
            params.push_back(std::move(v));
        }
    }
    std::string w;
    for (const std::string& c : conds) w += (w.empty() ? "" : " AND ") + c;
    return w;
}

// Opens the statements that read forward (dir > 0) or backward from the
// anchor. A seek past the values (v0, v1, ..., row) runs in phases, each an
// index range with an equality prefix: first the rest of the anchor's group
// (e0 = v0 AND e1 = v1 AND row > r), then the following groups (e0 = v0 AND
// e1 > v1), then (e0 > v0). A single row-value comparison would make SQLite
// seek on the first column only and walk every duplicate of it.
Status ViewCursor::seek(int dir) {
    release();
    Status st = ensureReady();
    if (!st.ok()) return st;
    phaseParams_.clear();
    phaseSql_.clear();
    phase_ = 0;
    std::string where = whereBase(phaseParams_);

    std::vector<std::string> seeks;
    if (anchor_ != Anchor::None) {
        struct Item {
            std::string e;
            bool desc;
            Collation coll;
        };
        const storage::Dialect& d = conn_.dialect();
        std::vector<Item> items;
        size_t nv = std::min(anchorVals_.size(), order_.size());
        for (size_t i = 0; i < nv; ++i)
            items.push_back({d.collate(order_[i].expr, order_[i].coll), order_[i].desc, order_[i].coll});
        bool withRow = anchorRowGiven_ && nv == order_.size();
        if (withRow) items.push_back({"tv_row", false, Collation::None});
        std::vector<std::string> ph;
        for (size_t i = 0; i < nv; ++i) ph.push_back(d.collateValue(param(phaseParams_, anchorVals_[i]), items[i].coll));
        if (withRow) ph.push_back(param(phaseParams_, SqlValue{SqlValue::Kind::Int, anchorRow_, 0, {}}));
        bool inclusive = anchor_ == Anchor::At;
        for (size_t p = items.size(); p-- > 0;) {
            std::string cond;
            for (size_t j = 0; j < p; ++j) cond += items[j].e + "=" + ph[j] + " AND ";
            bool up = (dir > 0) != items[p].desc;
            cond += items[p].e + (up ? ">" : "<") + (inclusive && p + 1 == items.size() ? "=" : "") + ph[p];
            seeks.push_back(cond);
        }
    }
    if (seeks.empty()) seeks.emplace_back();

    std::string head = "SELECT " + selectList() + " FROM " + tables_[0]->tableQ;
    std::string tail = " ORDER BY ";
    for (const OrderItem& o : order_)
        tail += conn_.dialect().collate(o.expr, o.coll) + (((dir > 0) != o.desc) ? "," : " DESC,");
    tail += dir > 0 ? "tv_row" : "tv_row DESC";
    for (const std::string& c : seeks) {
        std::string w = where;
        if (!c.empty()) w += (w.empty() ? "" : " AND ") + c;
        phaseSql_.push_back(head + (w.empty() ? "" : " WHERE " + w) + tail +
                            (conn_.dialect().server() ? " LIMIT " + std::to_string(kServerBatch) : std::string()));
    }
    liveDir_ = dir;
    liveGen_ = conn_.writeGeneration();
    return openPhase();
}

Status ViewCursor::openPhase() {
    Status st;
    Statement* s = prepareCached(phaseSql_[phase_], st);
    if (!s) return st;
    int n = s->parameterCount();
    for (size_t i = 0; i < phaseParams_.size() && static_cast<int>(i) < n; ++i)
        bindValue(*s, static_cast<int>(i) + 1, phaseParams_[i]);
    live_ = s;
    batchRows_ = 0;
    return {};
}

void ViewCursor::release() {
    if (live_) {
        live_->reset();
        live_ = nullptr;
        liveDir_ = 0;
    }
}

// ---------------------------------------------------------------------------
// Rows

Status ViewCursor::readJoins(bool& innerMissing) {
    innerMissing = false;
    for (size_t j = 1; j < tables_.size(); ++j) {
        Table& t = *tables_[j];
        bool parentsFound = true;
        for (const Source& s : t.sources)
            if (!tables_[static_cast<size_t>(s.table)]->found) parentsFound = false;
        t.found = false;
        if (parentsFound) {
            if (!t.lookup.s) {
                const storage::Dialect& d = conn_.dialect();
                const storage::KeyDef& kd = t.def->keys[static_cast<size_t>(t.key)];
                std::string sql = "SELECT ";
                for (const std::string& c : t.cols) sql += c + ",";
                sql += "tv_row,tv_version FROM " + t.tableQ + " WHERE ";
                for (size_t i = 0; i < t.sources.size() && i < kd.fields.size(); ++i) {
                    int f = kd.fields[i];
                    const Collation coll = collationOf(t.kinds[static_cast<size_t>(f)], kd.noCase);
                    sql += d.collate(t.cols[static_cast<size_t>(f)], coll) + "=" +
                           d.collateValue("?" + std::to_string(i + 1), coll) + " AND ";
                }
                std::string cond = t.keyCond(t.key, "");
                sql += cond.empty() ? d.truth(true) : cond;
                sql += " ORDER BY " + t.keyExprs(t.key, "") + ",tv_row LIMIT 1";
                if (Status ps = conn_.prepare(sql, t.lookup.s); !ps.ok()) return ps;
            }
            const storage::KeyDef& kd = t.def->keys[static_cast<size_t>(t.key)];
            for (size_t i = 0; i < t.sources.size() && i < kd.fields.size(); ++i) {
                const Source& s = t.sources[i];
                // The source's value stored as the key component would hold it.
                SqlValue v = toSqlValue(t, kd.fields[i], tables_[static_cast<size_t>(s.table)]->buf->get(s.field));
                bindValue(*t.lookup.s, static_cast<int>(i) + 1, v);
            }
            Statement& look = *t.lookup.s;
            const Statement::Step r = look.step();
            if (r == Statement::Step::Row) {
                t.decode(look, 0);
                t.found = true;
                if (t.watch) t.watch->setCurrent(look.columnInt(t.nf()), look.columnInt(t.nf() + 1));
            }
            Status failure = r == Statement::Step::Failed ? conn_.failed(look) : Status{};
            look.reset();
            if (!failure.ok()) return failure;
        }
        if (!t.found) {
            t.buf->clear();
            if (t.kind == JoinKind::Inner) innerMissing = true;
        }
    }
    return {};
}

Status ViewCursor::acceptRow(Statement& s, bool applyFilters, bool& accepted) {
    accepted = false;
    Table& p = *tables_[0];
    p.decode(s, 0);
    p.found = true;
    bool innerMissing = false;
    Status st = readJoins(innerMissing);
    if (!st.ok()) return st;
    if (applyFilters && innerMissing) return {};
    for (auto& c : computed_) {
        try {
            c->value = c->fn ? c->fn() : Value();
        } catch (...) {
            c->value = Value();
        }
    }
    if (applyFilters) {
        for (const auto& f : filters_) {
            if (!f->program) continue;
            if (f->complete && !verifyPushed_) continue;
            if (!f->program->test()) return {};
        }
    }
    accepted = true;
    int nf = p.nf();
    lastRow_ = s.columnInt(nf);
    if (p.watch) p.watch->setCurrent(lastRow_, s.columnInt(nf + 1));
    lastVals_.clear();
    for (size_t i = 0; i < order_.size(); ++i) lastVals_.push_back(columnValue(s, nf + 2 + static_cast<int>(i)));
    hasLast_ = true;
    anchor_ = Anchor::Last;
    anchorVals_ = lastVals_;
    anchorRow_ = lastRow_;
    anchorRowGiven_ = true;
    return {};
}

Status ViewCursor::step(int dir) {
    bool keep = sequential_ || inPage_;
    // A statement left idle is opened again, so a report that waits between
    // batches neither holds an old snapshot nor misses what others wrote.
    auto now = std::chrono::steady_clock::now();
    if (live_ && (liveDir_ != dir || liveGen_ != conn_.writeGeneration() || !keep || now - lastStep_ > kFresh))
        release();
    lastStep_ = now;
    if (!live_) {
        Status st = seek(dir);
        if (!st.ok()) return st;
    }
    bool decoded = false;
    Status result;
    const Anchor anchorWas = anchor_;
    const std::vector<SqlValue> anchorValsWere = anchorVals_;
    const int64_t anchorRowWas = anchorRow_;
    const bool anchorRowGivenWas = anchorRowGiven_;
    const bool batches = conn_.dialect().server();
    for (;;) {
        const Statement::Step r = live_->step();
        if (r == Statement::Step::Row && batches) {
            // Where the next batch starts, whether this row is taken or not.
            ++batchRows_;
            const int nf = tables_[0]->nf();
            seenRow_ = live_->columnInt(nf);
            seenVals_.clear();
            for (size_t i = 0; i < order_.size(); ++i) seenVals_.push_back(columnValue(*live_, nf + 2 + static_cast<int>(i)));
        }
        if (r == Statement::Step::Done && batches && batchRows_ >= kServerBatch) {
            anchor_ = Anchor::Last;
            anchorVals_ = seenVals_;
            anchorRow_ = seenRow_;
            anchorRowGiven_ = true;
            Status st = seek(dir);
            if (!st.ok()) {
                result = st;
                break;
            }
            continue;
        }
        if (r == Statement::Step::Row) {
            decoded = true;
            bool accepted = false;
            Status st = acceptRow(*live_, true, accepted);
            if (!st.ok()) {
                result = st;
                break;
            }
            if (accepted) {
                // Idle time counts from here: a seek that had to sort a large
                // table must not make the very next read seek (and sort) again.
                lastStep_ = std::chrono::steady_clock::now();
                if (!keep) release();
                return {};
            }
            continue;
        }
        if (r == Statement::Step::Done && phase_ + 1 < phaseSql_.size()) {
            live_->reset();
            ++phase_;
            Status st = openPhase();
            if (!st.ok()) {
                live_ = nullptr;
                result = st;
                break;
            }
            continue;
        }
        result = r == Statement::Step::Done ? Status::make(storage::kRecordNotAvailable) : conn_.failed(*live_);
        break;
    }
    release();
    if (batches && !hasLast_) {
        // Nothing taken: the position stays where it was.
        anchor_ = anchorWas;
        anchorVals_ = anchorValsWere;
        anchorRow_ = anchorRowWas;
        anchorRowGiven_ = anchorRowGivenWas;
    }
    // Rows read and left out overwrote the buffers: the current record goes back.
    if (decoded && hasLast_) {
        bool found = false;
        rowToBuffers(lastRow_, found);
    }
    return result;
}

Status ViewCursor::next() { return step(+1); }
Status ViewCursor::previous() { return step(-1); }

int ViewCursor::readPage(int n, bool forward, const std::function<void()>& onRecord, Status* st) {
    int got = 0;
    inPage_ = true;
    Status last;
    while (got < n) {
        last = forward ? next() : previous();
        if (!last.ok()) break;
        ++got;
        if (onRecord) onRecord();
    }
    inPage_ = false;
    release();
    if (st) *st = (last.code == storage::kRecordNotAvailable && got > 0) ? Status{} : last;
    return got;
}

// The record of `row` into the buffers with its joins and computed values;
// it becomes the current record and the anchor (the next read follows it).
Status ViewCursor::rowToBuffers(int64_t row, bool& found) {
    found = false;
    Status st = ensureReady();
    if (!st.ok()) return st;
    std::string sql = "SELECT " + selectList() + " FROM " + tables_[0]->tableQ + " WHERE tv_row=?1";
    Statement* s = prepareCached(sql, st);
    if (!s) return st;
    s->bindInt(1, row);
    const Statement::Step r = s->step();
    if (r == Statement::Step::Row) {
        bool accepted = false;
        st = acceptRow(*s, false, accepted);
        found = accepted;
    } else if (r == Statement::Step::Failed) {
        st = conn_.failed(*s);
    }
    s->reset();
    return st;
}

Status ViewCursor::count(int64_t& n) {
    n = 0;
    release();
    Status st = ensureReady();
    if (!st.ok()) return st;
    bool sqlOnly = std::all_of(filters_.begin(), filters_.end(),
                               [](const std::unique_ptr<Filter>& f) { return !f->program || f->complete; });
    for (size_t j = 1; j < tables_.size(); ++j)
        if (tables_[j]->kind == JoinKind::Inner) sqlOnly = false;
    if (sqlOnly) {
        std::vector<SqlValue> params;
        std::string where = whereBase(params);
        std::string sql = "SELECT count(*) FROM " + tables_[0]->tableQ + (where.empty() ? "" : " WHERE " + where);
        Statement* s = prepareCached(sql, st);
        if (!s) return st;
        for (size_t i = 0; i < params.size(); ++i) bindValue(*s, static_cast<int>(i) + 1, params[i]);
        if (s->step() == Statement::Step::Row) n = s->columnInt(0);
        else st = conn_.failed(*s);
        s->reset();
        return st;
    }
    // Walk the view, then put the buffers, computed values and position back.
    std::vector<Record> saved;
    for (const auto& t : tables_) saved.push_back(*t->buf);
    std::vector<bool> foundSaved;
    for (const auto& t : tables_) foundSaved.push_back(t->found);
    std::vector<Value> compSaved;
    for (const auto& c : computed_) compSaved.push_back(c->value);
    auto sAnchor = anchor_;
    auto sVals = anchorVals_;
    auto sRow = anchorRow_;
    auto sRowGiven = anchorRowGiven_;
    auto sHas = hasLast_;
    auto sLastVals = lastVals_;
    auto sLastRow = lastRow_;
    std::vector<std::pair<int64_t, int64_t>> watchSaved;
    for (const auto& t : tables_)
        watchSaved.emplace_back(t->watch ? t->watch->currentRow() : 0, t->watch ? t->watch->currentVersion() : 0);

    anchor_ = Anchor::None;
    bool keepSeq = sequential_;
    sequential_ = true;
    for (;;) {
        Status r = step(+1);
        if (r.ok()) {
            ++n;
            continue;
        }
        if (r.code != storage::kRecordNotAvailable) st = r;
        break;
    }
    sequential_ = keepSeq;
    release();
    for (size_t i = 0; i < tables_.size(); ++i) {
        *tables_[i]->buf = saved[i];
        tables_[i]->found = foundSaved[i];
        if (tables_[i]->watch) tables_[i]->watch->setCurrent(watchSaved[i].first, watchSaved[i].second);
    }
    for (size_t i = 0; i < computed_.size(); ++i) computed_[i]->value = compSaved[i];
    anchor_ = sAnchor;
    anchorVals_ = sVals;
    anchorRow_ = sRow;
    anchorRowGiven_ = sRowGiven;
    hasLast_ = sHas;
    lastVals_ = sLastVals;
    lastRow_ = sLastRow;
    return st;
}

void ViewCursor::setSequential(bool on) {
    if (on == sequential_) return;
    sequential_ = on;
    if (conn_.isOpen()) conn_.setOption(on ? "QUICKSCAN=on" : "QUICKSCAN=off");
    if (!on) release();
}

// ---------------------------------------------------------------------------
// Positions

void ViewCursor::reset() {
    release();
    anchor_ = Anchor::None;
    anchorVals_.clear();
    anchorRow_ = 0;
    anchorRowGiven_ = false;
    hasLast_ = false;
    lastVals_.clear();
    lastRow_ = 0;
}

namespace {

std::string encodeValue(const SqlValue& v) {
    char buf[40];
    switch (v.kind) {
    case SqlValue::Kind::Int: std::snprintf(buf, sizeof buf, "i%" PRId64 ";", v.i); return buf;
    case SqlValue::Kind::Real: std::snprintf(buf, sizeof buf, "r%.17g;", v.d); return buf;
    case SqlValue::Kind::Text: return "t" + std::to_string(v.s.size()) + ":" + v.s + ";";
    }
    return {};
}

struct Parsed {
    std::string sig;
    bool partial = false;
    int64_t row = 0;
    std::vector<SqlValue> vals;
};

// "TVP1;<signature>;<F|P>;<row>;<count>;<values>": F all of the order's
// values, P only the first ones (the rest did not fit).
std::optional<Parsed> decodePosition(std::string_view pos) {
    pos = rtrim(pos);
    Parsed p;
    auto field = [&](std::string& out) {
        auto semi = pos.find(';');
        if (semi == std::string_view::npos) return false;
        out = std::string(pos.substr(0, semi));
        pos.remove_prefix(semi + 1);
        return true;
    };
    std::string magic, flag, row, cnt;
    if (!field(magic) || magic != "TVP1" || !field(p.sig) || !field(flag) || !field(row) || !field(cnt))
        return std::nullopt;
    if (flag != "F" && flag != "P") return std::nullopt;
    p.partial = flag == "P";
    char* end = nullptr;
    p.row = std::strtoll(row.c_str(), &end, 10);
    if (row.empty() || *end) return std::nullopt;
    long n = std::strtol(cnt.c_str(), &end, 10);
    if (cnt.empty() || *end || n < 0 || n > 64) return std::nullopt;
    for (long i = 0; i < n; ++i) {
        if (pos.empty()) return std::nullopt;
        char k = pos[0];
        pos.remove_prefix(1);
        SqlValue v;
        if (k == 't') {
            auto colon = pos.find(':');
            if (colon == std::string_view::npos) return std::nullopt;
            std::string len(pos.substr(0, colon));
            unsigned long l = std::strtoul(len.c_str(), &end, 10);
            if (len.empty() || *end || l > pos.size() || colon + 1 + l > pos.size()) return std::nullopt;
            v.kind = SqlValue::Kind::Text;
            v.s = std::string(pos.substr(colon + 1, l));
            pos.remove_prefix(colon + 1 + l);
            if (pos.empty() || pos[0] != ';') return std::nullopt;
            pos.remove_prefix(1);
        } else {
            std::string num;
            if (!field(num) || num.empty()) return std::nullopt;
            if (k == 'i') {
                v.kind = SqlValue::Kind::Int;
                v.i = std::strtoll(num.c_str(), &end, 10);
            } else if (k == 'r') {
                v.kind = SqlValue::Kind::Real;
                v.d = std::strtod(num.c_str(), &end);
            } else {
                return std::nullopt;
            }
            if (*end) return std::nullopt;
        }
        p.vals.push_back(std::move(v));
    }
    return p;
}

}  // namespace

std::string ViewCursor::position() const {
    if (!hasLast_) return {};
    std::string head = "TVP1;" + orderSignature() + ";";
    std::string tail = std::to_string(lastRow_) + ";";
    std::vector<std::string> enc;
    for (const SqlValue& v : lastVals_) enc.push_back(encodeValue(v));
    size_t k = enc.size();
    auto total = [&](size_t n) {
        size_t t = head.size() + 2 + tail.size() + std::to_string(n).size() + 1;
        for (size_t i = 0; i < n; ++i) t += enc[i].size();
        return t;
    };
    while (k > 0 && total(k) > kPositionSize) --k;
    std::string out = head + (k == enc.size() ? "F;" : "P;") + tail + std::to_string(k) + ";";
    for (size_t i = 0; i < k; ++i) out += enc[i];
    return out;
}

bool ViewCursor::setPosition(std::string_view pos) {
    reset();
    auto p = decodePosition(pos);
    if (!p) return false;
    if (p->sig == orderSignature() && !p->partial && p->vals.size() == order_.size()) {
        anchor_ = Anchor::At;
        anchorVals_ = p->vals;
        anchorRow_ = p->row;
        anchorRowGiven_ = true;
        return true;
    }
    // Another order, or values that did not fit: the record's own values now.
    setPositionRow(p->row);
    if (anchor_ == Anchor::None && p->sig == orderSignature() && !p->vals.empty()) {
        // Gone, and only the first values are known: at or after them.
        anchor_ = Anchor::At;
        anchorVals_ = p->vals;
        anchorRowGiven_ = false;
    }
    return true;
}

bool ViewCursor::setPositionRow(int64_t row) {
    reset();
    if (!ensureReady().ok()) return false;
    std::string sql = "SELECT " + selectList() + " FROM " + tables_[0]->tableQ + " WHERE tv_row=?1";
    Status st;
    Statement* s = prepareCached(sql, st);
    if (!s) return false;
    s->bindInt(1, row);
    bool found = s->step() == Statement::Step::Row;
    if (found) {
        int nf = tables_[0]->nf();
        for (size_t i = 0; i < order_.size(); ++i) anchorVals_.push_back(columnValue(*s, nf + 2 + static_cast<int>(i)));
        anchor_ = Anchor::At;
        anchorRow_ = row;
        anchorRowGiven_ = true;
    }
    s->reset();
    return found;
}

void ViewCursor::setPositionFromBuffer() {
    reset();
    if (tables_.empty()) return;
    anchorVals_.clear();
    for (const OrderItem& o : order_) {
        SqlValue v = fieldValue(o.table, o.field);
        if (o.table == 0) {
            for (const Range& r : ranges_) {
                if (r.field != o.field) continue;
                if (r.type == Range::Type::Value) v = toSqlValue(*tables_[0], r.field, r.low);
                if (r.type == Range::Type::Relation) v = toSqlValue(*tables_[0], r.field, r.other->get(r.otherField));
            }
        }
        anchorVals_.push_back(std::move(v));
    }
    anchor_ = Anchor::At;
    anchorRowGiven_ = false;
}

Status ViewCursor::reget(std::string_view pos) {
    auto p = decodePosition(pos);
    if (!p) return Status::make(storage::kRecordNotAvailable);
    release();
    bool found = false;
    Status st = rowToBuffers(p->row, found);
    if (!st.ok()) return st;
    return found ? Status{} : Status::make(storage::kRecordNotAvailable);
}

}  // namespace tv::view
