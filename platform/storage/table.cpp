// Table handles: schema from the declaration, reads in key order with a
// stepping cursor, writes with the watch, auto-numbers and reservations.
#include <sqlite3.h>

#include <cctype>
#include <climits>
#include <cmath>

#include "platform/storage/sql_util.h"
#include "platform/storage/storage.h"
#include "platform/types/text.h"

namespace tv::storage {

using namespace detail;
using Clock = std::chrono::steady_clock;

namespace {

// A stored value of one key component, kept to seek from.
struct Val {
    Kind kind = Kind::Int;
    int64_t i = 0;
    double d = 0;
    std::string s;
};

// A cursor left idle longer than this is re-seeked, so a list that waits for
// the user reads what other stations wrote meanwhile.
constexpr auto kCursorFresh = std::chrono::milliseconds(20);

}  // namespace

struct Table::Impl {
    bool detached = false;
    std::string tableQ;              // quoted table name
    std::vector<std::string> cols;   // quoted column names
    std::vector<Kind> kinds;
    std::vector<double> scale;       // 10^places for REAL columns
    int nf = 0;
    std::string selectList;          // fields, tv_row, tv_version, tv_pending
    std::vector<std::string> cond;   // per key: the partial index condition ("" none)
    std::vector<std::string> exprs;  // per key: "c1" COLLATE X, ...
    std::vector<bool> excludesPending;

    Stmt insert, update, del, byRow, count;
    std::vector<std::pair<std::vector<int>, Stmt>> partialUpdates;  // by the fields they write
    std::vector<Stmt> byKey, dupCheck;
    std::vector<Stmt> seek;          // (key+1)*8 + kind, see seekSql
    Stmt numGet, numPut, numMax;

    // Stepping cursor.
    sqlite3_stmt* cur = nullptr;
    int curDir = 0;
    int curKind = 0;
    int64_t scanRow = 0;
    Clock::time_point lastStep{};

    // Position: none, at key values (inclusive), or after/before the last record read.
    enum class Anchor { None, At, Last } anchor = Anchor::None;
    std::vector<Val> vals;
    std::vector<Val> seekVals;       // what the running scan statement is bound to
    int64_t row = 0;
    bool rowGiven = false;

    int64_t reservedVersion = 0;
    int64_t reservedNumber = 0;

    // The auto-numbered key's entry in tv_autonumber (lower case, so an alias
    // shares it) and in the connection's cache.
    std::string numTbl, numCol, numCacheKey;

