#pragma once
// Order texts: the sort orders added to a view or built by a column-header
// click. A comma list of names, each with an optional "+" (ascending, the
// default) or "-" (descending) before it, optionally inside UPPER(...) to
// sort without regard to letter case:
//   "art:marca"   "ART:marca,ART:NoArt"   "-UPPER(ART:Descripcion)"
//   "+ORD:Folio, UPPER(-ART:Modelo)"
// Blanks around the parts are allowed; a blank text is the empty order.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/expr/ast.h"

namespace tv::expr {

struct OrderItem {
    std::string name;        // as written, e.g. "ART:NoArt"
    bool descending = false;
    bool upper = false;      // compared through UPPER()
    bool operator==(const OrderItem&) const = default;
};

// nullopt (and *error) for a malformed text: an empty part, a missing name,
// an unclosed UPPER( or anything after a name.
std::optional<std::vector<OrderItem>> parseOrder(std::string_view text, ExprError* error = nullptr);

// The text of an order, in the form parseOrder reads ("+UPPER(ART:Descripcion),-ART:NoArt").
std::string formatOrder(const std::vector<OrderItem>& items);

}  // namespace tv::expr
