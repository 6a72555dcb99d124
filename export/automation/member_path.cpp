#include "export/automation/member_path.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace tv::automation {

namespace {

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

void skipBlanks(std::string_view s, size_t& i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
}

}  // namespace

std::optional<std::vector<PathMember>> ParseMemberPath(std::string_view s, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<std::vector<PathMember>> {
        if (error != nullptr) *error = "La orden \"" + std::string(s) + "\" no se entiende: " + why + ".";
        return std::nullopt;
    };
    std::vector<PathMember> out;
    size_t i = 0;
    for (;;) {
        skipBlanks(s, i);
        PathMember m;
        const size_t start = i;
        while (i < s.size() && isNameChar(s[i])) ++i;
        if (i == start) return fail(out.empty() ? "falta el nombre del primer miembro" : "falta un miembro tras el punto");
        m.name = std::string(s.substr(start, i - start));
        skipBlanks(s, i);
        if (i < s.size() && s[i] == '(') {
            m.parentheses = true;
            ++i;
            for (;;) {
                skipBlanks(s, i);
                PathArgument a;
                if (i < s.size() && s[i] == '"') {
                    a.kind = PathArgument::Kind::Text;
                    ++i;
                    for (;;) {
                        if (i >= s.size()) return fail("falta la comilla que cierra un texto");
                        if (s[i] == '"') {
                            if (i + 1 < s.size() && s[i + 1] == '"') {
                                a.text += '"';
                                i += 2;
                                continue;
                            }
                            ++i;
                            break;
                        }
                        a.text += s[i++];
                    }
                    skipBlanks(s, i);
                } else {
                    const size_t b = i;
                    while (i < s.size() && s[i] != ',' && s[i] != ')') ++i;
                    std::string_view t = s.substr(b, i - b);
                    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
                    if (t.empty()) {
                        a.kind = PathArgument::Kind::Omitted;
                    } else if (std::optional<double> d = PlainNumber(t)) {
                        a.kind = PathArgument::Kind::Number;
                        a.number = *d;
                        a.text = std::string(t);
                    } else {
                        for (char c : t)
                            if (!isNameChar(c)) return fail("el argumento \"" + std::string(t) + "\" no es válido");
                        a.kind = PathArgument::Kind::Name;
                        a.text = std::string(t);
                    }
                }
                m.arguments.push_back(std::move(a));
                if (i >= s.size()) return fail("falta el paréntesis que cierra");
                if (s[i] == ',') {
                    ++i;
                    continue;
                }
                if (s[i] == ')') {
                    ++i;
                    break;
                }
                return fail("sobra texto en los argumentos");
            }
            if (m.arguments.size() == 1 && m.arguments.front().kind == PathArgument::Kind::Omitted)
                m.arguments.clear();  // "Add()" has no argument
            skipBlanks(s, i);
        }
        out.push_back(std::move(m));
        if (i >= s.size()) break;
        if (s[i] != '.') return fail("sobra texto tras \"" + out.back().name + "\"");
        ++i;
    }
    return out;
}

std::optional<double> PlainNumber(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    auto digit = [&](size_t i) { return i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) != 0; };
    size_t i = 0, digits = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    while (digit(i)) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (digit(i)) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (!digit(i)) return std::nullopt;
        while (digit(i)) ++i;
    }
    if (i != t.size()) return std::nullopt;
    const double d = std::strtod(std::string(t).c_str(), nullptr);
    if (!std::isfinite(d)) return std::nullopt;
    return d;
}

std::string QuoteArgument(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

}  // namespace tv::automation
