#pragma once
// A document's completion (or generation, adjustment) as one unit of work.
//
//     bool ok = movements::RunAsOneUnit(tables, {TableId::Entradas}, [&](Posting& p) {
//         if (!CheckFolio(p, kReceiptFolio, folio)) return false;
//         ... reads and writes through p (p.Find, p.Store, p.Insert, p.Update) ...
//         return p.Step("header") && p.Insert(TableId::Entradas);
//     });
//
// The unit begins the write transaction (BEGIN IMMEDIATE: completions on
// other logical threads and stations wait for each other), runs the work and
// commits. When the work refuses (or any step fails, or the commit does)
// everything is rolled back, the thread's record buffers and table handles
// are put back as they were before the unit (a completed reservation is
// pending again), and only then is the reason shown. So a form that calls it
// stays open as it was, and a second "Aceptar" posts once.
//
// No logical thread yields while it holds the write lock: the work must not
// ask the user anything or wait. The gateways record their messages; the
// unit shows them after the rollback.
#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/tables.h"
#include "data/thread_table_set.h"
#include "platform/types/record.h"

namespace tv::movements {

// How long a completion waits for another one to finish.
inline constexpr std::chrono::milliseconds kPostingLockTimeout{10000};

// The context a posting works through: the thread's tables, and the reason
// of the first failure, kept to be shown after the rollback.
class Posting {
public:
    explicit Posting(data::ThreadTableSet& tables) : tables_(tables) {}
    Posting(const Posting&) = delete;
    Posting& operator=(const Posting&) = delete;

    data::ThreadTableSet& Tables() const { return tables_; }
    Record& Buffer(data::TableId t) const { return tables_.buffer(t); }
    data::TableGateway& Gateway(data::TableId t) const { return tables_.gateway(t); }
    // A field index by label ("ART:Entradas"); throws std::invalid_argument when unknown.
    static int Field(data::TableId t, std::string_view name);

    // --- refusing (each returns false, so that `return p.Refuse(...)` reads well)
    bool Failed() const { return kind_ != Kind::None; }
    // A numbered message of the ErrorReporter, with %Message (message 15
    // takes the label of the key a value repeats).
    bool Refuse(int message, std::string_view messageText = {});
    // A plain message box of the system's own.
    bool RefuseWith(std::string caption, std::string text);
    // The failure the gateway recorded for its last operation (LASTERROR).
    bool TableFailed(data::TableGateway& g);
    // Shows the reason (the unit calls it after the rollback).
    void ShowRefusal() const;
    // The reason in words, for tests and logs.
    std::string RefusalText() const;

    // --- steps
    // A named step of the work ("line", 12). Tests hook in here (a failure
    // injected, a process killed at that point); false: the step failed.
    bool Step(std::string_view step, long long n = 0);

    // --- reading and writing (the gateways' quiet forms; failures recorded)
    // Reads by key into the table's buffer from the key fields it holds.
    // Found: true. Not found: false with nothing recorded (Failed() stays
    // false); a read error: false with the failure recorded.
    bool Find(data::TableId t, std::string_view keyName);
    // Find reading only `fields` (and the key's): the record's other fields
    // stay blank in the buffer while the work runs, and the record cannot
    // be rewritten whole, only field by field (Update with fields,
    // UpdateStored). For a record read per line of a long document. Before
    // the unit commits, the last record so read is read whole again, so the
    // buffer then holds what it would after Find.
    bool Find(data::TableId t, std::string_view keyName, const std::vector<int>& fields);
    // That whole read again (the unit calls it).
    bool ReadWholeWhatWasReadInPart();
    bool Insert(data::TableId t);   // an auto-numbered key gets its number
    bool Update(data::TableId t);   // the record last read or written
    // Only these fields of it: the others' indexes are left untouched.
    bool Update(data::TableId t, const std::vector<int>& fields);
    // Stores a value in a field; a value the field cannot hold (its integer
    // part too wide) is refused instead of losing digits.
    bool Store(data::TableId t, int field, const Value& v);
    bool Store(data::TableId t, std::string_view field, const Value& v) { return Store(t, Field(t, field), v); }
    // Rewrites, of the record last found, only the fields stored into its
    // buffer since (Store): the other columns, and the keys on them, stay
    // as stored. Nothing stored: nothing written.
    bool UpdateStored(data::TableId t);

private:
    bool FindReading(data::TableId t, std::string_view keyName, const std::vector<int>* fields);
    enum class Kind { None, Message, Table, Box };
    data::ThreadTableSet& tables_;
    Kind kind_ = Kind::None;
    int message_ = 0;
    std::string text_, caption_;
    data::TableGateway* failed_ = nullptr;
    // Per table, the fields stored since its record was last found or written.
    std::array<std::vector<int>, data::kTableCount> stored_;
    std::array<bool, data::kTableCount> readInPart_{};
};

struct UnitOptions {
    data::TableId primary{};   // the document's table: named by message 24
    std::chrono::milliseconds lockTimeout = kPostingLockTimeout;
    bool quiet = false;        // the reason is not shown (the caller goes on without)
};

// Runs `work` as one unit of work on `tables`; true when it was committed.
bool RunAsOneUnit(data::ThreadTableSet& tables, const UnitOptions& options,
                  const std::function<bool(Posting&)>& work);

// --- the test hook

// Called at every step of every unit ("begin" once the write lock is held,
// the work's own steps, "commit" before the commit, "committed" after it):
// returning false makes that step fail. A crash test blocks in it instead.
using PostingProbe = std::function<bool(std::string_view step, long long n)>;
void SetPostingProbe(PostingProbe probe);   // empty: none

}  // namespace tv::movements
