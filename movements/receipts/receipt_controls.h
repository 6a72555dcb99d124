#pragma once
#include "movements/common/document_line_controls.h"
#include "movements/common/document_list_controls.h"

// Control numbers of the receipt windows (tests drive them by number).
namespace tv::movements::receipts {

namespace list_ui {
using namespace doc_list_ui;
enum Control : int {
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

// The line form's: movements/common/document_line_controls.h (line_ui).

}  // namespace tv::movements::receipts
