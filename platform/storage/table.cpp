// Table handles: schema from the declaration, reads in key order with a
// stepping cursor, writes with the watch, auto-numbers and reservations.
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

// A stored value of one key component, kept to seek from (a decimal as
// its scaled integer).
struct Val {
    Kind kind = Kind::Int;
    int64_t i = 0;
    int places = 0;
    std::string s;
};

// A cursor left idle longer than this is re-seeked, so a list that waits for
// the user reads what other stations wrote meanwhile.
constexpr auto kCursorFresh = std::chrono::milliseconds(20);

// The server answers a statement whole: a scan there reads this many rows
// at a time, and seeks past the last one read for the next batch.
constexpr int kServerBatch = 64;

}  // namespace

struct Table::Impl {
    bool detached = false;
    std::string tableQ;              // quoted table name
    std::vector<std::string> cols;   // quoted column names
    std::vector<Kind> kinds;
    std::vector<double> scale;       // 10^places for decimal columns with places
    std::vector<int> places;
    int nf = 0;
    std::string selectList;          // fields, tv_row, tv_version, tv_pending
    std::vector<std::string> cond;   // per key: the partial index condition ("" none)
    std::vector<std::string> exprs;  // per key: "c1" COLLATE X, ...
    std::vector<bool> excludesPending;

    Stmt insert, update, del, byRow, count;
    std::vector<std::pair<std::vector<int>, Stmt>> partialUpdates;  // by the fields they write
    struct PartRead {
        int key = 0, order = 0;
        std::vector<int> fields;
        Stmt st;
        std::vector<std::pair<int, int>> runs;   // columns selected: (first, count)
    };
    std::vector<PartRead> partReads;   // readByKey of some fields, by key, order and fields
    std::vector<Stmt> byKey, dupCheck, delByKey;
    std::vector<Stmt> seek;          // (key+1)*8 + kind, see seekSql
    Stmt numPut, numMax;

