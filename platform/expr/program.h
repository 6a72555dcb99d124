#pragma once
// A compiled expression: parsed once, names bound once, evaluated per record.
//
// Semantics (the expression language of filters and find):
// - "+", "-", "*", "/" and "%" work in exact decimal arithmetic (tv::Decimal;
//   a division by zero gives 0); a text operand counts as its leading plain
//   number, else 0.
// - Comparisons give 1 or 0 and follow compareValues(): numbers
//   numerically, texts byte by byte ignoring trailing blanks, a number
//   against a text numerically when the text is a plain number or blank,
//   else as texts.
// - AND, OR, NOT give 1 or 0; a value is true when it is a non-zero number or
//   a text that is not all blanks. AND and OR stop as soon as the result is
//   known.
// - "&" joins texts (numbers by the number-to-text rule).
// - MATCH(value, pattern [, mode]): see value_ops.h; mode defaults to 1.
//   UPPER/LOWER: case with the accented pairs. CLIP: without trailing
//   blanks. LEN: characters. SUB(text, start [, length]) and
//   INSTRING(sub, text [, step [, start]]) count characters from 1.
//
// A program is evaluated by one logical thread at a time (it keeps scratch
// space for MATCH); compile one per view / per thread.
#include <memory>
#include <optional>
#include <string_view>

#include "platform/expr/ast.h"
#include "platform/expr/binding.h"

namespace tv::expr {

namespace detail {
class CNode;
}

class Program {
public:
    // nullopt (and *error filled) when a name is unknown or a MATCH mode
    // given as a constant is not supported.
    static std::optional<Program> compile(const Expression& e, const NameResolver& names,
                                          ExprError* error = nullptr);
    // Parse and compile in one step.
    static std::optional<Program> compile(std::string_view text, const NameResolver& names,
                                          ExprError* error = nullptr);

    // The value. A getter that throws makes the value 0.
    Value evaluate() const;
    // The value taken as a condition (non-zero number / non-blank text).
    bool test() const;

    const Expression& expression() const { return expr_; }

private:
    Program(Expression e, std::shared_ptr<const detail::CNode> root)
        : expr_(std::move(e)), root_(std::move(root)) {}
    Expression expr_;
    std::shared_ptr<const detail::CNode> root_;
};

// Parses, compiles and evaluates once (for one-off uses and tests).
std::optional<Value> evaluateOnce(std::string_view text, const NameResolver& names,
                                  ExprError* error = nullptr);

}  // namespace tv::expr
