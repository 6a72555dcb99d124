#pragma once
// The integrity check and the key rebuild of the tables on a server.
//
// The server keeps its own pages sound; what a station can meet is a table
// it cannot read whole (a damaged page or value, XX001/XX002) or an index
// the server does not use (left invalid by a failed build). The check reads
// every row of every table of the working schema and looks at every index
// there; the rebuild rebuilds each table's indexes in one unit of work under
// the schema's lock (no other station's unit runs meanwhile), then checks.
#include <chrono>

#include "platform/storage/server/pg_connection.h"
#include "platform/storage/storage.h"

namespace tv::storage::server {

// Ok, or kKeyFileMustBeRebuilt whose detail names what is wrong (each
// table that could not be read whole, with the server's words, and each
// index not valid).
Status checkTables(PgConnection& c);

// REINDEX of every table of the working schema, then checkTables().
Status rebuildIndexes(PgConnection& c, std::chrono::milliseconds lockTimeout);

}  // namespace tv::storage::server
