#pragma once
// The server side of a copy, over one PgConnection: filling an empty
// schema inside the caller's unit of work, and reading a schema from one
// snapshot.
#include <functional>
#include <vector>

#include "app/copy/copy_plan.h"
#include "platform/storage/server/pg_connection.h"

namespace tv::copy::detail {

// The program's tables (and side tables) the connection's schema holds.
storage::Status programTablesThere(storage::server::PgConnection& pg, std::vector<std::string>& out);

class ServerWriter {
public:
    explicit ServerWriter(storage::server::PgConnection& pg) : pg_(pg) {}

    // The server's functions, every table with its keys, the counters' table.
    storage::Status createTables();
    // Records go in batches; end() writes the last one and sets the row
    // numbering after the highest row copied.
    storage::Status begin(const TablePlan& t);
    storage::Status add(const Row& r);
    storage::Status end();
    storage::Status counter(const Counter& c);

private:
    storage::Status flush();
    std::string insertSql(size_t rows) const;

    storage::server::PgConnection& pg_;
    const TablePlan* table_ = nullptr;
    size_t batchRows_ = 0;
    std::vector<Row> batch_;
    int64_t highest_ = 0;
    storage::server::PgConnection::Statement full_;
};

class ServerSource {
public:
    explicit ServerSource(storage::server::PgConnection& pg) : pg_(pg) {}

    // Starts the one snapshot every read comes from (read only); refuses a
    // schema that holds none of the program's tables.
    storage::Status begin();
    storage::Status read(const TablePlan& t, const std::function<storage::Status(const Row&)>& each,
                         int64_t& pending);
    storage::Status counters(std::vector<Counter>& out);

private:
    storage::server::PgConnection& pg_;
    std::vector<std::string> there_;
};

}  // namespace tv::copy::detail