    int colRow() const { return nf; }
    int colVersion() const { return nf + 1; }
    int colPending() const { return nf + 2; }
};

namespace {

void bindVal(sqlite3_stmt* s, int idx, const Val& v) {
    switch (v.kind) {
    case Kind::Text: sqlite3_bind_text(s, idx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_STATIC); break;
    case Kind::Int: sqlite3_bind_int64(s, idx, v.i); break;
    case Kind::Real: sqlite3_bind_double(s, idx, v.d); break;
    }
}

bool fieldEmpty(const Record& rec, int i, Kind k) {
    return k == Kind::Text ? rtrim(rec.text(i)).empty() : rec.raw(i) == 0;
}

// Largest number an auto-numbered field can hold.
int64_t numberLimit(const FieldSpec& f) {
    switch (f.type) {
    case FieldType::Decimal: {
        int d = f.size - f.places;
        if (d <= 0) return 0;
        if (d >= 18) return INT64_MAX;
        int64_t m = 1;
        for (int i = 0; i < d; ++i) m *= 10;
        return m - 1;
    }
    case FieldType::Long: return INT32_MAX;
    case FieldType::Short: return INT16_MAX;
    case FieldType::Byte: return UINT8_MAX;
    case FieldType::Date: return INT32_MAX;
    default: return 0;
    }
}

}  // namespace

Table::Table(Connection& c, std::shared_ptr<const TableDef> def) : c_(c), def_(std::move(def)), impl_(new Impl) {
    Impl& m = *impl_;
    const RecordLayout& lay = *def_->layout;
    m.nf = lay.fieldCount();
    m.tableQ = quoteId(def_->table);
    ColumnMap map = columnMap(*def_);
    m.cols = std::move(map.cols);
    m.kinds = std::move(map.kinds);
    m.scale = std::move(map.scale);
    for (const std::string& col : m.cols) m.selectList += col + ",";
    m.selectList += "tv_row,tv_version,tv_pending";
    for (const KeyDef& k : def_->keys) {
        std::string e, opt;
        for (size_t j = 0; j < k.fields.size(); ++j) {
            int f = k.fields[j];
            if (j) e += ",";
            e += m.cols[static_cast<size_t>(f)];
            bool text = m.kinds[static_cast<size_t>(f)] == Kind::Text;
            if (text) e += k.noCase ? " COLLATE TVNOCASE" : " COLLATE BINARY";
            if (j) opt += " OR ";
            opt += m.cols[static_cast<size_t>(f)] + (text ? "<>''" : "<>0");
        }
        bool exclPending = k.unique && !k.autoNumber;
        std::string cond;
        if (exclPending) cond = "tv_pending=0";
        if (k.optional) cond += std::string(cond.empty() ? "" : " AND ") + "(" + opt + ")";
        m.exprs.push_back(e);
        m.cond.push_back(cond);
        m.excludesPending.push_back(exclPending);
    }
    if (int ak = def_->autoNumberKey(); ak >= 0) {
        auto lower = [](std::string x) {
            for (char& ch : x) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            return x;
        };
        const std::string& q = m.cols[static_cast<size_t>(def_->keys[static_cast<size_t>(ak)].fields.at(0))];
        m.numTbl = lower(def_->table);
        m.numCol = lower(q.substr(1, q.size() - 2));
        m.numCacheKey = m.numTbl + '\x1f' + m.numCol;
    }
    m.byKey.resize(def_->keys.size());
    m.dupCheck.resize(def_->keys.size());
    m.seek.resize((def_->keys.size() + 1) * 8);
    c_.registerTable(this);
}

Table::~Table() {
    if (!impl_->detached) {
        resetCursor();
        c_.unregisterTable(this);
    }
}

void Table::detach() {
    forgetFile();
    impl_->detached = true;
}

void Table::forgetFile() {
    resetCursor();
    Impl& m = *impl_;
    for (Stmt* s : {&m.insert, &m.update, &m.del, &m.byRow, &m.count, &m.numGet, &m.numPut, &m.numMax}) s->finalize();
    for (auto* v : {&m.byKey, &m.dupCheck, &m.seek})
        for (Stmt& s : *v) s.finalize();
    m.partialUpdates.clear();
    m.anchor = Impl::Anchor::None;
    opened_ = false;
    currentRow_ = currentVersion_ = reservedRow_ = 0;
    currentPending_ = false;
}

void Table::resetCursor() {
    if (impl_->cur) {
        sqlite3_reset(impl_->cur);
        impl_->cur = nullptr;
        impl_->curDir = 0;
    }
}

// ---------------------------------------------------------------------------
// Schema

Status Table::open() { return openSchema(true, nullptr); }

Status Table::checkSchema(bool& missing) {
    missing = false;
    return openSchema(false, &missing);
}

// Reads which columns, keys and rules of the declaration the database has;
// with `create`, adds what is missing (in a unit of work, joined to the
// caller's when one is open); without, only says so in `*missing`.
Status Table::openSchema(bool create, bool* missingOut) {
    Impl& m = *impl_;
    if (m.detached) return Status::make(kFileSystemError, "la conexión con el archivo de datos se cerró");
    if (!c_.isOpen()) return c_.openStatus();
    const Status& cs = c_.setUpAgainIfBusy();
    if (!cs.ok() && cs.code != kAccessDenied) return cs;
    sqlite3* db = c_.db();
    if (!c_.tableReady(def_->table)) {
        const bool own = def_->connectionPrivate;
        const char* schema = own ? "temp" : "main";
        const std::string master = own ? "sqlite_temp_master" : "sqlite_master";
        // Which columns and keys exist?
        std::vector<std::string> have;
        {
            Stmt st;
            int rc = prepare(db, "SELECT name FROM pragma_table_info(?1, ?2)", st);
            if (rc != SQLITE_OK) return c_.statusFromSqlite(rc);
            sqlite3_bind_text(st.s, 1, def_->table.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(st.s, 2, schema, -1, SQLITE_STATIC);
            while ((rc = sqlite3_step(st.s)) == SQLITE_ROW)
                have.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.s, 0)));
            if (rc != SQLITE_DONE) return c_.statusFromSqlite(rc);
        }
        auto hasCol = [&](const std::string& quoted) {
            std::string plain = quoted.substr(1, quoted.size() - 2);
            for (const auto& h : have)
                if (sqlite3_stricmp(h.c_str(), plain.c_str()) == 0) return true;
            return false;
        };
        auto typeOf = [&](int i) {
            std::string t;
            switch (m.kinds[static_cast<size_t>(i)]) {
            case Kind::Text: {
                bool noCase = false;
                for (const KeyDef& k : def_->keys)
                    for (int kf : k.fields)
                        if (kf == i && k.noCase) noCase = true;
                t = std::string("TEXT NOT NULL DEFAULT ''") + (noCase ? " COLLATE TVNOCASE" : "");
                break;
            }
            case Kind::Int: t = "INTEGER NOT NULL DEFAULT 0"; break;
            case Kind::Real: t = "REAL NOT NULL DEFAULT 0"; break;
            }
            return t;
        };
        std::vector<std::string> ddl;
        if (have.empty()) {
            std::string sql = std::string(own ? "CREATE TEMP TABLE" : "CREATE TABLE") + " IF NOT EXISTS " + m.tableQ +
                              "(tv_row INTEGER PRIMARY KEY";
            for (int i = 0; i < m.nf; ++i) sql += "," + m.cols[static_cast<size_t>(i)] + " " + typeOf(i);
            sql += ",tv_version INTEGER NOT NULL DEFAULT 0,tv_pending INTEGER NOT NULL DEFAULT 0,tv_owner TEXT)";
            ddl.push_back(sql);
        } else {
            if (!hasCol("\"tv_row\"") || !hasCol("\"tv_version\"") || !hasCol("\"tv_pending\""))
                return Status::make(kFileSystemError, "la tabla " + def_->table + " no fue creada por este programa");
            // Reservations of older databases have no owner: leftovers.
            if (!hasCol("\"tv_owner\"")) ddl.push_back("ALTER TABLE " + m.tableQ + " ADD COLUMN tv_owner TEXT");
            for (int i = 0; i < m.nf; ++i)
                if (!hasCol(m.cols[static_cast<size_t>(i)]))
                    ddl.push_back("ALTER TABLE " + m.tableQ + " ADD COLUMN " + m.cols[static_cast<size_t>(i)] + " " +
                                  typeOf(i));
        }
        for (size_t k = 0; k < def_->keys.size(); ++k) {
            const KeyDef& kd = def_->keys[k];
            std::string sql = std::string("CREATE ") + (kd.unique ? "UNIQUE " : "") + "INDEX IF NOT EXISTS " +
                              (own ? "temp." : "") + quoteId("tv_" + def_->table + "_" + std::to_string(k)) +
                              " ON " + m.tableQ + "(" +
                              m.exprs[k] + (kd.unique ? "" : ",tv_row") + ")";
            if (!m.cond[k].empty()) sql += " WHERE " + m.cond[k];
            ddl.push_back(sql);
        }
        // The owners of reservations, found without reading the table.
        const std::string ownerIndex = "tv_" + def_->table + "_owner";
        ddl.push_back("CREATE INDEX IF NOT EXISTS " + std::string(own ? "temp." : "") + quoteId(ownerIndex) + " ON " +
                      m.tableQ + "(tv_owner) WHERE tv_pending<>0");
        // Indexes that already exist are skipped by IF NOT EXISTS; only write
        // when something is missing.
        bool missing = have.empty() || ddl.size() > def_->keys.size() + 1;
        if (!missing) {
            Stmt st;
            int rc = prepare(db, "SELECT count(*) FROM " + master + " WHERE type='index' AND name=?", st);
            if (rc != SQLITE_OK) return c_.statusFromSqlite(rc);
            for (size_t k = 0; k <= def_->keys.size() && !missing; ++k) {
                std::string name = k < def_->keys.size() ? "tv_" + def_->table + "_" + std::to_string(k) : ownerIndex;
                sqlite3_bind_text(st.s, 1, name.c_str(), -1, SQLITE_TRANSIENT);
                rc = sqlite3_step(st.s);
                if (rc != SQLITE_ROW) return c_.statusFromSqlite(rc);
                if (sqlite3_column_int(st.s, 0) == 0) missing = true;
                sqlite3_reset(st.s);
            }
        }
        if (!missing && !own) {
            Stmt st;
            int rc = prepare(db, "SELECT count(*) FROM sqlite_master WHERE type='trigger' AND name=?", st);
            if (rc != SQLITE_OK) return c_.statusFromSqlite(rc);
            for (size_t r = 0; r < def_->rules.size() && !missing; ++r) {
                sqlite3_bind_text(st.s, 1, def_->rules[r].name.c_str(), -1, SQLITE_TRANSIENT);
                rc = sqlite3_step(st.s);
                if (rc != SQLITE_ROW) return c_.statusFromSqlite(rc);
                if (sqlite3_column_int(st.s, 0) == 0) missing = true;
                sqlite3_reset(st.s);
            }
        }
        if (!own)
            for (const TableRule& r : def_->rules) ddl.push_back(r.sql);
        if (missing && !create) {
            *missingOut = true;
            return {};
        }
        if (missing && c_.readOnly() && !own) {
            // What exists is read as it is; the rest waits for a station
            // that may write.
            if (have.empty()) return Status::make(kFileNotFound);
        } else if (missing) {
            Transaction tx(c_, std::nullopt, own);
            if (!tx.ok()) return tx.status();
            for (const auto& sql : ddl) {
                Status st = c_.exec(sql);
                if (st.ok()) continue;
                // Busy or a full disk is no failure to create the table.
                if (st.code == kLockTimeout || st.code == kDiskFull || !have.empty()) return st;
                return Status::make(kFileNotFound, st.text);
            }
            Status st = tx.commit();
            if (!st.ok()) return st;
        }
        // A cheap probe that meets a damaged table at once.
        Status st = c_.exec("SELECT max(tv_row) FROM " + m.tableQ);
        if (!st.ok()) return st;
        c_.markTableReady(def_->table);
    }
    opened_ = true;
    return c_.readOnly() ? Status::make(kAccessDenied) : Status{};
}

