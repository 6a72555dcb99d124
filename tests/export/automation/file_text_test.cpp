// Texts made fit for the file: bytes that are not UTF-8 become U+FFFD,
// and a cell's "_xHHHH_" survives a reader that unescapes.
#include "export/automation/file_text.h"

#include <string>

#include <gtest/gtest.h>

namespace tv::automation {
namespace {

const std::string R(kReplacementCharacter);

TEST(FileText, EachBadPartBecomesOneReplacementCharacter) {
    const struct {
        std::string in;
        std::string out;
        const char* why;
    } cases[] = {
        {"Cañón € 𝄞", "Cañón € 𝄞", "good UTF-8 stays"},
        {"a\xFF" "b", "a" + R + "b", "a byte that starts nothing"},
        {"x\xC3", "x" + R, "cut at the end"},
        {"\xC3(", R + "(", "the byte that broke a sequence is read again"},
        {"\xE2\x82z", R + "z", "a cut sequence is one bad part"},
        {"\xC0\xAF", R + R, "an overlong form"},
        {"\xED\xA0\x80", R + R + R, "a surrogate"},
        {"\xF4\x90\x80\x80", R + R + R + R, "above U+10FFFF"},
        {"\xEF\xBF\xBE|\xEF\xBF\xBF", R + "|" + R, "U+FFFE and U+FFFF have no place in XML"},
        {std::string("a\0b", 3), "a" + R + "b", "a NUL"},
        {"a\x01\tb\n\r", "a\x01\tb\n\r", "control characters stay in a cell (escaped there)"},
    };
    for (const auto& c : cases) {
        bool replaced = true;
        EXPECT_EQ(ReadableText(c.in, false, &replaced), c.out) << c.why;
        EXPECT_EQ(replaced, c.in != c.out) << c.why;
    }
    EXPECT_EQ(ReadableText("a\x01\x1F\tb\n\r", true), "a" + R + R + "\tb\n\r") << "elsewhere they are replaced";
}

// The file's escapes read as a reader that follows the format does: left
// to right, each "_xHHHH_" is one character.
std::string decode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        if (s.compare(i, 2, "_x") == 0 && i + 7 <= s.size() && s[i + 6] == '_') {
            const std::string hex = s.substr(i + 2, 4);
            if (hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
                const unsigned long cp = std::stoul(hex, nullptr, 16);
                if (cp < 0x80) out += static_cast<char>(cp);
                else out += "?";  // not needed by these cases
                i += 7;
                continue;
            }
        }
        out += s[i++];
    }
    return out;
}

TEST(FileText, ACellsTextReadsBackAsTyped) {
    for (const std::string typed : {"_x000D_", "a_x000d_b", "_x005F_x000D_", "_x000D_x000A_", "__x0041__",
                                    "x_x_x0041_", "_x12G4_ sin escape", "Martillo _ x _x"}) {
        EXPECT_EQ(decode(CellFileText(typed)), typed) << CellFileText(typed);
        EXPECT_EQ(CellTextNeedsEscapes(typed), CellFileText(typed) != typed) << typed;
    }
    EXPECT_EQ(CellFileText("_x000D_"), "_x005F_x000D_");
    EXPECT_TRUE(CellTextNeedsEscapes("a\x01")) << "written as _x0001_";
    EXPECT_FALSE(CellTextNeedsEscapes("línea\ncon\ttab"));
}

}  // namespace
}  // namespace tv::automation