    // Stepping cursor.
    Statement* cur = nullptr;
    int curDir = 0;
    int curKind = 0;
    int batchRows = 0;               // rows the running statement gave (the server's batches)
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

void bindVal(Statement& s, int idx, const Val& v) {
    switch (v.kind) {
    case Kind::Text: s.bindText(idx, v.s); break;
    case Kind::Int: s.bindInt(idx, v.i); break;
    case Kind::Real: s.bindDecimal(idx, v.i, v.places); break;
    }
}

Collation collationOf(Kind k, bool noCase) {
    if (k != Kind::Text) return Collation::None;
    return noCase ? Collation::NoCase : Collation::Binary;
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
    m.places = std::move(map.places);
    for (const std::string& col : m.cols) m.selectList += col + ",";
    m.selectList += "tv_row,tv_version,tv_pending";
    const Dialect& d = c_.dialect();
    for (const KeyDef& k : def_->keys) {
        std::string e, opt;
        for (size_t j = 0; j < k.fields.size(); ++j) {
            int f = k.fields[j];
            if (j) e += ",";
            bool text = m.kinds[static_cast<size_t>(f)] == Kind::Text;
            e += d.collate(m.cols[static_cast<size_t>(f)], collationOf(m.kinds[static_cast<size_t>(f)], k.noCase));
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
    m.delByKey.resize(def_->keys.size());
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
    for (Stmt* s : {&m.insert, &m.update, &m.del, &m.byRow, &m.count, &m.numPut, &m.numMax}) s->finalize();
    for (auto* v : {&m.byKey, &m.dupCheck, &m.seek})
        for (Stmt& s : *v) s.finalize();
    m.partialUpdates.clear();
    m.partReads.clear();
    m.anchor = Impl::Anchor::None;
    opened_ = false;
    currentRow_ = currentVersion_ = reservedRow_ = partialRow_ = 0;
    currentPending_ = false;
}

void Table::resetCursor() {
    if (impl_->cur) {
        impl_->cur->reset();
        impl_->cur = nullptr;
        impl_->curDir = 0;
        c_.noteCursorClosed(this);
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
    if (!c_.tableReady(def_->table)) {
        const Dialect& d = c_.dialect();
        const bool own = def_->connectionPrivate;
        const char* schema = own ? "temp" : "main";
        // Which columns and keys exist?
        std::vector<std::string> have;
        {
            Stmt st;
            if (Status ps = prepare(c_, d.columnsSql(), st); !ps.ok()) return ps;
            st.s->bindText(1, def_->table);
            st.s->bindText(2, schema);
            Statement::Step r;
            while ((r = st.s->step()) == Statement::Step::Row) have.emplace_back(st.s->columnText(0));
            if (r == Statement::Step::Failed) return c_.failed(*st.s);
        }
        auto hasCol = [&](const std::string& quoted) {
            std::string plain = quoted.substr(1, quoted.size() - 2);
            for (const auto& h : have)
                if (sameNameNoCase(h, plain)) return true;
            return false;
        };
        auto typeOf = [&](int i) {
            std::string t;
            const FieldSpec& fs = def_->layout->field(i);
            switch (m.kinds[static_cast<size_t>(i)]) {
            case Kind::Text: {
                bool noCase = false;
                for (const KeyDef& k : def_->keys)
                    for (int kf : k.fields)
                        if (kf == i && k.noCase) noCase = true;
                t = d.textType(noCase);
                break;
            }
            case Kind::Int: t = d.intType(); break;
            case Kind::Real: t = d.decimalType(fs.size, fs.places); break;
            }
            return t;
        };
        std::vector<std::string> ddl;
        if (have.empty()) {
            std::string sql = std::string(own ? d.createPrivateTable() : "CREATE TABLE") + " IF NOT EXISTS " +
                              m.tableQ + "(" + d.rowIdColumn();
            for (int i = 0; i < m.nf; ++i) sql += "," + m.cols[static_cast<size_t>(i)] + " " + typeOf(i);
            sql += ",tv_version " + d.intType() + ",tv_pending " + d.intType() + ",tv_owner " + d.ownerType() + ")";
            ddl.push_back(sql);
        } else {
            if (!hasCol("\"tv_row\"") || !hasCol("\"tv_version\"") || !hasCol("\"tv_pending\""))
                return Status::make(kFileSystemError, "la tabla " + def_->table + " no fue creada por este programa");
            // Reservations of older databases have no owner: leftovers.
            if (!hasCol("\"tv_owner\""))
                ddl.push_back("ALTER TABLE " + m.tableQ + " ADD COLUMN tv_owner " + d.ownerType());
            for (int i = 0; i < m.nf; ++i)
                if (!hasCol(m.cols[static_cast<size_t>(i)]))
                    ddl.push_back("ALTER TABLE " + m.tableQ + " ADD COLUMN " + m.cols[static_cast<size_t>(i)] + " " +
                                  typeOf(i));
            if (Status ws = widenDecimals(ddl); !ws.ok()) return ws;
        }
        for (size_t k = 0; k < def_->keys.size(); ++k) {
            const KeyDef& kd = def_->keys[k];
            std::string sql = std::string("CREATE ") + (kd.unique ? "UNIQUE " : "") + "INDEX IF NOT EXISTS " +
                              (own ? d.privateIndexPrefix() : "") + quoteId("tv_" + def_->table + "_" + std::to_string(k)) +
                              " ON " + m.tableQ + "(" +
                              m.exprs[k] + (kd.unique ? "" : ",tv_row") + ")";
            if (!m.cond[k].empty()) sql += " WHERE " + m.cond[k];
            ddl.push_back(sql);
        }
        // The owners of reservations, found without reading the table.
        const std::string ownerIndex = "tv_" + def_->table + "_owner";
        ddl.push_back("CREATE INDEX IF NOT EXISTS " + std::string(own ? d.privateIndexPrefix() : "") + quoteId(ownerIndex) + " ON " +
                      m.tableQ + "(tv_owner) WHERE tv_pending<>0");
        // Indexes that already exist are skipped by IF NOT EXISTS; only write
        // when something is missing.
        bool missing = have.empty() || ddl.size() > def_->keys.size() + 1;
        if (!missing) {
            Stmt st;
            Status ps = prepare(c_, d.indexExistsSql(own), st);
            if (!ps.ok()) return ps;
            for (size_t k = 0; k <= def_->keys.size() && !missing; ++k) {
                std::string name = k < def_->keys.size() ? "tv_" + def_->table + "_" + std::to_string(k) : ownerIndex;
                st.s->bindTextCopy(1, name);
                if (st.s->step() != Statement::Step::Row) return c_.failed(*st.s);
                if (st.s->columnInt(0) == 0) missing = true;
                st.s->reset();
            }
        }
        if (!missing && !own) {
            Stmt st;
            Status ps = prepare(c_, d.triggerExistsSql(), st);
            if (!ps.ok()) return ps;
            for (size_t r = 0; r < def_->rules.size() && !missing; ++r) {
                st.s->bindTextCopy(1, def_->rules[r].name);
                st.s->bindText(2, def_->table);
                if (st.s->step() != Statement::Step::Row) return c_.failed(*st.s);
                if (st.s->columnInt(0) == 0) missing = true;
                st.s->reset();
            }
        }
        if (!own)
            for (const TableRule& r : def_->rules)
                for (std::string& sql : d.ruleSql(m.tableQ, r)) ddl.push_back(std::move(sql));
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

// A decimal column an older declaration stored with fewer digits or
// places than the field has now is widened, so every value of the field
// fits; one stored wider keeps what it has (nothing is cut or rounded).
Status Table::widenDecimals(std::vector<std::string>& ddl) {
    const Dialect& d = c_.dialect();
    const char* sql = d.decimalColumnsSql();
    if (sql == nullptr) return {};
    Impl& m = *impl_;
    Stmt st;
    if (Status ps = prepare(c_, sql, st); !ps.ok()) return ps;
    st.s->bindText(1, def_->table);
    Statement::Step r;
    while ((r = st.s->step()) == Statement::Step::Row) {
        const std::string name(st.s->columnText(0));
        const int digits = static_cast<int>(st.s->columnInt(1)), places = static_cast<int>(st.s->columnInt(2));
        for (int i = 0; i < m.nf; ++i) {
            const std::string& q = m.cols[static_cast<size_t>(i)];
            if (m.kinds[static_cast<size_t>(i)] != Kind::Real || !sameNameNoCase(name, q.substr(1, q.size() - 2)))
                continue;
            const FieldSpec& fs = def_->layout->field(i);
            const int wantPlaces = std::max(places, fs.places);
            const int wantDigits = std::max(digits - places, fs.size - fs.places) + wantPlaces;
            if (wantDigits != digits || wantPlaces != places)
                ddl.push_back(d.widenDecimalSql(m.tableQ, q, wantDigits, wantPlaces));
        }
    }
    if (r == Statement::Step::Failed) return c_.failed(*st.s);
    return {};
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

void readRow(const Table::Impl& m, Statement& s, Record& rec) { s.readFields(0, rec, m.kinds.data(), m.places.data(), m.nf); }

// A row read in part: the selected columns from the statement, the others
// blank, as their NULLs would read.
void readRowRuns(const Table::Impl& m, Statement& s, Record& rec, const std::vector<std::pair<int, int>>& runs) {
    int next = 0;
    auto blankTo = [&](int end) {
        for (; next < end; ++next)
            if (m.kinds[static_cast<size_t>(next)] == Kind::Text) rec.setText(next, {});
            else rec.setRaw(next, 0);
    };
    for (const auto& [first, count] : runs) {
        blankTo(first);
        s.readFields(first, rec, m.kinds.data() + first, m.places.data() + first, count, first);
        next = first + count;
    }
    blankTo(m.nf);
}

}  // namespace

// Saves the position of the row under `s` in the current order.
static void saveFrom(Table::Impl& m, const TableDef& def, int order, Statement& s) {
    m.anchor = Table::Impl::Anchor::Last;
    m.row = s.columnInt(m.colRow());
    m.rowGiven = true;
    if (order < 0) return;
    const KeyDef& k = def.keys[static_cast<size_t>(order)];
    m.vals.resize(k.fields.size());
    for (size_t j = 0; j < k.fields.size(); ++j) {
        int f = k.fields[j];
        Val& v = m.vals[j];
        v.kind = m.kinds[static_cast<size_t>(f)];
        v.places = m.places[static_cast<size_t>(f)];
        switch (v.kind) {
        case Kind::Text: v.s.assign(s.columnText(f)); break;
        case Kind::Int: v.i = s.columnInt(f); break;
        case Kind::Real: v.i = s.columnDecimal(f, v.places); break;
        }
    }
}

bool Table::keyBlank(int key, const Record& rec) const {
    const KeyDef& k = def_->keys[static_cast<size_t>(key)];
    if (!k.optional) return false;
    for (int f : k.fields)
        if (!fieldEmpty(rec, f, impl_->kinds[static_cast<size_t>(f)])) return false;
    return true;
}

std::string Table::byKeySql(int key, const std::string& selectList) const {
    const Impl& m = *impl_;
    std::string sql = "SELECT " + selectList + " FROM " + m.tableQ + " WHERE " + keyEquals(key, 1);
    if (!m.cond[static_cast<size_t>(key)].empty()) sql += " AND " + m.cond[static_cast<size_t>(key)];
    // A unique key matches one record at most: ordering it would only
    // make SQLite sort (a temporary B-tree per read).
    if (!def_->keys[static_cast<size_t>(key)].unique) sql += " ORDER BY " + m.exprs[static_cast<size_t>(key)] + ",tv_row";
    return sql + " LIMIT 1";
}

Status Table::readByKey(int key, Record& rec) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    if (key < 0 || key >= static_cast<int>(def_->keys.size())) return Status::make(kUnsupported);
    if (keyBlank(key, rec)) return Status::make(kRecordNotAvailable);
    Stmt& st = m.byKey[static_cast<size_t>(key)];
    if (!st.s) {
        if (Status ps = prepare(c_, byKeySql(key, m.selectList), st); !ps.ok()) return ps;
    }
    const KeyDef& k = def_->keys[static_cast<size_t>(key)];
    for (size_t j = 0; j < k.fields.size(); ++j) {
        int f = k.fields[j];
        bindField(*st.s, static_cast<int>(j) + 1, rec, f, m.kinds[static_cast<size_t>(f)], m.places[static_cast<size_t>(f)]);
    }
    return readOne(st, rec);
}

Status Table::readByKey(int key, Record& rec, const std::vector<int>& fields) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    for (int f : fields)
        if (f < 0 || f >= m.nf) return Status::make(kUnsupported);
    // On the server a read costs one exchange whatever its columns, and a
    // record read whole needs no second read before the commit.
    if (c_.onServer()) return readByKey(key, rec);
    if (key < 0 || key >= static_cast<int>(def_->keys.size())) return Status::make(kUnsupported);
    if (keyBlank(key, rec)) return Status::make(kRecordNotAvailable);
    const KeyDef& k = def_->keys[static_cast<size_t>(key)];
    Impl::PartRead* part = nullptr;
    for (Impl::PartRead& r : m.partReads)
        if (r.key == key && r.order == order_ && r.fields == fields) part = &r;
    if (part == nullptr) {
        // Unread columns are selected as NULL, so column i is still field i
        // and SQLite copies nothing of them; only the runs of read columns
        // are asked for.
        std::vector<char> wanted(static_cast<size_t>(m.nf), 0);
        for (int f : fields) wanted[static_cast<size_t>(f)] = 1;
        for (int f : k.fields) wanted[static_cast<size_t>(f)] = 1;
        if (order_ >= 0)
            for (int f : def_->keys[static_cast<size_t>(order_)].fields) wanted[static_cast<size_t>(f)] = 1;
        std::string list;
        for (size_t i = 0; i < wanted.size(); ++i) list += (wanted[i] ? m.cols[i] : std::string("NULL")) + ",";
        list += "tv_row,tv_version,tv_pending";
        Stmt st;
        if (Status ps = prepare(c_, byKeySql(key, list), st); !ps.ok()) return ps;
        std::vector<std::pair<int, int>> runs;
        for (int i = 0; i < m.nf; ++i)
            if (wanted[static_cast<size_t>(i)]) {
                if (!runs.empty() && runs.back().first + runs.back().second == i) ++runs.back().second;
                else runs.emplace_back(i, 1);
            }
        m.partReads.push_back({key, order_, fields, std::move(st), std::move(runs)});
        part = &m.partReads.back();
    }
    for (size_t j = 0; j < k.fields.size(); ++j) {
        int f = k.fields[j];
        bindField(*part->st.s, static_cast<int>(j) + 1, rec, f, m.kinds[static_cast<size_t>(f)], m.places[static_cast<size_t>(f)]);
    }
    Status st = readOne(part->st, rec, &part->runs);
    if (st.ok()) partialRow_ = currentRow_;
    return st;
}

// "c1 = ?n AND c2 = ?n+1 ...": key `key`'s components equal to values, each
// compared as the key compares it.
std::string Table::keyEquals(int key, int firstParam) const {
    const Impl& m = *impl_;
    const Dialect& d = c_.dialect();
    const KeyDef& k = def_->keys[static_cast<size_t>(key)];
    std::string sql;
    for (size_t j = 0; j < k.fields.size(); ++j) {
        auto f = static_cast<size_t>(k.fields[j]);
        const Collation coll = collationOf(m.kinds[f], k.noCase);
        if (j) sql += " AND ";
        sql += d.collate(m.cols[f], coll) + "=" + d.collateValue("?" + std::to_string(firstParam + static_cast<int>(j)), coll);
    }
    return sql;
}

// Steps a statement that reads at most one record; found, it becomes the
// current record and the position.
Status Table::readOne(Stmt& st, Record& rec, const std::vector<std::pair<int, int>>* runs) {
    Impl& m = *impl_;
    Status result;
    switch (st.s->step()) {
    case Statement::Step::Row:
        if (runs != nullptr) readRowRuns(m, *st.s, rec, *runs);
        else readRow(m, *st.s, rec);
        partialRow_ = 0;
        currentRow_ = st.s->columnInt(m.colRow());
        currentVersion_ = st.s->columnInt(m.colVersion());
        currentPending_ = st.s->columnInt(m.colPending()) != 0;
        resetCursor();
        saveFrom(m, *def_, order_, *st.s);
        break;
    case Statement::Step::Done: result = Status::make(kRecordNotAvailable); break;
    case Statement::Step::Failed: result = c_.failed(*st.s); break;
    }
    st.reset();
    return result;
}

Status Table::readByRow(int64_t row, Record& rec) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    if (!m.byRow.s) {
        Status ps = prepare(c_, "SELECT " + m.selectList + " FROM " + m.tableQ + " WHERE tv_row=?1", m.byRow);
        if (!ps.ok()) return ps;
    }
    m.byRow.s->bindInt(1, row);
    return readOne(m.byRow, rec);
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
        v.places = m.places[static_cast<size_t>(f)];
        switch (v.kind) {
        case Kind::Text: v.s = std::string(rtrim(rec.text(f))); break;
        case Kind::Int:
        case Kind::Real: v.i = rec.raw(f); break;
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
static std::string seekSql(const Table::Impl& m, const TableDef& def, const Dialect& d, int key, int kind) {
    const bool desc = kind & 1;
    const int base = kind & ~1;
    std::string lhs, rhs, eq, order;
    int n = 0;
    if (key >= 0) {
        const KeyDef& k = def.keys[static_cast<size_t>(key)];
        for (size_t j = 0; j < k.fields.size(); ++j) {
            size_t f = static_cast<size_t>(k.fields[j]);
            const Collation coll = collationOf(m.kinds[f], k.noCase);
            const std::string p = "?" + std::to_string(++n);
            if (j) {
                lhs += ",";
                rhs += ",";
                eq += " AND ";
            }
            lhs += d.server() ? d.collate(m.cols[f], coll) : m.cols[f];
            rhs += d.server() ? d.collateValue(p, coll) : d.collate(p, coll);
            eq += d.collate(m.cols[f], coll) + "=" + d.collateValue(p, coll);
            order += d.collate(m.cols[f], coll) + (desc ? " DESC," : ",");
        }
        if (k.fields.size() > 1) {
            lhs = "(" + lhs + ")";
            rhs = "(" + rhs + ")";
        }
    }
    std::string where;
    switch (base) {
    case 2: where = lhs + (desc ? "<=" : ">=") + rhs; break;
    case 4:
        where = (eq.empty() ? "" : eq + " AND ") + std::string("tv_row") + (desc ? "<=?" : ">=?") + std::to_string(n + 1);
        break;
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
    if (d.server()) sql += " LIMIT " + std::to_string(kServerBatch);
    return sql;
}

Status Table::startScan(int kind) {
    Impl& m = *impl_;
    Stmt& st = m.seek[static_cast<size_t>((order_ + 1) * 8 + kind)];
    if (!st.s) {
        if (Status ps = prepare(c_, seekSql(m, *def_, c_.dialect(), order_, kind), st); !ps.ok()) return ps;
    }
    int idx = 1;
    // Bound without copying, so from values that do not change while it runs.
    m.seekVals = m.vals;
    if (kind >= 2 && order_ >= 0)
        for (const Val& v : m.seekVals) bindVal(*st.s, idx++, v);
    if ((kind & ~1) == 4) st.s->bindInt(idx, m.scanRow);
    if (!m.cur) c_.noteCursorOpen(this);
    m.cur = st.s.get();
    m.curKind = kind;
    m.batchRows = 0;
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
    Statement::Step r = m.cur->step();
    while (r == Statement::Step::Done && m.batchRows >= kServerBatch) {
        // A whole batch read: the next one starts past its last record.
        resetCursor();
        m.scanRow = m.row + dir;
        Status st = startScan(4 + back);
        if (!st.ok()) return st;
        m.curDir = dir;
        r = m.cur->step();
    }
    if (r == Statement::Step::Done && (m.curKind & ~1) == 4 && order_ >= 0) {
        // The run of equal values is done: on to the greater (lesser) ones.
        m.cur->reset();
        Status st = startScan(6 + back);
        if (!st.ok()) {
            m.cur = nullptr;
            c_.noteCursorClosed(this);
            return st;
        }
        r = m.cur->step();
    }
    m.lastStep = now;
    if (r == Statement::Step::Row) {
        ++m.batchRows;
        readRow(m, *m.cur, rec);
        partialRow_ = 0;
        currentRow_ = m.cur->columnInt(m.colRow());
        currentVersion_ = m.cur->columnInt(m.colVersion());
        currentPending_ = m.cur->columnInt(m.colPending()) != 0;
        saveFrom(m, *def_, order_, *m.cur);
        return {};
    }
    Status failure = r == Statement::Step::Failed ? c_.failed(*m.cur) : Status::make(kRecordNotAvailable);
    resetCursor();
    return failure;
}

Status Table::next(Record& rec) { return step(+1, rec); }
Status Table::previous(Record& rec) { return step(-1, rec); }

Status Table::count(int64_t& n) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    if (!m.count.s) {
        if (Status ps = prepare(c_, "SELECT count(*) FROM " + m.tableQ, m.count); !ps.ok()) return ps;
    }
    Status result;
    if (m.count.s->step() == Statement::Step::Row) n = m.count.s->columnInt(0);
    else result = c_.failed(*m.count.s);
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
            std::string sql = "SELECT 1 FROM " + m.tableQ + " WHERE " + keyEquals(static_cast<int>(k), 1) + " AND ";
            if (!m.cond[k].empty()) sql += m.cond[k] + " AND ";
            sql += "tv_row<>?" + std::to_string(kd.fields.size() + 1) + " LIMIT 1";
            if (!prepare(c_, sql, st).ok()) continue;
        }
        int idx = 1;
        for (int f : kd.fields)
            bindField(*st.s, idx++, rec, f, m.kinds[static_cast<size_t>(f)], m.places[static_cast<size_t>(f)]);
        st.s->bindInt(idx, selfRow);
        const bool found = st.s->step() == Statement::Step::Row;
        st.reset();
        if (found) return static_cast<int>(k);
    }
    return -1;
}

Status Table::failWrite(const Statement& s, const Record& rec, int64_t selfRow, bool pending) {
    Status st = c_.failed(s);
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
            // The highest stored and the counter in one statement: one
            // exchange with a server, not two.
            std::string sql = "SELECT max(" + m.cols[static_cast<size_t>(f)] + ") FROM " + m.tableQ;
            if (!m.cond[static_cast<size_t>(key)].empty()) sql += " WHERE " + m.cond[static_cast<size_t>(key)];
            if (shared) sql = "SELECT (" + sql + "), (SELECT last FROM tv_autonumber WHERE tbl=?1 AND col=?2)";
            if (Status ps = prepare(c_, sql, m.numMax); !ps.ok()) return ps;
        }
        int64_t last = 0;
        if (shared) {
            m.numMax.s->bindText(1, m.numTbl);
            m.numMax.s->bindText(2, m.numCol);
        }
        const Statement::Step r = m.numMax.s->step();
        // The highest number stored: an auto-number with places counts in whole units.
        if (r == Statement::Step::Row) {
            last = m.numMax.s->columnDecimal(0, 0);
            if (shared) last = std::max(last, m.numMax.s->columnInt(1));
        }
        Status failure = r == Statement::Step::Failed ? c_.failed(*m.numMax.s) : Status{};
        m.numMax.reset();
        if (!failure.ok()) return failure;
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
            Status ps = prepare(c_,
                                "INSERT INTO tv_autonumber(tbl,col,last) VALUES(?1,?2,?3) ON CONFLICT(tbl,col) "
                                "DO UPDATE SET last=excluded.last WHERE excluded.last>tv_autonumber.last",
                                m.numPut);
            if (!ps.ok()) return ps;
        }
        m.numPut.s->bindText(1, m.numTbl);
        m.numPut.s->bindText(2, m.numCol);
        m.numPut.s->bindInt(3, n);
        Status failure = m.numPut.s->step() == Statement::Step::Failed ? c_.failed(*m.numPut.s) : Status{};
        m.numPut.reset();
        if (!failure.ok()) return failure;
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
        sql += "tv_version,tv_pending,tv_owner) VALUES(" + vals + "?,?,?)" + c_.dialect().insertedRowSuffix();
        st = prepare(c_, sql, m.insert);
        if (!st.ok()) {
            c_.endWrite(false);
            return st;
        }
    }
    Statement& ins = *m.insert.s;
    for (int i = 0; i < m.nf; ++i)
        bindField(ins, i + 1, rec, i, m.kinds[static_cast<size_t>(i)], m.places[static_cast<size_t>(i)]);
    int64_t version = c_.nextVersion();
    ins.bindInt(m.nf + 1, version);
    ins.bindInt(m.nf + 2, pending ? 1 : 0);
    // A reservation says whose it is: if that owner ends without storing
    // or cancelling it, any station can tell it is left over.
    const std::string owner = pending ? c_.owner() : std::string();
    if (pending) ins.bindText(m.nf + 3, owner);
    else ins.bindNull(m.nf + 3);
    if (ins.step() == Statement::Step::Failed) {
        // Rows written past the layer may have taken the number: ask again.
        if (af >= 0) c_.numberCache(m.numCacheKey).txn = 0;
        Status failure = failWrite(ins, rec, 0, pending);
        m.insert.reset();
        return failure;
    }
    int64_t row = ins.insertedRow();
    m.insert.reset();
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
    partialRow_ = 0;
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
        st = prepare(c_, sql, *stmt);
        if (!st.ok()) {
            c_.endWrite(false);
            return st;
        }
    }
    Statement& up = *stmt->s;
    int idx = 0;
    auto bindOne = [&](int i) {
        bindField(up, ++idx, rec, i, m.kinds[static_cast<size_t>(i)], m.places[static_cast<size_t>(i)]);
    };
    if (fields != nullptr)
        for (int f : *fields) bindOne(f);
    else
        for (int i = 0; i < m.nf; ++i) bindOne(i);
    newVersion = c_.nextVersion();
    up.bindInt(idx + 1, newVersion);
    up.bindInt(idx + 2, row);
    up.bindInt(idx + 3, version);
    if (up.step() == Statement::Step::Failed) {
        Status failure = failWrite(up, rec, row, false);
        stmt->reset();
        return failure;
    }
    changed = up.changes() > 0;
    stmt->reset();
    return c_.endWrite(true);
}

