#pragma once
// The report filter window: the user limits a report of articles to a range
// or one value of article number, brand and category, may include the
// articles without stock and may choose the order; "Im&primir" builds the
// filter text from those choices and runs the window's action with it (a
// report, modal on this thread); the window stays open for the next one.
//
// Each window describes itself with a FilterWindowSetup and calls
// RunFilterWindow:
//
//     FilterWindowSetup s;
//     s.procedure = "FiltroReporteKardex";
//     s.caption = QString::fromUtf8("Impresión de kardex");
//     s.zeroStockBox = false;
//     s.orderChoice = false;
//     s.closing = ClosingClause::None;
//     s.action = [](const FilterChoices&, const std::string& filter) { ImpresionKardex(filter); };
//     RunFilterWindow(s);
//
// A window that does something else with the choices (the spreadsheet
// export) renames the tab and the action button, gives it its own icon and
// tip, and adds controls of its own after the order choice.
#include <functional>
#include <optional>
#include <string>

#include <QString>

#include "reports/template/filter_text.h"

namespace tv::app {
class WindowController;
}
namespace tv::ui {
class Window;
}

namespace tv::reports {

// Control numbers of the filter window.
enum FilterControl : int {
    kFilterSheet = 1,           // the tab sheet
    kFilterTab = 2,             // "Filtro para el reporte"
    kArticulosGroup = 10,       // ?LOC:ARTICULOS "Articulos"
    kArticulosAll = 11,         // "Todos"
    kArticulosRange = 12,       // "Rango"
    kArticulosOne = 13,         // "Específico"
    kNoArt1Prompt = 14,
    kNoArt1 = 15,               // ?NOART1
    kNoArt2Prompt = 16,
    kNoArt2 = 17,               // ?NOART2
    kNoArtEPrompt = 18,
    kNoArtE = 19,               // ?NOARTE
    kMarcasGroup = 20,          // ?LOC:MARCAS "&Marcas"
    kMarcasAll = 21,
    kMarcasRange = 22,
    kMarcasOne = 23,
    kMarca1Prompt = 24,
    kMarca1 = 25,               // ?MARCA1
    kMarca2Prompt = 26,
    kMarca2 = 27,               // ?MARCA2
    kMarcaEPrompt = 28,
    kMarcaE = 29,               // ?MARCAE
    kCategoriasGroup = 30,      // ?LOC:CATEGORIAS "&Categorías"
    kCategoriasAll = 31,
    kCategoriasRange = 32,
    kCategoriasOne = 33,
    kCat1Prompt = 34,
    kCat1 = 35,                 // ?CAT1
    kCat2Prompt = 36,
    kCat2 = 37,                 // ?CAT2
    kCatEPrompt = 38,
    kCatE = 39,                 // ?CATE
    kCero = 40,                 // ?CERO "Incluir artículos sin existencia"
    kOrdenGroup = 41,           // ?ORDEN "Orden"
    kOrdenNumero = 42,          // "Número:"
    kOrdenMarca = 43,           // "Marca"
    kOrdenCategoria = 44,       // "Categoría"
    kFilterAction = 50,         // ?BUTTON3 "Im&primir"
    kFilterCancel = 51,         // ?CANCEL "&Cancelar"
    kFilterFirstFree = 60,      // the caller's own controls number from here
};

struct FilterWindowSetup {
    std::string procedure;                          // "FiltroReporteExistencia"
    QString caption;                                // "Impresión de existencias"
    QString tabText = QStringLiteral("Filtro para el reporte");
    bool zeroStockBox = true;                       // ?CERO
    bool orderChoice = true;                        // ?ORDEN
    ClosingClause closing = ClosingClause::Stock;   // how every filter text ends
    QString actionText = QStringLiteral("Im&primir");
    const char* actionIcon = "PRINT.ICO";
    QString actionTip;                              // tip and status text; empty: none
    // The caller's own controls, added after the order choice (numbers from
    // kFilterFirstFree, inside `tab` or on the window).
    std::function<void(ui::Window& w, int tab)> addControls;
    // Runs on the action button, before the choices are read.
    std::function<void(app::WindowController&)> beforeAction;
    // Runs with the choices and the filter text built from them.
    std::function<void(const FilterChoices&, const std::string& filter)> action;
    // Runs once the window is built, before it runs (tests keep hold of it).
    std::function<void(app::WindowController&, ui::Window&)> prepare;
};

// The choices as the window's controls hold them; the values the chosen
// options do not use stay 0. nullopt, after telling the user and with the
// focus on the control, when a value used holds a text that is not a
// number or a number too large for its variable.
std::optional<FilterChoices> ReadFilterChoices(ui::Window& w, const FilterWindowSetup& setup);

// Runs the window procedure; CallResponse is 2 when it closes.
void RunFilterWindow(const FilterWindowSetup& setup);

}  // namespace tv::reports
