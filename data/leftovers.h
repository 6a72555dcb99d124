#pragma once
// What forms leave behind when their program ends without closing them (a
// crash, a kill, a power cut): reserved records, the lines stored under a
// new document, the folios their documents held. A form that is no longer
// open on any station or thread (its owner is dead, storage/owners.h)
// will never store or cancel them, so they are released: at every start,
// and whenever a form meets them (a folio a dead owner holds). Never the
// rows of an owner that is still alive.
//
// Rows of older databases that no owner holds are leftovers too:
// reservations without an owner, and lines under a folio that neither a
// stored document has nor any form holds.
#include <cstdint>
#include <string>
#include <vector>

#include "data/tables.h"
#include "data/thread_table_set.h"
#include "platform/storage/storage.h"

namespace tv::data {

// Lines a form stores under its header while the document is written.
struct HeldLines {
    TableId header{};
    const char* headerField = nullptr;   // "ENT:Folio"
    TableId lines{};
    const char* linkField = nullptr;     // "DEN:ENTRADA"
    // The link is a folio the form holds (a claim on the header's table);
    // else the header's own auto-number, reserved with it.
    bool claimed = false;
};
const std::vector<HeldLines>& HeldLinesOfDocuments();
// The held lines of the documents whose folio is claimed on `header`.
const HeldLines* HeldLinesOf(TableId header);
// The name of the header's table in the claims ("Entradas").
std::string ClaimTable(TableId header);

// The code a new supplier's contacts are kept under until the supplier is
// stored: tied to its reservation, so that they go with it.
std::string PendingChildCode(int64_t reservedRow);

struct Released {
    long long reservations = 0;   // reserved records (of any table)
    long long lines = 0;          // lines (contacts included)
    long long claims = 0;         // folios held
    long long total() const { return reservations + lines + claims; }
};

// Inside the caller's unit of work: everything `owner` holds (its
// reservations with what was stored under them, its folios with the lines
// under them that no stored document has). `owner` "" : the reservations
// of older databases that carry none.
storage::Status ReleaseOwner(storage::Connection& c, const std::string& owner, Released* released = nullptr);
// Inside the caller's unit: the lines under `value` that no stored document
// has and no form holds (left by older databases).
storage::Status ReleaseUnheldLines(storage::Connection& c, const HeldLines& held, int64_t value,
                                   Released* released = nullptr);

// One unit of work: the leftovers of every owner that is no longer alive
// and those that no owner holds; then the dead owners' locks are swept.
// The program's start runs it once the tables exist. kDone, or kNotDone
// (another station held the write lock too long, or the database refused):
// then nothing was released, and the forms that meet them will.
int ReleaseLeftovers(ThreadTableSet& set = tables(), Released* released = nullptr);

}  // namespace tv::data
