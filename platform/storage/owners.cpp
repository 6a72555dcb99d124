// Owners of unfinished rows: this process's lock beside the database, the
// liveness test of other owners, claims and the queries over reserved rows.
#include "platform/storage/owners.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>

#include "platform/storage/server/pg_connection.h"
#include "platform/storage/sql_util.h"

namespace tv::storage {

using namespace detail;
namespace fs = std::filesystem;

namespace {

std::mutex ownersLock;

// This process: a random id, made again in a forked child.
struct Self {
    pid_t pid = 0;
    std::string id;
};

std::string randomId() {
    std::random_device rd;
    const uint64_t v = (static_cast<uint64_t>(rd()) << 32) ^ rd();
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

const Self& self() {
    static Self s;
    if (s.pid != ::getpid()) {
        s.pid = ::getpid();
        s.id = randomId();
    }
    return s;
}

// The connections of this process, each with a number never given again.
struct Connections {
    std::map<const Connection*, uint64_t> serial;
    std::set<uint64_t> open;
    uint64_t last = 0;
};
Connections& connections() {
    static Connections c;
    return c;
}

uint64_t serialOf(const Connection* c) {
    Connections& cs = connections();
    auto it = cs.serial.find(c);
    if (it != cs.serial.end()) return it->second;
    const uint64_t n = ++cs.last;
    cs.serial[c] = n;
    cs.open.insert(n);
    return n;
}

bool isHex(std::string_view s) {
    if (s.empty() || s.size() > 32) return false;
    for (char ch : s)
        if (!((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f'))) return false;
    return true;
}

// "<process id>.<connection number>" split; false when it is no owner of ours.
bool splitOwner(std::string_view owner, std::string_view& id, uint64_t& serial) {
    const auto dot = owner.rfind('.');
    if (dot == std::string_view::npos) return false;
    id = owner.substr(0, dot);
    const std::string_view n = owner.substr(dot + 1);
    if (!isHex(id) || n.empty() || n.size() > 19) return false;
    serial = 0;
    for (char ch : n) {
        if (ch < '0' || ch > '9') return false;
        serial = serial * 10 + static_cast<uint64_t>(ch - '0');
    }
    return true;
}

enum class Probe { Dead, Alive };

// Whether somebody holds the lock file: a shared lock that does not wait
// is refused only while its process holds its exclusive one. A file that
// is gone is a dead owner's; one that cannot be read is left alone.
Probe probeLock(const fs::path& file, bool unlinkDead) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT ? Probe::Dead : Probe::Alive;
    int rc;
    while ((rc = ::flock(fd, LOCK_SH | LOCK_NB)) != 0 && errno == EINTR) {
    }
    const Probe p = rc == 0 ? Probe::Dead : Probe::Alive;
    if (p == Probe::Dead && unlinkDead) ::unlink(file.c_str());
    ::close(fd);
    return p;
}

// Owners of this process and its connections; how another process is
// proved alive is the store's (a lock file, a server's session lock).
class ProcessOwners : public OwnerRegistry {
public:
    std::string ownerOf(const Connection& c) override {
        std::lock_guard<std::mutex> g(ownersLock);
        holdOwnLock();
        return self().id + "." + std::to_string(serialOf(&c));
    }

    bool isOurs(const std::string& owner) override {
        std::string_view id;
        uint64_t serial = 0;
        std::lock_guard<std::mutex> g(ownersLock);
        return splitOwner(owner, id, serial) && id == self().id;
    }

    bool isAlive(const std::string& owner) override {
        std::string_view id;
        uint64_t serial = 0;
        std::lock_guard<std::mutex> g(ownersLock);
        if (!splitOwner(owner, id, serial)) return false;  // none, or of an older database
        if (id == self().id) return connections().open.count(serial) != 0;
        return otherIsAlive(id);
    }

protected:
    // Under ownersLock.
    virtual void holdOwnLock() = 0;
    virtual bool otherIsAlive(std::string_view id) = 0;
};

class FileLockOwners : public ProcessOwners {
public:
    explicit FileLockOwners(fs::path folder) : dir_(std::move(folder)) {}

    bool otherIsAlive(std::string_view id) override {
        return probeLock(dir_ / (std::string(id) + ".lock"), false) == Probe::Alive;
    }

    void sweep() override {
        std::lock_guard<std::mutex> g(ownersLock);
        DIR* d = ::opendir(dir_.c_str());
        if (d == nullptr) return;
        const std::string own = self().id + ".lock";
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() <= 5 || name.compare(name.size() - 5, 5, ".lock") != 0 || name == own) continue;
            if (!isHex(std::string_view(name).substr(0, name.size() - 5))) continue;
            probeLock(dir_ / name, true);
        }
        ::closedir(d);
    }

    fs::path folder() const override { return dir_; }
    std::string problem() const override {
        std::lock_guard<std::mutex> g(ownersLock);
        return problem_;
    }

private:
    // Made once per process (a forked child makes its own): under a
    // temporary name first, so that nobody takes the file of a process that
    // has not locked it yet for a dead one's.
    void holdOwnLock() override {
        const Self& s = self();
        if (lockPid_ == s.pid) return;
        if (fd_ >= 0) ::close(fd_);  // the parent's, inherited: its lock stays the parent's
        fd_ = -1;
        lockPid_ = s.pid;
        problem_.clear();
        if (::mkdir(dir_.c_str(), 0770) == 0) {
            ::chmod(dir_.c_str(), 0770);  // the stations of a workgroup share it, whatever the umask
        } else if (errno != EEXIST) {
            return fail("cannot create " + dir_.string());
        }
        const fs::path tmp = dir_ / ("." + s.id + ".tmp");
        const fs::path final = dir_ / (s.id + ".lock");
        const int fd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0660);
        if (fd < 0) return fail("cannot create " + tmp.string());
        ::fchmod(fd, 0660);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            ::unlink(tmp.c_str());
            return fail("cannot lock " + tmp.string());
        }
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        const std::string who = std::string(host) + " " + std::to_string(s.pid) + "\n";
        if (::write(fd, who.data(), who.size()) < 0) {
            // Only for people who look: the lock is what counts.
        }
        if (::rename(tmp.c_str(), final.c_str()) != 0) {
            ::close(fd);
            ::unlink(tmp.c_str());
            return fail("cannot name " + final.string());
        }
        fd_ = fd;
    }

