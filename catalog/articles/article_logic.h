#pragma once
// What the article windows decide without a window: the stock on hand, the
// picture chooser's texts and the stored picture path, the query-by-example
// columns, and finding the article a bar-code row stands for.
#include <optional>
#include <string>
#include <vector>

#include "platform/qbe/qbe_model.h"
#include "platform/types/decimal.h"
#include "platform/types/record.h"

namespace tv::data {
class ThreadTableSet;
}

namespace tv::catalog {

// Procedure names (the single-window entries, the query settings section).
inline constexpr const char* kBrowseArticulo = "BrowseArticulo";
inline constexpr const char* kUpdateArticulo = "UpdateArticulo";
inline constexpr const char* kBrowseArticuloBarras = "BrowseArticuloBarras";
inline constexpr const char* kFiltroArtExcel = "FiltroArtExcel";

// The user right that allows the spreadsheet export from the list.
inline constexpr int kRightArticleExcel = 61;
// The stack the export thread asks for (the thread layer raises it to its minimum).
inline constexpr std::size_t kExcelStack = 25000;

// Opening stock + receipts - issues of an Articulo record, in exact
// decimal arithmetic, rounded half away from zero to 2 places.
Decimal StockOnHand(const Record& articulo);

// The picture chooser.
inline constexpr const char* kPictureDialogTitle = "Select A File";
inline constexpr const char* kPictureFilter = "Imagenes (*.jpg);;Archivos BMP (*.bmp);;Archivos GIF (*.gif)";
inline constexpr std::size_t kPicturePathWidth = 255;  // ART:FOTOGRAFIA
// The message when a chosen file's full path does not fit the field: a cut
// path would name another file (or none), so it is refused instead.
inline constexpr const char* kPicturePathTooLong =
    "La ruta del archivo es demasiado larga para guardarla (máximo 255 caracteres)";
// The path to store for a file the user chose (UTF-8): nullopt when it does
// not fit the field.
std::optional<std::string> PicturePathToStore(const std::string& chosen);

// The list's five columns as the query-by-example window offers them. Bar
// codes are texts.
std::vector<qbe::Field> ArticleQueryFields();

// The list formats and find column lists. The bar-code column is a text
// column (codes with letters or leading zeros show and match as stored).
inline constexpr const char* kArticleListFormat =
    "45R(1)|M*~No Art~@n_10@283L(2)|M*~Descripción~@s70@85L(2)|M*~Modelo~@s20@68L(1)|M*~Codigo Barras~@s20@"
    "80L(2)|M*~Tamaño~@s20@";
inline constexpr const char* kArticleFindColumns =
    "No Art|@n_10|ART:NoArt|Descripción|@s70|ART:Descripcion|Modelo|@s20|ART:Modelo|Codigo Barras|@s20|"
    "ART:CodigoBarras|Tamaño|@s20|ART:Tamano|";
inline constexpr const char* kBarcodeListFormat =
    "68L(1)|M*~Codigo Barras~@s20@283L(2)|M*~Descripción~@s70@45R(1)|M*~No Art~@n_10@85L(2)|M*~Modelo~@s20@"
    "80L(2)|M*~Tamaño~@s20@";
inline constexpr const char* kBarcodeFindColumns =
    "Codigo Barras|@s20|aar:CodigoBarras|Descripción|@s70|aar:Descripcion|No Art|@n_10|aar:NoArt|Modelo|@s20|"
    "aar:Modelo|Tamaño|@s20|aar:Tamano|";

// The message when the article of a bar-code row is no longer on file.
std::string ArticleGoneMessage(const Decimal& noArt);
// Reads into the thread's Articulo buffer the article whose ART:NoArt is the
// AliasArticulos buffer's AAR:NoArt, watched for changes by other stations.
// False when there is none (the buffer is then left as it was).
bool ReadArticleOfAlias(data::ThreadTableSet& tables);

}  // namespace tv::catalog
