#pragma once
// Member paths as the spreadsheet component sends them: members separated
// by ".", arguments in parentheses separated by ",", texts in double quotes
// (a double quote inside a text written twice), numbers as plain decimal
// text, an omitted argument left empty:
//     Range("A5").Select
//     Application.ActiveWorkbook.SaveAs("C:\libro.xlsx",51,,1,,0,1)
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv::automation {

struct PathArgument {
    enum class Kind { Omitted, Text, Number, Name };
    Kind kind = Kind::Omitted;
    std::string text;     // Text and Name: the text (quotes removed); Number: as written
    double number = 0;    // Number
};

struct PathMember {
    std::string name;
    bool parentheses = false;
    std::vector<PathArgument> arguments;
};

// nullopt, with *error, for a path that does not read as members.
std::optional<std::vector<PathMember>> ParseMemberPath(std::string_view path, std::string* error = nullptr);

// A number written plainly: optional blanks and sign, digits with an
// optional decimal point, an optional exponent ("12", "-3.5", "1e3"); no
// hexadecimal, infinity or thousands separators.
std::optional<double> PlainNumber(std::string_view text);

// A text argument as it goes into a path: in double quotes, a double quote
// inside it written twice, so no text can end the argument early.
std::string QuoteArgument(std::string_view text);

}  // namespace tv::automation
