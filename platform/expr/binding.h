#pragma once
// Names of an expression are bound once, when it is compiled: the resolver
// answers, per name, where its value lives (a field of a record buffer, a
// working variable, a computed getter). Evaluation then reads those places
// directly, with no look-up per record.
//
// Lifetime: a binding keeps a pointer to the record or variable it reads; the
// owner keeps them alive (and at the same address) as long as any program
// compiled with the binding is evaluated. Record buffers and procedure
// variables satisfy this naturally.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/types/decimal.h"
#include "platform/types/record.h"

namespace tv::expr {

class Binding {
public:
    enum class Kind { Field, Number, Text, Getter, Constant };

    // A field of a record buffer: texts (STRING, MEMO) are read in place,
    // numbers (DECIMAL, LONG, SHORT, BYTE, DATE) as their value.
    static Binding field(const Record& record, int index);
    // A working variable read at each evaluation ("loc:importe", "PorRecibir").
    static Binding number(const Decimal& variable);
    static Binding text(const std::string& variable);
    // Anything else (a memo kept elsewhere, a value worked out on demand).
    static Binding getter(std::function<Value()> fn);
    static Binding constant(Value v);

    Kind kind() const { return kind_; }
    const Record* record() const { return record_; }
    int index() const { return index_; }
    bool isTextField() const;  // Field of a text type
    const Decimal* numberVar() const { return number_; }
    const std::string* textVar() const { return text_; }
    const std::function<Value()>& getterFn() const { return getter_; }
    const Value& constantValue() const { return constant_; }

    // The current value (for callers outside the evaluator, and tests).
    Value get() const;

private:
    Kind kind_ = Kind::Constant;
    const Record* record_ = nullptr;
    int index_ = -1;
    const Decimal* number_ = nullptr;
    const std::string* text_ = nullptr;
    std::function<Value()> getter_;
    Value constant_;
};

class NameResolver {
public:
    virtual ~NameResolver() = default;
    // Where the name's value lives; nullopt for an unknown name (the
    // expression then fails to compile). `name` is as written in the
    // expression, in any letter case.
    virtual std::optional<Binding> resolve(std::string_view name) const = 0;
};

// A plain table of names, matched without regard to letter case, with an
// optional fallback consulted for names it does not hold (for example the
// view's own fields first, then every open table of the thread).
class NameTable : public NameResolver {
public:
    void bind(std::string_view name, Binding b);
    // Every field of the record under its own name ("ART:NoArt").
    void bindRecord(const Record& record);
    void unbind(std::string_view name);
    bool contains(std::string_view name) const;
    void setFallback(const NameResolver* fallback) { fallback_ = fallback; }

    std::optional<Binding> resolve(std::string_view name) const override;

private:
    std::map<std::string, Binding, std::less<>> names_;  // upper-case name
    const NameResolver* fallback_ = nullptr;
};

}  // namespace tv::expr