#define TV_ENSURE_OPEN()                                                        \
    do {                                                                        \
        if (impl_->detached) return Status::make(kFileSystemError, "la conexión con el archivo de datos se cerró"); \
        if (!opened_) {                                                         \
            Status st_ = open();                                                \
            if (!st_.ok() && st_.code != kAccessDenied) return st_;             \
        }                                                                       \
    } while (0)

// ---------------------------------------------------------------------------
// Reading

namespace {

void readRow(const Table::Impl& m, sqlite3_stmt* s, Record& rec) {
    for (int i = 0; i < m.nf; ++i) {
        switch (m.kinds[static_cast<size_t>(i)]) {
        case Kind::Text: {
            auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
            int n = sqlite3_column_bytes(s, i);
            rec.setText(i, std::string_view(p ? p : "", static_cast<size_t>(n)));
            break;
        }
        case Kind::Int: rec.setRaw(i, sqlite3_column_int64(s, i)); break;
        case Kind::Real:
            rec.setRaw(i, std::llround(sqlite3_column_double(s, i) * m.scale[static_cast<size_t>(i)]));
            break;
        }
    }
}

}  // namespace

// Saves the position of the row under `s` in the current order.
static void saveFrom(Table::Impl& m, const TableDef& def, int order, sqlite3_stmt* s) {
    m.anchor = Table::Impl::Anchor::Last;
    m.row = sqlite3_column_int64(s, m.colRow());
    m.rowGiven = true;
    if (order < 0) return;
    const KeyDef& k = def.keys[static_cast<size_t>(order)];
    m.vals.resize(k.fields.size());
    for (size_t j = 0; j < k.fields.size(); ++j) {
        int f = k.fields[j];
        Val& v = m.vals[j];
        v.kind = m.kinds[static_cast<size_t>(f)];
        switch (v.kind) {
        case Kind::Text: {
            auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, f));
            v.s.assign(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(s, f)));
            break;
        }
        case Kind::Int: v.i = sqlite3_column_int64(s, f); break;
        case Kind::Real: v.d = sqlite3_column_double(s, f); break;
        }
    }
}

