#include <algorithm>
#include <cctype>
#include <set>

#include "platform/expr/ast.h"

namespace tv::expr {

std::string ExprError::describe() const {
    return "Error en la expresión (posición " + std::to_string(position + 1) + "): " + message;
}

std::string normalizeName(std::string_view name) {
    std::string s(name);
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

namespace {

bool isNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

constexpr int kMaxNesting = 64;

struct Fail {
    std::size_t position;
    std::string message;
};

struct Token {
    enum class Kind { End, Number, Text, Name, Op, LParen, RParen, Comma };
    Kind kind = Kind::End;
    std::size_t pos = 0;
    std::string text;  // Name as written; Text unquoted; Op symbol; Number digits
};

class Parser {
public:
    explicit Parser(std::string_view s) : s_(s) { advance(); }

    std::unique_ptr<Node> parseAll() {
        if (tok_.kind == Token::Kind::End) throw Fail{0, "la expresión está vacía"};
        auto n = parseOr(0);
        if (tok_.kind != Token::Kind::End) {
            if (tok_.kind == Token::Kind::RParen)
                throw Fail{tok_.pos, "sobra un ')'"};
            throw Fail{tok_.pos, "se esperaba un operador o el final de la expresión"};
        }
        return n;
    }

private:
    std::string_view s_;
    std::size_t i_ = 0;
    Token tok_;

    // --- tokens ----------------------------------------------------------
    void advance() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n'))
            ++i_;
        tok_ = Token{};
        tok_.pos = i_;
        if (i_ >= s_.size()) return;
        char c = s_[i_];
        if (isDigit(c) || (c == '.' && i_ + 1 < s_.size() && isDigit(s_[i_ + 1]))) {
            std::size_t b = i_;
            while (i_ < s_.size() && isDigit(s_[i_])) ++i_;
            if (i_ < s_.size() && s_[i_] == '.') {
                ++i_;
                while (i_ < s_.size() && isDigit(s_[i_])) ++i_;
            }
            if (i_ < s_.size() && isNameChar(s_[i_]))
                throw Fail{i_, "número mal escrito"};
            tok_.kind = Token::Kind::Number;
            tok_.text = std::string(s_.substr(b, i_ - b));
            return;
        }
        if (c == '\'') {
            std::string v;
            ++i_;
            for (;;) {
                if (i_ >= s_.size()) throw Fail{tok_.pos, "texto sin cerrar: falta la comilla final"};
                if (s_[i_] == '\'') {
                    if (i_ + 1 < s_.size() && s_[i_ + 1] == '\'') {
                        v += '\'';
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    break;
                }
                v += s_[i_++];
            }
            tok_.kind = Token::Kind::Text;
            tok_.text = std::move(v);
            return;
        }
        if (isNameStart(c)) {
            std::size_t b = i_;
            while (i_ < s_.size() && isNameChar(s_[i_])) ++i_;
            tok_.kind = Token::Kind::Name;
            tok_.text = std::string(s_.substr(b, i_ - b));
            return;
        }
        ++i_;
        switch (c) {
            case '(': tok_.kind = Token::Kind::LParen; return;
            case ')': tok_.kind = Token::Kind::RParen; return;
            case ',': tok_.kind = Token::Kind::Comma; return;
            case '+': case '-': case '*': case '/': case '%': case '&': case '=':
                tok_.kind = Token::Kind::Op;
                tok_.text = std::string(1, c);
                if (c == '=' && i_ < s_.size() && (s_[i_] == '<' || s_[i_] == '>'))
                    tok_.text += s_[i_++];
                return;
            case '<': case '>': case '~': case '!':
                tok_.kind = Token::Kind::Op;
                tok_.text = std::string(1, c);
                if (i_ < s_.size()) {
                    char d = s_[i_];
                    if ((c == '<' && (d == '>' || d == '=')) || (c == '>' && d == '=') ||
                        (c == '~' && (d == '=' || d == '<' || d == '>')) || (c == '!' && d == '=')) {
                        tok_.text += d;
                        ++i_;
                    }
                }
                if (tok_.text == "!") throw Fail{tok_.pos, "carácter no válido '!'"};
                return;
            default: break;
        }
        std::string shown(1, c);
        if (static_cast<unsigned char>(c) >= 0x80) {
            // Show the whole UTF-8 character.
            std::size_t e = i_;
            while (e < s_.size() && (static_cast<unsigned char>(s_[e]) & 0xC0) == 0x80) ++e;
            shown = std::string(s_.substr(tok_.pos, e - tok_.pos));
        }
        throw Fail{tok_.pos, "carácter no válido '" + shown + "'"};
    }

    bool isKeyword(const char* kw) const {
        return tok_.kind == Token::Kind::Name && normalizeName(tok_.text) == kw;
    }
    bool isOp(const char* op) const { return tok_.kind == Token::Kind::Op && tok_.text == op; }

    // --- tree building ----------------------------------------------------
    static void checkDepth(int depth, std::size_t pos) {
        if (depth > kMaxDepth) throw Fail{pos, "expresión demasiado anidada o larga"};
    }

    static std::unique_ptr<Node> makeUnary(Op op, std::size_t pos, std::unique_ptr<Node> a) {
        auto n = std::make_unique<Node>();
        n->kind = Node::Kind::Unary;
        n->op = op;
        n->position = pos;
        n->height = a->height + 1;
        checkDepth(n->height, pos);
        n->args.push_back(std::move(a));
        return n;
    }

    static std::unique_ptr<Node> makeBinary(Op op, std::size_t pos, std::unique_ptr<Node> a,
                                            std::unique_ptr<Node> b) {
        auto n = std::make_unique<Node>();
        n->kind = Node::Kind::Binary;
        n->op = op;
        n->position = pos;
        n->height = std::max(a->height, b->height) + 1;
        checkDepth(n->height, pos);
        n->args.push_back(std::move(a));
        n->args.push_back(std::move(b));
        return n;
    }

    // `depth` counts nesting (parentheses, calls, prefix operators): the
    // recursion the parser itself makes.
    std::unique_ptr<Node> parseOr(int depth) {
        if (depth > kMaxNesting) throw Fail{tok_.pos, "expresión demasiado anidada"};
        auto left = parseAnd(depth);
        while (isKeyword("OR")) {
            std::size_t pos = tok_.pos;
            advance();
            left = makeBinary(Op::Or, pos, std::move(left), parseAnd(depth));
        }
        return left;
    }

    std::unique_ptr<Node> parseAnd(int depth) {
        auto left = parseNot(depth);
        while (isKeyword("AND")) {
            std::size_t pos = tok_.pos;
            advance();
            left = makeBinary(Op::And, pos, std::move(left), parseNot(depth));
        }
        return left;
    }

    std::unique_ptr<Node> parseNot(int depth) {
        if (depth > kMaxNesting) throw Fail{tok_.pos, "expresión demasiado anidada"};
        if (isKeyword("NOT") || isOp("~")) {
            std::size_t pos = tok_.pos;
            advance();
            return makeUnary(Op::Not, pos, parseNot(depth + 1));
        }
        return parseComparison(depth);
    }

    std::optional<Op> comparisonOp() const {
        if (tok_.kind != Token::Kind::Op) return std::nullopt;
        const std::string& t = tok_.text;
        if (t == "=") return Op::Eq;
        if (t == "<>" || t == "~=" || t == "!=") return Op::Ne;
        if (t == "<") return Op::Lt;
        if (t == ">") return Op::Gt;
        if (t == "<=" || t == "=<" || t == "~>") return Op::Le;
        if (t == ">=" || t == "=>" || t == "~<") return Op::Ge;
        return std::nullopt;
    }

    std::unique_ptr<Node> parseComparison(int depth) {
        auto left = parseAdditive(depth);
        while (auto op = comparisonOp()) {
            std::size_t pos = tok_.pos;
            advance();
            left = makeBinary(*op, pos, std::move(left), parseAdditive(depth));
        }
        return left;
    }

    std::unique_ptr<Node> parseAdditive(int depth) {
        auto left = parseTerm(depth);
        for (;;) {
            Op op;
            if (isOp("+")) op = Op::Add;
            else if (isOp("-")) op = Op::Sub;
            else if (isOp("&")) op = Op::Concat;
            else break;
            std::size_t pos = tok_.pos;
            advance();
            left = makeBinary(op, pos, std::move(left), parseTerm(depth));
        }
        return left;
    }

    std::unique_ptr<Node> parseTerm(int depth) {
        auto left = parseUnary(depth);
        for (;;) {
            Op op;
            if (isOp("*")) op = Op::Mul;
            else if (isOp("/")) op = Op::Div;
            else if (isOp("%")) op = Op::Mod;
            else break;
            std::size_t pos = tok_.pos;
            advance();
            left = makeBinary(op, pos, std::move(left), parseUnary(depth));
        }
        return left;
    }

    std::unique_ptr<Node> parseUnary(int depth) {
        if (depth > kMaxNesting) throw Fail{tok_.pos, "expresión demasiado anidada"};
        if (isOp("-") || isOp("+")) {
            bool neg = tok_.text == "-";
            std::size_t pos = tok_.pos;
            advance();
            auto operand = parseUnary(depth + 1);
            if (!neg) return operand;
            // A signed number is one literal: "-5" stays a constant.
            if (operand->kind == Node::Kind::Number) {
                operand->number = -operand->number;
                operand->position = pos;
                return operand;
            }
            return makeUnary(Op::Neg, pos, std::move(operand));
        }
        return parsePrimary(depth);
    }

    std::unique_ptr<Node> parsePrimary(int depth) {
        auto n = std::make_unique<Node>();
        n->position = tok_.pos;
        switch (tok_.kind) {
            case Token::Kind::Number: {
                auto d = Decimal::parse(tok_.text);
                if (!d) throw Fail{tok_.pos, "número demasiado grande: " + tok_.text};
                n->kind = Node::Kind::Number;
                n->number = *d;
                advance();
                return n;
            }
            case Token::Kind::Text:
                n->kind = Node::Kind::Text;
                n->text = tok_.text;
                advance();
                return n;
            case Token::Kind::LParen: {
                std::size_t open = tok_.pos;
                advance();
                auto inner = parseOr(depth + 1);
                if (tok_.kind != Token::Kind::RParen)
                    throw Fail{tok_.kind == Token::Kind::End ? open : tok_.pos,
                               tok_.kind == Token::Kind::End ? "falta el ')' que cierra este '('"
                                                             : "se esperaba ')'"};
                advance();
                return inner;
            }
            case Token::Kind::Name: {
                std::string name = tok_.text;
                std::string upper = normalizeName(name);
                if (upper == "AND" || upper == "OR" || upper == "NOT")
                    throw Fail{tok_.pos, "se esperaba un valor antes de " + upper};
                advance();
                if (tok_.kind != Token::Kind::LParen) {
                    n->kind = Node::Kind::Name;
                    n->text = std::move(name);
                    return n;
                }
                return parseCall(std::move(n), upper, depth);
            }
            case Token::Kind::End:
                throw Fail{tok_.pos, "falta un valor al final de la expresión"};
            case Token::Kind::RParen:
                throw Fail{tok_.pos, "se esperaba un valor antes de ')'"};
            case Token::Kind::Comma:
                throw Fail{tok_.pos, "se esperaba un valor antes de ','"};
            case Token::Kind::Op:
                throw Fail{tok_.pos, "se esperaba un valor antes de '" + tok_.text + "'"};
        }
        throw Fail{tok_.pos, "se esperaba un valor"};
    }

    struct FunctionSpec {
        const char* name;
        int minArgs, maxArgs;
    };

    std::unique_ptr<Node> parseCall(std::unique_ptr<Node> n, const std::string& upper, int depth) {
        static const FunctionSpec kFunctions[] = {
            {"MATCH", 2, 3}, {"UPPER", 1, 1}, {"LOWER", 1, 1}, {"CLIP", 1, 1},
            {"LEN", 1, 1},   {"SUB", 2, 3},   {"INSTRING", 2, 4}, {"ABS", 1, 1},
            {"INT", 1, 1},
        };
        const FunctionSpec* fn = nullptr;
        for (const auto& f : kFunctions)
            if (upper == f.name) fn = &f;
        if (!fn) throw Fail{n->position, "función desconocida: " + upper};
        advance();  // '('
        n->kind = Node::Kind::Call;
        n->text = upper;
        int h = 0;
        if (tok_.kind != Token::Kind::RParen) {
            for (;;) {
                auto a = parseOr(depth + 1);
                h = std::max(h, a->height);
                n->args.push_back(std::move(a));
                if (tok_.kind == Token::Kind::Comma) {
                    advance();
                    continue;
                }
                if (tok_.kind == Token::Kind::RParen) break;
                throw Fail{tok_.pos, "se esperaba ',' o ')' en " + upper};
            }
        }
        advance();  // ')'
        int count = static_cast<int>(n->args.size());
        if (count < fn->minArgs || count > fn->maxArgs)
            throw Fail{n->position, "número de argumentos incorrecto para " + upper};
        n->height = h + 1;
        checkDepth(n->height, n->position);
        return n;
    }
};

void collectNames(const Node& n, std::vector<std::string>& out, std::set<std::string>& seen) {
    if (n.kind == Node::Kind::Name && seen.insert(normalizeName(n.text)).second) out.push_back(n.text);
    for (const auto& a : n.args) collectNames(*a, out, seen);
}

}  // namespace

std::vector<std::string> Expression::names() const {
    std::vector<std::string> out;
    std::set<std::string> seen;
    collectNames(*root_, out, seen);
    return out;
}

std::optional<Expression> parseExpression(std::string_view text, ExprError* error) {
    try {
        Parser p(text);
        auto root = p.parseAll();
        Expression e;
        e.root_ = std::shared_ptr<const Node>(std::move(root));
        e.source_ = std::string(text);
        return e;
    } catch (const Fail& f) {
        if (error) *error = ExprError{f.position, f.message};
    } catch (const std::exception& ex) {
        if (error) *error = ExprError{0, std::string("expresión no válida: ") + ex.what()};
    }
    return std::nullopt;
}

}  // namespace tv::expr
