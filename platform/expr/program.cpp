#include "platform/expr/program.h"

#include <algorithm>

#include "platform/expr/value_ops.h"
#include "platform/types/text.h"

namespace tv::expr {

// ---------------------------------------------------------------- bindings

Binding Binding::field(const Record& record, int index) {
    Binding b;
    b.kind_ = Kind::Field;
    b.record_ = &record;
    b.index_ = index;
    return b;
}

Binding Binding::number(const Decimal& variable) {
    Binding b;
    b.kind_ = Kind::Number;
    b.number_ = &variable;
    return b;
}

Binding Binding::text(const std::string& variable) {
    Binding b;
    b.kind_ = Kind::Text;
    b.text_ = &variable;
    return b;
}

Binding Binding::getter(std::function<Value()> fn) {
    Binding b;
    b.kind_ = Kind::Getter;
    b.getter_ = std::move(fn);
    return b;
}

Binding Binding::constant(Value v) {
    Binding b;
    b.kind_ = Kind::Constant;
    b.constant_ = std::move(v);
    return b;
}

bool Binding::isTextField() const {
    if (kind_ != Kind::Field) return false;
    FieldType t = record_->layout().field(index_).type;
    return t == FieldType::String || t == FieldType::Memo;
}

Value Binding::get() const {
    switch (kind_) {
        case Kind::Field:
            return isTextField() ? Value(record_->text(index_)) : Value(record_->number(index_));
        case Kind::Number: return Value(*number_);
        case Kind::Text: return Value(*text_);
        case Kind::Getter: return getter_ ? getter_() : Value();
        case Kind::Constant: return constant_;
    }
    return Value();
}

void NameTable::bind(std::string_view name, Binding b) {
    names_.insert_or_assign(normalizeName(name), std::move(b));
}

void NameTable::bindRecord(const Record& record) {
    const RecordLayout& layout = record.layout();
    for (int i = 0; i < layout.fieldCount(); ++i) bind(layout.field(i).name, Binding::field(record, i));
}

void NameTable::unbind(std::string_view name) {
    auto it = names_.find(normalizeName(name));
    if (it != names_.end()) names_.erase(it);
}

bool NameTable::contains(std::string_view name) const {
    return names_.find(normalizeName(name)) != names_.end();
}

std::optional<Binding> NameTable::resolve(std::string_view name) const {
    auto it = names_.find(normalizeName(name));
    if (it != names_.end()) return it->second;
    if (fallback_) return fallback_->resolve(name);
    return std::nullopt;
}

// ---------------------------------------------------------------- evaluation

namespace detail {

// One intermediate value. Texts of fields, variables and literals are
// borrowed, not copied, so a typical filter allocates nothing per record.
struct Tmp {
    bool isText = false;
    Decimal num;
    const std::string* ext = nullptr;
    std::string own;

