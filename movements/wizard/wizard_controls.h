#pragma once
// Control numbers of the order wizard's window, for the window and its tests.
namespace tv::movements::wizard::wizard_ui {

enum : int {
    kSheet = 1,            // the pages
    kPage1 = 2, kPage2 = 3, kPage3 = 4, kPage4 = 5,
    // 1. "Datos de la orden de compra"
    kHeading1 = 10,
    kFolioPrompt = 11, kFolio = 12,          // shown only
    kFechaPrompt = 13, kFecha = 14, kCalendar = 15,
    kPlazoPrompt = 16, kPlazo = 17,
    kEntregaPrompt = 18, kEntrega = 19,      // shown only: FECHA + PLAZO
    kElaboraPrompt = 20, kElabora = 21,
    kProveedorPrompt = 22, kProveedor = 23, kProveedorLookup = 24,
    kNombrePrompt = 25, kNombre = 26, kNombre2 = 27,
    kReferenciaPrompt = 28, kReferencia = 29,
    kPrioridadPrompt = 30, kPrioridad = 31,
    // 2. "Indique los artículos que desee seleccionar"
    kHeading2 = 40,
    kTipo = 41,                              // the option group
    kTipoMinimo = 42, kTipoIdeal = 43, kTipoTodos = 44,
    // 3. "Elija los artículos que desee agregar a la orden de compra"
    kHeading3 = 50,
    kArticles = 51,
    kAdd = 52, kRemove = 53, kEdit = 54,
    kLines = 55,
    kTotalPrompt = 56, kTotal = 57,
    // 4. "Presione Generar para terminar la generación de la orden de compra"
    kHeading4 = 60,
    kGenerate = 61,
    // Below the pages
    kBack = 70, kNext = 71, kOk = 72, kCancel = 73, kInsert = 74,
};

}  // namespace tv::movements::wizard::wizard_ui
