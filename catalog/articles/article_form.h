#pragma once
// The controls of the article form "Form Articulo", by number (the tests
// drive the form through them), and the add forms its combos open by default.
#include "catalog/articles/articles.h"

namespace tv::catalog {

namespace article_form {
enum Control : int {
    kSheet = 100, kTabDatos = 101, kTabFoto = 102,
    kIdPrompt = 1, kId = 2,
    kNoArtPrompt = 3, kNoArt = 4,
    kDescripcionPrompt = 5, kDescripcion = 6,
    kUmPrompt = 7, kUm = 8,
    kMarcaPrompt = 9, kMarca = 10,
    kCategoriaPrompt = 11, kCategoria = 12,
    kCodigoBarrasPrompt = 13, kCodigoBarras = 14,
    kModeloPrompt = 15, kModelo = 16,
    kTamanoPrompt = 17, kTamano = 18,
    kCapacidadPrompt = 19, kCapacidad = 20,
    kStockGroup = 21,
    kMaximoPrompt = 22, kMaximo = 23,
    kMinimoPrompt = 24, kMinimo = 25,
    kIdealPrompt = 26, kIdeal = 27,
    kExistenciaGroup = 28,
    kEntradasPrompt = 29, kEntradas = 30,
    kSalidasPrompt = 31, kSalidas = 32,
    kExistenciaPrompt = 33, kExistencia = 34,   // LOC:EXISTENCIA
    kNotasPrompt = 35, kNotas = 36,
    kPicturePathPrompt = 40, kPicturePath = 41,
    kPictureButton = 42,                          // the magnifier
    kPicture = 43,
    kPictureMessage = 44,                         // why no picture is shown
    kOk = 90, kCancel = 91,
};
}  // namespace article_form

// The catalogue forms UpdateMarcas, UpdateCatArticulos and UpdateUnidades.
ArticleAddForms DefaultArticleAddForms();

}  // namespace tv::catalog
