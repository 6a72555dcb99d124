#pragma once
// The article catalogue: the article list (BrowseArticulo), the article form
// (UpdateArticulo) and the bar-code article list (BrowseArticuloBarras).
// All three are window procedures: they take their request from the
// thread's CallRequest and leave their answer in CallResponse.
#include <functional>

namespace tv::catalog {

// The list of articles. CallRequest 4 opens it for picking: a pick leaves
// the article, read again from the file, in this thread's Articulo buffer.
void BrowseArticulo();
// The form of one article (1 insert, 2 change, 3 delete, 6 view) working on
// this thread's Articulo buffer.
void UpdateArticulo();
// The articles by bar code, read through AliasArticulos. CallRequest 4
// opens it for picking: a pick leaves the article in this thread's
// AliasArticulos buffer; the Articulo buffer is left as it was.
void BrowseArticuloBarras();

// Registers the procedures the frame starts by name (BrowseArticulo).
void RegisterArticleProcedures();

// The add forms the article form's drop combos open: brand (1), category
// (2) and unit (3). By default the catalogue forms UpdateMarcas,
// UpdateCatArticulos and UpdateUnidades; an empty function opens nothing.
struct ArticleAddForms {
    std::function<void()> brand;
    std::function<void()> category;
    std::function<void()> unit;
};
void SetArticleAddForms(ArticleAddForms forms);
const ArticleAddForms& ArticleAddFormsInUse();

}  // namespace tv::catalog
