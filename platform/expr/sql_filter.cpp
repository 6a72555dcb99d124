#include "platform/expr/sql_filter.h"

#include <sqlite3.h>

#include <memory>

#include "platform/expr/value_ops.h"
#include "platform/types/text.h"

namespace tv::expr {

namespace {

// Largest magnitude an int64 column expression may reach here: 18 digits.
constexpr int kMaxDigits = 18;

struct NotPushable {};

Decimal pow10(int n) {
    Decimal d(1);
    for (int i = 0; i < n; ++i) d = d * Decimal(10);
    return d;
}

bool isIntegral(const Decimal& d) { return d.truncated(0) == d; }

// Fewest decimal places that hold `d` exactly (at most 32).
int placesOf(const Decimal& d) {
    for (int p = 0; p < 32; ++p)
        if (d.truncated(p) == d) return p;
    return 32;
}

int integerDigits(const Decimal& d) { return std::max(1, d.integerDigits()); }

const char* sqlOp(Op op) {
    switch (op) {
        case Op::Eq: return "=";
        case Op::Ne: return "<>";
        case Op::Lt: return "<";
        case Op::Le: return "<=";
        case Op::Gt: return ">";
        case Op::Ge: return ">=";
        default: throw NotPushable{};
    }
}

Op mirror(Op op) {
    switch (op) {
        case Op::Lt: return Op::Gt;
        case Op::Le: return Op::Ge;
        case Op::Gt: return Op::Lt;
        case Op::Ge: return Op::Le;
        default: return op;
    }
}

// An integer-valued SQL expression equal to value * 10^scale.
struct Scaled {
    std::string sql;
    int scale = 0;
    int digits = 1;  // bound on the digits of the integer it yields
};

class Translator {
public:
    Translator(const ColumnLookup& columns, SqlFilter& out, SqlFlavor flavor)
        : columns_(columns), out_(out), server_(flavor == SqlFlavor::Server) {}

    std::string condition(const Node& n) {
        switch (n.kind) {
            case Node::Kind::Binary:
                if (n.op == Op::And || n.op == Op::Or) {
                    std::string a = condition(*n.args[0]);
                    std::string b = condition(*n.args[1]);
                    return "(" + a + (n.op == Op::And ? " AND " : " OR ") + b + ")";
                }
                if (isComparison(n.op)) return comparison(n.op, *n.args[0], *n.args[1]);
                return numericTruth(n);
            case Node::Kind::Unary:
                if (n.op == Op::Not) return "(NOT " + condition(*n.args[0]) + ")";
                return numericTruth(n);
            case Node::Kind::Call:
                if (n.text == "MATCH") return match(n);
                if (n.text == "UPPER") {
                    // A text is true when not blank; case does not change that.
                    return textTruth(*n.args[0]);
                }
                throw NotPushable{};
            case Node::Kind::Number: return truth(!n.number.isZero());
            case Node::Kind::Text: return truth(!rtrim(n.text).empty());
            case Node::Kind::Name: {
                SqlColumn c = column(n);
                if (c.kind == SqlColumn::Kind::Number) return "(" + c.sql + " <> 0)";
                return textTruth(n);
            }
        }
        throw NotPushable{};
    }

private:
    const ColumnLookup& columns_;
    SqlFilter& out_;
    bool server_ = false;

    std::string truth(bool b) const {
        if (server_) return b ? "TRUE" : "FALSE";
        return b ? "1" : "0";
    }
    const char* binary() const { return server_ ? " COLLATE \"C\"" : " COLLATE BINARY"; }

    static bool isComparison(Op op) {
        return op == Op::Eq || op == Op::Ne || op == Op::Lt || op == Op::Le || op == Op::Gt || op == Op::Ge;
    }

    SqlColumn column(const Node& n) {
        std::optional<SqlColumn> c = columns_(n.text);
        if (!c) throw NotPushable{};
        return *c;
    }

    std::string param(long long v) {
        out_.params.emplace_back(std::in_place_type<long long>, v);
        return "?";
    }
    std::string param(std::string v) {
        out_.params.emplace_back(std::in_place_type<std::string>, std::move(v));
        return "?";
    }

