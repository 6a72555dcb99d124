#include "movements/orders/pending_items.h"

#include "platform/types/text.h"
#include "platform/view/table_set_view.h"
#include "platform/view/view_cursor.h"

namespace tv::movements::orders {

using data::TableId;

Decimal PendingQuantity(const Record& a) {
    const data::TableDecl& d = data::decl(TableId::Articulo);
    return (a.number(d.fieldIndex("ART:Pedido")) - a.number(d.fieldIndex("ART:Recibido"))).rounded(2);
}

std::vector<PendingItem> PendingItems(data::ThreadTableSet& tables) {
    std::vector<PendingItem> out;
    // The view reads into the thread's buffers: they are given back as they were.
    const Record savedArticle = tables.buffer(TableId::Articulo), savedUnit = tables.buffer(TableId::Unidades);
    view::ViewCursor cursor(tables.connection());
    view::TableSetView v(cursor, tables);
    if (!v.setPrimary(TableId::Articulo)) return out;
    v.join(TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}});
    if (!v.setOrder("ART:KeyNoArt") || !cursor.setFilter(kPendingFilter)) return out;
    const data::TableDecl& art = data::decl(TableId::Articulo);
    const Record& a = tables.buffer(TableId::Articulo);
    const Record& u = tables.buffer(TableId::Unidades);
    const int unit = data::decl(TableId::Unidades).fieldIndex("UNI:UM");
    while (cursor.next().ok()) {
        PendingItem i;
        i.noArt = a.number(art.fieldIndex("ART:NoArt")).toInt64();
        i.description = std::string(rtrim(a.get(art.fieldIndex("ART:Descripcion")).asText()));
        i.unit = std::string(rtrim(u.get(unit).asText()));
        i.ordered = a.number(art.fieldIndex("ART:Pedido"));
        i.received = a.number(art.fieldIndex("ART:Recibido"));
        i.pending = PendingQuantity(a);
        out.push_back(std::move(i));
    }
    cursor.release();
    tables.buffer(TableId::Articulo) = savedArticle;
    tables.buffer(TableId::Unidades) = savedUnit;
    return out;
}

}  // namespace tv::movements::orders
