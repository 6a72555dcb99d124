#include "movements/wizard/order_generation.h"

#include "movements/common/stock.h"
#include "platform/types/text.h"

namespace tv::movements::wizard {

using data::TableId;

const LineRule kOrderLines{TableId::DetOrdenes, "DOR:ID", "DOR:KeyId", "DOR:KeyOrden", "DOR:ORDEN", "DOR:Articulo"};
const FolioRule kOrderFolio{TableId::Ordenes, "ORD:Folio", "ORD:KeyFolio", "FOL:ORDENCOMPRA", kOrderLines,
                            "una orden de compra"};

namespace {

bool StoreLine(Posting& p, long long folio, const PickedLine& line) {
    constexpr TableId t = TableId::DetOrdenes;
    p.Buffer(t).clear();
    return p.Store(t, "DOR:ORDEN", Value(Decimal(folio))) && p.Store(t, "DOR:Articulo", Value(line.article)) &&
           p.Store(t, "DOR:Cantidad", Value(line.quantity)) && p.Store(t, "DOR:Costo", Value(line.cost)) &&
           p.Store(t, "DOR:Recibido", Value(Decimal())) && p.Insert(t);
}

bool StoreHeader(Posting& p, long long folio, const OrderHeader& h, const Decimal& quantity) {
    constexpr TableId t = TableId::Ordenes;
    p.Buffer(t).clear();
    return p.Store(t, "ORD:Folio", Value(Decimal(folio))) && p.Store(t, "ORD:Fecha", Value(h.fecha)) &&
           p.Store(t, "ORD:Plazo", Value(h.plazo)) && p.Store(t, "ORD:Entrega", Value(h.entrega)) &&
           p.Store(t, "ORD:Elabora", Value(h.elabora)) && p.Store(t, "ORD:Proveedor", Value(h.proveedor)) &&
           p.Store(t, "ORD:Referencia", Value(h.referencia)) && p.Store(t, "ORD:Prioridad", Value(h.prioridad)) &&
           p.Store(t, "ORD:TOTALARTICULO", Value(quantity)) && p.Store(t, "ORD:TOTALSURTIDO", Value(Decimal())) &&
           p.Store(t, "ORD:PorcSurtido", Value(Decimal())) && p.Insert(t);
}

// The order's supplier, when it names one, is a stored supplier.
bool SupplierStored(Posting& p, const OrderHeader& h) {
    if (trim(h.proveedor).empty()) return true;
    constexpr TableId t = TableId::Proveedores;
    p.Buffer(t).clear();
    if (!p.Store(t, "PVD:Codigo", Value(h.proveedor))) return false;
    if (p.Find(t, "PVD:KeyCodigo")) return true;
    // A read that failed has its own message already.
    return p.RefuseWith(kSupplierRefusedCaption,
                        UnknownSupplierText(trim(h.proveedor)) + " No se generó la orden de compra.");
}

}  // namespace

std::string UnknownSupplierText(std::string_view code) {
    return "No hay ningún proveedor con el código " + std::string(code) +
           ": escriba el código de un proveedor registrado, elíjalo con el botón de búsqueda o deje el código en "
           "blanco.";
}

std::optional<std::string> LinesRefused(const std::vector<PickedLine>& lines) {
    std::vector<Decimal> noQuantity, negativeCost;
    for (const PickedLine& l : lines) {
        if (l.quantity.sign() <= 0) noQuantity.push_back(l.article);
        if (l.cost.sign() < 0) negativeCost.push_back(l.article);
    }
    if (noQuantity.empty() && negativeCost.empty()) return std::nullopt;
    std::string why;
    if (!noQuantity.empty())
        why = (noQuantity.size() == 1 ? "El artículo " + ArticleList(noQuantity) + " no tiene cantidad"
                                      : "Los artículos " + ArticleList(noQuantity) + " no tienen cantidad") +
              ": escriba una cantidad mayor que cero o quítelo de la orden de compra.";
    if (!negativeCost.empty())
        why += std::string(why.empty() ? "" : "\n") +
               (negativeCost.size() == 1 ? "El costo del artículo " : "El costo de los artículos ") +
               ArticleList(negativeCost) + " no puede ser negativo.";
    return why;
}

std::string SkippedText(const std::vector<Decimal>& skipped) {
    if (skipped.size() == 1)
        return "El artículo " + ArticleList(skipped) + " ya no existe: no se agregó a la orden de compra.";
    return "Los artículos " + ArticleList(skipped) + " ya no existen: no se agregaron a la orden de compra.";
}

bool PostGeneratedOrder(Posting& p, const OrderHeader& header, Generated& out) {
    out = Generated{};
    if (!SupplierStored(p, header)) return false;
    // The counter's folio, passed over any a stored order or stored lines
    // (an order being written elsewhere) already have.
    const long long folio = FolioForNewDocument(p.Tables(), kOrderFolio);
    if (!CheckFolio(p, kOrderFolio, folio)) return false;
    std::vector<PickedLine> lines;
    if (!ReadPicked(p.Tables(), lines)) {
        data::TableGateway& g = p.Gateway(TableId::Temporden);
        g.recordError(1, storage::Status::make(storage::kFileSystemError, "no se pudieron leer los artículos elegidos"));
        return p.TableFailed(g);
    }
    if (std::optional<std::string> why = LinesRefused(lines))
        return p.RefuseWith("Orden de compra", *why + " No se generó la orden de compra.");
    long long n = 0;
    for (const PickedLine& line : lines) {
        if (!p.Step("line", ++n)) return false;
        if (!ReadArticle(p, line.article, ArticleNeeds::Ordered)) {
            if (p.Failed()) return false;
            out.skipped.push_back(line.article);  // gone since it was picked
            continue;
        }
        if (!RaiseArticleTotal(p, "ART:Pedido", line.quantity) || !StoreLine(p, folio, line))
            return false;
        out.quantity += line.quantity;
        ++out.lines;
    }
    if (!p.Step("header") || !StoreHeader(p, folio, header, out.quantity)) return false;
    if (!p.Step("folio") || !AdvanceFolio(p, kOrderFolio, folio)) return false;
    out.folio = folio;
    return true;
}

Generated GenerateOrder(data::ThreadTableSet& tables, const OrderHeader& header) {
    Generated out;
    out.stored = RunAsOneUnit(tables, {TableId::Ordenes},
                              [&](Posting& p) { return PostGeneratedOrder(p, header, out); });
    if (!out.stored) out = Generated{};
    return out;
}

}  // namespace tv::movements::wizard