Status Table::readByKey(int key, Record& rec) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    if (key < 0 || key >= static_cast<int>(def_->keys.size())) return Status::make(kUnsupported);
    const KeyDef& k = def_->keys[static_cast<size_t>(key)];
    if (k.optional) {
        bool empty = true;
        for (int f : k.fields) empty = empty && fieldEmpty(rec, f, m.kinds[static_cast<size_t>(f)]);
        if (empty) return Status::make(kRecordNotAvailable);
    }
    Stmt& st = m.byKey[static_cast<size_t>(key)];
    if (!st.s) {
        std::string sql = "SELECT " + m.selectList + " FROM " + m.tableQ + " WHERE ";
        for (size_t j = 0; j < k.fields.size(); ++j) {
            int f = k.fields[j];
            if (j) sql += " AND ";
            sql += m.cols[static_cast<size_t>(f)];
            if (m.kinds[static_cast<size_t>(f)] == Kind::Text) sql += k.noCase ? " COLLATE TVNOCASE" : " COLLATE BINARY";
            sql += "=?";
        }
        if (!m.cond[static_cast<size_t>(key)].empty()) sql += " AND " + m.cond[static_cast<size_t>(key)];
        // A unique key matches one record at most: ordering it would only
        // make SQLite sort (a temporary B-tree per read).
        if (!k.unique) sql += " ORDER BY " + m.exprs[static_cast<size_t>(key)] + ",tv_row";
        sql += " LIMIT 1";
        int rc = prepare(c_.db(), sql, st);
        if (rc != SQLITE_OK) return c_.statusFromSqlite(rc);
    }
    for (size_t j = 0; j < k.fields.size(); ++j) {
        int f = k.fields[j];
        bindField(st.s, static_cast<int>(j) + 1, rec, f, m.kinds[static_cast<size_t>(f)], m.scale[static_cast<size_t>(f)]);
    }
    int rc = sqlite3_step(st.s);
    Status result;
    if (rc == SQLITE_ROW) {
        readRow(m, st.s, rec);
        currentRow_ = sqlite3_column_int64(st.s, m.colRow());
        currentVersion_ = sqlite3_column_int64(st.s, m.colVersion());
        currentPending_ = sqlite3_column_int(st.s, m.colPending()) != 0;
        resetCursor();
        saveFrom(m, *def_, order_, st.s);
    } else if (rc == SQLITE_DONE) {
        result = Status::make(kRecordNotAvailable);
    } else {
        result = c_.statusFromSqlite(rc);
    }
    st.reset();
    return result;
}

Status Table::readByRow(int64_t row, Record& rec) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    if (!m.byRow.s) {
        int rc = prepare(c_.db(), "SELECT " + m.selectList + " FROM " + m.tableQ + " WHERE tv_row=?", m.byRow);
        if (rc != SQLITE_OK) return c_.statusFromSqlite(rc);
    }
    sqlite3_bind_int64(m.byRow.s, 1, row);
    int rc = sqlite3_step(m.byRow.s);
    Status result;
    if (rc == SQLITE_ROW) {
        readRow(m, m.byRow.s, rec);
        currentRow_ = row;
        currentVersion_ = sqlite3_column_int64(m.byRow.s, m.colVersion());
        currentPending_ = sqlite3_column_int(m.byRow.s, m.colPending()) != 0;
        resetCursor();
        saveFrom(m, *def_, order_, m.byRow.s);
    } else if (rc == SQLITE_DONE) {
        result = Status::make(kRecordNotAvailable);
    } else {
        result = c_.statusFromSqlite(rc);
    }
    m.byRow.reset();
    return result;
}

void Table::setOrder(int key) {
    resetCursor();
    order_ = (key >= 0 && key < static_cast<int>(def_->keys.size())) ? key : kRecordOrder;
    impl_->anchor = Impl::Anchor::None;
}

void Table::setPosition(int key, const Record& rec, std::optional<int64_t> row) {
    setOrder(key);
    Impl& m = *impl_;
    m.anchor = Impl::Anchor::At;
    m.rowGiven = row.has_value();
    m.row = row.value_or(0);
    m.vals.clear();
    if (order_ < 0) return;
    for (int f : def_->keys[static_cast<size_t>(order_)].fields) {
        Val v;
        v.kind = m.kinds[static_cast<size_t>(f)];
        switch (v.kind) {
        case Kind::Text: v.s = std::string(rtrim(rec.text(f))); break;
        case Kind::Int: v.i = rec.raw(f); break;
        case Kind::Real: v.d = static_cast<double>(rec.raw(f)) / m.scale[static_cast<size_t>(f)]; break;
        }
        m.vals.push_back(std::move(v));
    }
}

void Table::setPositionRow(int64_t row) {
    setOrder(kRecordOrder);
    impl_->anchor = Impl::Anchor::At;
    impl_->rowGiven = true;
    impl_->row = row;
}

// The statements of a scan. Forward kinds (backward = kind + 1 mirrors them):
//   0 all in order;  2 (k) >= values;  4 k = values AND tv_row >= r, by tv_row;
//   6 (k) > values.
// A position inside a run of equal key values is resumed in two steps (4,
// then 6), each a range on the index: SQLite does not take tv_row into a
// row-value range, and a scan from the start of a long run of equals would
// make every resumption cost the length of the run.
static std::string seekSql(const Table::Impl& m, const TableDef& def, int key, int kind) {
    const bool desc = kind & 1;
    const int base = kind & ~1;
    std::string lhs, rhs, eq, order;
    if (key >= 0) {
        const KeyDef& k = def.keys[static_cast<size_t>(key)];
        for (size_t j = 0; j < k.fields.size(); ++j) {
            size_t f = static_cast<size_t>(k.fields[j]);
            std::string coll;
            if (m.kinds[f] == Kind::Text) coll = k.noCase ? " COLLATE TVNOCASE" : " COLLATE BINARY";
            if (j) {
                lhs += ",";
                rhs += ",";
                eq += " AND ";
            }
            lhs += m.cols[f];
            rhs += "?" + coll;
            eq += m.cols[f] + "=?" + coll;
            order += m.cols[f] + coll + (desc ? " DESC," : ",");
        }
        if (k.fields.size() > 1) {
            lhs = "(" + lhs + ")";
            rhs = "(" + rhs + ")";
        }
    }
    std::string where;
    switch (base) {
    case 2: where = lhs + (desc ? "<=" : ">=") + rhs; break;
    case 4: where = (eq.empty() ? "" : eq + " AND ") + std::string("tv_row") + (desc ? "<=?" : ">=?"); break;
    case 6: where = lhs + (desc ? "<" : ">") + rhs; break;
    default: break;
    }
    std::string cond = key < 0 ? std::string() : m.cond[static_cast<size_t>(key)];
    if (!cond.empty()) where += std::string(where.empty() ? "" : " AND ") + cond;
    std::string sql = "SELECT " + m.selectList + " FROM " + m.tableQ;
    if (!where.empty()) sql += " WHERE " + where;
    sql += " ORDER BY ";
    if (base != 4) sql += order;
    sql += desc ? "tv_row DESC" : "tv_row";
    return sql;
}

