// BrowseConsultaKardex, "Kardex de almacén": the articles with their
// receipts, issues and current stock, and below them the ledger rows of the
// highlighted article, as they were posted.
#include "app/frame/procedures.h"
#include "reports/kardex/kardex.h"
#include "reports/stock/stock.h"
#include "reports/template/article_query.h"

namespace tv::reports {

void BrowseConsultaKardex() {
    ArticleQuerySetup s;
    s.procedure = "BrowseConsultaKardex";
    s.caption = QString::fromUtf8("Kardex de almacén");
    s.size = QSize(800, 560);
    s.format =
        "46R(2)|M*~No Art~@n_10@165L(2)|M*~Descripción~@s40@17L(2)|M*~UM~@s40@56R(2)|M*~Entradas~@n-14.2@56R(2)|M*~"
        "Salidas~@n-14.2@56R(2)|M*~Existencia Actual~@n-14.2@";
    s.columns = {{"ART:NoArt"},   {"ART:Descripcion"}, {"UNI:UM"},
                 {"ART:Entradas"}, {"ART:Salidas"},     {"ExistenciaActual", ExistenciaActual}};
    s.findColumns =
        "No Art|@n_10|ART:NoArt|Descripción|@s40|ART:Descripcion|UM|@s40|UNI:UM|Entradas|@n-14.2|ART:Entradas|"
        "Salidas|@n-14.2|ART:Salidas|Existencia Actual|@n-14.2|ExistenciaActual|";
    s.hintOnFirstTab = true;
    s.printText = QStringLiteral("Im&primir reporte");
    s.printTip = QString::fromUtf8("Impresión del kardex");
    s.filterWindow = "FiltroReporteKardex";
    s.secondListHeight = 190;
    s.extend = [](app::BrowseController& c, ui::Window& w, app::BrowseList& articles) {
        w.at(kQuerySecondList).setTip(QStringLiteral("Movimientos del kardex"));
        w.at(kQuerySecondList).setStatusText(QStringLiteral("Movimientos del kardex"));
        app::BrowseListSetup k;
        k.listControl = kQuerySecondList;
        k.primary = data::TableId::Kardex;
        k.format =
            "46C(1)|M*~Fecha~@d6@62L(2)|M*~Documento~@s14@87L(2)|M*~Concepto~@s20@86L(2)|M*~Referencia~@s20@45R(2)|M*"
            "~Entrada~@n10.2@44R(2)|M*~Salida~@n10.2@40R(2)|M*~Existencia~@n-10.2@";
        k.columns = {{"KAR:Fecha"},   {"KAR:Documento"}, {"KAR:Concepto"}, {"KAR:Referencia"},
                     {"KAR:Entrada"}, {"KAR:Salida"},    {"KAR:Existencia"}};
        // The rows of the highlighted article, in the order they were posted.
        app::BrowseOrderSetup byArticle("KAR:KeyArticulo", app::ScrollStepKind::Integer, "");
        byArticle.rangeHeader = data::TableId::Articulo;
        k.orders = {byArticle};
        k.findColumns =
            "Fecha|@d6|KAR:Fecha|Documento|@s14|KAR:Documento|Concepto|@s20|KAR:Concepto|Referencia|@s20|KAR:"
            "Referencia|Entrada|@n10.2|KAR:Entrada|Salida|@n10.2|KAR:Salida|Existencia|@n-10.2|KAR:Existencia|";
        app::BrowseList& ledger = c.AddList(std::move(k));
        ledger.USEPOPUP = 0;
        articles.AddDependent(ledger);
    };
    RunArticleQuery(s);
}

void RegisterKardexProcedures() {
    app::RegisterProcedure("BrowseConsultaKardex", BrowseConsultaKardex);
    app::RegisterProcedure("FiltroReporteKardex", FiltroReporteKardex);
}

}  // namespace tv::reports
