#pragma once
// The database file's driver: one SQLite handle, its statements, the wait
// for the write lock that lets other logical threads run, and what only a
// file has (its journal, checkpoints, page cache). Internal to the storage.
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "platform/storage/driver.h"

namespace tv::storage::detail {

class SqliteDriver final : public Driver {
public:
    // Opens `path` (read-only or for writing, never creating it); SQLite's
    // result in `rc`. Null when SQLite gave no handle; a handle it gave with a
    // failure is returned too (its words are wanted; close it).
    static std::unique_ptr<SqliteDriver> open(const std::filesystem::path& path, bool readOnly, int& rc);
    ~SqliteDriver() override;

    sqlite3* handle() const { return db_; }

    const Dialect& dialect() const override;
    std::unique_ptr<Statement> prepare(const std::string& sql, Status& failure) override;
    Status exec(const std::string& sql) override;
    Status begin(bool write, std::chrono::milliseconds timeout) override;
    Status commit() override;
    void rollback() override;
    bool inTransaction() const override { return sqlite3_get_autocommit(db_) == 0; }
    bool waitingForLock() const override { return waitingForLock_; }
    Status integrityCheck() override;
    Status reindex() override;
    void setScanMode(bool on) override;

    // --- the file's own ---
    int run(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
    // SQLite's result as a status: a full disk named also where SQLite only
    // saw an I/O error.
    Status statusOf(int rc) const;
    // The usual page cache, WAL journal kept between runs, synchronous
    // writes, the side table of numbers (only the cache when read-only).
    int setUp(bool readOnly);
    // Whether a write may begin now (a busy database counts as writable).
    bool canWriteNow();
    void setBusyLimit(std::chrono::milliseconds t) { busyLimit_ = t; }
    // What the log holds written into the file, wherever it is now.
    void checkpoint();
    // The file was overwritten by another program: its log is never
    // written into it again.
    void neverCheckpoint(bool alsoNow);

private:
    explicit SqliteDriver(sqlite3* db, std::filesystem::path path);
    static int busyHandler(void* self, int count);

    sqlite3* db_ = nullptr;
    std::filesystem::path path_;
    std::chrono::steady_clock::time_point busySince_{};
    std::chrono::milliseconds busyLimit_{5000};
    bool waitingForLock_ = false;
};

// A moment's wait for a busy database: a logical thread lets the others
// run, the main stack sleeps briefly.
void waitForLock(bool* waitingFlag = nullptr);

}  // namespace tv::storage::detail
