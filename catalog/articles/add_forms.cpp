#include "catalog/articles/article_form.h"
#include "catalog/brands.h"
#include "catalog/categories.h"
#include "catalog/units.h"

namespace tv::catalog {

ArticleAddForms DefaultArticleAddForms() { return {UpdateMarcas, UpdateCatArticulos, UpdateUnidades}; }

}  // namespace tv::catalog