Status Table::startScan(int kind) {
    Impl& m = *impl_;
    Stmt& st = m.seek[static_cast<size_t>((order_ + 1) * 8 + kind)];
    if (!st.s) {
        int rc = prepare(c_.db(), seekSql(m, *def_, order_, kind), st);
        if (rc != SQLITE_OK) return c_.statusFromSqlite(rc);
    }
    int idx = 1;
    // Bound without copying, so from values that do not change while it runs.
    m.seekVals = m.vals;
    if (kind >= 2 && order_ >= 0)
        for (const Val& v : m.seekVals) bindVal(st.s, idx++, v);
    if ((kind & ~1) == 4) sqlite3_bind_int64(st.s, idx, m.scanRow);
    m.cur = st.s;
    m.curKind = kind;
    return {};
}

Status Table::step(int dir, Record& rec) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    auto now = Clock::now();
    if (m.cur && (m.curDir != dir || now - m.lastStep > kCursorFresh)) resetCursor();
    const int back = dir > 0 ? 0 : 1;
    if (!m.cur) {
        Status st;
        if (m.anchor == Impl::Anchor::None) {
            st = startScan(0 + back);
        } else if (m.anchor == Impl::Anchor::At && !m.rowGiven) {
            st = startScan(order_ < 0 ? 0 + back : 2 + back);
        } else {
            m.scanRow = m.row;
            if (m.anchor == Impl::Anchor::Last) m.scanRow += dir;  // past the record last read
            st = startScan(4 + back);
        }
        if (!st.ok()) return st;
        m.curDir = dir;
    }
    int rc = sqlite3_step(m.cur);
    if (rc == SQLITE_DONE && (m.curKind & ~1) == 4 && order_ >= 0) {
        // The run of equal values is done: on to the greater (lesser) ones.
        sqlite3_reset(m.cur);
        Status st = startScan(6 + back);
        if (!st.ok()) {
            m.cur = nullptr;
            return st;
        }
        rc = sqlite3_step(m.cur);
    }
    m.lastStep = now;
    if (rc == SQLITE_ROW) {
        readRow(m, m.cur, rec);
        currentRow_ = sqlite3_column_int64(m.cur, m.colRow());
        currentVersion_ = sqlite3_column_int64(m.cur, m.colVersion());
        currentPending_ = sqlite3_column_int(m.cur, m.colPending()) != 0;
        saveFrom(m, *def_, order_, m.cur);
        return {};
    }
    resetCursor();
    if (rc == SQLITE_DONE) return Status::make(kRecordNotAvailable);
    return c_.statusFromSqlite(rc);
}

Status Table::next(Record& rec) { return step(+1, rec); }
Status Table::previous(Record& rec) { return step(-1, rec); }

Status Table::count(int64_t& n) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    if (!m.count.s) {
        int rc = prepare(c_.db(), "SELECT count(*) FROM " + m.tableQ, m.count);
        if (rc != SQLITE_OK) return c_.statusFromSqlite(rc);
    }
    int rc = sqlite3_step(m.count.s);
    Status result;
    if (rc == SQLITE_ROW) n = sqlite3_column_int64(m.count.s, 0);
    else result = c_.statusFromSqlite(rc);
    m.count.reset();
    return result;
}

// ---------------------------------------------------------------------------
// Writing

// After a unique constraint failed: the first key, in declaration order,
// whose values another record already holds.
int Table::duplicatedKey(const Record& rec, int64_t selfRow, bool pending) {
    Impl& m = *impl_;
    for (size_t k = 0; k < def_->keys.size(); ++k) {
        const KeyDef& kd = def_->keys[k];
        if (!kd.unique) continue;
        if (pending && m.excludesPending[k]) continue;
        if (kd.optional) {
            bool empty = true;
            for (int f : kd.fields) empty = empty && fieldEmpty(rec, f, m.kinds[static_cast<size_t>(f)]);
            if (empty) continue;
        }
        Stmt& st = m.dupCheck[k];
        if (!st.s) {
            std::string sql = "SELECT 1 FROM " + m.tableQ + " WHERE ";
            for (size_t j = 0; j < kd.fields.size(); ++j) {
                int f = kd.fields[j];
                sql += m.cols[static_cast<size_t>(f)];
                if (m.kinds[static_cast<size_t>(f)] == Kind::Text)
                    sql += kd.noCase ? " COLLATE TVNOCASE" : " COLLATE BINARY";
                sql += "=? AND ";
            }
            if (!m.cond[k].empty()) sql += m.cond[k] + " AND ";
            sql += "tv_row<>? LIMIT 1";
            if (prepare(c_.db(), sql, st) != SQLITE_OK) continue;
        }
        int idx = 1;
        for (int f : kd.fields)
            bindField(st.s, idx++, rec, f, m.kinds[static_cast<size_t>(f)], m.scale[static_cast<size_t>(f)]);
        sqlite3_bind_int64(st.s, idx, selfRow);
        int rc = sqlite3_step(st.s);
        st.reset();
        if (rc == SQLITE_ROW) return static_cast<int>(k);
    }
    return -1;
}