    void fail(const std::string& what) {
        problem_ = what + ": " + std::strerror(errno);
        // Other stations will take this process's open forms for a dead
        // one's: say so where an administrator looks.
        std::fprintf(stderr, "talvor: %s\n", problem_.c_str());
    }

    fs::path dir_;
    int fd_ = -1;
    pid_t lockPid_ = 0;
    std::string problem_;
};

// --- statements

// What the owners' queries keep per connection: their prepared statements,
// and whether the claim table is there. Dropped whenever the connection
// closes its handle (closed, or opened again on another file).
struct ConnectionCache {
    std::map<std::string, Stmt, std::less<>> statements;
    // The claim table: known there, known missing, or not known.
    enum class Claims : uint8_t { Unknown, Present, Missing } claims = Claims::Unknown;
    // On the file: the data version the answer was read at (another
    // connection's commit, a table it made included, changes it).
    int64_t claimsAt = 0;
    // The unit that made the claim table: until it ends, nobody knows
    // whether the table stays.
    uint64_t madeInUnit = 0;
    bool making = false;
};

std::mutex cachesLock;
std::map<const Connection*, ConnectionCache>& caches() {
    static std::map<const Connection*, ConnectionCache> m;
    return m;
}

// The connection's cache (a map node: stays where it is until dropped).
ConnectionCache& cacheOf(const Connection& c) {
    std::lock_guard<std::mutex> g(cachesLock);
    return caches()[&c];
}

// Runs `sql` with `bind`, handing each row to `row`; `changes` gets the
// rows it wrote. The statement is prepared once per connection.
template <class Bind, class Row>
Status query(Connection& c, const std::string& sql, Bind bind, Row row, int64_t* changes = nullptr) {
    if (!c.isOpen()) return c.openStatus();
    ConnectionCache& cache = cacheOf(c);
    auto it = cache.statements.find(sql);
    if (it == cache.statements.end()) {
        Stmt st;
        if (Status ps = prepare(c, sql, st); !ps.ok()) return ps;
        it = cache.statements.emplace(sql, std::move(st)).first;
    }
    Statement& s = *it->second.s;
    bind(s);
    Statement::Step r;
    while ((r = s.step()) == Statement::Step::Row) row(s);
    Status result;
    if (r == Statement::Step::Failed) result = c.failed(s);
    else if (changes != nullptr) *changes = s.changes();
    it->second.reset();
    return result;
}

auto noBind = [](Statement&) {};
auto noRow = [](Statement&) {};

void bindText(Statement& s, int i, std::string_view v) { s.bindTextCopy(i, v); }

std::string columnText(Statement& s, int i) { return std::string(s.columnText(i)); }

// SQLite's count of other connections' commits on this file; -1 when it
// cannot be read.
int64_t dataVersion(Connection& c) {
    int64_t v = -1;
    if (!query(c, "PRAGMA data_version", noBind, [&](Statement& s) { v = s.columnInt(0); }).ok()) return -1;
    return v;
}

// Whether the claim table exists. Asked of the catalogue once: on the file
// the answer holds until another connection commits something; on a server
// a table there stays there (nothing drops it), while one missing is asked
// again. A table this connection made holds only once its unit is over.
bool hasClaimTable(Connection& c) {
    ConnectionCache& cache = cacheOf(c);
    const bool sure = !(cache.making && cache.madeInUnit == c.transactionId());
    cache.making = !sure;
    const int64_t version = c.onServer() || !sure ? -1 : dataVersion(c);
    using Claims = ConnectionCache::Claims;
    if (sure && cache.claims != Claims::Unknown) {
        if (c.onServer() && cache.claims == Claims::Present) return true;
        if (!c.onServer() && version >= 0 && version == cache.claimsAt) return cache.claims == Claims::Present;
    }
    bool found = false;
    const Status st = query(c, c.dialect().tableExistsSql(), [](Statement& s) { s.bindText(1, "tv_claim"); },
                            [&](Statement&) { found = true; });
    cache.claims = !st.ok() || !sure ? Claims::Unknown : found ? Claims::Present : Claims::Missing;
    cache.claimsAt = version;
    return found;
}

// The claim table made inside the caller's unit: what the cache knew of it
// waits for the unit's end.
void claimTableMade(Connection& c) {
    ConnectionCache& cache = cacheOf(c);
    if (cache.claims == ConnectionCache::Claims::Present && !cache.making) return;
    cache.claims = ConnectionCache::Claims::Unknown;
    cache.making = true;
    cache.madeInUnit = c.transactionId();
}

// A write outside the caller's unit gets one of its own.
template <class Work>
Status writing(Connection& c, Work work) {
    Status st = c.beginWrite();
    if (!st.ok()) return st;
    st = work();
    const Status end = c.endWrite(st.ok());
    return st.ok() ? end : st;
}

}  // namespace

