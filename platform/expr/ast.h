#pragma once
// The expression language of filters, ranges, find and query conditions:
//
//   expr       := or
//   or         := and { OR and }
//   and        := not { AND not }
//   not        := NOT not | "~" not | comparison
//   comparison := additive { ("=" | "<>" | "~=" | "!=" | "<" | ">" | "<=" |
//                             ">=" | "=<" | "=>" | "~<" | "~>") additive }
//   additive   := term { ("+" | "-" | "&") term }
//   term       := unary { ("*" | "/" | "%") unary }
//   unary      := ("-" | "+") unary | primary
//   primary    := number | 'text' | name | NAME "(" [expr {"," expr}] ")"
//               | "(" expr ")"
//
// Keywords and names in any letter case. Names: a letter or "_" then letters,
// digits, "_" and ":" ("ART:NoArt", "loc:importe", "PorRecibir"). Texts in
// single quotes, '' for a quote. Numbers: digits with an optional "." and
// decimals (".5" too). Functions: MATCH(value, pattern [, mode]), UPPER,
// LOWER, CLIP, LEN, SUB(text, start [, length]), INSTRING(sub, text [, step
// [, start]]), ABS, INT.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types/decimal.h"

namespace tv::expr {

// A failure to read or compile an expression: where (byte offset into the
// text, 0-based) and what (Spanish, for the user).
struct ExprError {
    std::size_t position = 0;
    std::string message;
    // "Error en la expresión (posición 7): se esperaba ')'"
    std::string describe() const;
};

enum class Op {
    Neg, Not,                              // unary
    Add, Sub, Mul, Div, Mod, Concat,       // arithmetic, text joining
    Eq, Ne, Lt, Le, Gt, Ge,                // comparisons (1 or 0)
    And, Or                                // logic (1 or 0)
};

// Whether comparison `op` holds for a three-way result c (<0, 0, >0).
inline bool holds(Op op, int c) {
    switch (op) {
        case Op::Eq: return c == 0;
        case Op::Ne: return c != 0;
        case Op::Lt: return c < 0;
        case Op::Le: return c <= 0;
        case Op::Gt: return c > 0;
        case Op::Ge: return c >= 0;
        default: return false;
    }
}

struct Node {
    enum class Kind { Number, Text, Name, Unary, Binary, Call };
    Kind kind = Kind::Number;
    std::size_t position = 0;  // where it starts in the text
    Decimal number;            // Number
    std::string text;          // Text: the value; Name: as written; Call: upper-case function name
    Op op = Op::Add;           // Unary, Binary
    std::vector<std::unique_ptr<Node>> args;  // operands / call arguments
    int height = 1;            // levels of the subtree (bounded by kMaxDepth)
};

// A parsed expression: immutable, cheap to copy, shareable between threads.
class Expression {
public:
    const Node& root() const { return *root_; }
    const std::string& source() const { return source_; }
    // Every distinct name the expression uses, as first written.
    std::vector<std::string> names() const;

private:
    friend std::optional<Expression> parseExpression(std::string_view, ExprError*);
    std::shared_ptr<const Node> root_;
    std::string source_;
};

// Nesting deeper than this is refused (the evaluator recurses on the tree and
// threads run on bounded stacks).
inline constexpr int kMaxDepth = 200;

// Reads an expression. A blank text is an error too: callers treat a blank
// filter as "no filter" before parsing. Never throws for bad input.
std::optional<Expression> parseExpression(std::string_view text, ExprError* error = nullptr);

// Upper-case ASCII copy of a name, for case-insensitive look-ups of names.
std::string normalizeName(std::string_view name);

}  // namespace tv::expr
