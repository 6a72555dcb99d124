#include "data/thread_table_set.h"

#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/errors/error_reporter.h"
#include "platform/threads/logical_thread.h"

namespace tv::data {

namespace {

std::string columnOf(const std::string& fieldName) {
    size_t colon = fieldName.find(':');
    return colon == std::string::npos ? fieldName : fieldName.substr(colon + 1);
}

// The user administration must never lock itself out: the database refuses
// to delete the last administrator or take the mark from him, inside the
// unit of work that would do it (two stations demoting each other at once
// included). The forms say why before it comes to that.
std::vector<storage::TableRule> lastAdministratorRules() {
    const std::string others =
        "NOT EXISTS(SELECT 1 FROM \"usuarios\" WHERE \"ADMINISTRADOR\"<>0 AND tv_pending=0 AND tv_row<>OLD.tv_row)";
    return {
        {"tv_usuarios_last_admin_delete", "DELETE",
         "OLD.\"ADMINISTRADOR\"<>0 AND OLD.tv_pending=0 AND " + others, kLastAdministratorText},
        {"tv_usuarios_last_admin_update", "UPDATE OF \"ADMINISTRADOR\"",
         "OLD.\"ADMINISTRADOR\"<>0 AND NEW.\"ADMINISTRADOR\"=0 AND OLD.tv_pending=0 AND " + others,
         kLastAdministratorText},
    };
}

std::array<std::shared_ptr<const storage::TableDef>, kTableCount> buildStorageDefs() {
    std::array<std::shared_ptr<const storage::TableDef>, kTableCount> defs;
    for (const TableDecl& d : tableDecls()) {
        // An alias reads and writes its base's rows: same SQL table, columns
        // and keys; only its field names (and buffer) are its own.
        const TableDecl& base = d.aliasOf ? decl(*d.aliasOf) : d;
        auto def = std::make_shared<storage::TableDef>();
        def->table = base.storageName;
        def->layout = d.layout;
        for (const KeyDecl& k : base.keys) {
            storage::KeyDef kd;
            kd.label = k.label;
            kd.fields = k.components;
            kd.unique = k.unique;
            kd.noCase = k.noCase;
            kd.optional = k.optional;
            kd.autoNumber = k.autoNumbered;
            def->keys.push_back(std::move(kd));
        }
        if (d.aliasOf)
            for (const FieldSpec& f : base.layout->fields()) def->columns.push_back(columnOf(f.name));
        if (base.id == TableId::usuarios) def->rules = lastAdministratorRules();
        def->connectionPrivate = base.threadPrivate;
        defs[static_cast<size_t>(d.id)] = std::move(def);
    }
    return defs;
}

}  // namespace

const std::shared_ptr<const storage::TableDef>& storageDef(TableId t) {
    static const auto defs = buildStorageDefs();
    return defs[static_cast<size_t>(t)];
}

// The thread's connection is made before the set, so it outlives the set's
// table handles when the thread's objects are destroyed (newest first).
ThreadTableSet::ThreadTableSet() : conn_(&storage::Connection::current()) { init(); }

ThreadTableSet::ThreadTableSet(storage::Connection& connection) : conn_(&connection) { init(); }

ThreadTableSet::~ThreadTableSet() { kill(); }

void ThreadTableSet::init() {
    // Create module 1, then module 2, each from the last declared to the
    // first; then set both up in the same order (an alias's base lies in
    // module 1 and is set up first).
    for (int module = 1; module <= 2; ++module) {
        const std::vector<TableId>& ids = moduleTables(module);
        for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
            Slot& s = slots_[idx(*it)];
            s.buffer = std::make_unique<Record>(decl(*it).layout);
            s.gateway = std::make_unique<TableGateway>(*this, *it, *s.buffer);
            s.relations = std::make_unique<TableRelations>(*this, *it);
        }
    }
    for (int module = 1; module <= 2; ++module) {
        const std::vector<TableId>& ids = moduleTables(module);
        for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
            Slot& s = slots_[idx(*it)];
            s.gateway->SetUpTable();
            s.relations->SetUp(*s.gateway);
            if (decl(*it).aliasOf) s.relations->SetAliasOf(relations(*decl(*it).aliasOf));
        }
    }
}

void ThreadTableSet::kill() {
    for (int module = 1; module <= 2; ++module) {
        const std::vector<TableId>& ids = moduleTables(module);
        for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
            Slot& s = slots_[idx(*it)];
            if (s.relations) s.relations->ShutDown();
        }
    }
    for (Slot& s : slots_) {
        s.relations.reset();
        s.gateway.reset();
    }
}

