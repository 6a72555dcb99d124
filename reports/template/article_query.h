#pragma once
// The window the stock and ledger queries share: the list of articles with
// the article's unit, two tabs (by number, by description) each with its
// "&Localizar:" entry, "C&onsultar artículo", which shows the article's
// form read-only and then closes the query, and a print button on the
// first tab that starts the query's report filter window on a thread of
// its own. The query changes nothing.
#include <functional>
#include <string>
#include <vector>

#include <QSize>
#include <QString>

#include "app/browse/browse_controller.h"

namespace tv::reports {

// Control numbers of a query window.
enum ArticleQueryControl : int {
    kQueryList = 1,              // ?BROWSE:1, the articles
    kQueryView = 2,              // ?VIEW "C&onsultar artículo"
    kQueryHint = 6,              // ?STRING1 "F3: Buscar"
    kQuerySheet = 7,             // ?CURRENTTAB
    kQueryTabNumber = 20,        // ?TAB:3 "Por número de artículo"
    kQueryTabDescription = 21,   // ?TAB:4 "Por descripción"
    kQueryLocateNoArtPrompt = 40,
    kQueryLocateNoArt = 41,      // ?ART:NOART
    kQueryLocateDescPrompt = 42,
    kQueryLocateDesc = 43,       // ?ART:DESCRIPCION
    kQueryPrint = 44,            // ?BUTTON2, on the first tab
    kQuerySecondList = 50,       // ?LIST, a list of the article's rows
};

struct ArticleQuerySetup {
    std::string procedure;                       // "BrowseConsultaExistencias"
    QString caption;                             // "Existencias de almacén"
    QSize size{800, 470};
    std::string format;                          // the article list's format
    std::vector<app::BrowseColumn> columns;      // computed ones are known to the find
    std::string findColumns;
    bool stripes = true;
    bool hintOnFirstTab = false;                 // the ledger query's "F3: Buscar" is on the first tab
    QString printText;                           // "Imprimir reporte"
    QString printTip;
    const char* filterWindow = nullptr;          // started by the print button
    int secondListHeight = 0;                    // room for a second list under the view button
    // Adds what the query has beyond the article list (the ledger list).
    std::function<void(app::BrowseController&, ui::Window&, app::BrowseList& articles)> extend;
    // Runs once the window is built, before it runs (tests keep hold of it).
    std::function<void(app::BrowseController&, ui::Window&)> prepare;
};

// Stack of the threads the print buttons start.
inline constexpr std::size_t kFilterWindowStack = 25000;

void RunArticleQuery(const ArticleQuerySetup& setup);

}  // namespace tv::reports
