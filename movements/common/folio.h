#pragma once
// Document numbers ("folios"): the number a new document opens with, the
// checks at completion and the counter's advance.
//
// A folio is required and not zero, and no stored document may have it: the
// completion checks it inside its unit and refuses a used folio with message
// 15 naming the folio key. After a completion the counter becomes
// max(counter, folio + 1), never lower; the single folio record is added
// when there is none.
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
// The folio a new document opens with: the counter (at least 1), passed over
// the folios a stored document has or lines already carry (another form's
// new document, or lines left behind).
long long FolioForNewDocument(data::ThreadTableSet& tables, const FolioRule& rule);

// Why lines cannot be added to a new document under `folio` now, or nullopt
// when they can: zero, used by a stored document, or carried by lines that
// another form stored. (The text is for the user.)
std::optional<std::string> FolioRefusedForLines(data::ThreadTableSet& tables, const FolioRule& rule, long long folio,
                                                const LineTracker& own);
inline constexpr const char* kFolioCaption = "Folio no válido";

// In a unit: the folio is not zero and no stored document has it; every
// line under it was stored by this form.
bool CheckFolio(Posting& p, const FolioRule& rule, long long folio, const LineTracker* own = nullptr);
// In a unit: counter := max(counter, folio + 1).
bool AdvanceFolio(Posting& p, const FolioRule& rule, long long folio);

}  // namespace tv::movements
