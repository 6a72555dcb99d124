#include "platform/qbe/qbe_model.h"

#include <array>

#include "platform/expr/ast.h"
#include "platform/types/decimal.h"
#include "platform/types/picture.h"
#include "platform/types/text.h"

namespace tv::qbe {

namespace {

struct OperatorInfo {
    Operator op;
    const char* caption;
    const char* code;
    const char* sign;  // the comparison in the expression language
};

constexpr std::array<OperatorInfo, 8> kOperators{{
    {Operator::Equal, "=", "EQ", "="},
    {Operator::NotEqual, "No Igual", "NE", "<>"},
    {Operator::Greater, ">", "GT", ">"},
    {Operator::GreaterEqual, ">=", "GE", ">="},
    {Operator::Less, "<", "LT", "<"},
    {Operator::LessEqual, "<=", "LE", "<="},
    {Operator::Contains, "Contenga", "CONTAINS", nullptr},
    {Operator::BeginsWith, "Comience", "BEGINS", nullptr},
}};

const OperatorInfo& info(Operator op) {
    for (const auto& i : kOperators)
        if (i.op == op) return i;
    return kOperators[0];
}

bool isBlank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

bool hasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

// A number as typed, checked through the column's picture (so the user gets
// the picture's message), then kept exactly as typed: a condition
// "> 12.7" on a column shown without decimals must not become "> 13".
std::optional<std::string> numberLiteral(const Field& field, std::string_view typed, std::string* error) {
    auto pic = Picture::parse(field.picture);
    if (!pic || pic->kind() != Picture::Kind::Number) pic = Picture::parse("n-_31.31");
    std::string why;
    if (!pic->read(typed, &why)) {
        if (error) *error = why;
        return std::nullopt;
    }
    std::string plain;
    for (char c : trim(typed))
        if (c != ',') plain += c;
    auto d = Decimal::parse(plain);
    if (!d) {
        if (error) *error = "Número no válido";
        return std::nullopt;
    }
    std::size_t point = plain.find('.');
    int places = point == std::string::npos ? 0 : static_cast<int>(plain.size() - point - 1);
    std::string text = d->abs().toFixed(places);
    if (text.empty() || text.back() == '.') text += '0';
    return d->sign() < 0 ? "-" + text : text;
}

std::optional<std::string> dateLiteral(std::string_view typed, std::string* error) {
    auto pic = Picture::parse("@d6");
    std::string why;
    auto v = pic->read(typed, &why);
    if (!v) {
        if (error) *error = why;
        return std::nullopt;
    }
    return v->asNumber().toText();
}

std::string textCondition(const Field& field, Operator op, const std::string& value) {
    const bool noCase = field.ignoreCase;
    const std::string subject = noCase ? "UPPER(" + field.name + ")" : field.name;
    if (op != Operator::Contains && op != Operator::BeginsWith)
        return subject + " " + info(op).sign + " " + quoteText(noCase ? toUpper(value) : value);
    // Trailing blanks mean nothing in a stored text (they are ignored by
    // every comparison), so they are not looked for.
    std::string wanted(rtrim(value));
    if (!hasWildcard(wanted)) {
        std::string pattern = (op == Operator::Contains ? "*" : "") + wanted + "*";
        return "MATCH(" + field.name + ", " + quoteText(pattern) + ", " + (noCase ? "17" : "1") + ")";
    }
    // "*" and "?" typed by the user are characters to find, which a MATCH
    // pattern cannot say: look for the text itself.
    std::string literal = quoteText(noCase ? toUpper(wanted) : wanted);
    if (op == Operator::Contains) return "INSTRING(" + literal + ", " + subject + ", 1, 1) > 0";
    return "SUB(" + subject + ", 1, " + std::to_string(charCount(wanted)) + ") = " + literal;
}

void appendEscaped(std::string& out, std::string_view s) {
    static const char* hex = "0123456789ABCDEF";
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '%' || c == '|' || c == ';' || c < 0x20 || c == 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += ch;
        }
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> unescape(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return std::nullopt;
        int hi = hexDigit(s[i + 1]), lo = hexDigit(s[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

std::vector<std::string_view> split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    std::size_t b = 0;
    for (;;) {
        std::size_t e = s.find(sep, b);
        parts.push_back(s.substr(b, e == std::string_view::npos ? std::string_view::npos : e - b));
        if (e == std::string_view::npos) break;
        b = e + 1;
    }
    return parts;
}

}  // namespace

std::string operatorCaption(Operator op) { return info(op).caption; }

std::optional<Operator> operatorFromCaption(std::string_view caption) {
    for (const auto& i : kOperators)
        if (caption == i.caption) return i.op;
    return std::nullopt;
}

std::string operatorCode(Operator op) { return info(op).code; }

std::optional<Operator> operatorFromCode(std::string_view code) {
    for (const auto& i : kOperators)
        if (code == i.code) return i.op;
    return std::nullopt;
}

std::vector<Operator> operatorsFor(FieldType type) {
    std::vector<Operator> ops{Operator::Equal, Operator::NotEqual, Operator::Greater,
                              Operator::GreaterEqual, Operator::Less, Operator::LessEqual};
    if (type == FieldType::Text) {
        ops.push_back(Operator::Contains);
        ops.push_back(Operator::BeginsWith);
    }
    return ops;
}

Operator defaultOperator(FieldType type) {
    return type == FieldType::Text ? Operator::Contains : Operator::Equal;
}

bool isActive(const Field& field, const Condition& c) {
    if (field.type != FieldType::Text) return !isBlank(trim(c.value));
    if (c.op == Operator::Contains || c.op == Operator::BeginsWith) return !isBlank(c.value);
    return !c.value.empty();
}

std::string quoteText(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

std::optional<std::string> conditionText(const Field& field, const Condition& c, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<std::string> {
        if (error) *error = "Valor no válido en \"" + field.label + "\": " + why;
        return std::nullopt;
    };
    if (!isActive(field, c)) return std::string();
    if (field.type != FieldType::Text && (c.op == Operator::Contains || c.op == Operator::BeginsWith))
        return fail("el operador \"" + operatorCaption(c.op) + "\" sólo se usa con textos");
    if (field.type == FieldType::Text) return textCondition(field, c.op, c.value);
    std::string why;
    auto literal = field.type == FieldType::Number ? numberLiteral(field, c.value, &why)
                                                   : dateLiteral(c.value, &why);
    if (!literal) return fail(why);
    return field.name + " " + info(c.op).sign + " " + *literal;
}

const Field* findField(const std::vector<Field>& fields, std::string_view name) {
    const std::string wanted = expr::normalizeName(name);
    for (const Field& f : fields)
        if (expr::normalizeName(f.name) == wanted) return &f;
    return nullptr;
}

FilterResult buildFilter(const std::vector<Field>& fields, const Query& query) {
    FilterResult r;
    for (std::size_t i = 0; i < query.size(); ++i) {
        const Condition& c = query[i];
        const Field* f = findField(fields, c.field);
        if (f == nullptr) {
            r.badCondition = static_cast<int>(i);
            r.error = "La columna " + c.field + " no está en la lista";
            r.filter.clear();
            return r;
        }
        std::string error;
        auto text = conditionText(*f, c, &error);
        if (!text) {
            r.badCondition = static_cast<int>(i);
            r.error = error;
            r.filter.clear();
            return r;
        }
        if (text->empty()) continue;
        if (!r.filter.empty()) r.filter += " AND ";
        r.filter += *text;
    }
    // What we hand over must read back: a field name the expression
    // language cannot hold would otherwise surface later as a broken list.
    if (!r.filter.empty()) {
        expr::ExprError e;
        if (!expr::parseExpression(r.filter, &e)) {
            r.error = "La consulta no se pudo armar: " + e.describe();
            r.filter.clear();
        }
    }
    return r;
}

std::string encodeQuery(const Query& q) {
    std::string out;
    for (const Condition& c : q) {
        if (!out.empty()) out += ';';
        appendEscaped(out, c.field);
        out += '|';
        out += operatorCode(c.op);
        out += '|';
        appendEscaped(out, c.value);
    }
    return out;
}

Query decodeQuery(std::string_view text) {
    Query q;
    if (text.empty()) return q;
    for (std::string_view piece : split(text, ';')) {
        auto parts = split(piece, '|');
        if (parts.size() != 3) continue;
        auto field = unescape(parts[0]);
        auto op = operatorFromCode(parts[1]);
        auto value = unescape(parts[2]);
        if (!field || field->empty() || !op || !value) continue;
        q.push_back({*field, *op, *value});
    }
    return q;
}

}  // namespace tv::qbe
