#pragma once
// ConsultaPreciosProv: what each supplier was paid for each article. The
// suppliers above, by code; below, the price rows (`PreProv`) of the
// highlighted supplier with the article, its unit, the receipt and its
// date. Rows whose receipt, article or unit is gone are still listed.
namespace tv::catalog {

namespace supplier_prices {
enum Control : int {
    kSuppliers = 1,   // ?BROWSE:1
    kView = 2, kInsert = 3, kChange = 4, kDelete = 5,
    kSheet = 7, kTab = 8,
    kPrices = 9,      // ?LIST
    kClose = 10,
};
}  // namespace supplier_prices

void ConsultaPreciosProv();

}  // namespace tv::catalog
