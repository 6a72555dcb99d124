#pragma once
// `UpdateFolios`: the form of the next document numbers (folios) of
// receipts, issues and purchase orders, kept in the one record of `Folios`.
// It decides its request itself: a change of the first record in record
// order, or, when the table holds none, an insert of a record whose next
// numbers are all 1.
#include <optional>
#include <string>

#include "platform/types/record.h"

namespace tv::data {
class ThreadTableSet;
}

namespace tv::app {

// Control numbers of the form.
enum FoliosControl : int {
    kFolSheet = 1,            // ?CURRENTTAB
    kFolTab = 2,              // ?TAB:1 "Folios de documentos"
    kFolEntradasPrompt = 3,
    kFolEntradas = 4,         // ?FOL:ENTRADAS
    kFolSalidasPrompt = 5,
    kFolSalidas = 6,          // ?FOL:SALIDAS
    kFolOrdenPrompt = 7,
    kFolOrden = 8,            // ?FOL:ORDENCOMPRA
    kFolOk = 9,
    kFolCancel = 10,
};

// The highest next number the form takes: the ten digits its entries show.
inline constexpr long long kMaxNextFolio = 9'999'999'999LL;

// A next number that cannot be used: out of range (0, negative, wider than
// the entry) or one that a stored document of its kind already has.
struct FolioClash {
    std::string field;      // "FOL:ENTRADAS", "FOL:SALIDAS" or "FOL:ORDENCOMPRA"
    long long folio = 0;
    bool inUse = true;      // false: out of range
    std::string message;    // for the user: names the document and its folio
};

// The first next number of the folio record (receipts, issues, orders in
// that order) that is out of range or that a stored receipt, issue or
// purchase order already carries as its folio; nullopt when none is.
std::optional<FolioClash> FindFolioClash(data::ThreadTableSet& tables, const Record& folios);

// The procedure.
void UpdateFolios();

}  // namespace tv::app
