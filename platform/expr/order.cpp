#include "platform/expr/order.h"

#include <cctype>

namespace tv::expr {

namespace {

struct Fail {
    std::size_t position;
    std::string message;
};

class OrderReader {
public:
    explicit OrderReader(std::string_view s) : s_(s) {}

    std::vector<OrderItem> readAll() {
        std::vector<OrderItem> items;
        skipBlanks();
        if (i_ == s_.size()) return items;
        for (;;) {
            items.push_back(readItem());
            skipBlanks();
            if (i_ == s_.size()) return items;
            if (s_[i_] != ',') throw Fail{i_, "se esperaba ',' entre los campos del orden"};
            ++i_;
        }
    }

private:
    std::string_view s_;
    std::size_t i_ = 0;

    void skipBlanks() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
    }

    // An optional sign; returns whether one was read into `descending`.
    bool readSign(bool& descending) {
        skipBlanks();
        if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) {
            descending = s_[i_] == '-';
            ++i_;
            return true;
        }
        return false;
    }

    std::string readName() {
        skipBlanks();
        std::size_t b = i_;
        if (i_ < s_.size() && (std::isalpha(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_')) {
            while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_' ||
                                      s_[i_] == ':'))
                ++i_;
        }
        if (b == i_) throw Fail{i_, "se esperaba el nombre de un campo"};
        return std::string(s_.substr(b, i_ - b));
    }

    OrderItem readItem() {
        OrderItem item;
        bool signed_ = readSign(item.descending);
        std::string name = readName();
        skipBlanks();
        if (normalizeName(name) == "UPPER" && i_ < s_.size() && s_[i_] == '(') {
            std::size_t open = i_;
            ++i_;
            item.upper = true;
            bool inner = false;
            bool innerSigned = readSign(inner);
            if (innerSigned && signed_) throw Fail{i_ - 1, "el sentido del orden está dos veces"};
            if (innerSigned) item.descending = inner;
            item.name = readName();
            skipBlanks();
            if (i_ >= s_.size() || s_[i_] != ')') throw Fail{open, "falta el ')' de UPPER("};
            ++i_;
        } else {
            item.name = std::move(name);
        }
        return item;
    }
};

}  // namespace

std::optional<std::vector<OrderItem>> parseOrder(std::string_view text, ExprError* error) {
    try {
        return OrderReader(text).readAll();
    } catch (const Fail& f) {
        if (error) *error = ExprError{f.position, f.message};
    }
    return std::nullopt;
}

std::string formatOrder(const std::vector<OrderItem>& items) {
    std::string s;
    for (const auto& it : items) {
        if (!s.empty()) s += ',';
        s += it.descending ? '-' : '+';
        if (it.upper) s += "UPPER(" + it.name + ")";
        else s += it.name;
    }
    return s;
}

}  // namespace tv::expr
