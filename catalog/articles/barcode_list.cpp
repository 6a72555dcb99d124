// BrowseArticuloBarras: the articles by bar code, read through the alias so
// that a pick leaves the caller's Articulo record alone.
#include "app/browse/browse_controller.h"
#include "app/browse/message_box.h"
#include "catalog/articles/article_logic.h"
#include "catalog/articles/articles.h"
#include "data/thread_table_set.h"
#include "platform/threads/thread_state.h"

namespace tv::catalog {

using data::TableId;

namespace {

// Procedure 1 of the bar-code list: the article form on the highlighted
// article. The list moves through AliasArticulos while the form works on
// Articulo, so the form is given the Articulo record of the row first; the
// caller's Articulo buffer is put back afterwards.
void ArticleFormOfRow() {
    ThreadState& ts = threadState();
    data::ThreadTableSet& tables = data::tables();
    data::TableGateway& art = tables.gateway(TableId::Articulo);
    const int saved = art.SaveBuffer();
    auto refuse = [&] {
        ts.callRequest = 0;
        ts.callResponse = kCancelled;
        art.RestoreBuffer(saved);
    };
    if (ts.callRequest == kInsert) {
        // The article form adds the article: nothing stays reserved through the alias.
        if (tables.gateway(TableId::AliasArticulos).AUTOINCDONE != 0)
            tables.relations(TableId::AliasArticulos).CancelPendingInsert();
        if (art.PrepareNewRecord() != data::kDone) {
            art.ShowLastError();
            refuse();
            return;
        }
    } else if (!ReadArticleOfAlias(tables)) {
        const data::TableDecl& aar = data::decl(TableId::AliasArticulos);
        app::ShowMessage("Artículo no encontrado",
                         ArticleGoneMessage(tables.buffer(TableId::AliasArticulos).number(aar.fieldIndex("AAR:NoArt"))),
                         app::MessageIcon::None);
        refuse();
        return;
    }
    UpdateArticulo();
    art.RestoreBuffer(saved);
}

}  // namespace

void BrowseArticuloBarras() {
    app::StandardBrowseSetup b;
    b.procedure = kBrowseArticuloBarras;
    b.caption = QStringLiteral("Articulo registrados");
    b.listTip = QStringLiteral("Articulos registrados");
    b.size = QSize(920, 380);
    b.list.primary = TableId::AliasArticulos;
    b.list.format = kBarcodeListFormat;
    b.list.columns = {{"AAR:CodigoBarras"}, {"AAR:Descripcion"}, {"AAR:NoArt"}, {"AAR:Modelo"}, {"AAR:Tamano"}};
    b.list.orders = {{"AAR:KeyCodigoBarras", app::ScrollStepKind::Text, "AAR:CodigoBarras", app::LocatorKind::None}};
    b.list.findColumns = kBarcodeFindColumns;
    b.tabs = {QStringLiteral("Por Cod. Barras")};
    b.selectButton = true;
    b.selectOnTab = true;  // on the first tab
    b.form = ArticleFormOfRow;
    b.prepare = [](app::BrowseController&, ui::Window& w) {
        w.at(app::kBrowseSelect).setTip(QStringLiteral("Elegir producto"));
        w.at(app::kBrowseSelect).setStatusText(QStringLiteral("Elegir producto"));
    };
    app::RunStandardBrowse(b);
}

}  // namespace tv::catalog