OwnerRegistry& ownersOf(const fs::path& database) {
    static std::map<std::string, std::unique_ptr<FileLockOwners>> registries;
    std::error_code ec;
    fs::path folder = fs::weakly_canonical(fs::absolute(database, ec), ec);
    folder += "-owners";
    std::lock_guard<std::mutex> g(ownersLock);
    std::unique_ptr<FileLockOwners>& r = registries[folder.string()];
    if (!r) r = std::make_unique<FileLockOwners>(folder);
    return *r;
}

void noteConnectionOpened(const Connection* c) {
    std::lock_guard<std::mutex> g(ownersLock);
    serialOf(c);
}

void forgetConnectionStatements(const Connection* c) {
    std::lock_guard<std::mutex> g(cachesLock);
    caches().erase(c);
}

void noteConnectionClosed(const Connection* c) {
    forgetConnectionStatements(c);
    std::lock_guard<std::mutex> g(ownersLock);
    Connections& cs = connections();
    auto it = cs.serial.find(c);
    if (it == cs.serial.end()) return;
    cs.open.erase(it->second);
    cs.serial.erase(it);
}

namespace {

// The liveness of processes on a server: a lock of two keys, the program's
// and the process id's low half. The process's own connection to the
// server holds it shared; a probe tries it alone and lets it go at once.
constexpr int kOwnerLockClass = 0x74766f77;   // "tvow"

class ServerOwners : public ProcessOwners {
public:
    explicit ServerOwners(std::string conninfo) : conninfo_(std::move(conninfo)) {}

