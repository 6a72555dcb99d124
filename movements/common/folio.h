#pragma once
// Document numbers ("folios"): the number a new document opens with, the
// checks at completion and the counter's advance.
//
// A folio is required and not zero, and no stored document may have it: the
// completion checks it inside its unit and refuses a used folio with message
// 15 naming the folio key. After a completion the counter becomes
// max(counter, folio + 1), never lower; the single folio record is added
// when there is none. While a new document's form is open it holds its
// folio (below).
#include <functional>
#include <optional>
#include <string>

#include "data/tables.h"
#include "data/thread_table_set.h"
#include "movements/common/lines.h"
#include "movements/common/unit_of_work.h"

namespace tv::movements {

struct FolioRule {
    data::TableId header{};           // Entradas
    const char* folioField = nullptr;   // "ENT:Folio"
    const char* folioKey = nullptr;     // "ENT:KeyFolio"
    const char* counterField = nullptr; // "FOL:ENTRADAS"
    LineRule lines;                     // the document's lines (their link holds the folio)
    const char* what = nullptr;         // how a message names a document: "una entrada de almacén"
};

// The counter's value (0 when there is no folio record).
long long FolioCounter(data::ThreadTableSet& tables, const FolioRule& rule);
// Whether a stored document has the folio (read into a copy).
bool FolioStored(data::ThreadTableSet& tables, const FolioRule& rule, long long folio);
// The first folio from the counter (at least 1) that no stored document
// has, no line carries and no open form holds (read only: the order
// wizard shows it, and takes it inside its unit).
long long FolioForNewDocument(data::ThreadTableSet& tables, const FolioRule& rule);
inline constexpr const char* kFolioCaption = "Folio no válido";

// --- The folio a new document's form holds
//
// While its form is open, a new document holds its folio (a claim with the
// form's owner, storage/owners.h): no other form takes it, and lines are
// stored under it only by the form that holds it, checked in the same unit
// as the line's insert. The completion checks the folio and lets it go in
// its own unit, the cancel with the lines and the reservation. What a form
// that is no longer open left under a folio (its claim, its lines) is
// released when the folio is met; a folio another open form holds is
// refused with that reason. A form holds one folio of its documents at a
// time: holding another gives up the first.

// One unit: the folio a new document opens with, held at once: the first
// from the counter that no stored document has and no open form holds
// (two forms opened at once get two folios). When it cannot be held now
// (another station holds the write lock) the same folio, not held: the
// first line holds it.
long long HoldFolioForNewDocument(data::ThreadTableSet& tables, const FolioRule& rule);
// One unit, without a message: the folio typed is held instead of the one
// held, when it may be; true when this form holds it now.
bool TryHoldFolio(data::ThreadTableSet& tables, const FolioRule& rule, long long folio);
// One unit: a new line reserved under `folio` (the lines' buffer cleared,
// then `prime` sets the fields that tie it to the document), with the folio
// held; false after the reason (a folio that is zero, stored, or held by
// another open form).
bool ReserveLine(data::ThreadTableSet& tables, const FolioRule& rule, long long folio,
                 const std::function<void(Record&)>& prime);
// One unit: a new document given up (its form cancelled or closed): the
// lines it stored, its reserved header and the folio it held; false (after
// the reason) when that could not be done, and then nothing was.
bool CancelNewDocument(data::ThreadTableSet& tables, const FolioRule& rule, LineTracker& own);
// Why lines could not go under `folio` now, read without holding anything
// (a form asks before a line form opens; the line's unit decides): zero,
// stored, or held by another open form. Nullopt when they may.
std::optional<std::string> FolioRefusal(data::ThreadTableSet& tables, const FolioRule& rule, long long folio);
// In a unit: this form holds `folio` (refused with the reason otherwise).
bool HoldFolio(Posting& p, const FolioRule& rule, long long folio);
// In a unit: the form lets go of the folio it holds (none: nothing to do).
bool ReleaseFolio(Posting& p, const FolioRule& rule);

// In a unit: the folio is not zero, no stored document has it and no other
// open form holds it; lines under it are this form's (a form with no line
// of its own meets only leftovers there: they are released). The folio
// this form held is let go: the document is stored in this unit. With
// `lines`, the document's lines as stored once the check is done are read
// into it (the posting needs them; they are read once).
bool CheckFolio(Posting& p, const FolioRule& rule, long long folio, const LineTracker* own = nullptr,
                std::vector<Record>* lines = nullptr);
// In a unit: counter := max(counter, folio + 1).
bool AdvanceFolio(Posting& p, const FolioRule& rule, long long folio);

}  // namespace tv::movements
