#pragma once
// Dates the documents work out.
#include "platform/types/decimal.h"

namespace tv::movements {

// The delivery date: the order date plus the term in days. Blank (0) while
// the order date is blank, or when the sum is no calendar date.
long DeliveryDate(long orderDate, const Decimal& termDays);

}  // namespace tv::movements