    bool otherIsAlive(std::string_view id) override {
        holdOwnLock();
        if (pg_ == nullptr) return true;   // nobody to ask: left alone
        const std::string key = keyOf(id);
        server::PgResult r;
        if (!pg_->exec("SELECT pg_try_advisory_lock(" + key + ")", {}, &r).ok() || r.rows() != 1) return true;
        if (!r.boolean(0, 0)) return true;
        pg_->exec("SELECT pg_advisory_unlock(" + key + ")");
        return false;
    }
    void sweep() override {}
    fs::path folder() const override { return {}; }
    std::string problem() const override {
        std::lock_guard<std::mutex> g(ownersLock);
        return problem_;
    }

private:
    static std::string keyOf(std::string_view id) {
        const std::string hex(id.size() > 8 ? id.substr(id.size() - 8) : id);
        const auto low = static_cast<int32_t>(static_cast<uint32_t>(std::stoul(hex, nullptr, 16)));
        return std::to_string(kOwnerLockClass) + ", " + std::to_string(low);
    }
    // Made once per process; a forked child leaves its parent's connection
    // alone (closing it would end the parent's session) and makes its own.
    void holdOwnLock() override {
        const Self& s = self();
        if (lockPid_ == s.pid) return;
        lockPid_ = s.pid;
        pg_ = new server::PgConnection(conninfo_);   // lives as long as the process
        Status st = pg_->open();
        if (st.ok()) st = pg_->exec("SELECT pg_advisory_lock_shared(" + keyOf(s.id) + ")");
        problem_ = st.ok() ? std::string() : st.text;
        if (!st.ok()) {
            std::fprintf(stderr, "talvor: %s\n", problem_.c_str());
            pg_ = nullptr;
        }
    }

    std::string conninfo_;
    server::PgConnection* pg_ = nullptr;
    pid_t lockPid_ = 0;
    std::string problem_;
};

}  // namespace

OwnerRegistry& ownersOfServer(const std::string& conninfo) {
    static std::map<std::string, std::unique_ptr<ServerOwners>> registries;
    std::lock_guard<std::mutex> g(ownersLock);
    std::unique_ptr<ServerOwners>& r = registries[conninfo];
    if (!r) r = std::make_unique<ServerOwners>(conninfo);
    return *r;
}

OwnerRegistry& ownersOf(const Connection& c) {
    return c.onServer() ? ownersOfServer(c.serverConninfo()) : ownersOf(c.path());
}

std::string Connection::owner() const { return ownersOf(*this).ownerOf(*this); }

// --- claims

Status findClaim(Connection& c, std::string_view table, int64_t value, std::optional<Claim>& out) {
    out.reset();
    if (!hasClaimTable(c)) return {};
    return query(
        c, "SELECT owner FROM tv_claim WHERE tbl=?1 AND val=?2",
        [&](Statement& s) {
            bindText(s, 1, table);
            s.bindInt(2, value);
        },
        [&](Statement& s) { out = Claim{std::string(table), value, columnText(s, 0)}; });
}

Status putClaim(Connection& c, const Claim& claim) {
    return writing(c, [&] {
        if (!hasClaimTable(c)) {
            Status st = c.exec(c.dialect().claimTableSql());
            if (!st.ok()) return st;
            claimTableMade(c);
        }
        return query(
            c, "INSERT INTO tv_claim(tbl, val, owner) VALUES(?1, ?2, ?3)",
            [&](Statement& s) {
                bindText(s, 1, claim.table);
                s.bindInt(2, claim.value);
                bindText(s, 3, claim.owner);
            },
            noRow);
    });
}

Status dropClaims(Connection& c, std::string_view table, std::string_view owner, std::optional<int64_t> value) {
    if (!hasClaimTable(c)) return {};
    return writing(c, [&] {
        return query(
            c, value ? "DELETE FROM tv_claim WHERE tbl=?1 AND owner=?2 AND val=?3"
                     : "DELETE FROM tv_claim WHERE tbl=?1 AND owner=?2",
            [&](Statement& s) {
                bindText(s, 1, table);
                bindText(s, 2, owner);
                if (value) s.bindInt(3, *value);
            },
            noRow);
    });
}

