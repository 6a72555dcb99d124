#pragma once
// Control numbers of the purchase-order windows (tests drive them by number).
namespace tv::movements::orders {

namespace list_ui {
enum Control : int {
    kHeaderList = 1,     // "Ordenes de compra registradas"
    kView = 2,           // "&Ver"
    kInsert = 3,         // "&Agregar"
    kChange = 4,         // hidden
    kDelete = 5,         // hidden
    kHint = 6,           // "F3: Buscar"
    kSheet = 7,
    kClose = 10,         // "Cerrar"
    kLocatePrompt = 11,  // "&Localizar:"
    kLocate = 12,
    kTab = 20,           // "Por folio"
    kLinesList = 30,     // "Productos de la orden"
    kPrint = 31,         // "Im&primir", of the lines list
    kSupplierLabel = 32,
    kSupplierName = 33,
    kSupplierName2 = 34,
    kSupplierArea = 35,  // a click opens the supplier in view mode
    kWizard = 36,        // "Asistente para generar orden de compra"
};
}  // namespace list_ui

namespace form_ui {
enum Control : int {
    kSheet = 1,
    kTab = 2,               // "Datos"
    kFolioPrompt = 3,
    kFolio = 4,
    kFechaPrompt = 5,
    kFecha = 6,
    kCalendar = 7,          // "Buscar fecha"
    kPlazoPrompt = 8,
    kPlazo = 9,
    kEntregaPrompt = 10,
    kEntrega = 11,
    kElaboraPrompt = 12,
    kElabora = 13,
    kProveedorGroup = 14,   // "Proveedor:"
    kProveedorPrompt = 15,
    kProveedor = 16,
    kProveedorLookup = 17,  // "Buscar proveedor"
    kNombrePrompt = 18,
    kNombre = 19,
    kReferenciaPrompt = 20,
    kReferencia = 21,
    kPrioridadPrompt = 22,
    kPrioridad = 23,
    kLinesLabel = 24,       // "Productos de la orden de compra:"
    kLines = 25,
    kLineInsert = 26,
    kLineChange = 27,
    kLineDelete = 28,
    kTotalPrompt = 29,      // "Total:"
    kTotalCantidad = 30,
    kTotalImporte = 31,
    kNotasTab = 32,         // "Notas"
    kNotasPrompt = 33,
    kNotas = 34,
    kOk = 35,
    kCancel = 36,
    kTotalImportePrompt = 37,  // "Importe:"
};
}  // namespace form_ui

namespace line_ui {
enum Control : int {
    kSheet = 1,
    kTab = 2,               // "Datos"
    kGroup = 3,             // "Artículo:"
    kArticuloPrompt = 4,
    kArticulo = 5,
    kArticuloLookup = 6,
    kDescripcionPrompt = 7,
    kDescripcion = 8,
    kUmPrompt = 9,
    kUm = 10,
    kCantidadPrompt = 11,
    kCantidad = 12,
    kCostoPrompt = 13,
    kCosto = 14,
    kImportePrompt = 15,
    kImporte = 16,
    kRecibidoPrompt = 17,
    kRecibido = 18,
    kPorRecibirPrompt = 19,
    kPorRecibir = 20,
    kOk = 21,
    kCancel = 22,
};
}  // namespace line_ui

namespace pending_ui {
enum Control : int {
    kList = 1,              // "Articulos"
    kSheet = 2,
    kTab = 3,               // "Por No de Artículo"
    kViewArticle = 4,       // "C&onsultar el artículo"
    kReport = 5,            // "Im&presión"
    kHint = 6,              // "F3: Buscar"
};
}  // namespace pending_ui

}  // namespace tv::movements::orders
