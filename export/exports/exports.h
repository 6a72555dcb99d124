#pragma once
// The spreadsheet exports of the article and supplier catalogues, started
// from the frame's menu "Conversiones a E&xcel" and from the "E&xcel"
// buttons of the article and supplier lists, each on a thread of its own.
namespace tv::exports {

// "Conversión de artículos a Excel": the report filter window's choices of
// articles, brands and categories and its order.
void FiltroArtExcel();
// "Conversión de proveedores a Excel": every supplier, a range of ids or one.
void FiltroExcelProv();

// Registers the export windows with the frame's procedures by name.
void RegisterExportProcedures();

// Control numbers of the supplier export window.
namespace supplier_export {
enum Control : int {
    kSheet = 1, kTab = 2, kChoice = 3, kAll = 4, kRange = 5, kOne = 6,
    kFirstPrompt = 7, kFirst = 8, kLastPrompt = 9, kLast = 10, kIdPrompt = 11, kId = 12,
    kContainer = 13, kConvert = 14, kCancel = 15,
};
}  // namespace supplier_export

}  // namespace tv::exports
