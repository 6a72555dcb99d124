#include "export/automation/file_text.h"

#include <cctype>
#include <cstdint>

namespace tv::automation {

namespace {

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Whether an escape of the file's form, "_xHHHH_", starts at `i`.
bool escapeAt(std::string_view s, size_t i) {
    return i + 7 <= s.size() && s[i] == '_' && s[i + 1] == 'x' && isHex(s[i + 2]) && isHex(s[i + 3]) &&
           isHex(s[i + 4]) && isHex(s[i + 5]) && s[i + 6] == '_';
}

bool isControl(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

}  // namespace

std::string ReadableText(std::string_view s, bool controls, bool* replaced) {
    std::string out;
    out.reserve(s.size());
    bool any = false;
    auto bad = [&] {
        out += kReplacementCharacter;
        any = true;
    };
    const size_t n = s.size();
    size_t i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if (c == 0 || (controls && isControl(c))) bad();
            else out += static_cast<char>(c);
            ++i;
            continue;
        }
        // The bytes that may follow the lead byte (Unicode's table of
        // well-formed sequences: no overlong forms, no surrogates, nothing
        // above U+10FFFF).
        int follow = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            bad();
            ++i;
            continue;
        }
        uint32_t cp = c & (0x3F >> follow);
        size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < follow; ++k, ++j) {
            if (j >= n) {
                ok = false;
                break;
            }
            const auto d = static_cast<unsigned char>(s[j]);
            if (d < lo || d > hi) {
                ok = false;
                break;
            }
            lo = 0x80;
            hi = 0xBF;
            cp = (cp << 6) | (d & 0x3F);
        }
        // A broken sequence is one bad part; the byte that broke it is
        // read again as the start of what follows.
        if (!ok || cp == 0xFFFE || cp == 0xFFFF) bad();
        else out.append(s.substr(i, j - i));
        i = j;
    }
    if (replaced != nullptr) *replaced = any;
    return out;
}

std::string CellFileText(std::string_view text) {
    const std::string readable = ReadableText(text);
    std::string out;
    out.reserve(readable.size());
    // Every underscore that starts an escape is escaped itself, also where
    // it closes the escape before ("_x005F_x000D_" has two).
    for (size_t i = 0; i < readable.size(); ++i) {
        if (escapeAt(readable, i)) out += "_x005F";
        out += readable[i];
    }
    return out;
}

bool CellTextNeedsEscapes(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (isControl(static_cast<unsigned char>(text[i])) || escapeAt(text, i)) return true;
    return false;
}

}  // namespace tv::automation
