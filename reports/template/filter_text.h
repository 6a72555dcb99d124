#pragma once
// The choices of a report filter window and the filter text built from
// them: clauses on the article number, the brand and the category, joined
// by " and ", then the closing clause of the window (stock on hand not
// zero, or quantity still to be received). The report applies the text to
// its view as it stands.
#include <cstddef>
#include <string>

#include "platform/types/decimal.h"

namespace tv::reports {

// An option group's choice: every record, a range, one value.
enum Choice : int { kAll = 1, kRange = 2, kOne = 3 };

struct FilterChoices {
    int articulos = kAll;           // LOC:ARTICULOS
    Decimal noArt1, noArt2, noArtE;  // NOART1, NOART2, NOARTE
    int marcas = kAll;              // LOC:MARCAS
    Decimal marca1, marca2, marcaE;  // MARCA1, MARCA2, MARCAE
    int categorias = kAll;          // LOC:CATEGORIAS
    Decimal cat1, cat2, catE;        // CAT1, CAT2, CATE
    bool cero = false;              // CERO: articles without stock are included
    int orden = 1;                  // ORDEN: 1 number, 2 brand, 3 category
};

// What ends the text of a window.
enum class ClosingClause {
    None,     // the ledger report, the spreadsheet export
    Stock,    // unless CERO: stock on hand not zero
    Pending,  // always: quantity still to be received above zero
};

inline constexpr const char* kStockClause = "ART:ExistenciaAnterior + ART:Entradas - ART:Salidas <> 0";
inline constexpr const char* kPendingClause = "ART:Pedido - ART:Recibido > 0";
// LOC:FILTRO holds at most this many characters.
inline constexpr std::size_t kFilterMaxLength = 254;

// A number as the filter text writes it: its whole part, plain digits, a
// leading "-" when negative.
std::string FilterNumber(const Decimal& d);

// The filter text (LOC:FILTRO), built afresh from the choices.
std::string BuildFilterText(const FilterChoices& choices, ClosingClause closing);

}  // namespace tv::reports
