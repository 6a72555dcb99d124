#pragma once
// Articles and the stock ledger inside a unit of work: every article total
// is read and written within the unit, so no update of another logical
// thread or station is lost.
#include <string>
#include <string_view>

#include "movements/common/unit_of_work.h"
#include "platform/types/decimal.h"
#include "platform/types/record.h"

namespace tv::movements {

// Opening stock + receipts - issues, exact.
Decimal StockOnHand(const Record& articulo);
// A line's amount: quantity x cost, rounded half away from zero to 2 places.
Decimal LineAmount(const Value& quantity, const Value& cost);
// "ENT-" and the folio's plain digits.
std::string DocumentText(std::string_view prefix, long long folio);

// What a posting reads of an article per line. A long document reads one
// article per line, and the article is a wide record: reading only the
// totals it works on saves most of the read. The other fields stay blank
// until the unit ends (see Posting::Find).
enum class ArticleNeeds {
    Whole,
    Ordered,        // ART:Pedido
    Stock,          // ART:ExistenciaAnterior, ART:Entradas, ART:Salidas
    StockAndCost,   // those and ART:COSTOPROMEDIO
};
// Reads article `noArt` into the thread's Articulo buffer: true when it is
// stored; false when not (nothing recorded) or on a read error (recorded).
bool ReadArticle(Posting& p, const Decimal& noArt, ArticleNeeds needs = ArticleNeeds::Whole);
// Writes back over the article last read what was stored into the Articulo
// buffer since it was read (AddToArticle, Posting::Store); the other
// columns, and the keys on them, are not rewritten.
bool WriteArticle(Posting& p);
// Adds to a total of the Articulo buffer (refused when it would not fit).
bool AddToArticle(Posting& p, std::string_view field, const Decimal& amount);
// Adds to one total of the article last read and writes that field alone.
bool RaiseArticleTotal(Posting& p, std::string_view field, const Decimal& amount);

// The description of a document's type (TEN or TSA) into `out` ("" when
// the document names no stored type); false only on a read error (recorded).
struct TypeRule {
    data::TableId table{};          // TipEntradas
    const char* key = nullptr;      // "TEN:KeyCodigo"
    const char* code = nullptr;     // "TEN:Codigo"
    const char* text = nullptr;     // "TEN:Descripcion"
};
bool ReadTypeDescription(Posting& p, const TypeRule& rule, const Value& code, std::string& out);

// One ledger row ("Kardex"), every field given (nothing left over from an
// earlier row); KAR:ID is numbered.
struct LedgerRow {
    Decimal article{};
    long date = 0;
    std::string document{}, concepto{}, reference{};
    Decimal in{}, out{}, stock{}, unitCost{}, averageCost{};
};
bool AddLedgerRow(Posting& p, const LedgerRow& row);

}  // namespace tv::movements
