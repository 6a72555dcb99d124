#pragma once
// The order wizard's picked lines, without any window: which articles the
// wizard offers, the quantity it suggests, and its lines in Temporden.
//
// Temporden is each logical thread's own table (see data/tables.h): the
// lines a wizard picks are read, changed and deleted by that wizard alone,
// never by a wizard of another thread or running copy.
#include <string>
#include <vector>

#include "data/thread_table_set.h"
#include "platform/types/decimal.h"
#include "platform/types/record.h"

namespace tv::movements::wizard {

// The articles the second page offers (the option's values).
enum class Selection : int { BelowMinimum = 1, BelowIdeal = 2, All = 3 };

// The articles list's filter for a selection ("" for every article).
std::string SelectionFilter(Selection s);

// The quantity suggested for article `a` picked under selection `s`: its
// minimum (or ideal) stock less its stock on hand and less what is still
// expected from suppliers (ART:Pedido - ART:Recibido). Never below 0, never
// more than a line holds; 0 under "Todos los artículos".
Decimal SuggestedQuantity(const Record& a, Selection s);

// One picked line.
struct PickedLine {
    long long id = 0;     // TOR:ID
    Decimal article;      // TOR:Articulo
    Decimal quantity;     // TOR:Cantidad
    Decimal cost;         // TOR:Costo
};

// Every picked line in the order they were picked; false on a read error
// (then `out` holds the lines read before it).
bool ReadPicked(data::ThreadTableSet& tables, std::vector<PickedLine>& out);

// Deletes every picked line (the wizard opens empty), in one unit; false
// after its message.
bool ClearPicked(data::ThreadTableSet& tables);

enum class PickOutcome { Added, AlreadyListed, NoArticle, Failed };
// Picks article `noArt` (read again: it must be stored) with the suggested
// quantity and cost 0. AlreadyListed when a line has it; Failed after the
// table layer's message.
PickOutcome PickArticle(data::ThreadTableSet& tables, const Decimal& noArt, Selection s);

// What the picked lines add up to.
struct PickedTotals {
    Decimal quantity;   // the sum of the quantities
    Decimal amount;     // the sum of quantity x cost, each rounded to 2 places
};
PickedTotals TotalsOf(const std::vector<PickedLine>& lines);

}  // namespace tv::movements::wizard
