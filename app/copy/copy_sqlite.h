#pragma once
// The talvor.db side of a copy: reading an existing database (one snapshot,
// without writing to it) and filling a new one.
#include <filesystem>
#include <functional>
#include <vector>

#include "app/copy/copy_plan.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tv::copy::detail {

class SqliteSource {
public:
    SqliteSource() = default;
    ~SqliteSource();
    SqliteSource(const SqliteSource&) = delete;
    SqliteSource& operator=(const SqliteSource&) = delete;

    // Opens `db` read-only and starts the snapshot every read comes from.
    // A missing or empty file, or one that is not the program's database, is
    // refused in words that say so.
    storage::Status open(const std::filesystem::path& db);
    // Each stored record of the table, in row order (a table the database
    // lacks has none); `pending` gets the reservations left out.
    storage::Status read(const TablePlan& t, const std::function<storage::Status(const Row&)>& each,
                         int64_t& pending);
    storage::Status counters(std::vector<Counter>& out);

private:
    storage::Status sqliteFailure(int rc) const;
    bool hasTable(const std::string& name);

    std::filesystem::path path_;
    sqlite3* db_ = nullptr;
};

// Writes records into a new database's tables (the caller holds the unit).
class SqliteWriter {
public:
    explicit SqliteWriter(sqlite3* db) : db_(db) {}
    ~SqliteWriter();
    SqliteWriter(const SqliteWriter&) = delete;
    SqliteWriter& operator=(const SqliteWriter&) = delete;

    storage::Status begin(const TablePlan& t);
    storage::Status add(const Row& r);
    storage::Status end() { return {}; }
    storage::Status counter(const Counter& c);

private:
    storage::Status sqliteFailure(int rc) const;

    sqlite3* db_;
    const TablePlan* table_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
};

}  // namespace tv::copy::detail
