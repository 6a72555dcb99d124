#include "app/copy/copy_tables.h"

#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <random>

#include "app/copy/copy_server.h"
#include "app/copy/copy_sqlite.h"
#include "platform/storage/server/pg_connection.h"
#include "platform/storage/sql_util.h"

namespace tv::copy {

namespace fs = std::filesystem;
using storage::Status;
using storage::server::PgConnection;
using namespace detail;

namespace {

// The schema's write lock may be held by a station finishing a unit.
constexpr std::chrono::milliseconds kLockWait{10000};

// Rolls the server's unit back unless it was committed.
struct UnitGuard {
    PgConnection& pg;
    ~UnitGuard() {
        if (pg.inUnit()) pg.rollback();
    }
};

Status step(const CopyStep& s, std::string_view name) { return s ? s(name) : Status{}; }

// Every table's records, then the counters, from one store to the other
// (inside the target's unit of work, which the caller commits).
template <class Source, class Writer>
Status copyAll(Source& source, Writer& writer, CopyReport& report, const CopyStep& stepAt) {
    Status st;
    for (const TablePlan& t : tablePlans()) {
        int64_t rows = 0, pending = 0;
        st = writer.begin(t);
        if (st.ok())
            st = source.read(
                t,
                [&](const Row& r) {
                    ++rows;
                    return writer.add(r);
                },
                pending);
        if (st.ok()) st = writer.end();
        if (st.ok()) st = step(stepAt, t.table);
        if (!st.ok()) return st;
        report.tables.emplace_back(t.table, rows);
        report.reservationsLeftOut += pending;
    }
    std::vector<Counter> counters;
    st = source.counters(counters);
    for (size_t i = 0; st.ok() && i < counters.size(); ++i) st = writer.counter(counters[i]);
    if (st.ok()) st = step(stepAt, "confirmar");
    if (st.ok()) report.counters = static_cast<int64_t>(counters.size());
    return st;
}

// The first few names, and how many more.
std::string joined(const std::vector<std::string>& names) {
    constexpr size_t kShown = 5;
    std::string s;
    for (size_t i = 0; i < names.size() && i < kShown; ++i) s += (i ? ", " : "") + names[i];
    if (names.size() > kShown) s += " y " + std::to_string(names.size() - kShown) + " más";
    return s;
}

// What copies into `file` make beside it: "<file>.copiando-<id>" (the new
// database and its journals) and "<file>.copiando-<id>.lock", which the
// copy holds locked while it runs.
std::string leftoverPrefix(const fs::path& file) { return file.filename().string() + ".copiando-"; }

bool endsWith(const std::string& s, std::string_view end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

fs::path folderOf(const fs::path& file) {
    fs::path f = file.parent_path();
    return f.empty() ? fs::path(".") : f;
}

// The temporary database of one copy, and the lock that says it runs.
class TempDatabase {
public:
    explicit TempDatabase(const fs::path& file) : folder_(folderOf(file)) {
        std::random_device rd;
        const std::string id = std::to_string(::getpid()) + "-" + std::to_string(rd());
        path_ = folder_ / (leftoverPrefix(file) + id);
        lock_ = fs::path(path_.string() + ".lock");
    }
    ~TempDatabase() {
        removeFiles();
        if (fd_ >= 0) ::close(fd_);
    }
    TempDatabase(const TempDatabase&) = delete;
    TempDatabase& operator=(const TempDatabase&) = delete;

    const fs::path& path() const { return path_; }

    // The lock is made under a hidden name and named once it is held, so a
    // copy that cleans leftovers never takes a starting copy's for a dead one's.
    Status hold() {
        const fs::path hidden = folder_ / ("." + lock_.filename().string());
        fd_ = ::open(hidden.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd_ < 0) return failure(fileWords("No se pudo crear un archivo en la carpeta " + folder_.string()));
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 || ::rename(hidden.c_str(), lock_.c_str()) != 0) {
            Status st = failure(fileWords("No se pudo crear " + lock_.string()));
            ::unlink(hidden.c_str());
            return st;
        }
        return {};
    }

    // Puts the whole database at `file`, never over something there.
    Status putAt(const fs::path& file) {
        for (const char* journal : {"-wal", "-shm"}) ::unlink((path_.string() + journal).c_str());
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0) {
            Status st = failure(fileWords("No se pudo guardar " + path_.string()));
            if (fd >= 0) ::close(fd);
            return st;
        }
        ::close(fd);
        // The log and index of a database no longer there would be read as
        // this one's.
        struct stat there {};
        if (::lstat(file.c_str(), &there) != 0)
            for (const char* journal : {"-wal", "-shm"}) ::unlink((file.string() + journal).c_str());
        const int err = storage::detail::putInPlace(path_, file);
        if (err == EEXIST) return exists(file);
        if (err != 0) {
            errno = err;
            return failure(fileWords("No se pudo poner la copia en " + file.string()));
        }
        ::unlink(path_.c_str());
        const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        return {};
    }

