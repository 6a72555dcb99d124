#pragma once
// Control numbers of the receipt windows (tests drive them by number).
namespace tv::movements::receipts {

namespace list_ui {
enum Control : int {
    kHeaderList = 1,    // "Entradas registradas"
    kView = 2,          // "&Ver"
    kInsert = 3,        // "&Agregar"
    kChange = 4,        // hidden
    kDelete = 5,        // hidden
    kHint = 6,          // "F3: Buscar"
    kSheet = 7,
    kClose = 10,        // "Cerrar"
    kTab = 20,          // "Por Folio"
    kLinesList = 30,    // "Articulos de la entrada"
    kPrint = 31,        // "Im&primir", of the lines list
    kSupplierLabel = 32,
    kSupplierName = 33,
    kSupplierName2 = 34,
    kSupplierArea = 35, // a click opens the supplier in view mode
};
}  // namespace list_ui

namespace form_ui {
enum Control : int {
    kSheet = 1,
    kTab = 2,               // "Entrada de almacén"
    kFolioPrompt = 3,
    kFolio = 4,
    kFechaPrompt = 5,
    kFecha = 6,
    kCalendar = 7,          // "Buscar fecha"
    kTipoGroup = 8,
    kTipoPrompt = 9,
    kTipo = 10,
    kTipoDescPrompt = 11,
    kTipoDesc = 12,
    kProveedorGroup = 13,
    kProveedorPrompt = 14,
    kProveedor = 15,
    kProveedorLookup = 16,  // "Buscar proveedor"
    kNombrePrompt = 17,
    kNombre = 18,
    kOrdenPrompt = 19,
    kOrden = 20,
    kReferenciaPrompt = 21,
    kReferencia = 22,
    kLlamar = 23,           // "Llamar datos"
    kLinesLabel = 24,       // "Artículos de la entrada:"
    kLines = 25,
    kLineInsert = 26,
    kLineChange = 27,
    kLineDelete = 28,
    kOk = 29,
    kCancel = 30,
};
}  // namespace form_ui

namespace line_ui {
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
};
}  // namespace line_ui

}  // namespace tv::movements::receipts
