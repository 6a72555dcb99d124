// BrowseConsultaExistencias, "Existencias de almacén": every article with
// its current stock and its distance to the maximum, minimum and ideal
// stock; its print button starts the stock reports' filter window.
#include "app/frame/procedures.h"
#include "data/thread_table_set.h"
#include "reports/stock/stock.h"
#include "reports/template/article_query.h"

namespace tv::reports {

namespace {

Decimal articleField(const char* name) {
    data::ThreadTableSet& t = data::tables();
    return t.Articulo().get(data::decl(data::TableId::Articulo).fieldIndex(name)).asNumber();
}

Decimal stockNow() {
    return (articleField("ART:ExistenciaAnterior") + articleField("ART:Entradas") - articleField("ART:Salidas"))
        .rounded(2);
}

}  // namespace

Value ExistenciaActual() { return Value(stockNow()); }
Value DiferenciaMaximo() { return Value((stockNow() - articleField("ART:StockMaximo")).rounded(2)); }
Value DiferenciaMinimo() { return Value((stockNow() - articleField("ART:StockMinimo")).rounded(2)); }
Value DiferenciaIdeal() { return Value((stockNow() - articleField("ART:StockIdeal")).rounded(2)); }

void BrowseConsultaExistencias() {
    ArticleQuerySetup s;
    s.procedure = "BrowseConsultaExistencias";
    s.caption = QString::fromUtf8("Existencias de almacén");
    // Wide enough for all ten columns: seven numbers of 14 places each.
    s.size = QSize(1210, 470);
    // The group heading reads "Stocl Máximo" as the window was designed.
    s.format =
        "46R(2)|M*~No Art~@n_10@165L(2)|M*~Descripción~@s40@17L(2)|M*~UM~@s40@56R(2)|M*~Existencia Actual~@n-14.2@"
        "[56R(2)|M*~Stock~@n-14.2@56R(2)|M*~Diferencia~@n-14.2@]|M~Stocl Máximo~"
        "[56R(2)|M*~Stock~@n-14.2@56R(2)|M*~Diferencia~@n-14.2@]|M~Stock Mínimo~"
        "[56R(2)|M*~Stock~@n-14.2@56R(2)|M*~Diferencia~@n-14.2@]|M~Stock Ideal~";
    s.columns = {{"ART:NoArt"},
                 {"ART:Descripcion"},
                 {"UNI:UM"},
                 {"ExistenciaActual", ExistenciaActual},
                 {"ART:StockMaximo"},
                 {"DiferenciaMaximo", DiferenciaMaximo},
                 {"ART:StockMinimo"},
                 {"DiferenciaMinimo", DiferenciaMinimo},
                 {"ART:StockIdeal"},
                 {"DiferenciaIdeal", DiferenciaIdeal}};
    s.findColumns =
        "No Art|@n_10|ART:NoArt|Descripción|@s40|ART:Descripcion|UM|@s40|UNI:UM|Existencia "
        "Actual|@n-14.2|ExistenciaActual|Stock|@n-14.2|ART:StockMaximo|Diferencia|@n-14.2|DiferenciaMaximo|Stock|@n-"
        "14.2|ART:StockMinimo|Diferencia|@n-14.2|DiferenciaMinimo|Stock|@n-14.2|ART:StockIdeal|Diferencia|@n-14.2|"
        "DiferenciaIdeal|";
    // Unlike the other lists, every row in the default colours.
    s.stripes = false;
    s.printText = QStringLiteral("Imprimir reporte");
    s.printTip = QString::fromUtf8("Impresión del reporte");
    s.filterWindow = "FiltroReporteExistencia";
    RunArticleQuery(s);
}

void RegisterStockProcedures() {
    app::RegisterProcedure("BrowseConsultaExistencias", BrowseConsultaExistencias);
    app::RegisterProcedure("FiltroReporteExistencia", FiltroReporteExistencia);
}

}  // namespace tv::reports
