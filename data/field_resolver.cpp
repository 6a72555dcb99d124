#include "data/field_resolver.h"

namespace tv::data {

std::optional<expr::Binding> ThreadFieldResolver::resolve(std::string_view name) const {
    Record* record = nullptr;
    int field = -1;
    if (!set_->findBoundField(name, record, field)) return std::nullopt;
    return expr::Binding::field(*record, field);
}

}  // namespace tv::data
