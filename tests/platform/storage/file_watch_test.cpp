// The database file removed, replaced or overwritten under a running
// program, and an empty file where the database should be: nothing is
// reported stored that is not in the file at the path, and nothing the file
// holds is damaged.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "tests/platform/storage/storage_fixture.h"
#include "tests/support/child_process.h"

namespace tv::storage {
namespace {

struct FileWatch : Storage {
    // The names (kNombre) stored in the database at `p`, read by a station
    // opened afresh; empty when it cannot be read whole.
    std::multiset<std::string> names(const fs::path& p) {
        Connection c(p);
        std::multiset<std::string> out;
        if (!c.integrityCheck().ok()) {
            ADD_FAILURE() << p << " is damaged";
            return out;
        }
        Table t(c, def);
        Record r(def->layout);
        t.setOrder(Table::kRecordOrder);
        while (t.next(r).ok()) out.emplace(rtrim(r.text(kNombre)));
        return out;
    }
    // A database of its own at `p` holding `rows`.
    void makeDatabase(const fs::path& p, const std::vector<std::string>& rows) {
        Connection c(p);
        Table t(c, def);
        for (const std::string& n : rows) add(t, 0, n);
    }
    static bool says(const Status& st, const char* words) { return st.text.find(words) != std::string::npos; }
};

// One station: the file removed (the program says so, makes no new one and
// stores nothing until it is back), a backup moved into its place (the first
// unit is refused, the next ones go into it), and the file it left kept whole.
TEST_F(FileWatch, ARemovedOrReplacedFileIsSaidAndNothingIsStoredElsewhere) {
    const fs::path backup = dir.file("respaldo.db"), old = dir.file("anterior.db");
    makeDatabase(backup, {"respaldo 1", "respaldo 2"});
    Connection c(db);
    Table t(c, def);
    add(t, 0, "antes 1");
    add(t, 0, "antes 2");
    ASSERT_EQ(::link(db.c_str(), old.c_str()), 0);  // what the user moved away

    ASSERT_EQ(::unlink(db.c_str()), 0);
    for (int i = 0; i < 2; ++i) {
        Record r = rec(0, "borrado");
        const Status st = t.insert(r);
        EXPECT_EQ(st.code, kFileReplaced);
        EXPECT_TRUE(says(st, "ya no está")) << st.text;
        Transaction tx(c);
        EXPECT_EQ(tx.status().code, kFileReplaced);
    }
    {
        // A new window of the running program does not start an empty database.
        Connection another(db);
        EXPECT_EQ(another.openStatus().code, kFileReplaced);
    }
    EXPECT_FALSE(fs::exists(db));

    ASSERT_EQ(::rename(backup.c_str(), db.c_str()), 0);
    Record r = rec(0, "primero");
    const Status refused = t.insert(r);
    EXPECT_EQ(refused.code, kFileReplaced);
    EXPECT_TRUE(says(refused, "reemplazado")) << refused.text;
    add(t, 0, "despues");
    {
        Transaction tx(c);
        ASSERT_TRUE(tx.ok()) << tx.status().text;
        add(t, 0, "en una unidad");
        ASSERT_TRUE(tx.commit().ok());
    }
    EXPECT_EQ(names(db), (std::multiset<std::string>{"respaldo 1", "respaldo 2", "despues", "en una unidad"}));
    // Read through this station too: the same rows.
    Record row(def->layout);
    t.setOrder(Table::kRecordOrder);
    int n = 0;
    while (t.next(row).ok()) ++n;
    EXPECT_EQ(n, 4);
    EXPECT_EQ(names(old), (std::multiset<std::string>{"antes 1", "antes 2"}));
}

// A file overwritten in place (a copy made over the live file) is written to
// no more, its log is not laid over what it holds now, and an empty file
// where the database should be is said to be empty, never made a new one.
TEST_F(FileWatch, AFileOverwrittenInPlaceOrEmptyIsNeverTakenForTheDatabase) {
    const fs::path backup = dir.file("respaldo.db");
    makeDatabase(backup, {"respaldo"});
    {
        Connection c(db);
        Table t(c, def);
        for (int i = 0; i < 300; ++i) add(t, 0, "vivo " + std::to_string(i) + std::string(100, 'x'));
        ASSERT_TRUE(c.exec("PRAGMA wal_checkpoint(TRUNCATE)").ok());
        for (int i = 0; i < 20; ++i) add(t, 0, "en el registro " + std::to_string(i));
        std::ifstream in(backup, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        std::ofstream(db, std::ios::binary | std::ios::trunc) << bytes.str();  // cp respaldo.db talvor.db
        for (int i = 0; i < 2; ++i) {
            Record r = rec(0, "sobre la copia");
            const Status st = t.insert(r);
            EXPECT_EQ(st.code, kFileReplaced);
            EXPECT_TRUE(says(st, "sobrescrito")) << st.text;
        }
    }
    EXPECT_EQ(names(db), (std::multiset<std::string>{"respaldo"}));

    const fs::path empty = dir.file("vacio.db");
    std::ofstream(empty).close();
    {
        Connection c(empty);
        EXPECT_EQ(c.openStatus().code, kEmptyFile);
        EXPECT_TRUE(says(c.openStatus(), "vacío")) << c.openStatus().text;
        Table t(c, def);
        Record r = rec(0, "nuevo");
        EXPECT_FALSE(t.insert(r).ok());
    }
    EXPECT_EQ(fs::file_size(empty), 0u);
}

// Several stations storing one record per unit while the file is replaced,
// or removed: every record a station was told was stored is in the file now
// at the path or in the one it replaced, once; after a replacement the
// stations store into the new file; after a removal nothing is stored.
TEST_F(FileWatch, StationsAtWorkWhenTheFileIsReplacedOrRemoved) {
    // Each station stores records until it has made kAfter tries after it
    // could know the file was gone; the swap waits until every station has
    // stored one. So how busy the machine is never decides the outcome.
    constexpr int kStations = 3, kAfter = 60;
    for (const bool replace : {true, false}) {
        SCOPED_TRACE(replace ? "replaced" : "removed");
        const fs::path backup = dir.file("respaldo.db"), old = dir.file("anterior.db"), done = dir.file("hecho");
        fs::remove(db);
        fs::remove(old);
        fs::remove(done);
        makeDatabase(db, {});
        makeDatabase(backup, {"respaldo"});
        std::vector<pid_t> pids;
        for (int s = 0; s < kStations; ++s) {
            const fs::path ready = dir.file("lista" + std::to_string(s));
            fs::remove(ready);
            pids.push_back(test::spawn([&, s, ready] {
                Connection c(db);
                Table t(c, def);
                std::ofstream told(dir.file("estacion" + std::to_string(s)));
                int afterwards = 0, triedAfter = 0;  // stored / tried after the station could know
                for (int i = 0; triedAfter < kAfter; ++i) {
                    const bool gone = fs::exists(done);
                    Transaction tx(c);
                    Record r = rec(0, std::to_string(s) + "-" + std::to_string(i));
                    if (tx.ok() && t.insert(r).ok() && tx.commit().ok()) {
                        told << rtrim(r.text(kNombre)) << std::endl;
                        if (gone) ++afterwards;
                        if (!gone && !fs::exists(ready)) std::ofstream(ready).close();
                    }
                    if (gone) ++triedAfter;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                told.close();
                if (!replace && afterwards > 0) return 3;  // stored into a removed file
                if (replace && afterwards == 0) return 4;  // the new file got nothing
                return 0;
            }));
        }
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        for (int s = 0; s < kStations; ++s)
            while (!fs::exists(dir.file("lista" + std::to_string(s)))) {
                ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "station " << s << " stored nothing";
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        ASSERT_EQ(::link(db.c_str(), old.c_str()), 0);
        if (replace) ASSERT_EQ(::rename(backup.c_str(), db.c_str()), 0);
        else ASSERT_EQ(::unlink(db.c_str()), 0);
        std::ofstream(done).close();
        for (pid_t p : pids) EXPECT_EQ(test::exitCode(p), 0);
        std::multiset<std::string> told;
        for (int s = 0; s < kStations; ++s) {
            std::ifstream in(dir.file("estacion" + std::to_string(s)));
            for (std::string line; std::getline(in, line);) told.insert(line);
        }
        std::multiset<std::string> stored = names(old);
        EXPECT_FALSE(stored.empty());
        if (replace) {
            std::multiset<std::string> now = names(db);
            EXPECT_EQ(now.count("respaldo"), 1u);
            now.erase("respaldo");
            EXPECT_FALSE(now.empty()) << "the stations went on with the file put in place";
            stored.insert(now.begin(), now.end());
        } else {
            EXPECT_FALSE(fs::exists(db));
        }
        EXPECT_EQ(stored, told);
    }
}

}  // namespace
}  // namespace tv::storage