bool ThreadTableSet::findBoundField(std::string_view name, Record*& record, int& field) {
    size_t colon = name.find(':');
    if (colon == std::string_view::npos) return false;
    const TableDecl* d = findDecl(name.substr(0, colon));
    if (d == nullptr || d->prefix.size() != colon) return false;
    TableGateway& g = gateway(d->id);
    if (!g.FIELDSBOUND) return false;
    int i = d->layout->indexOf(name);
    if (i < 0) return false;
    const FieldSpec& f = d->layout->field(i);
    if (f.type == FieldType::Memo) {
        // Only the memos a table binds are visible.
        if (d->boundMemo.empty() || d->layout->indexOf(d->boundMemo) != i) return false;
    }
    record = &buffer(d->id);
    field = i;
    return true;
}

std::optional<Value> ThreadTableSet::lookupBoundField(std::string_view name) {
    Record* r = nullptr;
    int f = -1;
    if (!findBoundField(name, r, f)) return std::nullopt;
    return r->get(f);
}

void ThreadTableSet::showDeferred() {
    if (deferred_.empty()) return;
    if (conn_->transactionDepth() > 0 || conn_->streaming()) return;
    std::vector<Deferred> list;
    list.swap(deferred_);
    ErrorReporter& er = ErrorReporter::instance();
    for (const Deferred& d : list) {
        er.setFile(d.file);
        er.setErrorText(d.errorCode, d.errorText);
        er.setMessage(d.message);
        er.raise(d.number);
    }
}

namespace {
// The current thread's set, made again when the store (the database path, or
// the server) changed since it was made (tests run one after another on the
// main stack, each on its own database): the old set goes first, while its
// connection still lives.
struct SetHolder {
    // The storage's per-thread connection slot is made before this holder,
    // so it is destroyed after it when the thread ends.
    SetHolder() { (void)storage::Connection::current(); }
    std::unique_ptr<ThreadTableSet> set;
    std::string store;
};
}  // namespace

ThreadTableSet& tables() {
    SetHolder& h = threads::perThread<SetHolder>();
    const std::string server = storage::databaseServer();
    const std::string want = server.empty() ? storage::databasePath().string() : "\n" + server;
    if (h.set && h.store != want) h.set.reset();
    if (!h.set) {
        h.set = std::make_unique<ThreadTableSet>();
        h.store = want;
    }
    return *h.set;
}

void initThreadTables() { (void)tables(); }

namespace {
// Aliases share their base's rows.
TableId baseOf(TableId t) {
    const TableDecl& d = decl(t);
    return d.aliasOf ? *d.aliasOf : t;
}
}  // namespace

void ThreadTableSet::NoteCreated(TableId t, int64_t row) {
    if (logging_ == 0 || row == 0) return;
    // Rows of a file the connection no longer has are nobody's here.
    if (createdIn_ != conn_->fileGeneration()) created_.clear();
    createdIn_ = conn_->fileGeneration();
    created_.emplace_back(baseOf(t), row);
}

void ThreadTableSet::ForgetCreated(TableId t, int64_t row) {
    // A row number freed here may be given to another station's record.
    std::erase(created_, std::make_pair(baseOf(t), row));
}

bool ThreadTableSet::HasCreated(TableId t) const {
    const TableId base = baseOf(t);
    return std::any_of(created_.begin(), created_.end(), [&](const auto& entry) { return entry.first == base; });
}

bool ThreadTableSet::CreatedSince(std::size_t mark, TableId t, int64_t row) const {
    if (createdIn_ != conn_->fileGeneration()) return false;
    const auto entry = std::make_pair(baseOf(t), row);
    for (std::size_t i = mark; i < created_.size(); ++i)
        if (created_[i] == entry) return true;
    return false;
}

int CreateAllTables(ThreadTableSet& set) {
    std::vector<std::shared_ptr<const storage::TableDef>> defs;
    // A thread's own tables are made on its connection at their first use.
    for (const TableDecl& d : tableDecls())
        if (!d.aliasOf && !d.threadPrivate) defs.push_back(storageDef(d.id));
    storage::Connection& c = set.connection();
    if (!c.isOpen()) return kNotDone;  // the first use of a table says why
    storage::Status st = storage::createTables(c, defs);
    if (st.ok() || st.code == storage::kAccessDenied) return kDone;
    if (st.code == storage::kLockTimeout) {
        ErrorReporter& er = ErrorReporter::instance();
        er.setFile(c.path().filename().string());
        er.setErrorText(st.code, st.text);
        er.setMessage({});
        er.raise(kMsgTransactionNotStarted);
    }
    return kNotDone;
}

std::unique_ptr<ThreadTableSet::BufferCopies> ThreadTableSet::TakeBufferCopies() {
    if (spareCopies_.empty()) return std::make_unique<BufferCopies>();
    std::unique_ptr<BufferCopies> c = std::move(spareCopies_.back());
    spareCopies_.pop_back();
    return c;
}

void ThreadTableSet::GiveBackBufferCopies(std::unique_ptr<BufferCopies> copies) {
    if (copies) spareCopies_.push_back(std::move(copies));
}

}  // namespace tv::data
