#pragma once
// Finding records in a list: the find window "Buscar:" (vsFind) and the
// search state and keys of one list (BrowseSearch: F3 find, F6 find next,
// F4 filter). The window code shows the controls and walks the view; the
// texts, the expression and every decision come from here.
//
// Column list a list passes to the find window: header|picture|field|...
//   "Código|@n_4|car:Codigo|Descripcion|@s40|car:Descripcion|"
// Expression built for a chosen column and a typed value:
//   MATCH(<field>,'<pattern with quotes doubled>',17)
// 17 = 16 (case ignored) + 1 (wildcards "*" and "?"). A value typed for a
// text column without wildcards is looked for anywhere in the field
// ("*value*"); other values are taken as typed (a number is found by its
// whole value as text).
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv::list {

// Texts of the find window and the list search, as the user sees them.
namespace findtext {
inline constexpr const char* kWindowCaption = "Buscar:";
inline constexpr const char* kColumnPrompt = "&Buscar en la columna:";
inline constexpr const char* kColumnTip = "Columna donde se busca el dato";
inline constexpr const char* kValuePrompt = "&Dato:";
inline constexpr const char* kValueTip = "Buscar este dato";
inline constexpr const char* kValueStatus = "Buscar este dato (se aceptan comodines)";
inline constexpr const char* kValueExamples = "*tornillo*   tornillo   t??rca";
inline constexpr const char* kFindButton = "&Encontrar";
inline constexpr const char* kFindTip = "Encontrar el dato";
inline constexpr const char* kFindNextButton = "&Siguiente";
inline constexpr const char* kFindNextTip = "Encontrar el siguiente dato";
inline constexpr const char* kCancelButton = "Cancelar";
inline constexpr const char* kCancelTip = "Cancelar la búsqueda";
inline constexpr const char* kValuePicture = "s60";
inline constexpr const char* kCriteriaPicture = "s128";
inline constexpr const char* kHint = "F3: Buscar";

inline constexpr const char* kNoCriteria = "No search criteria specified.";
inline constexpr const char* kNoCriteriaCaption = "Error";  // no icon, one OK button
inline constexpr const char* kNoMore = "No se encontraron más coincidencias.";
inline constexpr const char* kNoMoreCaption = "Búsqueda";    // information icon, one OK button
inline constexpr const char* kSelectField = "Select a field first.";
inline constexpr const char* kSelectFieldCaption = "Error";  // no icon
}  // namespace findtext

inline constexpr int kKeyF3 = 0x72;
inline constexpr int kKeyF4 = 0x73;
inline constexpr int kKeyF6 = 0x75;
inline constexpr const char* kFindFilterName = "5 vsFind";

inline constexpr std::size_t kFindPartChars = 32;   // each part of the column list
inline constexpr std::size_t kFindValueChars = 60;  // last column, last value
inline constexpr std::size_t kFindFilterChars = 255;
inline constexpr int kMatchModeFind = 17;

struct FindColumn {
    std::string header;
    std::string picture;  // "@n_4", "@s40", "@d6" ...
    std::string field;    // "car:Codigo", "loc:Importe", "PorRecibir"
    // A picture with the letter s (either case) marks a text column.
    bool isText() const;
    bool isDate() const;
};

// Splits a column list. Each part is cut to 32 characters. A list whose
// parts do not come in threes, or a field that is not a name the expression
// language can read, is refused with *error (Spanish): it could only build
// broken expressions.
std::optional<std::vector<FindColumn>> parseFindColumns(std::string_view list, std::string* error = nullptr);

// The text without trailing blanks, every single quote doubled.
std::string EscapeQuotes(std::string_view text);

// The pattern searched for a typed value in a column.
std::string findPattern(std::string_view value, const FindColumn& column);
// MATCH(field,'pattern',17).
std::string matchExpression(std::string_view field, std::string_view pattern);

// What the calling list keeps between two finds (passed by reference to the
// find window, which writes them back on "&Encontrar" and "&Siguiente").
struct FindCriteria {
    std::string lastColumn;
    std::string lastValue;
    bool findNext = false;
};

// The logic of the find window vsFind, from its set-up to the button that
// closes it.
class VsFindLogic {
public:
    // Set-up: the column list split, the first column chosen, then the
    // caller's last column (when it names one of the headers) and last value.
    VsFindLogic(std::vector<FindColumn> columns, FindCriteria& caller);

    const std::vector<FindColumn>& columns() const { return columns_; }
    // The entries of the column list: the headers joined with "|".
    std::string columnEntries() const;
    int chosen() const { return chosen_; }  // -1: none
    // The picture the value entry takes: the chosen column's ("s60" before).
    std::string valuePicture() const;

    // The column list accepted with entry `index` (-1: none).
    void chooseColumn(int index);
    // The value entry accepted with `typed`.
    void acceptValue(std::string_view typed);
    const std::string& value() const { return value_; }
    const std::string& pattern() const { return pattern_; }
    // The expression as the window shows it (?MATCHCRITERIA).
    const std::string& expression() const { return expression_; }

    struct Outcome {
        bool closes = false;
        std::string expression;  // the find window's result when it closes
        std::string message;     // when it stays open: a message to show
        std::string caption;
    };
    Outcome find();       // "&Encontrar"
    Outcome findNext();   // "&Siguiente"
    Outcome cancel();     // "Cancelar": blank result
    Outcome closeOther(); // closed any other way: the expression as it stands

private:
    void rebuild();
    Outcome accept(bool next);

    std::vector<FindColumn> columns_;
    FindCriteria& caller_;
    int chosen_ = -1;
    std::string value_;
    std::string pattern_;
    std::string expression_;
};

// The search of one list: its state, and the decisions of F3, F6 and F4.
//   F3: plan = search.onKey(kKeyF3)  -> AskThenSearch
//       search.beginAsk(); run vsFind with search.criteria() ...;
//       auto start = search.askAnswered(result, refused);  // F3: Top/AfterSelected/Nothing
//       outcome = search.searchView(readNext, matches);
//   F6: -> Search: start after the selected row, then searchView.
//   F4: -> AskThenFilter: beginAsk, vsFind, filterAnswered(...) -> set the
//       named filter kFindFilterName to filterText(), reopen from the start,
//       reload the page.
class BrowseSearch {
public:
    BrowseSearch() = default;
    explicit BrowseSearch(std::string columnList) : columnList_(std::move(columnList)) {}

    const std::string& columnList() const { return columnList_; }
    FindCriteria& criteria() { return criteria_; }
    const FindCriteria& criteria() const { return criteria_; }
    const std::string& expression() const { return expression_; }
    const std::string& filterText() const { return filter_; }

    enum class Plan { NotMine, AskThenSearch, Search, AskThenFilter };
    static Plan onKey(int key);

    enum class Start {
        Nothing,        // the find window was refused: leave everything as it is
        Top,            // the view from the start of its current order
        AfterSelected   // the selected row's record read, the search starts after it
    };
    // Before vsFind: clears the find-next flag.
    void beginAsk() { criteria_.findNext = false; }
    // F3's answer. `refused`: another thread has the find window open (it
    // comes to the front); the search state is left untouched.
    Start askAnswered(std::string_view expression, bool refused);
    // F6 starts after the selected row with the kept expression.
    static Start startForNext() { return Start::AfterSelected; }

    // F4's answer: true when the filter is to be set (to filterText(), a
    // blank text removing it); false when the window was refused.
    bool filterAnswered(std::string_view expression, bool refused);

    struct Outcome {
        enum class Kind { NoCriteria, Found, NoMore };
        Kind kind = Kind::NoMore;
        std::string message;   // with caption, for NoCriteria and NoMore
        std::string caption;
        long long read = 0;    // records read
    };
    // Walks the view: readNext() reads the next record into the buffers (and
    // builds its list line), false at the end or on an error; matches()
    // evaluates the expression on it. On NoCriteria the list shows the
    // primary table's current record; on Found the record read last; on
    // NoMore it stays where it was.
    Outcome searchView(const std::function<bool()>& readNext, const std::function<bool()>& matches) const;

private:
    std::string columnList_;
    FindCriteria criteria_;
    std::string expression_;
    std::string filter_;
};

}  // namespace tv::list
