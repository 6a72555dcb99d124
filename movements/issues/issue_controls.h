#pragma once
// Control numbers of the issue windows (tests drive them by number).
#include "movements/common/document_line_controls.h"
#include "movements/common/document_list_controls.h"

namespace tv::movements::issues {

namespace list_ui {
using namespace doc_list_ui;
enum Control : int {
    kTypeLabel = 32,    // "Recibe:"
    kTypeName = 33,     // the selected issue's type
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
    kTipoGroup = 8,
    kTipoPrompt = 9,
    kTipo = 10,
    kTipoDescPrompt = 11,
    kTipoDesc = 12,
    kRecibeGroup = 13,
    kDeptoPrompt = 14,
    kDepto = 15,
    kDeptoNamePrompt = 16,
    kDeptoName = 17,
    kProveedorGroup = 18,
    kProveedorPrompt = 19,
    kProveedor = 20,
    kNombrePrompt = 21,
    kNombre = 22,
    kReferenciaPrompt = 23,
    kReferencia = 24,
    kLinesLabel = 25,       // "Productos de la salida:"
    kLines = 26,
    kLineInsert = 27,
    kLineChange = 28,
    kLineDelete = 29,
    kOk = 30,
    kCancel = 31,
};
}  // namespace form_ui

}  // namespace tv::movements::issues
