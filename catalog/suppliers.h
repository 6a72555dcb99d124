#pragma once
// The suppliers (`Proveedores`) and the people to talk to at each one
// (`ContProv`). Every other table names a supplier by a text copy of its
// code, so the code is typed once, when the supplier is added, and never
// changed; deleting a supplier deletes its contacts (the table relation's
// cascade) and nothing else.
#include "platform/ini/ini_store.h"

namespace tv::catalog {

// The list "Proveedores": four orders, locators, query by example, the
// spreadsheet export. With CallRequest 4 it is the supplier look-up of the
// documents and answers the chosen record whole in the thread's
// `Proveedores` buffer (the buffer is given back as it was otherwise).
void BrowseProveedores();
// The supplier form (CallRequest 1, 2, 3 or 6) on the record in the
// thread's `Proveedores` buffer, with its contacts.
void UpdateProveedores();
// The contact form (CallRequest 1, 2, 3 or 6): the contact is stored under
// the code of the supplier in the thread's `Proveedores` buffer.
void UpdateContactoProv();

// Control numbers the supplier list and form add to their templates.
namespace supplier_ui {
enum ListControl : int {
    kFilter = 30,   // "&Filtrar"
    kExcel = 31,    // "E&xcel"
    kLocateCodePrompt = 40, kLocateCode = 41,
    kLocateNamePrompt = 42, kLocateName = 43,
    kLocateTradePrompt = 44, kLocateTrade = 45,
};
enum FormControl : int {
    kSheet = 1, kTabData = 2, kTabContacts = 3,
    kCodePrompt = 4, kCode = 5, kNamePrompt = 6, kName = 7, kName2 = 8,
    kTradePrompt = 9, kTrade = 10, kAddressPrompt = 11, kAddress = 12, kAddress2 = 13,
    kCity = 14, kCityPrompt = 15, kState = 16, kStatePrompt = 17, kCountryPrompt = 18, kCountry = 19,
    kZipPrompt = 20, kZip = 21, kRfcPrompt = 22, kRfc = 23, kEmailPrompt = 24, kEmail = 25,
    kContacts = 30, kPuestoLabel = 31, kPuesto = 32, kEmailLabel = 33, kContactEmail = 34,
    kContactInsert = 35, kContactChange = 36, kContactDelete = 37,
    kOk = 40, kCancel = 41,
};
enum ContactControl : int {
    kCSheet = 1, kCTab = 2, kCNamePrompt = 3, kCName = 4, kCPuestoPrompt = 5, kCPuesto = 6,
    kCPhonePrompt = 7, kCPhone = 8, kCEmailPrompt = 9, kCEmail = 10, kCOk = 11, kCCancel = 12,
};
}  // namespace supplier_ui

// The longest supplier code: what every table that names a supplier can
// hold (a purchase order keeps 10 characters).
inline constexpr int kSupplierCodeWidth = 10;

// Byte of UserPermissions that allows the spreadsheet export.
inline constexpr int kRightSupplierExcel = 61;

// The settings store of the query window (nullptr: the process-wide store).
void SetSupplierQueryStore(IniStore* store);

}  // namespace tv::catalog
