#pragma once
#include "movements/common/document_line_controls.h"
#include "movements/common/document_list_controls.h"

// Control numbers of the purchase-order windows (tests drive them by number).
namespace tv::movements::orders {

namespace list_ui {
using namespace doc_list_ui;
enum Control : int {
    kLocatePrompt = 11,  // "&Localizar:"
    kLocate = 12,
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

// The line form's are movements/common/document_line_controls.h's, and:
namespace line_ui {
using namespace movements::line_ui;
enum Control : int {
    kRecibidoPrompt = 24,
    kRecibido = 25,
    kPorRecibirPrompt = 26,
    kPorRecibir = 27,
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