Status Table::update(Record& rec) { return updateCurrent(rec, nullptr); }

Status Table::update(Record& rec, const std::vector<int>& fields) { return updateCurrent(rec, &fields); }

Status Table::updateCurrent(Record& rec, const std::vector<int>* fields) {
    if (!currentRow_) return Status::make(kRecordNotAvailable);
    if (fields == nullptr && currentPartial())
        return Status::make(kUnsupported, "a record read in part cannot be rewritten whole");
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
    reservedRow_ = partialRow_ = 0;
    return {};
}

Status Table::removeRow(int64_t row, bool onlyPending) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    Status st = c_.beginWrite(def_->connectionPrivate);
    if (!st.ok()) return st;
    if (!m.del.s) {
        st = prepare(c_, "DELETE FROM " + m.tableQ + " WHERE tv_row=?1 AND tv_pending>=?2", m.del);
        if (!st.ok()) {
            c_.endWrite(false);
            return st;
        }
    }
    m.del.s->bindInt(1, row);
    m.del.s->bindInt(2, onlyPending ? 1 : 0);
    const bool failedNow = m.del.s->step() == Statement::Step::Failed;
    st = failedNow ? c_.failed(*m.del.s) : Status{};
    const bool gone = !failedNow && m.del.s->changes() > 0;
    m.del.reset();
    if (failedNow) {
        c_.endWrite(false);
        return st;
    }
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
    Stmt del;
    st = prepare(c_, "DELETE FROM " + impl_->tableQ, del);
    if (st.ok() && del.s->step() == Statement::Step::Failed) st = c_.failed(*del.s);
    if (!st.ok()) {
        c_.endWrite(false);
        return st;
    }
    if (deleted != nullptr) *deleted = del.s->changes();
    currentRow_ = 0;
    reservedRow_ = 0;
    impl_->anchor = Impl::Anchor::None;
    return c_.endWrite(true);
}

