#pragma once
// Texts as an .xlsx file can hold them. The file is XML in UTF-8: one byte
// that is not UTF-8 (a text another program stored, an outside edit of the
// database), a NUL or a character XML has no place for would make the
// whole workbook unreadable. Such bytes are written as U+FFFD instead.
#include <string>
#include <string_view>

namespace tv::automation {

// U+FFFD, the character that stands for what could not be read.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// The text with every byte sequence that is not UTF-8 (each maximal bad
// part, overlong forms and surrogates included), every NUL and U+FFFE and
// U+FFFF replaced by U+FFFD; with `controls`, also the control characters
// other than tab, line feed and carriage return (for the places of the
// file where they cannot be escaped). *replaced tells whether anything was.
std::string ReadableText(std::string_view text, bool controls = false, bool* replaced = nullptr);

// A cell's text as the file holds it: readable (above), and with the
// underscore of every "_xHHHH_" it contains escaped as "_x005F_", because
// readers take such a sequence for an escaped character ("_x000D_" would
// come back as a carriage return).
std::string CellFileText(std::string_view text);

// Whether a cell's text holds something a reader has to unescape: a
// "_xHHHH_" or a control character (written as "_xHHHH_").
bool CellTextNeedsEscapes(std::string_view text);

}  // namespace tv::automation
