#pragma once
// Moving the program's tables between talvor.db and a PostgreSQL server:
// every declared table's stored records (row numbers and versions kept),
// its keys as the store makes them, and the auto-number counters, so the
// next folio continues where it was.
//
// To the server: into a schema that holds none of the program's tables, in
// one unit of work under the schema's write lock (all or nothing; a copy
// killed midway leaves the schema as it was). To a file: into a new
// database made as the program makes it, written under a temporary name
// beside the target and put in place only when whole, never over a file
// that is there.
//
// Records a form has reserved but not stored (and the folios forms hold)
// belong to the stations that have them open on the store being left:
// they are not copied. The counters still cover their numbers, so none is
// given twice.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/storage.h"

namespace tv::copy {

// What was copied, table by table (SQL table name, records), and how many
// unfinished reservations were left out.
struct CopyReport {
    std::vector<std::pair<std::string, int64_t>> tables;
    int64_t reservationsLeftOut = 0;
    int64_t counters = 0;   // rows of tv_autonumber
};

// Called after each table's rows are written (its SQL name) and once more
// with "confirmar" just before the commit; a failure stops the copy there
// (tests inject failures and kills through it).
using CopyStep = std::function<storage::Status(std::string_view step)>;

// talvor.db at `db` into the server `conninfo` names.
storage::Status copyToServer(const std::filesystem::path& db, const std::string& conninfo, CopyReport& report,
                             const CopyStep& step = {});
// The server `conninfo` names into a new database at `file`.
storage::Status copyToFile(const std::string& conninfo, const std::filesystem::path& file, CopyReport& report,
                           const CopyStep& step = {});

// Removes what copies into `file` killed before they finished left beside
// it (never a running copy's); how many copies' leftovers went.
int removeCopyLeftovers(const std::filesystem::path& file);

}  // namespace tv::copy
