#pragma once
// Control numbers every document list has (tests drive them by number);
// each document's list_ui adds its own.
namespace tv::movements::doc_list_ui {

enum Control : int {
    kHeaderList = 1,
    kView = 2,          // "&Ver"
    kInsert = 3,        // "&Agregar"
    kChange = 4,        // hidden
    kDelete = 5,        // hidden
    kHint = 6,          // "F3: Buscar"
    kSheet = 7,
    kClose = 10,        // "Cerrar"
    kTab = 20,          // "Por Folio"
    kLinesList = 30,
    kPrint = 31,        // "Im&primir", of the lines list
};

}  // namespace tv::movements::doc_list_ui
