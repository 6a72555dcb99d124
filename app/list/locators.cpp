#include "app/list/locators.h"

#include "platform/types/decimal.h"
#include "platform/types/text.h"

namespace tv::list {

namespace {

std::size_t charLength(unsigned char c) {
    if (c >= 0xF0) return 4;
    if (c >= 0xE0) return 3;
    if (c >= 0xC0) return 2;
    return 1;
}

// The first character of a text, whole.
std::string_view firstChar(std::string_view s) {
    if (s.empty()) return s;
    return s.substr(0, std::min(s.size(), charLength(static_cast<unsigned char>(s[0]))));
}

// One character, printable: no control characters, no broken UTF-8.
bool isOnePrintableChar(std::string_view s) {
    if (s.empty()) return false;
    auto c = static_cast<unsigned char>(s[0]);
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xC0) || c > 0xF4) return false;
    if (charLength(c) != s.size()) return false;
    for (std::size_t k = 1; k < s.size(); ++k)
        if ((static_cast<unsigned char>(s[k]) & 0xC0) != 0x80) return false;
    return true;
}

bool isDigit(std::string_view s) { return s.size() == 1 && s[0] >= '0' && s[0] <= '9'; }

std::string caseOf(const LocatorField& f, std::string_view s) {
    return f.noCase ? toUpper(s) : std::string(s);
}

}  // namespace

bool ListLocator::accepts(std::string_view typed) const {
    if (!isOnePrintableChar(typed)) return false;
    return !field_.numeric || isDigit(typed);
}

LocatorDecision ListLocator::onChar(std::string_view typed, const Value* rowValue) const {
    LocatorDecision d;
    if (!accepts(typed)) return d;
    if (rowValue) {
        std::string rowText = field_.numeric ? rowValue->asNumber().toText() : rowValue->asText();
        if (caseOf(field_, firstChar(rowText)) == caseOf(field_, typed)) return d;
    }
    d.kind = LocatorDecision::Kind::Reposition;
    if (field_.numeric) {
        d.value = Value(static_cast<long long>(typed[0] - '0'));
    } else {
        std::string v = caseOf(field_, typed);
        if (field_.descending) v += '\xFE';
        d.value = Value(std::move(v));
    }
    return d;
}

bool ShadowTextLocator::accepts(std::string_view typed) const { return isOnePrintableChar(typed); }

LocatorDecision ShadowTextLocator::onListChar(std::string_view typed) {
    LocatorDecision d;
    if (!accepts(typed)) return d;
    typeInEntry(typed);
    d.kind = LocatorDecision::Kind::FocusEntry;
    d.text = text_;
    return d;
}

void ShadowTextLocator::typeInEntry(std::string_view typed) {
    if (!isOnePrintableChar(typed)) return;
    if (charCount(text_) >= kMaxChars) return;
    text_ += typed;
}

void ShadowTextLocator::backspace() {
    if (text_.empty()) return;
    std::size_t k = text_.size() - 1;
    while (k > 0 && (static_cast<unsigned char>(text_[k]) & 0xC0) == 0x80) --k;
    text_.erase(k);
}

void ShadowTextLocator::setText(std::string_view text) { text_ = cutText(text, kMaxChars); }

LocatorDecision ShadowTextLocator::accept() const {
    LocatorDecision d;
    std::string_view t = rtrim(text_);
    if (field_.numeric) {
        std::string_view n = trim(t);
        if (n.empty()) {
            d.kind = LocatorDecision::Kind::Reposition;
            d.value = Value(0);
            return d;
        }
        auto number = Decimal::parse(n);
        if (!number) {
            d.kind = LocatorDecision::Kind::Refused;
            d.message = "El dato a localizar debe ser un número.";
            return d;
        }
        d.kind = LocatorDecision::Kind::Reposition;
        d.value = Value(*number);
        return d;
    }
    std::string v = caseOf(field_, cutText(t, kMaxChars));
    if (field_.descending) v += '\xFE';
    d.kind = LocatorDecision::Kind::Reposition;
    d.value = Value(std::move(v));
    return d;
}

}  // namespace tv::list
