#pragma once
// The order generation of the order wizard, without any window: the picked
// lines become a stored purchase order (its lines, the articles' ordered
// quantities, the header with its total, the folio counter advanced), all
// as one unit of work.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/thread_table_set.h"
#include "movements/common/folio.h"
#include "movements/common/lines.h"
#include "movements/common/unit_of_work.h"
#include "movements/wizard/picked_lines.h"
#include "platform/types/decimal.h"

namespace tv::movements::wizard {

extern const LineRule kOrderLines;
extern const FolioRule kOrderFolio;

// The header values of the wizard's first page.
struct OrderHeader {
    long fecha = 0;           // blank: 0
    Decimal plazo;            // days
    long entrega = 0;         // DeliveryDate(fecha, plazo)
    std::string elabora;
    std::string proveedor;
    std::string referencia;
    std::string prioridad;
};

// What a generation did.
struct Generated {
    bool stored = false;
    long long folio = 0;            // the stored order's folio
    int lines = 0;                  // lines stored
    Decimal quantity;               // ORD:TOTALARTICULO: the sum of the lines stored
    std::vector<Decimal> skipped;   // picked articles that no longer exist (not stored)
};

// Why picked lines cannot go into an order as they stand (a quantity not
// above zero, a negative cost), naming their articles; nullopt when they can.
std::optional<std::string> LinesRefused(const std::vector<PickedLine>& lines);

// The refusal of a supplier code that names no supplier: its caption and text.
inline constexpr const char* kSupplierRefusedCaption = "Proveedor no válido";
std::string UnknownSupplierText(std::string_view code);

// The message naming the picked articles that were left out.
std::string SkippedText(const std::vector<Decimal>& skipped);

// The generation inside the caller's unit: the folio is the counter's (the
// next one no stored order and no stored line has), every picked line of an
// existing article is stored and raises its ART:Pedido, the header is
// stored with the total of the lines stored, the counter becomes
// max(counter, folio + 1). A supplier code that names no supplier is
// refused (a blank one stands).
bool PostGeneratedOrder(Posting& p, const OrderHeader& header, Generated& out);

// The generation as one unit of work. When it fails nothing is stored and
// the reason has been shown (after the rollback); stored is false then.
Generated GenerateOrder(data::ThreadTableSet& tables, const OrderHeader& header);

}  // namespace tv::movements::wizard