Status Table::failWrite(int rc, const Record& rec, int64_t selfRow, bool pending) {
    Status st = c_.statusFromSqlite(rc);
    if (st.code == kCreatesDuplicateKey) st.keyIndex = duplicatedKey(rec, selfRow, pending);
    c_.endWrite(false);
    return st;
}

// The next number of the auto-numbered key: one more than the highest ever
// given (kept in tv_autonumber) or now stored, whichever is higher. Runs
// inside the write transaction.
Status Table::nextNumber(int64_t& n) {
    Impl& m = *impl_;
    int key = def_->autoNumberKey();
    int f = def_->keys[static_cast<size_t>(key)].fields.at(0);
    Connection::NumberCache& cache = c_.numberCache(m.numCacheKey);
    if (cache.txn == c_.transactionId() && c_.transactionDepth() + (c_.streaming() ? 1 : 0) > 0) {
        n = cache.last + 1;
    } else {
        // A table of the connection alone numbers from its own rows: its
        // numbers mean nothing to anyone else (and it writes nothing shared).
        const bool shared = !def_->connectionPrivate;
        if (!m.numMax.s) {
            if (shared) {
                int rc = prepare(c_.db(), "SELECT last FROM tv_autonumber WHERE tbl=?1 AND col=?2", m.numGet);
                if (rc != SQLITE_OK) return c_.statusFromSqlite(rc);
            }
            std::string sql = "SELECT max(" + m.cols[static_cast<size_t>(f)] + ") FROM " + m.tableQ;
            if (!m.cond[static_cast<size_t>(key)].empty()) sql += " WHERE " + m.cond[static_cast<size_t>(key)];
            int rc = prepare(c_.db(), sql, m.numMax);
            if (rc != SQLITE_OK) return c_.statusFromSqlite(rc);
        }
        int64_t last = 0;
        int rc = SQLITE_OK;
        if (shared) {
            sqlite3_bind_text(m.numGet.s, 1, m.numTbl.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(m.numGet.s, 2, m.numCol.c_str(), -1, SQLITE_STATIC);
            rc = sqlite3_step(m.numGet.s);
            if (rc == SQLITE_ROW) last = sqlite3_column_int64(m.numGet.s, 0);
            m.numGet.reset();
            if (rc != SQLITE_ROW && rc != SQLITE_DONE) return c_.statusFromSqlite(rc);
        }
        rc = sqlite3_step(m.numMax.s);
        if (rc == SQLITE_ROW) {
            int64_t mx = m.kinds[static_cast<size_t>(f)] == Kind::Real
                             ? std::llround(sqlite3_column_double(m.numMax.s, 0))
                             : sqlite3_column_int64(m.numMax.s, 0);
            if (mx > last) last = mx;
        }
        m.numMax.reset();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) return c_.statusFromSqlite(rc);
        // A number this unit gave and has not written yet is still given.
        Connection::NumberCache& again = c_.numberCache(m.numCacheKey);
        if (again.unwrittenTxn == c_.transactionId() && again.unwritten > last) last = again.unwritten;
        n = last + 1;
    }
    if (n > numberLimit(def_->layout->field(f)))
        return Status::make(kFileSystemError, "el número automático no cabe en su campo");
    return {};
}

