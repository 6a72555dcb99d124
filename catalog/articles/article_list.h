#pragma once
// The controls the article list adds to the standard list window, and where
// its query-by-example settings are kept.
#include "catalog/articles/articles.h"
#include "platform/ini/ini_store.h"

namespace tv::catalog {

namespace article_list {
enum Control : int {
    kFilter = 30,                   // "&Filtro"
    kExcel = 31,                    // "E&xcel"
    kLocateNoArtPrompt = 40, kLocateNoArt = 41,              // first tab
    kLocateDescripcionPrompt = 42, kLocateDescripcion = 43,  // second tab
};
}  // namespace article_list

// The settings store of the query window (nullptr: the process-wide store).
void SetArticleQueryStore(IniStore* store);

}  // namespace tv::catalog