Status Table::deleteByKey(int key, const Record& rec, int64_t* deleted) {
    TV_ENSURE_OPEN();
    Impl& m = *impl_;
    if (key < 0 || key >= static_cast<int>(def_->keys.size())) return Status::make(kUnsupported);
    Status st = c_.beginWrite(def_->connectionPrivate);
    if (!st.ok()) return st;
    Stmt& del = m.delByKey[static_cast<size_t>(key)];
    if (!del.s) {
        // The key's own condition as well: its scan never reads the others.
        std::string sql = "DELETE FROM " + m.tableQ + " WHERE " + keyEquals(key, 1);
        if (!m.cond[static_cast<size_t>(key)].empty()) sql += " AND " + m.cond[static_cast<size_t>(key)];
        st = prepare(c_, sql, del);
        if (!st.ok()) {
            c_.endWrite(false);
            return st;
        }
    }
    const KeyDef& k = def_->keys[static_cast<size_t>(key)];
    for (size_t j = 0; j < k.fields.size(); ++j) {
        const auto f = static_cast<size_t>(k.fields[j]);
        bindField(*del.s, static_cast<int>(j) + 1, rec, k.fields[j], m.kinds[f], m.places[f]);
    }
    const bool failedNow = del.s->step() == Statement::Step::Failed;
    st = failedNow ? c_.failed(*del.s) : Status{};
    const int64_t gone = failedNow ? 0 : del.s->changes();
    del.reset();
    if (failedNow) {
        c_.endWrite(false);
        return st;
    }
    if (deleted != nullptr) *deleted = gone;
    if (gone > 0) {
        resetCursor();
        currentRow_ = 0;
    }
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
    return {currentRow_, currentVersion_, reservedRow_, impl_->reservedVersion, impl_->reservedNumber, partialRow_,
            c_.fileGeneration()};
}

void Table::restoreHandleState(const HandleState& s) {
    resetCursor();
    if (s.file != c_.fileGeneration()) {
        // Taken on a file the connection no longer has: its rows mean nothing here.
        currentRow_ = currentVersion_ = reservedRow_ = partialRow_ = 0;
        return;
    }
    partialRow_ = s.partialRow;
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