// Records `n` as given for the auto-numbered key (never lowers the counter).
Status Table::noteNumber(int64_t n) {
    Impl& m = *impl_;
    // A table of the connection alone keeps no shared record (see nextNumber).
    // Inside a unit of work the counter is written once, at its commit
    // (Connection::writeNumbers), however many records the unit adds.
    if (!def_->connectionPrivate && c_.transactionDepth() > 0) {
        Connection::NumberCache& cache = c_.numberCache(m.numCacheKey);
        if (cache.unwrittenTxn != c_.transactionId()) {
            cache.unwrittenTxn = c_.transactionId();
            cache.unwritten = n;
        } else if (n > cache.unwritten) {
            cache.unwritten = n;
        }
    } else if (!def_->connectionPrivate) {
        if (!m.numPut.s) {
            int rc = prepare(c_.db(),
                             "INSERT INTO tv_autonumber(tbl,col,last) VALUES(?1,?2,?3) ON CONFLICT(tbl,col) "
                             "DO UPDATE SET last=excluded.last WHERE excluded.last>last",
                             m.numPut);
            if (rc != SQLITE_OK) return c_.statusFromSqlite(rc);
        }
        sqlite3_bind_text(m.numPut.s, 1, m.numTbl.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(m.numPut.s, 2, m.numCol.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_int64(m.numPut.s, 3, n);
        int rc = sqlite3_step(m.numPut.s);
        m.numPut.reset();
        if (rc != SQLITE_DONE) return c_.statusFromSqlite(rc);
    }
    Connection::NumberCache& cache = c_.numberCache(m.numCacheKey);
    if (cache.txn != c_.transactionId()) {
        cache.txn = c_.transactionId();
        cache.last = n;
    } else if (n > cache.last) {
        cache.last = n;
    }
    return {};
}

Status Table::add(Record& rec, Numbering numbering, bool pending) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    Status st = c_.beginWrite(def_->connectionPrivate);
    if (!st.ok()) return st;
    int akey = def_->autoNumberKey();
    int af = akey >= 0 ? def_->keys[static_cast<size_t>(akey)].fields.at(0) : -1;
    if (akey >= 0 && numbering == Numbering::Assign) {
        int64_t n = 0;
        st = nextNumber(n);
        if (!st.ok()) {
            c_.endWrite(false);
            return st;
        }
        rec.setRaw(af, n);
    }
    if (!m.insert.s) {
        std::string sql = "INSERT INTO " + m.tableQ + "(";
        std::string vals;
        for (int i = 0; i < m.nf; ++i) {
            sql += m.cols[static_cast<size_t>(i)] + ",";
            vals += "?,";
        }
        sql += "tv_version,tv_pending,tv_owner) VALUES(" + vals + "?,?,?)";
        int rc = prepare(c_.db(), sql, m.insert);
        if (rc != SQLITE_OK) {
            st = c_.statusFromSqlite(rc);
            c_.endWrite(false);
            return st;
        }
    }
    for (int i = 0; i < m.nf; ++i)
        bindField(m.insert.s, i + 1, rec, i, m.kinds[static_cast<size_t>(i)], m.scale[static_cast<size_t>(i)]);
    int64_t version = c_.nextVersion();
    sqlite3_bind_int64(m.insert.s, m.nf + 1, version);
    sqlite3_bind_int(m.insert.s, m.nf + 2, pending ? 1 : 0);
    // A reservation says whose it is: if that owner ends without storing
    // or cancelling it, any station can tell it is left over.
    const std::string owner = pending ? c_.owner() : std::string();
    if (pending) sqlite3_bind_text(m.insert.s, m.nf + 3, owner.c_str(), -1, SQLITE_TRANSIENT);
    else sqlite3_bind_null(m.insert.s, m.nf + 3);
    int rc = sqlite3_step(m.insert.s);
    m.insert.reset();
    if (rc != SQLITE_DONE) {
        // Rows written past the layer may have taken the number: ask again.
        if (af >= 0) c_.numberCache(m.numCacheKey).txn = 0;
        return failWrite(rc, rec, 0, pending);
    }
    int64_t row = sqlite3_last_insert_rowid(c_.db());
    if (af >= 0) {
        int64_t given = rec.raw(af);
        if (m.kinds[static_cast<size_t>(af)] == Kind::Real)
            given = std::llround(static_cast<double>(given) / m.scale[static_cast<size_t>(af)]);
        if (given > 0) {
            st = noteNumber(given);
            if (!st.ok()) {
                c_.endWrite(false);
                return st;
            }
        }
    }
    st = c_.endWrite(true);
    if (!st.ok()) return st;
    currentRow_ = row;
    currentVersion_ = version;
    currentPending_ = pending;
    if (pending) {
        reservedRow_ = row;
        m.reservedVersion = version;
        m.reservedNumber = rec.raw(af);
    }
    return {};
}

Status Table::insert(Record& rec, Numbering n) { return add(rec, n, false); }

Status Table::reserve(Record& rec) {
    if (def_->autoNumberKey() < 0) return Status::make(kUnsupported);
    if (reservedRow_) return Status::make(kFileSystemError, "ya hay un número reservado para un registro nuevo que no se guardó");
    return add(rec, Numbering::Assign, true);
}

// Rewrites `row` from `rec` (all fields, or only `fields`) when its version
// is still `version`.
Status Table::rewrite(Record& rec, int64_t row, int64_t version, int64_t& newVersion, bool& changed,
                      const std::vector<int>* fields) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    changed = false;
    Status st = c_.beginWrite(def_->connectionPrivate);
    if (!st.ok()) return st;
    Stmt* stmt = &m.update;
    if (fields != nullptr) {
        stmt = nullptr;
        for (auto& [list, prepared] : m.partialUpdates)
            if (list == *fields) stmt = &prepared;
        if (stmt == nullptr) {
            for (int f : *fields)
                if (f < 0 || f >= m.nf) {
                    c_.endWrite(false);
                    return Status::make(kUnsupported);
                }
            m.partialUpdates.emplace_back(*fields, Stmt());
            stmt = &m.partialUpdates.back().second;
        }
    }
    if (!stmt->s) {
        std::string sql = "UPDATE " + m.tableQ + " SET ";
        if (fields != nullptr)
            for (int f : *fields) sql += m.cols[static_cast<size_t>(f)] + "=?,";
        else
            for (int i = 0; i < m.nf; ++i) sql += m.cols[static_cast<size_t>(i)] + "=?,";
        // Only a whole record completes a reservation. A partial rewrite
        // leaves tv_pending alone: naming it would make SQLite rewrite every
        // index whose condition reads it, that is most of them.
        sql += fields != nullptr ? "tv_version=? WHERE tv_row=? AND tv_version=?"
                                 : "tv_version=?,tv_pending=0,tv_owner=NULL WHERE tv_row=? AND tv_version=?";
        int rc = prepare(c_.db(), sql, *stmt);
        if (rc != SQLITE_OK) {
            st = c_.statusFromSqlite(rc);
            c_.endWrite(false);
            return st;
        }
    }
    int idx = 0;
    auto bindOne = [&](int i) {
        bindField(stmt->s, ++idx, rec, i, m.kinds[static_cast<size_t>(i)], m.scale[static_cast<size_t>(i)]);
    };
    if (fields != nullptr)
        for (int f : *fields) bindOne(f);
    else
        for (int i = 0; i < m.nf; ++i) bindOne(i);
    newVersion = c_.nextVersion();
    sqlite3_bind_int64(stmt->s, idx + 1, newVersion);
    sqlite3_bind_int64(stmt->s, idx + 2, row);
    sqlite3_bind_int64(stmt->s, idx + 3, version);
    int rc = sqlite3_step(stmt->s);
    stmt->reset();
    if (rc != SQLITE_DONE) return failWrite(rc, rec, row, false);
    changed = sqlite3_changes(c_.db()) > 0;
    return c_.endWrite(true);
}

Status Table::update(Record& rec) { return updateCurrent(rec, nullptr); }

Status Table::update(Record& rec, const std::vector<int>& fields) { return updateCurrent(rec, &fields); }