Status listClaims(Connection& c, std::vector<Claim>& out, std::optional<std::string> owner) {
    out.clear();
    if (!hasClaimTable(c)) return {};
    return query(
        c, owner ? "SELECT tbl, val, owner FROM tv_claim WHERE owner=?1" : "SELECT tbl, val, owner FROM tv_claim",
        [&](Statement& s) {
            if (owner) bindText(s, 1, *owner);
        },
        [&](Statement& s) { out.push_back({columnText(s, 0), s.columnInt(1), columnText(s, 2)}); });
}

// --- reserved rows

Status pendingOwners(Connection& c, const TableDef& def, std::vector<std::string>& out) {
    out.clear();
    return query(
        c, "SELECT DISTINCT COALESCE(tv_owner,'') FROM " + quoteId(def.table) + " WHERE tv_pending<>0", noBind,
        [&](Statement& s) { out.push_back(columnText(s, 0)); });
}

Status pendingRowsOf(Connection& c, const TableDef& def, std::string_view owner, std::vector<PendingRow>& out) {
    out.clear();
    const int key = def.autoNumberKey();
    const std::string number =
        key >= 0 ? columnMap(def).cols[static_cast<size_t>(def.keys[static_cast<size_t>(key)].fields.at(0))] : "0";
    return query(
        c,
        "SELECT tv_row, " + number + " FROM " + quoteId(def.table) +
            " WHERE tv_pending<>0 AND COALESCE(tv_owner,'')=?1",
        [&](Statement& s) { bindText(s, 1, owner); },
        [&](Statement& s) { out.push_back({s.columnInt(0), s.columnInt(1)}); });
}

Status hasStored(Connection& c, const TableDef& def, int field, int64_t value, bool& found) {
    found = false;
    return query(
        c,
        "SELECT 1 FROM " + quoteId(def.table) + " WHERE " + columnMap(def).cols[static_cast<size_t>(field)] +
            "=?1 AND tv_pending=0 LIMIT 1",
        [&](Statement& s) { s.bindInt(1, value); }, [&](Statement&) { found = true; });
}

Status deleteRow(Connection& c, const TableDef& def, int64_t row, int64_t* n) {
    return writing(c, [&] {
        Status st = query(
            c, "DELETE FROM " + quoteId(def.table) + " WHERE tv_row=?1",
            [&](Statement& s) { s.bindInt(1, row); }, noRow, n);
        return st;
    });
}

Status deleteWhere(Connection& c, const TableDef& def, int field, const Value& value, int64_t* n) {
    const ColumnMap m = columnMap(def);
    Record probe(def.layout);
    probe.clear();
    probe.set(field, value);
    const auto f = static_cast<size_t>(field);
    return writing(c, [&] {
        Status st = query(
            c, "DELETE FROM " + quoteId(def.table) + " WHERE " + m.cols[f] + "=?1",
            [&](Statement& s) { bindField(s, 1, probe, field, m.kinds[f], m.places[f]); }, noRow, n);
        return st;
    });
}

Status unmatchedValues(Connection& c, const TableDef& child, int childField, const TableDef& parent, int parentField,
                       bool storedOnly, std::optional<std::string_view> claimTable, std::vector<int64_t>& out) {
    out.clear();
    const std::string link = "l.v";
    const std::string own = "h." + columnMap(parent).cols[static_cast<size_t>(parentField)];
    // Each value once (read from the child's key), then the parent's own
    // conditions let its unique key's index answer.
    std::string sql = "SELECT l.v FROM (SELECT DISTINCT " + columnMap(child).cols[static_cast<size_t>(childField)] +
                      " AS v FROM " + quoteId(child.table) + ") l WHERE NOT EXISTS(SELECT 1 FROM " +
                      quoteId(parent.table) + " h WHERE " + own + "=" + link + " AND " + own + "<>0" +
                      (storedOnly ? " AND h.tv_pending=0)" : ")");
    const bool claims = claimTable && hasClaimTable(c);
    if (claims) sql += " AND NOT EXISTS(SELECT 1 FROM tv_claim k WHERE k.tbl=?1 AND k.val=" + link + ")";
    return query(
        c, sql,
        [&](Statement& s) {
            if (claims) bindText(s, 1, *claimTable);
        },
        [&](Statement& s) { out.push_back(s.columnInt(0)); });
}

}  // namespace tv::storage
