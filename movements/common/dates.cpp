#include "movements/common/dates.h"

#include "platform/types/date.h"

namespace tv::movements {

long DeliveryDate(long orderDate, const Decimal& termDays) {
    if (orderDate == 0) return 0;
    const long long day = static_cast<long long>(orderDate) + termDays.rounded(0).toInt64();
    if (day <= 0 || day > 0x7fffffffLL || !ymdFromDate(static_cast<long>(day))) return 0;
    return static_cast<long>(day);
}

}  // namespace tv::movements
