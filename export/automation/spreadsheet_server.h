#pragma once
// The spreadsheet application the component drives: workbooks held in
// memory and saved as .xlsx files. It answers the member paths of the
// spreadsheet's automation interface (Workbooks.Add, Range("A5").Select,
// ActiveCell.Value, Selection.Font.Bold, ActiveChart.ChartType, ...): a read
// evaluates a path and runs the method it ends in; a write assigns a value
// to the property it ends in. Every path that cannot be done says why.
//
// What only a spreadsheet program running on the desktop could do (running
// a macro, window state, screen updating, the system clipboard, printing,
// opening an existing file) is refused with a message: nothing here touches
// the desktop or the user's clipboard.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/automation/status.h"
#include "export/automation/workbook.h"

namespace tv::automation {

// A value written to a property. A text written to Value is a text cell as
// it stands; written to FormulaR1C1 or Formula it is read as an entry typed
// into the cell (a number, a formula when it begins with "=", text
// otherwise; a leading apostrophe keeps it text).
struct Variant {
    enum class Kind { Text, Number };
    Kind kind = Kind::Text;
    std::string text;
    double number = 0;

    Variant() = default;
    Variant(std::string_view t) : text(t) {}
    Variant(const char* t) : text(t) {}
    Variant(const std::string& t) : text(t) {}
    static Variant Number(double d) {
        Variant v;
        v.kind = Kind::Number;
        v.number = d;
        return v;
    }
};

class SpreadsheetApplication {
public:
    SpreadsheetApplication();
    ~SpreadsheetApplication();
    SpreadsheetApplication(const SpreadsheetApplication&) = delete;
    SpreadsheetApplication& operator=(const SpreadsheetApplication&) = delete;

    // Reads the path (running the method it ends in); the reply as text:
    // numbers in plain decimal text, true and false as "1" and "0".
    Result<std::string> Read(std::string_view path);
    // Writes the value to the property the path ends in.
    Status Write(std::string_view path, const Variant& value);

    void SetLanguage(int32_t id);
    // Closes every workbook without saving.
    void Quit();

    size_t workbookCount() const;
    Workbook* workbook(size_t index);
    Workbook* activeWorkbook();

    struct State;

private:
    std::unique_ptr<State> state_;
};

// A number as the application writes it: whole numbers without a point,
// others with the fewest digits that read back the same.
std::string NumberText(double d);

// The longest text a cell holds.
inline constexpr size_t kMaxCellText = 32767;
// The most cells one write or format may touch (a whole sheet has 17
// thousand million).
inline constexpr int64_t kMaxCellsPerOperation = 10'000'000;

}  // namespace tv::automation
