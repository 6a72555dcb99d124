#pragma once
// Control numbers of the document line forms (tests drive them by number).
namespace tv::movements::line_ui {

enum Control : int {
    kSheet = 1,
    kTab = 2,               // "Datos"
    kGroup = 3,             // "Artículo:"
    kCodigoPrompt = 4,
    kCodigo = 5,
    kCodigoLookup = 6,
    kBarrasPrompt = 7,
    kBarras = 8,
    kBarrasLookup = 9,
    kDescripcionPrompt = 10,
    kDescripcion = 11,
    kUmPrompt = 12,
    kUm = 13,
    kCantidadPrompt = 14,
    kCantidad = 15,
    kCostoPrompt = 16,
    kCosto = 17,
    kImportePrompt = 18,
    kImporte = 19,
    kOk = 20,
    kCancel = 21,
    kExistenciaPrompt = 22, // issues: the stock on hand
    kExistencia = 23,
};

}  // namespace tv::movements::line_ui