    std::string textTruth(const Node& n) {
        if (n.kind != Node::Kind::Name) throw NotPushable{};
        SqlColumn c = column(n);
        if (c.kind != SqlColumn::Kind::Text) throw NotPushable{};
        return "(" + trimmedText(c) + " <> '')";
    }

    std::string numericTruth(const Node& n) {
        Scaled s = scaled(n);
        return "(" + s.sql + " <> 0)";
    }

    static std::string trimmedText(const SqlColumn& c) {
        return c.trimmed ? c.sql : "rtrim(" + c.sql + ", ' ')";
    }

    // --- texts ----------------------------------------------------------
    enum class Side { Text, Number, Other };

    // What a comparison operand is, without translating it.
    Side sideOf(const Node& n) {
        switch (n.kind) {
            case Node::Kind::Text: return Side::Text;
            case Node::Kind::Number: return Side::Number;
            case Node::Kind::Name: {
                std::optional<SqlColumn> c = columns_(n.text);
                if (!c) return Side::Other;
                return c->kind == SqlColumn::Kind::Text ? Side::Text : Side::Number;
            }
            case Node::Kind::Call:
                if (n.text == "UPPER" && n.args[0]->kind != Node::Kind::Number) {
                    Side inner = sideOf(*n.args[0]);
                    return inner == Side::Text ? Side::Text : Side::Other;
                }
                return Side::Other;
            case Node::Kind::Unary:
                return n.op == Op::Neg && sideOf(*n.args[0]) == Side::Number ? Side::Number : Side::Other;
            case Node::Kind::Binary:
                if (n.op == Op::Add || n.op == Op::Sub)
                    return sideOf(*n.args[0]) == Side::Number && sideOf(*n.args[1]) == Side::Number
                               ? Side::Number
                               : Side::Other;
                return Side::Other;
        }
        return Side::Other;
    }

    // A constant text operand (a literal, or UPPER of one), if it is one.
    static std::optional<std::string> constText(const Node& n) {
        if (n.kind == Node::Kind::Text) return n.text;
        if (n.kind == Node::Kind::Call && n.text == "UPPER") {
            if (auto inner = constText(*n.args[0])) return toUpper(*inner);
        }
        return std::nullopt;
    }

    // SQL for a non-constant text operand, trailing blanks removed.
    std::string textSql(const Node& n) {
        if (n.kind == Node::Kind::Name) {
            SqlColumn c = column(n);
            if (c.kind != SqlColumn::Kind::Text) throw NotPushable{};
            return trimmedText(c);
        }
        if (n.kind == Node::Kind::Call && n.text == "UPPER") {
            out_.usesFunctions = true;
            return "tv_upper(" + textSql(*n.args[0]) + ")";
        }
        throw NotPushable{};
    }

    std::string textComparison(Op op, const Node& a, const Node& b) {
        auto ca = constText(a), cb = constText(b);
        if (ca && cb) return truth(holds(op, compareText(*ca, *cb)));
        if (ca) return textComparison(mirror(op), b, a);
        std::string lhs = textSql(a);
        std::string rhs = cb ? param(std::string(rtrim(*cb))) : textSql(b);
        return "(" + lhs + " " + sqlOp(op) + " " + rhs + binary() + ")";
    }

