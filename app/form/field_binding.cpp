#include "app/form/field_binding.h"

#include <algorithm>

#include "platform/threads/logical_thread.h"
#include "platform/types/text.h"

namespace tv::app {

namespace {

bool isNumeric(const Record& r, int field) {
    const FieldType t = r.layout().field(field).type;
    return t != FieldType::String && t != FieldType::Memo;
}

std::string_view afterPrefix(std::string_view name) {
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool sameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && compareNoCase(a, b) == 0;
}

// Kept by the postings or given by the documents' numbering: bringing one
// back from another record would store a false figure or move a line.
constexpr const char* kNeverRepeated[] = {
    // the article's stock totals
    "ART:ExistenciaAnterior", "ART:Entradas", "ART:Salidas", "ART:Pedido", "ART:Recibido",
    "ART:COSTOPROMEDIO", "AAR:EXISTENCIAANTERIOR", "AAR:ENTRADAS", "AAR:SALIDAS", "AAR:PEDIDO",
    "AAR:RECIBIDO", "AAR:COSTOPROMEDIO",
    // received quantities, and an order's totals (its lines' and receipts')
    "DOR:Recibido", "TOR:RECIBIDO", "ORD:TOTALARTICULO", "ORD:TOTALSURTIDO", "ORD:PorcSurtido",
    // document folios and the links of lines to their documents
    "ENT:Folio", "SAL:Folio", "ORD:Folio", "DEN:ENTRADA", "DES:SALIDA", "DOR:ORDEN", "TOR:ORDEN",
    "DFI:INVENTARIO",
    // the next folios
    "FOL:ENTRADAS", "FOL:SALIDAS", "FOL:ORDENCOMPRA",
};

}  // namespace

std::string ShowField(const Record& record, int field, const Picture& picture) {
    const std::string shown = picture.format(record.get(field));
    if (picture.kind() == Picture::Kind::Text) return std::string(rtrim(shown));
    return std::string(trim(shown));
}

std::optional<Value> PeekField(const Record& record, int field, const Picture& picture, std::string_view typed) {
    std::string error;
    std::optional<Value> v = picture.read(typed, &error);
    if (!v) return std::nullopt;
    Record probe = record;
    if (probe.setChecked(field, *v) != StoreStatus::Ok) return std::nullopt;
    return probe.get(field);
}

namespace {
// What a typed number would lose in the field: a sign the picture has no
// room for, or decimals beyond the picture's places. Empty when it fits.
std::string numberDoesNotFit(const Picture& picture, std::string_view typed) {
    const std::string_view t = trim(typed);
    if (!picture.showsSign() && !t.empty() && t.front() == '-') return "El dato no admite números negativos";
    const size_t point = t.find('.');
    if (point == std::string_view::npos) return {};
    const std::string_view fraction = t.substr(point + 1);
    for (size_t i = static_cast<size_t>(picture.places()); i < fraction.size(); ++i) {
        if (fraction[i] == '0') continue;
        if (picture.places() == 0) return "El dato no admite decimales";
        return "El dato admite " + std::to_string(picture.places()) + " decimales como máximo";
    }
    return {};
}
}  // namespace

ReadResult ReadField(Record& record, int field, const Picture& picture, std::string_view typed) {
    ReadResult r;
    const FieldSpec& def = record.layout().field(field);
    if (def.type == FieldType::String || def.type == FieldType::Memo) {
        // Never cut: the end of what was typed or pasted would be lost.
        size_t most = static_cast<size_t>(def.size);
        if (picture.kind() == Picture::Kind::Text) most = std::min(most, static_cast<size_t>(picture.width()));
        if (charCount(rtrim(typed)) > most) {
            r.ok = false;
            r.error = "El texto es demasiado largo (" + std::to_string(most) + " caracteres como máximo)";
            return r;
        }
    }
    if (picture.kind() == Picture::Kind::Number) {
        if (std::string why = numberDoesNotFit(picture, typed); !why.empty()) {
            r.ok = false;
            r.error = why;
            return r;
        }
    }
    std::string error;
    std::optional<Value> v = picture.read(typed, &error);
    if (!v) {
        r.ok = false;
        r.error = error.empty() ? std::string("Dato no válido") : error;
        return r;
    }
    switch (record.setChecked(field, *v)) {
        case StoreStatus::Ok:
            break;
        case StoreStatus::TooWide:
            r.ok = false;
            r.error = "El número es demasiado grande para este dato";
            break;
        case StoreStatus::NotANumber:
            r.ok = false;
            r.error = "Número no válido";
            break;
    }
    return r;
}

bool IsBlankValue(const Record& record, int field) {
    if (isNumeric(record, field)) return record.number(field).isZero();
    return rtrim(record.text(field)).empty();
}

bool IsDittoExcluded(const data::TableDecl& table, int field) {
    if (field < 0 || field >= table.layout->fieldCount()) return true;
    const std::string& name = table.layout->field(field).name;
    if (sameNoCase(afterPrefix(name), "ID")) return true;
    for (const data::KeyDecl& k : table.keys)
        if (k.autoNumbered)
            for (int c : k.components)
                if (c == field) return true;
    for (const char* n : kNeverRepeated)
        if (sameNoCase(name, n)) return true;
    return false;
}

bool SameRecordKey(const data::TableDecl& table, const Record& a, const Record& b) {
    for (const data::KeyDecl& k : table.keys) {
        if (!k.unique) continue;
        bool held = false;
        for (int c : k.components) held = held || b.get(c).truthy();
        if (!held) continue;
        for (int c : k.components) {
            const Value va = a.get(c), vb = b.get(c);
            const bool equal = va.isText() ? compareNoCase(va.asText(), vb.asText()) == 0
                                           : va.asNumber() == vb.asNumber();
            if (!equal) return false;
        }
        return true;
    }
    return false;
}

bool HoldsUniqueKey(const data::TableDecl& table, const Record& r) {
    for (const data::KeyDecl& k : table.keys) {
        if (!k.unique) continue;
        for (int c : k.components)
            if (r.get(c).truthy()) return true;
    }
    return false;
}

DittoStore& DittoStore::current() { return threads::perThread<DittoStore>(); }

void DittoStore::save(const std::string& form, const Record& record) {
    auto it = saved_.find(form);
    if (it == saved_.end()) saved_.emplace(form, record);
    else it->second = record;
}

const Record* DittoStore::last(const std::string& form) const {
    auto it = saved_.find(form);
    return it == saved_.end() ? nullptr : &it->second;
}

}  // namespace tv::app
