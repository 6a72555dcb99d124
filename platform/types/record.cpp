#include "platform/types/record.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/types/text.h"

namespace tv {

// ---- Value ---------------------------------------------------------------

Decimal Value::asNumber() const {
    if (const Decimal* d = numberPtr()) return *d;
    return Decimal::leadingNumber(*textPtr());
}

std::string Value::asText() const {
    if (const std::string* s = textPtr()) return *s;
    return numberPtr()->toText();
}

bool Value::truthy() const {
    if (const Decimal* d = numberPtr()) return !d->isZero();
    return !rtrim(*textPtr()).empty();
}

// ---- RecordLayout --------------------------------------------------------

RecordLayout::RecordLayout(std::string label, std::string prefix, std::vector<FieldSpec> fields)
    : label_(std::move(label)), prefix_(std::move(prefix)), fields_(std::move(fields)) {}

namespace {
std::string_view afterColon(std::string_view s) {
    size_t c = s.find(':');
    return c == std::string_view::npos ? s : s.substr(c + 1);
}
bool sameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && compareNoCase(a, b) == 0;
}
}  // namespace

int RecordLayout::indexOf(std::string_view name) const {
    size_t colon = name.find(':');
    if (colon != std::string_view::npos) {
        std::string_view pre = name.substr(0, colon);
        if (!sameNoCase(pre, prefix_)) {
            // A full label that does not carry this layout's prefix may still
            // be a field name as declared.
            for (size_t i = 0; i < fields_.size(); ++i)
                if (sameNoCase(fields_[i].name, name)) return static_cast<int>(i);
            return -1;
        }
        name = name.substr(colon + 1);
    }
    for (size_t i = 0; i < fields_.size(); ++i)
        if (sameNoCase(afterColon(fields_[i].name), name)) return static_cast<int>(i);
    return -1;
}

// ---- Record --------------------------------------------------------------

Record::Record(std::shared_ptr<const RecordLayout> layout) : layout_(std::move(layout)) {
    cells_.resize(static_cast<size_t>(layout_->fieldCount()));
    clear();
}

void Record::clear() {
    for (size_t i = 0; i < cells_.size(); ++i) {
        const FieldSpec& f = layout_->field(static_cast<int>(i));
        Cell& c = cells_[i];
        c.num = 0;
        if (f.type != FieldType::String) c.text.clear();
        else if (c.text.size() == static_cast<size_t>(f.size)) std::memset(c.text.data(), ' ', c.text.size());
        else c.text.assign(static_cast<size_t>(f.size), ' ');
    }
}

Value Record::get(int i) const {
    const FieldSpec& f = layout_->field(i);
    const Cell& c = cells_[static_cast<size_t>(i)];
    switch (f.type) {
    case FieldType::String:
    case FieldType::Memo:
        return Value(c.text);
    case FieldType::Decimal:
        return Value(Decimal::fromScaled(c.num, f.places));
    default:
        return Value(Decimal(c.num));
    }
}

Decimal Record::number(int i) const {
    const FieldSpec& f = layout_->field(i);
    const Cell& c = cells_[static_cast<size_t>(i)];
    switch (f.type) {
    case FieldType::String:
    case FieldType::Memo:
        return Decimal::leadingNumber(c.text);
    case FieldType::Decimal:
        return Decimal::fromScaled(c.num, f.places);
    default:
        return Decimal(c.num);
    }
}

void Record::setText(int i, std::string_view s) {
    const FieldSpec& f = layout_->field(i);
    Cell& c = cells_[static_cast<size_t>(i)];
    switch (f.type) {
    case FieldType::String:
        fitTextInto(c.text, s, static_cast<size_t>(f.size));
        return;
    case FieldType::Memo:
        c.text = cutText(s, static_cast<size_t>(f.size));
        return;
    default:
        setNumber(i, Decimal::leadingNumber(s));
    }
}

void Record::setNumber(int i, const Decimal& d) {
    const FieldSpec& f = layout_->field(i);
    Cell& c = cells_[static_cast<size_t>(i)];
    switch (f.type) {
    case FieldType::String:
    case FieldType::Memo:
        setText(i, d.toText());
        return;
    case FieldType::Decimal:
        c.num = d.toScaledWrapped(f.size, f.places);
        return;
    case FieldType::Long:
    case FieldType::Date:
        c.num = static_cast<int32_t>(d.wrappedInteger());
        return;
    case FieldType::Short:
        c.num = static_cast<int16_t>(d.wrappedInteger());
        return;
    case FieldType::Byte:
        c.num = static_cast<uint8_t>(d.wrappedInteger());
        return;
    }
}

void Record::set(int i, const Value& v) {
    if (const std::string* s = v.textPtr()) setText(i, *s);
    else setNumber(i, *v.numberPtr());
}

StoreStatus Record::setChecked(int i, const Value& v) {
    const FieldSpec& f = layout_->field(i);
    if (f.type == FieldType::String || f.type == FieldType::Memo) {
        set(i, v);
        return StoreStatus::Ok;
    }
    Decimal d;
    if (const std::string* s = v.textPtr()) {
        if (!trim(*s).empty()) {
            auto parsed = Decimal::parse(*s);
            if (!parsed) return StoreStatus::NotANumber;
            d = *parsed;
        }
    } else {
        d = *v.numberPtr();
    }
    Decimal lo, hi;
    switch (f.type) {
    case FieldType::Decimal: {
        if (d.rounded(f.places).integerDigits() > f.size - f.places) return StoreStatus::TooWide;
        setNumber(i, d);
        return StoreStatus::Ok;
    }
    case FieldType::Long:
        lo = Decimal(std::numeric_limits<int32_t>::min());
        hi = Decimal(std::numeric_limits<int32_t>::max());
        break;
    case FieldType::Date:
        lo = Decimal(0);
        hi = Decimal(std::numeric_limits<int32_t>::max());
        break;
    case FieldType::Short:
        lo = Decimal(std::numeric_limits<int16_t>::min());
        hi = Decimal(std::numeric_limits<int16_t>::max());
        break;
    case FieldType::Byte:
        lo = Decimal(0);
        hi = Decimal(255);
        break;
    default:
        break;
    }
    Decimal r = d.rounded(0);
    if (r < lo || r > hi) return StoreStatus::TooWide;
    setNumber(i, r);
    return StoreStatus::Ok;
}

bool Record::operator==(const Record& o) const {
    return (layout_ == o.layout_ || layout_->fields().size() == o.layout_->fields().size()) &&
           cells_ == o.cells_;
}

}  // namespace tv