    // --- numbers --------------------------------------------------------
    Scaled scaled(const Node& n) {
        switch (n.kind) {
            case Node::Kind::Number: {
                int p = placesOf(n.number);
                Decimal k = n.number * pow10(p);
                int digits = integerDigits(k);
                if (digits > kMaxDigits) throw NotPushable{};
                return Scaled{param(k.toInt64()), p, digits};
            }
            case Node::Kind::Name: {
                SqlColumn c = column(n);
                if (c.kind != SqlColumn::Kind::Number) throw NotPushable{};
                if (c.digits > kMaxDigits || c.places < 0) throw NotPushable{};
                return Scaled{c.sql, c.places, std::max(1, c.digits)};
            }
            case Node::Kind::Unary:
                if (n.op == Op::Neg) {
                    Scaled s = scaled(*n.args[0]);
                    s.sql = "(-" + s.sql + ")";
                    return s;
                }
                throw NotPushable{};
            case Node::Kind::Binary:
                if (n.op == Op::Add || n.op == Op::Sub) {
                    Scaled a = scaled(*n.args[0]);
                    Scaled b = scaled(*n.args[1]);
                    int s = std::max(a.scale, b.scale);
                    int digits = std::max(a.digits + s - a.scale, b.digits + s - b.scale) + 1;
                    if (digits > kMaxDigits) throw NotPushable{};
                    return Scaled{"(" + rescale(a, s) + (n.op == Op::Add ? " + " : " - ") + rescale(b, s) + ")", s,
                                  digits};
                }
                throw NotPushable{};
            default: throw NotPushable{};
        }
    }

    static std::string rescale(const Scaled& x, int scale) {
        if (x.scale == scale) return x.sql;
        return "(" + x.sql + " * " + pow10(scale - x.scale).toText() + ")";
    }

    // expr (integer = value * 10^scale) op literal, exactly.
    std::string numberAgainstConstant(Op op, const Node& exprNode, const Decimal& lit) {
        Scaled e = scaled(exprNode);
        Decimal k = lit * pow10(e.scale);
        // |e| < 10^digits: a constant beyond that decides the comparison alone.
        if (k.abs().integerDigits() > e.digits) {
            int c = k.sign() > 0 ? -1 : 1;  // e compared with k
            return truth(holds(op, c));
        }
        if (isIntegral(k)) return "(" + e.sql + " " + sqlOp(op) + " " + param(k.toInt64()) + ")";
        // Between two integers: no row is equal to it.
        Decimal floorK = k.sign() >= 0 ? k.truncated(0) : k.truncated(0) - Decimal(1);
        Decimal ceilK = floorK + Decimal(1);
        switch (op) {
            case Op::Eq: return truth(false);
            case Op::Ne: return truth(true);
            case Op::Lt:
            case Op::Le: return "(" + e.sql + " <= " + param(floorK.toInt64()) + ")";
            case Op::Gt:
            case Op::Ge: return "(" + e.sql + " >= " + param(ceilK.toInt64()) + ")";
            default: throw NotPushable{};
        }
    }

    std::string numberComparison(Op op, const Node& a, const Node& b) {
        if (a.kind == Node::Kind::Number && b.kind == Node::Kind::Number) {
            auto c = a.number <=> b.number;
            return truth(holds(op, c < 0 ? -1 : (c > 0 ? 1 : 0)));
        }
        if (b.kind == Node::Kind::Number) return numberAgainstConstant(op, a, b.number);
        if (a.kind == Node::Kind::Number) return numberAgainstConstant(mirror(op), b, a.number);
        Scaled x = scaled(a);
        Scaled y = scaled(b);
        int s = std::max(x.scale, y.scale);
        if (std::max(x.digits + s - x.scale, y.digits + s - y.scale) > kMaxDigits) throw NotPushable{};
        return "(" + rescale(x, s) + " " + sqlOp(op) + " " + rescale(y, s) + ")";
    }

    std::string comparison(Op op, const Node& a, const Node& b) {
        Side sa = sideOf(a), sb = sideOf(b);
        if (sa == Side::Text && sb == Side::Text) return textComparison(op, a, b);
        if (sa == Side::Number && sb == Side::Number) return numberComparison(op, a, b);
        // A number against a constant text: numeric when the text is blank or
        // a plain number (as the evaluator decides), else not translated.
        if (sa == Side::Number && b.kind == Node::Kind::Text) {
            if (auto d = numericText(b.text)) return numberAgainstConstant(op, a, *d);
        }
        if (sb == Side::Number && a.kind == Node::Kind::Text) {
            if (auto d = numericText(a.text)) return numberAgainstConstant(mirror(op), b, *d);
        }
        throw NotPushable{};
    }

    static std::optional<Decimal> numericText(std::string_view t) {
        while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
        while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
        if (t.empty()) return Decimal();
        return Decimal::parse(t);
    }