Status Table::updateCurrent(Record& rec, const std::vector<int>* fields) {
    if (!currentRow_) return Status::make(kRecordNotAvailable);
    int64_t nv = 0;
    bool changed = false;
    Status st = rewrite(rec, currentRow_, currentVersion_, nv, changed, fields);
    if (!st.ok()) return st;
    if (changed) {
        currentVersion_ = nv;
        if (fields == nullptr) {
            currentPending_ = false;
            if (currentRow_ == reservedRow_) reservedRow_ = 0;
        } else if (currentRow_ == reservedRow_) {
            impl_->reservedVersion = nv;   // still ours to complete
        }
        return {};
    }
    // Someone else changed (or deleted) it: show their version, watched anew.
    int64_t row = currentRow_;
    st = readByRow(row, rec);
    if (st.code == kRecordNotAvailable) {
        currentRow_ = 0;
        return st;
    }
    if (!st.ok()) return st;
    return Status::make(kRecordChanged);
}

Status Table::completeReservation(Record& rec) {
    if (!reservedRow_) return Status::make(kRecordNotAvailable);
    Impl& m = *impl_;
    int af = def_->keys[static_cast<size_t>(def_->autoNumberKey())].fields.at(0);
    rec.setRaw(af, m.reservedNumber);
    int64_t nv = 0;
    bool changed = false;
    Status st = rewrite(rec, reservedRow_, m.reservedVersion, nv, changed);
    if (!st.ok()) return st;
    if (!changed) {
        reservedRow_ = 0;
        return Status::make(kRecordNotAvailable);
    }
    currentRow_ = reservedRow_;
    currentVersion_ = nv;
    currentPending_ = false;
    reservedRow_ = 0;
    return {};
}

Status Table::removeRow(int64_t row, bool onlyPending) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    Status st = c_.beginWrite(def_->connectionPrivate);
    if (!st.ok()) return st;
    if (!m.del.s) {
        int rc = prepare(c_.db(), "DELETE FROM " + m.tableQ + " WHERE tv_row=?1 AND tv_pending>=?2", m.del);
        if (rc != SQLITE_OK) {
            st = c_.statusFromSqlite(rc);
            c_.endWrite(false);
            return st;
        }
    }
    sqlite3_bind_int64(m.del.s, 1, row);
    sqlite3_bind_int(m.del.s, 2, onlyPending ? 1 : 0);
    int rc = sqlite3_step(m.del.s);
    m.del.reset();
    if (rc != SQLITE_DONE) {
        st = c_.statusFromSqlite(rc);
        c_.endWrite(false);
        return st;
    }
    bool gone = sqlite3_changes(c_.db()) > 0;
    st = c_.endWrite(true);
    if (!st.ok()) return st;
    return gone ? Status{} : Status::make(kRecordNotAvailable);
}

Status Table::deleteCurrent() {
    if (!currentRow_) return Status::make(kRecordNotAvailable);
    Status st = removeRow(currentRow_, false);
    if (st.ok() || st.code == kRecordNotAvailable) {
        if (currentRow_ == reservedRow_) reservedRow_ = 0;
        currentRow_ = 0;
    }
    return st;
}

Status Table::deleteAll(int64_t* deleted) {
    TV_ENSURE_OPEN();
    Status st = c_.beginWrite();
    if (!st.ok()) return st;
    // Without a condition SQLite drops the table's pages at once instead of
    // deleting row by row.
    int rc = sqlite3_exec(c_.db(), ("DELETE FROM " + impl_->tableQ).c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        st = c_.statusFromSqlite(rc);
        c_.endWrite(false);
        return st;
    }
    if (deleted != nullptr) *deleted = sqlite3_changes64(c_.db());
    currentRow_ = 0;
    reservedRow_ = 0;
    impl_->anchor = Impl::Anchor::None;
    return c_.endWrite(true);
}

Status Table::cancelReservation() {
    if (!reservedRow_) return {};
    Status st = removeRow(reservedRow_, true);
    if (st.ok() || st.code == kRecordNotAvailable) {
        if (currentRow_ == reservedRow_) currentRow_ = 0;
        reservedRow_ = 0;
        return {};
    }
    return st;
}

Table::HandleState Table::handleState() const {
    return {currentRow_, currentVersion_, reservedRow_, impl_->reservedVersion, impl_->reservedNumber,
            c_.fileGeneration()};
}

void Table::restoreHandleState(const HandleState& s) {
    resetCursor();
    if (s.file != c_.fileGeneration()) {
        // Taken on a file the connection no longer has: its rows mean nothing here.
        currentRow_ = currentVersion_ = reservedRow_ = 0;
        return;
    }
    currentRow_ = s.currentRow;
    currentVersion_ = s.currentVersion;
    reservedRow_ = s.reservedRow;
    impl_->reservedVersion = s.reservedVersion;
    impl_->reservedNumber = s.reservedNumber;
}

Status Table::peekNextNumber(int64_t& n) {
    TV_ENSURE_OPEN();
    if (def_->autoNumberKey() < 0) return Status::make(kUnsupported);
    c_.quiesce();
    return nextNumber(n);
}

}  // namespace tv::storage

namespace tv::storage {

Status createTables(Connection& c, const std::vector<std::shared_ptr<const TableDef>>& defs) {
    std::vector<std::unique_ptr<Table>> tables;
    bool anyMissing = false;
    for (const auto& def : defs) {
        tables.push_back(std::make_unique<Table>(c, def));
        bool missing = false;
        Status st = tables.back()->checkSchema(missing);
        if (!st.ok() && st.code != kAccessDenied) return st;
        anyMissing = anyMissing || missing;
    }
    if (!anyMissing) return {};
    if (c.readOnly()) return Status::make(kAccessDenied);
    Status st;
    {
        Transaction tx(c);
        if (!tx.ok()) return tx.status();
        for (auto& t : tables) {
            st = t->open();
            if (!st.ok()) break;
        }
        if (st.ok()) st = tx.commit();
    }
    // Tables made in a unit that was rolled back are not there after all.
    if (!st.ok()) c.forgetReadyTables();
    return st;
}

}  // namespace tv::storage