    std::string_view text() const { return ext ? std::string_view(*ext) : std::string_view(own); }
    void setNum(const Decimal& d) {
        isText = false;
        num = d;
    }
    void setRef(const std::string& s) {
        isText = true;
        ext = &s;
    }
    void setOwn(std::string s) {
        isText = true;
        ext = nullptr;
        own = std::move(s);
    }
    void setValue(Value v) {
        if (const std::string* t = v.textPtr()) setOwn(*t);
        else setNum(*v.numberPtr());
    }
    Decimal asNumber() const { return isText ? Decimal::leadingNumber(text()) : num; }
    std::string asString() const { return isText ? std::string(text()) : Value(num).asText(); }
    bool truthy() const {
        if (!isText) return !num.isZero();
        return !rtrim(text()).empty();
    }
    Value toValue() const { return isText ? Value(std::string(text())) : Value(num); }
};

int compareTmp(const Tmp& a, const Tmp& b) {
    if (!a.isText && !b.isText) {
        auto c = a.num <=> b.num;
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (a.isText && b.isText) {
        int c = compareText(a.text(), b.text());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (b.isText) return compareNumberWithText(a.num, b.text());
    return -compareNumberWithText(b.num, a.text());
}

class CNode {
public:
    virtual ~CNode() = default;
    virtual void eval(Tmp& out) const = 0;
    virtual bool test() const {
        Tmp t;
        eval(t);
        return t.truthy();
    }
};

using NodePtr = std::unique_ptr<CNode>;

namespace {

class ConstNum : public CNode {
public:
    explicit ConstNum(Decimal d) : d_(d) {}
    void eval(Tmp& out) const override { out.setNum(d_); }
    bool test() const override { return !d_.isZero(); }
    const Decimal& value() const { return d_; }

private:
    Decimal d_;
};

class ConstText : public CNode {
public:
    explicit ConstText(std::string s) : s_(std::move(s)) {}
    void eval(Tmp& out) const override { out.setRef(s_); }
    const std::string& value() const { return s_; }

private:
    std::string s_;
};

class FieldText : public CNode {
public:
    FieldText(const Record* r, int i) : r_(r), i_(i) {}
    void eval(Tmp& out) const override { out.setRef(r_->text(i_)); }

private:
    const Record* r_;
    int i_;
};

class FieldNum : public CNode {
public:
    FieldNum(const Record* r, int i) : r_(r), i_(i) {}
    void eval(Tmp& out) const override { out.setNum(r_->number(i_)); }

private:
    const Record* r_;
    int i_;
};

class VarNum : public CNode {
public:
    explicit VarNum(const Decimal* d) : d_(d) {}
    void eval(Tmp& out) const override { out.setNum(*d_); }

private:
    const Decimal* d_;
};

class VarText : public CNode {
public:
    explicit VarText(const std::string* s) : s_(s) {}
    void eval(Tmp& out) const override { out.setRef(*s_); }

private:
    const std::string* s_;
};

class GetterNode : public CNode {
public:
    explicit GetterNode(std::function<Value()> fn) : fn_(std::move(fn)) {}
    void eval(Tmp& out) const override { out.setValue(fn_ ? fn_() : Value()); }

private:
    std::function<Value()> fn_;
};

class ConstValue : public CNode {
public:
    explicit ConstValue(Value v) : v_(std::move(v)) {}
    void eval(Tmp& out) const override {
        if (const std::string* t = v_.textPtr()) out.setRef(*t);
        else out.setNum(*v_.numberPtr());
    }

private:
    Value v_;
};

class Negate : public CNode {
public:
    explicit Negate(NodePtr a) : a_(std::move(a)) {}
    void eval(Tmp& out) const override {
        a_->eval(out);
        out.setNum(-out.asNumber());
    }

private:
    NodePtr a_;
};

class NotNode : public CNode {
public:
    explicit NotNode(NodePtr a) : a_(std::move(a)) {}
    void eval(Tmp& out) const override { out.setNum(test() ? 1 : 0); }
    bool test() const override { return !a_->test(); }

private:
    NodePtr a_;
};

class Logic : public CNode {
public:
    Logic(bool isAnd, NodePtr a, NodePtr b) : and_(isAnd), a_(std::move(a)), b_(std::move(b)) {}
    void eval(Tmp& out) const override { out.setNum(test() ? 1 : 0); }
    bool test() const override {
        if (and_) return a_->test() && b_->test();
        return a_->test() || b_->test();
    }

private:
    bool and_;
    NodePtr a_, b_;
};

class Arith : public CNode {
public:
    Arith(Op op, NodePtr a, NodePtr b) : op_(op), a_(std::move(a)), b_(std::move(b)) {}
    void eval(Tmp& out) const override {
        Tmp r;
        a_->eval(out);
        b_->eval(r);
        Decimal x = out.asNumber(), y = r.asNumber();
        switch (op_) {
            case Op::Add: out.setNum(x + y); break;
            case Op::Sub: out.setNum(x - y); break;
            case Op::Mul: out.setNum(x * y); break;
            case Op::Div: out.setNum(x / y); break;
            case Op::Mod: {
                if (y.isZero()) {
                    out.setNum(Decimal());
                } else {
                    Decimal q = (x / y).truncated(0);
                    out.setNum(x - y * q);
                }
                break;
            }
            default: out.setNum(Decimal()); break;
        }
    }

private:
    Op op_;
    NodePtr a_, b_;
};

class ConcatNode : public CNode {
public:
    ConcatNode(NodePtr a, NodePtr b) : a_(std::move(a)), b_(std::move(b)) {}
    void eval(Tmp& out) const override {
        Tmp l, r;
        a_->eval(l);
        b_->eval(r);
        std::string s = l.asString();
        s += r.asString();
        out.setOwn(std::move(s));
    }

private:
    NodePtr a_, b_;
};

class Compare : public CNode {
public:
    Compare(Op op, NodePtr a, NodePtr b) : op_(op), a_(std::move(a)), b_(std::move(b)) {}
    void eval(Tmp& out) const override { out.setNum(test() ? 1 : 0); }
    bool test() const override {
        Tmp l, r;
        a_->eval(l);
        b_->eval(r);
        return holds(op_, compareTmp(l, r));
    }

private:
    Op op_;
    NodePtr a_, b_;
};

// MATCH with a constant pattern and mode: the pattern is prepared once.
class MatchConst : public CNode {
public:
    MatchConst(NodePtr v, std::string_view pattern, int mode) : v_(std::move(v)), m_(pattern, mode) {}
    void eval(Tmp& out) const override { out.setNum(test() ? 1 : 0); }
    bool test() const override {
        Tmp t;
        v_->eval(t);
        if (t.isText) return m_.matches(t.text());
        return m_.matches(std::string_view(Value(t.num).asText()));
    }

private:
    NodePtr v_;
    Matcher m_;
};

class MatchDyn : public CNode {
public:
    MatchDyn(NodePtr v, NodePtr p, NodePtr mode) : v_(std::move(v)), p_(std::move(p)), mode_(std::move(mode)) {}
    void eval(Tmp& out) const override { out.setNum(test() ? 1 : 0); }
    bool test() const override {
        Tmp v, p;
        v_->eval(v);
        p_->eval(p);
        long long mode = kMatchWild;
        if (mode_) {
            Tmp m;
            mode_->eval(m);
            mode = m.asNumber().toInt64();
        }
        return matchValue(v.toValue(), p.asString(), mode);
    }

private:
    NodePtr v_, p_, mode_;
};

// Functions of one or more arguments computed on their values.
class Func : public CNode {
public:
    Func(std::string name, std::vector<NodePtr> args) : name_(std::move(name)), args_(std::move(args)) {
        if (name_ == "UPPER") f_ = F::Upper;
        else if (name_ == "LOWER") f_ = F::Lower;
        else if (name_ == "CLIP") f_ = F::Clip;
        else if (name_ == "LEN") f_ = F::Len;
        else if (name_ == "SUB") f_ = F::Sub;
        else if (name_ == "INSTRING") f_ = F::Instring;
        else if (name_ == "ABS") f_ = F::Abs;
        else f_ = F::Int;
    }

    void eval(Tmp& out) const override {
        switch (f_) {
            case F::Upper:
            case F::Lower:
            case F::Clip: {
                args_[0]->eval(out);
                std::string s = out.asString();
                if (f_ == F::Upper) s = toUpper(s);
                else if (f_ == F::Lower) s = toLower(s);
                else s = std::string(rtrim(s));
                out.setOwn(std::move(s));
                return;
            }
            case F::Len: {
                args_[0]->eval(out);
                std::string s = out.asString();
                out.setNum(Decimal(static_cast<long long>(charCount(s))));
                return;
            }
            case F::Abs:
                args_[0]->eval(out);
                out.setNum(out.asNumber().abs());
                return;
            case F::Int:
                args_[0]->eval(out);
                out.setNum(out.asNumber().truncated(0));
                return;
            case F::Sub: subString(out); return;
            case F::Instring: inString(out); return;
        }
    }

private:
    enum class F { Upper, Lower, Clip, Len, Sub, Instring, Abs, Int };

    long long numArg(size_t i, long long dflt) const {
        if (i >= args_.size()) return dflt;
        Tmp t;
        args_[i]->eval(t);
        return t.asNumber().toInt64();
    }

    // Byte offsets of each character start, plus the end.
    static std::vector<size_t> charStarts(std::string_view s) {
        std::vector<size_t> starts;
        for (size_t i = 0; i < s.size(); ++i)
            if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
        starts.push_back(s.size());
        return starts;
    }

    void subString(Tmp& out) const {
        Tmp t;
        args_[0]->eval(t);
        std::string s = t.asString();
        auto starts = charStarts(s);
        const long long n = static_cast<long long>(starts.size()) - 1;
        // Characters start .. start+len-1, within 1 .. n; worked out in 128
        // bits because the arguments may be any number at all.
        const __int128 start = numArg(1, 1);
        const __int128 last = start + numArg(2, n) - 1;
        const long long from = static_cast<long long>(std::max<__int128>(start, 1));
        const long long to = static_cast<long long>(std::clamp<__int128>(last, 0, n));
        if (from > to) {
            out.setOwn(std::string());
            return;
        }
        out.setOwn(s.substr(starts[static_cast<size_t>(from - 1)],
                            starts[static_cast<size_t>(to)] - starts[static_cast<size_t>(from - 1)]));
    }

    void inString(Tmp& out) const {
        Tmp a, b;
        args_[0]->eval(a);
        args_[1]->eval(b);
        std::vector<char32_t> sub, str;
        decodeUtf8(a.asString(), false, sub);
        decodeUtf8(b.asString(), false, str);
        const long long limit = static_cast<long long>(str.size()) + 1;
        long long step = std::clamp(numArg(2, 1), 1LL, limit);
        long long start = std::clamp(numArg(3, 1), 1LL, limit);
        long long found = 0;
        if (!sub.empty() && sub.size() <= str.size()) {
            for (long long pos = start; pos + static_cast<long long>(sub.size()) - 1 <=
                                        static_cast<long long>(str.size());
                 pos += step) {
                if (std::equal(sub.begin(), sub.end(), str.begin() + (pos - 1))) {
                    // Counted in steps from the first character (with step 1:
                    // the character position).
                    found = (pos - 1) / step + 1;
                    break;
                }
            }
        }
        out.setNum(Decimal(found));
    }

    std::string name_;
    std::vector<NodePtr> args_;
    F f_;
};

struct CompileFail {
    std::size_t position;
    std::string message;
};

NodePtr build(const Node& n, const NameResolver& names) {
    switch (n.kind) {
        case Node::Kind::Number: return std::make_unique<ConstNum>(n.number);
        case Node::Kind::Text: return std::make_unique<ConstText>(n.text);
        case Node::Kind::Name: {
            std::optional<Binding> b = names.resolve(n.text);
            if (!b) throw CompileFail{n.position, "nombre desconocido: " + n.text};
            switch (b->kind()) {
                case Binding::Kind::Field:
                    if (b->isTextField()) return std::make_unique<FieldText>(b->record(), b->index());
                    return std::make_unique<FieldNum>(b->record(), b->index());
                case Binding::Kind::Number: return std::make_unique<VarNum>(b->numberVar());
                case Binding::Kind::Text: return std::make_unique<VarText>(b->textVar());
                case Binding::Kind::Getter: return std::make_unique<GetterNode>(b->getterFn());
                case Binding::Kind::Constant: return std::make_unique<ConstValue>(b->constantValue());
            }
            throw CompileFail{n.position, "nombre desconocido: " + n.text};
        }
        case Node::Kind::Unary: {
            NodePtr a = build(*n.args[0], names);
            if (n.op == Op::Neg) return std::make_unique<Negate>(std::move(a));
            return std::make_unique<NotNode>(std::move(a));
        }
        case Node::Kind::Binary: {
            NodePtr a = build(*n.args[0], names);
            NodePtr b = build(*n.args[1], names);
            switch (n.op) {
                case Op::And: return std::make_unique<Logic>(true, std::move(a), std::move(b));
                case Op::Or: return std::make_unique<Logic>(false, std::move(a), std::move(b));
                case Op::Concat: return std::make_unique<ConcatNode>(std::move(a), std::move(b));
                case Op::Eq: case Op::Ne: case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge:
                    return std::make_unique<Compare>(n.op, std::move(a), std::move(b));
                default: return std::make_unique<Arith>(n.op, std::move(a), std::move(b));
            }
        }
        case Node::Kind::Call: {
            if (n.text == "MATCH") {
                const Node* pat = n.args[1].get();
                const Node* mode = n.args.size() > 2 ? n.args[2].get() : nullptr;
                if (mode && mode->kind == Node::Kind::Number &&
                    !matchModeSupported(mode->number.toInt64()))
                    throw CompileFail{mode->position, "modo de MATCH no soportado: " + mode->number.toText()};
                bool modeConst = !mode || mode->kind == Node::Kind::Number;
                if (pat->kind == Node::Kind::Text && modeConst) {
                    int m = mode ? static_cast<int>(mode->number.toInt64()) : kMatchWild;
                    return std::make_unique<MatchConst>(build(*n.args[0], names), pat->text, m);
                }
                return std::make_unique<MatchDyn>(build(*n.args[0], names), build(*pat, names),
                                                  mode ? build(*mode, names) : nullptr);
            }
            std::vector<NodePtr> args;
            for (const auto& a : n.args) args.push_back(build(*a, names));
            return std::make_unique<Func>(n.text, std::move(args));
        }
    }
    throw CompileFail{n.position, "expresión no válida"};
}

}  // namespace
}  // namespace detail

std::optional<Program> Program::compile(const Expression& e, const NameResolver& names, ExprError* error) {
    try {
        std::shared_ptr<const detail::CNode> root = detail::build(e.root(), names);
        return Program(e, std::move(root));
    } catch (const detail::CompileFail& f) {
        if (error) *error = ExprError{f.position, f.message};
    } catch (const std::exception& ex) {
        if (error) *error = ExprError{0, std::string("expresión no válida: ") + ex.what()};
    }
    return std::nullopt;
}

std::optional<Program> Program::compile(std::string_view text, const NameResolver& names, ExprError* error) {
    std::optional<Expression> e = parseExpression(text, error);
    if (!e) return std::nullopt;
    return compile(*e, names, error);
}

Value Program::evaluate() const {
    try {
        detail::Tmp t;
        root_->eval(t);
        return t.toValue();
    } catch (const std::exception&) {
        return Value();
    }
}

bool Program::test() const {
    try {
        return root_->test();
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<Value> evaluateOnce(std::string_view text, const NameResolver& names, ExprError* error) {
    std::optional<Program> p = Program::compile(text, names, error);
    if (!p) return std::nullopt;
    return p->evaluate();
}

}  // namespace tv::expr