    static bool isAscii(std::string_view s) {
        for (char c : s)
            if (static_cast<unsigned char>(c) >= 0x80) return false;
        return true;
    }

    // "*" and "?" as LIKE's "%" and "_"; LIKE's own specials escaped by "\".
    static std::string likePattern(std::string_view p, bool wild) {
        std::string out;
        for (char c : p) {
            if (wild && c == '*') out += '%';
            else if (wild && c == '?') out += '_';
            else if (c == '%' || c == '_' || c == '\\') {
                out += '\\';
                out += c;
            } else {
                out += c;
            }
        }
        return out;
    }

    // "[" is GLOB's only special that MATCH does not share.
    static std::string globPattern(std::string_view p) {
        std::string out;
        for (char c : p) {
            if (c == '[') out += "[[]";
            else out += c;
        }
        return out;
    }

    std::string match(const Node& n) {
        const Node& value = *n.args[0];
        const Node& pattern = *n.args[1];
        long long mode = kMatchWild;
        if (n.args.size() > 2) {
            if (n.args[2]->kind != Node::Kind::Number) throw NotPushable{};
            mode = n.args[2]->number.toInt64();
        }
        if (!matchModeSupported(mode) || pattern.kind != Node::Kind::Text) throw NotPushable{};
        if (value.kind == Node::Kind::Name) {
            SqlColumn c = column(value);
            if (c.kind == SqlColumn::Kind::Number) {
                // A number is matched by its text as the evaluator writes it.
                out_.usesFunctions = true;
                std::string p = param(pattern.text);
                return "tv_match(" + c.sql + ", " + p + ", " + std::to_string(mode) + ", " +
                       std::to_string(c.places) + ")";
            }
        }
        const bool noCase = (mode & kMatchNoCase) != 0;
        const bool wild = (mode & ~static_cast<long long>(kMatchNoCase)) != kMatchSimple;
        const std::string_view pat = rtrim(pattern.text);
        const bool upperValue = value.kind == Node::Kind::Call && value.text == "UPPER";
        // SQLite's own operators where they agree exactly with MATCH: LIKE
        // ignores the case of ASCII letters only, which is all a pattern
        // without other letters can tell apart (the accented letters never
        // equal an ASCII one, folded or not); GLOB keeps case and takes "*"
        // and "?" (one character) as MATCH does.
        // The server's ILIKE under the columns' "C" collation folds the same
        // ASCII letters; its LIKE keeps case as GLOB does.
        if (noCase && isAscii(pat)) {
            std::string v = upperValue ? textSql(*value.args[0]) : textSql(value);
            return "(" + v + (server_ ? " ILIKE " : " LIKE ") + param(likePattern(pat, wild)) + " ESCAPE '\\')";
        }
        if (!noCase) {
            std::string v = textSql(value);
            if (!wild) return "(" + v + " = " + param(std::string(pat)) + binary() + ")";
            if (server_) return "(" + v + " LIKE " + param(likePattern(pat, true)) + " ESCAPE '\\')";
            return "(" + v + " GLOB " + param(globPattern(pat)) + ")";
        }
        out_.usesFunctions = true;
        std::string v = textSql(value);
        std::string p = param(pattern.text);
        return "tv_match(" + v + ", " + p + ", " + std::to_string(mode) + ")";
    }
};

// --- SQL functions -------------------------------------------------------

std::string sqlText(sqlite3_value* v, int places) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return Value(Decimal::fromScaled(sqlite3_value_int64(v), places)).asText();
        case SQLITE_FLOAT: return Value(Decimal::fromDouble(sqlite3_value_double(v))).asText();
        case SQLITE_NULL: return std::string();
        default: {
            const unsigned char* t = sqlite3_value_text(v);
            int n = sqlite3_value_bytes(v);
            return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(n)) : std::string();
        }
    }
}

struct CachedMatcher {
    std::string pattern;
    long long mode;
    Matcher matcher;
};

