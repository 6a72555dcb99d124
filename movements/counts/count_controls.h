#pragma once
// Control numbers of the physical count windows (tests drive them by number).
namespace tv::movements::counts {

namespace list_ui {
enum Control : int {
    kCountsList = 1,    // ?BROWSE:1 "Inventarios registrados"
    kView = 2,          // ?VIEW:2 "&Ver"
    kInsert = 3,        // ?INSERT:3 "&Agregar"
    kChange = 4,        // ?CHANGE:3 "&Cambiar"
    kDelete = 5,        // ?DELETE:3 "&Borrar"
    kHint = 6,          // ?STRING1 "F3: Buscar"
    kSheet = 7,         // ?CURRENTTAB
    kPrint = 8,         // ?PRINT "Im&primir", of the lines list
    kClose = 10,        // ?CLOSE "Cerrar"
    kTab = 20,          // ?TAB:2 "Por fecha"
    kAdjust = 21,       // ?BUTTON7 "Ac&tualizar el inventario"
    kLinesList = 30,    // ?LIST "Productos del inventario físico"
};
}  // namespace list_ui

namespace form_ui {
enum Control : int {
    kSheet = 1,
    kTab = 2,                // "Datos"
    kFechaPrompt = 3,
    kFecha = 4,
    kCalendar = 5,           // "Buscar fecha"
    kDescripcionPrompt = 6,
    kDescripcion = 7,
    kLinesLabel = 8,         // "Artículos del inventario:"
    kLines = 9,
    kLineInsert = 10,
    kLineChange = 11,
    kLineDelete = 12,
    kOk = 13,
    kCancel = 14,
};
}  // namespace form_ui

// The count line form: the document line form's controls
// (movements/common/document_line_controls.h; the counted quantity is its
// kCantidad) and the counting reference.
namespace count_line_ui {
inline constexpr int kReferenciaPrompt = 24;
inline constexpr int kReferencia = 25;  // ?DFI:REFERENCIA
}  // namespace count_line_ui

namespace adjust_ui {
enum Control : int {
    kSheet = 1,              // ?SHEET1
    kTab = 2,                // ?TAB1, without a caption
    kPrompt = 3,             // ?STRING1
    kProgress = 4,           // ?PROGRESO
    kOk = 5,                 // "&Aceptar"
    kCancel = 6,             // "&Cancelar"
};
}  // namespace adjust_ui

}  // namespace tv::movements::counts
