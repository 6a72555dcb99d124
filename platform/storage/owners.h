#pragma once
// Who holds the rows that are not finished yet, and whether they still can.
//
// A form that adds a record reserves it at once (a pending row), and a
// document's form holds its folio (a claim) while it is open. Both carry
// the owner that wrote them: this process and the connection (one per
// logical thread), "<process id>.<connection number>". When the program ends
// without closing its forms (a crash, a kill, a power cut), what they held
// stays behind; any station can tell by asking whether its owner still runs.
//
// Liveness: every process holds, for its whole life, an exclusive advisory
// lock (flock) on its own file "<process id>.lock" in the folder beside the
// database ("talvor.db-owners"). The system drops the lock when the process
// ends in any way. Another station tests an owner with a shared lock
// attempt that does not wait: it gets it, or the file is gone, only when
// the owner is dead. Within this process an owner lives while its connection
// is open. A process id is random and never used again, so a dead owner
// stays dead. On a server, a session lock there plays the lock file's part
// (ownersOfServer).
//
// Claims: one row per (table, value) in tv_claim, with its owner; a
// unique pair, written inside the caller's unit of work.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/storage.h"

namespace tv::storage {

class OwnerRegistry {
public:
    virtual ~OwnerRegistry() = default;
    // The owner that `c`'s reservations and claims carry; this process
    // proves it is alive from then on.
    virtual std::string ownerOf(const Connection& c) = 0;
    // Whether `owner` may still finish what it holds. An owner nobody can
    // ask about (a lock file that cannot be read) counts as alive.
    virtual bool isAlive(const std::string& owner) = 0;
    // Whether `owner` is of this process (alive or not).
    virtual bool isOurs(const std::string& owner) = 0;
    // Lets go of what is kept of dead owners (their lock files); their
    // rows count as dead also afterwards.
    virtual void sweep() = 0;
    // The lock's folder, or why this process could not prove it is alive
    // ("" when it can).
    virtual std::filesystem::path folder() const = 0;
    virtual std::string problem() const = 0;
};

// The registry of the database at `database` (its folder of locks beside it).
OwnerRegistry& ownersOf(const std::filesystem::path& database);
// The registry of the tables on a server: each process holds a session lock
// there, shared by its connections, for its whole life; another station's
// attempt at the lock alone tells a dead one.
OwnerRegistry& ownersOfServer(const std::string& conninfo);
// The registry of the store `c` works on.
OwnerRegistry& ownersOf(const Connection& c);

// --- claims (tv_claim)

struct Claim {
    std::string table;   // the SQL table whose number it holds ("Entradas")
    int64_t value = 0;   // the number ("folio")
    std::string owner;
};

// The claim on (table, value), if any (nullopt when none).
Status findClaim(Connection& c, std::string_view table, int64_t value, std::optional<Claim>& out);
// Adds a claim (inside the caller's unit); kCreatesDuplicateKey when
// (table, value) is claimed already.
Status putClaim(Connection& c, const Claim& claim);
// Drops `owner`'s claims on `table` (all of them, or the one on `value`).
Status dropClaims(Connection& c, std::string_view table, std::string_view owner,
                  std::optional<int64_t> value = std::nullopt);
// Every claim (`owner` given: only that owner's).
Status listClaims(Connection& c, std::vector<Claim>& out, std::optional<std::string> owner = std::nullopt);

// --- unfinished rows of a table

// The owners of the table's reserved rows; "" for rows that older
// databases left without one.
Status pendingOwners(Connection& c, const TableDef& def, std::vector<std::string>& out);
struct PendingRow {
    int64_t row = 0;      // tv_row
    int64_t number = 0;   // the auto-numbered field's value (0 without one)
};
// The reserved rows of `owner` ("" : the rows without an owner).
Status pendingRowsOf(Connection& c, const TableDef& def, std::string_view owner, std::vector<PendingRow>& out);
// Whether a stored record (no reservation) has `value` in `field`.
Status hasStored(Connection& c, const TableDef& def, int field, int64_t value, bool& found);
// Deletes the record at `row` (n: 1 or 0).
Status deleteRow(Connection& c, const TableDef& def, int64_t row, int64_t* n = nullptr);
// Deletes every record whose `field` equals `value`; `n` gets how many.
Status deleteWhere(Connection& c, const TableDef& def, int field, const Value& value, int64_t* n = nullptr);
// The values of `childField` in `child` that no record of `parent` has in
// `parentField` (with `storedOnly`: no stored record, reservations not
// counted) and, with `claimTable`, no claim of that table holds.
Status unmatchedValues(Connection& c, const TableDef& child, int childField, const TableDef& parent, int parentField,
                       bool storedOnly, std::optional<std::string_view> claimTable, std::vector<int64_t>& out);

// --- internal: the connections of this process (Connection's life)
void noteConnectionOpened(const Connection* c);
void noteConnectionClosed(const Connection* c);
// Drops what the owners' queries keep for `c` (its statements), before its
// handle closes.
void forgetConnectionStatements(const Connection* c);

}  // namespace tv::storage