// The bytes of a TEXT value in place (as a blob: SQLite then needs no
// terminating copy of a column value).
std::string_view valueText(sqlite3_value* v) {
    const void* t = sqlite3_value_blob(v);
    int n = sqlite3_value_bytes(v);
    return t ? std::string_view(static_cast<const char*>(t), static_cast<size_t>(n)) : std::string_view();
}

bool matchArg(const Matcher& m, sqlite3_value* v, int places) {
    if (sqlite3_value_type(v) == SQLITE_TEXT) return m.matches(valueText(v));
    return m.matches(std::string_view(sqlText(v, places)));
}

// tv_match(value, pattern, mode [, places]): the pattern is prepared once per
// statement (SQLite keeps it with the constant argument).
void sqlMatch(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    long long mode = sqlite3_value_int64(argv[2]);
    if (!matchModeSupported(mode)) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    int places = argc > 3 ? sqlite3_value_int(argv[3]) : 0;
    if (places < 0 || places > 32) places = 0;
    std::string pattern = sqlite3_value_type(argv[1]) == SQLITE_TEXT ? std::string() : sqlText(argv[1], 0);
    std::string_view pat = sqlite3_value_type(argv[1]) == SQLITE_TEXT ? valueText(argv[1]) : pattern;
    auto* cached = static_cast<CachedMatcher*>(sqlite3_get_auxdata(ctx, 1));
    if (cached && cached->mode == mode && cached->pattern == pat) {
        sqlite3_result_int(ctx, matchArg(cached->matcher, argv[0], places));
        return;
    }
    Matcher m(pat, static_cast<int>(mode));
    sqlite3_result_int(ctx, matchArg(m, argv[0], places));
    sqlite3_set_auxdata(ctx, 1, new CachedMatcher{std::string(pat), mode, std::move(m)},
                        [](void* p) { delete static_cast<CachedMatcher*>(p); });
}

void sqlUpper(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string u = toUpper(sqlText(argv[0], 0));
    sqlite3_result_text(ctx, u.data(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
}

}  // namespace

std::optional<SqlFilter> toSqlWhere(const Expression& e, const ColumnLookup& columns, SqlFlavor flavor) {
    SqlFilter out;
    try {
        Translator t(columns, out, flavor);
        out.where = t.condition(e.root());
        return out;
    } catch (const NotPushable&) {
        return std::nullopt;
    }
}

namespace {
void conjuncts(const Node& n, std::vector<const Node*>& out) {
    if (n.kind == Node::Kind::Binary && n.op == Op::And) {
        conjuncts(*n.args[0], out);
        conjuncts(*n.args[1], out);
    } else {
        out.push_back(&n);
    }
}
}  // namespace

std::optional<SqlFilter> toSqlPrefilter(const Expression& e, const ColumnLookup& columns, bool* complete,
                                        SqlFlavor flavor) {
    std::vector<const Node*> terms;
    conjuncts(e.root(), terms);
    SqlFilter out;
    bool all = true;
    for (const Node* term : terms) {
        SqlFilter part;
        try {
            Translator t(columns, part, flavor);
            std::string where = t.condition(*term);
            out.where += out.where.empty() ? "(" + where : " AND " + where;
            for (auto& p : part.params) out.params.push_back(std::move(p));
            out.usesFunctions = out.usesFunctions || part.usesFunctions;
        } catch (const NotPushable&) {
            all = false;
        }
    }
    if (complete) *complete = all && !out.where.empty();
    if (out.where.empty()) return std::nullopt;
    out.where += ")";
    return out;
}

bool registerSqlFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    bool ok = sqlite3_create_function_v2(db, "tv_match", 3, flags, nullptr, sqlMatch, nullptr, nullptr, nullptr) ==
              SQLITE_OK;
    ok = ok && sqlite3_create_function_v2(db, "tv_match", 4, flags, nullptr, sqlMatch, nullptr, nullptr, nullptr) ==
                   SQLITE_OK;
    ok = ok && sqlite3_create_function_v2(db, "tv_upper", 1, flags, nullptr, sqlUpper, nullptr, nullptr, nullptr) ==
                   SQLITE_OK;
    return ok;
}

}  // namespace tv::expr