    static Status exists(const fs::path& file) {
        return failure("El archivo " + file.string() + " ya existe: la copia no lo sobrescribe. Indique un archivo "
                                                         "nuevo");
    }

private:
    static std::string fileWords(const std::string& what) {
        return what + ": " + storage::detail::systemWords(errno);
    }
    void removeFiles() {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((path_.string() + suffix).c_str());
        if (fd_ >= 0) ::unlink(lock_.c_str());
    }

    fs::path folder_, path_, lock_;
    int fd_ = -1;
};

}  // namespace

int removeCopyLeftovers(const fs::path& file) {
    const fs::path folder = folderOf(file);
    const std::string prefix = leftoverPrefix(file);
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
        ::closedir(d);
    }
    int removed = 0;
    for (const std::string& name : names) {
        const bool hidden = name.rfind("." + prefix, 0) == 0;   // a copy killed while it named its lock
        if ((!hidden && name.rfind(prefix, 0) != 0) || !endsWith(name, ".lock")) continue;
        const fs::path lock = folder / name;
        const int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        // Only the copy that made it holds it; once it ended, anybody can.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const std::string stem = name.substr(hidden ? 1 : 0, name.size() - 5 - (hidden ? 1 : 0));
            for (const std::string& other : names)
                if (other.rfind(stem, 0) == 0 && other != name) ::unlink((folder / other).c_str());
            ::unlink(lock.c_str());
            ++removed;
        }
        ::close(fd);
    }
    return removed;
}

Status copyToServer(const fs::path& db, const std::string& conninfo, CopyReport& report, const CopyStep& stepAt) {
    report = {};
    SqliteSource source;
    Status st = source.open(db);
    if (!st.ok()) return st;
    PgConnection pg(conninfo);
    st = pg.open();
    if (!st.ok()) return st;
    const std::string server = "el servidor de datos " + pg.serverLabel();
    // Under the schema's write lock: no station makes its tables meanwhile.
    st = pg.beginUnit(kLockWait);
    if (!st.ok()) return during(server, st);
    UnitGuard guard{pg};
    std::vector<std::string> there;
    st = programTablesThere(pg, there);
    if (!st.ok()) return during(server, st);
    if (!there.empty())
        return failure("El esquema de trabajo en " + server + " ya tiene tablas del programa (" + joined(there) +
                       "): no se copió nada. Copie a una base de datos o esquema vacío");
    ServerWriter writer(pg);
    st = writer.createTables();
    if (!st.ok()) return during(server, st);
    st = copyAll(source, writer, report, stepAt);
    if (!st.ok()) return st;
    st = pg.commit();
    return st.ok() ? st : during(server, st);
}

Status copyToFile(const std::string& conninfo, const fs::path& file, CopyReport& report, const CopyStep& stepAt) {
    report = {};
    struct stat s {};
    if (::lstat(file.c_str(), &s) == 0) return TempDatabase::exists(file);
    const fs::path folder = folderOf(file);
    if (::stat(folder.c_str(), &s) != 0 || !S_ISDIR(s.st_mode))
        return failure("No existe la carpeta " + folder.string());
    removeCopyLeftovers(file);

    PgConnection pg(conninfo);
    Status st = pg.open();
    if (!st.ok()) return st;
    const std::string server = "el servidor de datos " + pg.serverLabel();
    UnitGuard guard{pg};
    ServerSource source(pg);
    st = source.begin();
    if (!st.ok()) return during(server, st);

    TempDatabase temp(file);
    st = temp.hold();
    if (!st.ok()) return st;
    {
        // Made as the program makes its database, under the temporary name.
        storage::Connection c(temp.path());
        if (!c.openStatus().ok()) return during(temp.path().string(), c.openStatus());
        st = storage::createTables(c, storedDefs());
        if (!st.ok()) return during(temp.path().string(), st);
        storage::Transaction unit(c);
        if (!unit.ok()) return during(temp.path().string(), unit.status());
        SqliteWriter writer(c.db());
        st = copyAll(source, writer, report, stepAt);
        if (!st.ok()) return st;
        st = unit.commit();
        if (!st.ok()) return during(temp.path().string(), st);
        // Everything into the database file itself before it is named.
        int busy = 0;
        sqlite3_stmt* cp = nullptr;
        int rc = sqlite3_prepare_v2(c.db(), "PRAGMA wal_checkpoint(TRUNCATE)", -1, &cp, nullptr);
        if (rc == SQLITE_OK && (rc = sqlite3_step(cp)) == SQLITE_ROW) busy = sqlite3_column_int(cp, 0);
        sqlite3_finalize(cp);
        if (rc != SQLITE_ROW || busy != 0)
            return failure("No se pudo terminar de escribir " + temp.path().string());
    }
    pg.rollback();   // the snapshot was only read
    return temp.putAt(file);
}

}  // namespace tv::copy
