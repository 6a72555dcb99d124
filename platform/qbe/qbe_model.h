#pragma once
// Query by example: the columns a list offers, the conditions a user states
// on them, and the filter text in the expression language that the list then
// applies. Plain logic, no windows.
//
// Each condition is one column, an operator and the value as typed. Texts go
// into the filter quoted ('' for a quote, so nothing typed can end the text
// early); numbers are read through the column's picture and dates as
// dd/mm/yyyy (day numbers in the filter). Conditions are joined with " AND ".
// A text column that ignores case is compared through UPPER( with the value
// folded the same way; "Contenga" and "Comience" become MATCH patterns. A
// "*" or "?" typed by the user is looked for as such, never as a wildcard.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv::qbe {

enum class FieldType { Text, Number, Date };

// A column of the list as the query window offers it.
struct Field {
    std::string name;      // the name in expressions: "ART:NoArt"
    std::string label;     // the column heading: "No Art"
    std::string picture;   // the column's picture: "@n_10", "@s70", "@d6"
    FieldType type = FieldType::Text;
    bool ignoreCase = true;  // texts: compared without regard to letter case
};

enum class Operator { Equal, NotEqual, Greater, GreaterEqual, Less, LessEqual, Contains, BeginsWith };

// The operator's caption in the window: "=", "No Igual", ">", ">=", "<",
// "<=", "Contenga", "Comience".
std::string operatorCaption(Operator op);
std::optional<Operator> operatorFromCaption(std::string_view caption);
// The stable code a saved query keeps: "EQ", "NE", "GT", "GE", "LT", "LE",
// "CONTAINS", "BEGINS".
std::string operatorCode(Operator op);
std::optional<Operator> operatorFromCode(std::string_view code);
// The operators a column of this type offers, in the window's order.
std::vector<Operator> operatorsFor(FieldType type);
// What a column's line starts with: "Contenga" for texts, "=" otherwise.
Operator defaultOperator(FieldType type);

struct Condition {
    std::string field;   // Field::name
    Operator op = Operator::Equal;
    std::string value;   // as typed
    bool operator==(const Condition&) const = default;
};

using Query = std::vector<Condition>;

// Whether a condition takes part: a number or date needs something besides
// blanks; a text anything at all ("=" with blanks asks for a blank column).
// "Contenga"/"Comience" with nothing but blanks would match every row and are
// left out too.
bool isActive(const Field& field, const Condition& c);

struct FilterResult {
    std::string filter;      // "" when no condition takes part: no filter
    int badCondition = -1;   // index into the query of the condition refused
    std::string error;       // Spanish, for the user: names the column
    bool ok() const { return error.empty(); }
};

// The filter text for the query. Conditions on a column the list does not
// offer, an operator the column's type does not take, or a value that is not
// a number or date are refused with a message naming the column.
FilterResult buildFilter(const std::vector<Field>& fields, const Query& query);

// One condition on its own (used by buildFilter); nullopt with *error set
// when it is refused, "" when it does not take part.
std::optional<std::string> conditionText(const Field& field, const Condition& c, std::string* error);

// A text as a literal of the expression language: 'O''Brien'.
std::string quoteText(std::string_view text);

// The query as one line of text for the settings file, and back. Any value
// survives (quotes, '=', ';', '|', '%', accents, edge blanks; line breaks
// too). Pieces that cannot be read back (an unknown operator code, a broken
// entry) are dropped rather than guessed.
std::string encodeQuery(const Query& q);
Query decodeQuery(std::string_view text);

const Field* findField(const std::vector<Field>& fields, std::string_view name);

}  // namespace tv::qbe
