#pragma once
// BrowseList: the list control of a list window, fed by a ViewCursor. The
// line queue holds only the rows of the visible page; each line keeps its
// record's view position, by which the record is found again. Sort orders
// per tab (thumb positioner and locator each), the column-header sort, the
// stripes, the list keys and mouse, the ask cycle that runs the table's form,
// select mode, view mode, the search keys F3/F6/F4 and the frame's record
// buttons (ListToolbarBinding) all live here; the decisions come from
// app/list, this class carries them out on the window and the view.
//
// A list procedure declares it with a BrowseListSetup and adds it to its
// BrowseController (browse_controller.h), which sets it up with the window.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "app/list/ask_cycle.h"
#include "app/list/column_header_sort.h"
#include "app/list/find.h"
#include "app/list/list_format.h"
#include "app/list/locators.h"
#include "app/list/scroll_step.h"
#include "app/list/select_mode.h"
#include "app/window/window_controller.h"
#include "data/tables.h"
#include "platform/expr/program.h"
#include "platform/ui/cell_editor.h"
#include "platform/types/record.h"
#include "platform/view/table_set_view.h"
#include "platform/view/view_cursor.h"

class QTableWidget;
class QScrollBar;
class QObject;

namespace tv::data {
class ThreadTableSet;
}

namespace tv::app {

class ColumnFit;

enum class ScrollStepKind { Text, Integer, Float };
enum class LocatorKind { Step, Entry, None };  // None: typing locates nothing

// One sort order (one tab of the sheet).
struct BrowseOrderSetup {
    BrowseOrderSetup() = default;
    BrowseOrderSetup(std::string k, ScrollStepKind s, std::string free, LocatorKind l = LocatorKind::Step,
                    int entry = 0)
        : key(std::move(k)), step(s), locatorField(std::move(free)), locator(l), locatorEntry(entry) {}
    std::string key;                       // key of the primary table ("CAR:KeyId"); blank: record order
    ScrollStepKind step = ScrollStepKind::Integer;
    std::string locatorField;              // the key's first free field ("CAR:Codigo")
    LocatorKind locator = LocatorKind::Step;
    int locatorEntry = 0;                  // Entry: the "&Localizar:" entry control
    bool descending = false;               // the free field's key component runs high to low
    std::string addedOrder;                // fields sorted after the key's ("PPV:Articulo")
    // Line lists: the order shows only the records linked to the current
    // record of this table (its declared relation), or to one field value.
    std::optional<data::TableId> rangeHeader;
    std::string rangeField;
    Value rangeValue;
};

// A table joined to the view for display (the unit of an article, ...).
struct BrowseJoin {
    BrowseJoin() = default;
    BrowseJoin(data::TableId t, std::string k, std::vector<std::pair<std::string, std::string>> l,
                   view::JoinKind j = view::JoinKind::Outer)
        : table(t), key(std::move(k)), links(std::move(l)), kind(j) {}
    data::TableId table{};
    std::string key;                                          // "UNI:KeyCodigo"
    std::vector<std::pair<std::string, std::string>> links;   // {"UNI:Codigo", "ART:UM"}
    view::JoinKind kind = view::JoinKind::Outer;
};

// One column of the list format, in format order.
struct BrowseColumn {
    BrowseColumn() = default;
    BrowseColumn(std::string f, std::function<Value()> c = {})  // NOLINT: {"CAR:Codigo"}
        : field(std::move(f)), compute(std::move(c)) {}
    std::string field;                     // "CAR:Codigo", or the name of a computed value ("loc:Importe")
    std::function<Value()> compute;        // computed for display (from the view's buffers)
};

// In-place editing of a list's rows: its change button (and Ctrl+Enter, a
// double click) edits the selected row cell by cell over the list instead
// of calling a form, its delete button deletes the row at once. Tab and
// Shift+Tab move between the editable cells, Enter ends the row, Up and
// Down go on in the row above or below, Esc abandons the row; a cell's text
// is read through its column's picture into the field the column shows
// (refused with a message, the editor staying, when it cannot be read).
// The row is written when its editing ends, and so it is when anything
// else happens in the window meanwhile (a click elsewhere, a button).
struct InPlaceColumn {
    int column = 0;                       // format column (0-based) of a primary-table field
    ui::CellEditorShape editor;            // an entry or a spin box
    std::optional<Decimal> minimum;       // a value below it is refused
    bool required = false;                // a blank text is refused
};
struct BrowseInPlace {
    std::vector<InPlaceColumn> columns;   // the editable cells, in the order Tab walks them
    std::function<void()> changed;        // after a row was written or deleted
};

// Control numbers of the list's buttons (0: the list has none).
struct BrowseButtons {
    int insert = 0, change = 0, del = 0, view = 0, select = 0, print = 0, query = 0;
    bool hideSelect = false;               // HIDESELECT
};

struct BrowseListSetup {
    int listControl = 0;                   // ?BROWSE:1
    data::TableId primary{};
    std::vector<BrowseJoin> joins;
    std::string format;                    // the list format string
    std::vector<BrowseColumn> columns;  // one per format column
    std::vector<BrowseOrderSetup> orders;    // order 1, 2, ... in declaration order
    int sheetControl = 0;                  // ?CURRENTTAB (0: one order, no tab choice)
    std::string findColumns;               // the column list for the find window
    BrowseButtons buttons;
    bool headerSort = true;                // the column-header sort
    bool stripes = true;                   // odd screen rows on the stripe colour
    int32_t stripeColour = list::kStripeColour;
    std::string filter;                    // a fixed filter of the view
    int printProcedure = 2;                // PRINTPROCEDURE
    // A list whose range follows this list's selected record (the lines of
    // a header list): reloaded whenever the selection changes.
    std::vector<class BrowseList*> dependents;
    // Rows edited in place instead of through a form.
    std::optional<BrowseInPlace> inPlace;
    // Reserves a new row instead of the list (a document's line, under the
    // folio its form holds, in one unit with the check): `prime` sets the
    // fields that tie the row to its header; false (after the reason) when
    // none was reserved.
    std::function<bool(const std::function<void(Record&)>& prime)> reserveNew;
};

// One row of the list: the values shown, the four colours of each "*"
// column, and the record's view position.
struct ListLine {
    std::vector<Value> values;
    std::vector<list::CellColours> colours;  // per column (-1s for a column without "*")
    std::string position;
    int64_t row = 0;                          // record number of the primary table
};

class BrowseList : public WindowComponent {
public:
    BrowseList(WindowController& controller, BrowseListSetup setup);
    ~BrowseList() override;
    BrowseList(const BrowseList&) = delete;
    BrowseList& operator=(const BrowseList&) = delete;

    // ----- set-up (the controller calls these in the template's order)
    // Before the window opens: the view, select mode's saved copy.
    bool SetUpView(data::ThreadTableSet& tables);
    // After the window opens: orders, columns, header sort, first page.
    void SetUpControl();
    // The window closes with `response`: select mode hands over the chosen
    // record (read again whole by its key) or puts the caller's buffer back.
    void FinishPick(int response);

    // ----- settings (fields of the template)
    int INSERTCONTROL = 0, CHANGECONTROL = 0, DELETECONTROL = 0, VIEWCONTROL = 0, SELECTCONTROL = 0;
    int PRINTCONTROL = 0, QUERYCONTROL = 0;
    int ASKPROCEDURE = 1;
    int PRINTPROCEDURE = 2;
    uint8_t USEPOPUP = 1;
    uint8_t EDITVIAPOPUP = 1;
    uint8_t HIDESELECT = 0;

    // ----- what the list shows
    const BrowseListSetup& setup() const { return setup_; }
    view::ViewCursor& View() { return *view_; }
    QTableWidget* table() const { return table_; }
    QScrollBar* thumb() const { return bar_; }
    const std::vector<ListLine>& lines() const { return lines_; }
    int pageSize() const;
    int selectedRow() const;                  // 0-based screen row, -1 none
    const ListLine* selectedLine() const;
    int currentOrder() const { return order_; }
    list::ColumnHeaderSort& headerSort() { return headerSort_; }
    list::BrowseSearch& search() { return search_; }
    const list::ListFormat& format() const { return format_; }
    bool picking() const { return controller_.REQUEST == kSelect; }

    // ----- operations (names of the template)
    void ResetOrder(bool force = false);       // the order from the sheet's tab
    void SelectSortOrder(int order);
    void ResetFromStart();                      // first page of the order
    void ResetFromEnd();
    void ReloadInPlace();                       // the page where it was
    // Makes the view's current record the selected row, the page around it.
    void LocateCurrentRecord();
    // Repositions on a record by its view position (or record number).
    bool LocatePosition(const std::string& position);
    bool LocateRow(int64_t row);
    bool Move(list::ListMove move);             // true when the selection changed
    void SelectRow(int row);                    // a screen row of the page
    // Reads the selected row's whole record again into the view's buffers
    // (and makes it the gateway's watched record). False: no row.
    bool ReadSelected();
    // The ask cycle with `request` (1 insert, 2 change, 3 delete, 6 view).
    void Ask(int request);
    void RefreshButtons();
    void SignalNewSelection();
    // A list whose range follows this list's selected record (a header
    // list's line list): reloaded whenever the selection changes.
    void AddDependent(BrowseList& lines) { setup_.dependents.push_back(&lines); }
    // Search keys, by the template's key numbers (kKeyF3, kKeyF4, kKeyF6).
    void HandleSearchKey(int key);
    // A character typed in the list (UTF-8).
    void TypeCharacter(const std::string& ch);
    // A click on a column header.
    void HeaderClicked(int column, list::HeaderClick how);
    // The thumb dragged to `position` (0..kThumbRange).
    void ThumbMoved(int position);
    // A frame record button (3001..3013) while this list's window is active.
    void HandleToolbar(int button);
    // Builds the line of the view's current record.
    ListLine FillListLine();
    void RefillList();

    // ----- in-place editing (lists with setup().inPlace)
    bool Editing() const { return editCell_ >= 0; }
    // Starts editing the selected row at editable cell `cell` (0 = the first).
    void BeginEdit(int cell = 0);
    // Ends the editing: the cell's text taken and the row written (a text
    // that cannot be read is dropped after its message), or, with
    // keep = false, the row as it was before the editing.
    void EndEdit(bool keep);
    ui::CellEditor* Editor() const { return cellEditor_.get(); }

    // ----- WindowComponent
    void RegisterAlertKeys(ui::Window& w) override;
    bool TakeEvent(WindowController& c, const ui::WindowEvent& e) override;
    void UpdateBuffers() override { ReadSelected(); }
    void UpdateWindow() override { ReloadInPlace(); }

    // Events this list posts to itself (User events with control = the list).
    enum UserTag : int { kTagHeaderClick = 0x7B01, kTagThumb = 0x7B02, kTagResized = 0x7B03 };

private:
    struct Order {
        BrowseOrderSetup setup;
        int key = view::ViewCursor::kRecordOrder;
        int freeField = -1;
        bool numeric = false;
        std::variant<list::TextScrollStep, list::IntegerScrollStep, list::FloatScrollStep> step;
        list::ListLocator stepLocator;
        list::ShadowTextLocator entryLocator;
        bool limitsKnown = false;
    };

    ui::Window& Win() const { return controller_.Win(); }
    data::TableGateway& Gateway() const;
    data::TableRelations& Relations() const;
    Record& Primary() const;
    bool ReadPageFrom(const std::string& anchorPosition, int screenRow);
    // A read of the view that failed for another reason than the end of
    // the records is kept and shown (message 1 of the table layer) once the
    // page is shown.
    void NoteReadError(const storage::Status& st);
    // n rows from a view position on (the row at it first), or back from it.
    std::vector<ListLine> ReadLines(const std::string& pos, int n, bool forward);
    void ReportReadError();
    static constexpr int kMsgReadError = 1;
    void ShowLines(int selected);
    void UpdateThumb();
    void SetThumbLimits(Order& o);
    int KeyToSearch(int key) const;
    void HandleListKey(int code);
    void HandleMouse(const ui::WindowEvent& e);
    void PressButton(int control);
    bool ButtonActs(int control) const;
    void Popup(int row);
    void Pick();
    bool OwnsButton(int control) const;
    void SearchView(list::BrowseSearch::Start start);
    void ShowBox(const std::string& caption, const std::string& text, bool information);
    void ApplyFilterText();
    void ReloadDependents();
    void ApplyRange(const Order& o);
    std::vector<int> OwnButtons() const;

    // In-place editing (browse_in_place.cpp).
    bool EditsInPlace(int request);
    void OpenCell(int cell);
    bool TakeCell(bool stay);
    void FinishEdit(bool write, bool takeCell);
    void ShowEditedLine();
    void WriteEditedRow();
    void DeleteInPlace();
    void CellLeft(int key);
    bool EndsEdit(const ui::WindowEvent& e) const;

    WindowController& controller_;
    BrowseListSetup setup_;
    data::ThreadTableSet* tables_ = nullptr;
    std::unique_ptr<view::ViewCursor> view_;
    std::unique_ptr<view::TableSetView> tsv_;
    list::ListFormat format_;
    QTableWidget* table_ = nullptr;
    QScrollBar* bar_ = nullptr;
    ColumnFit* fit_ = nullptr;  // owned by the table
    QObject* filter_ = nullptr;
    std::vector<ListLine> lines_;
    std::vector<Order> orders_;
    int order_ = 0;
    list::SortOrderTracker tracker_;
    list::ColumnHeaderSort headerSort_;
    list::BrowseSearch search_;
    list::SelectModeBuffer pick_;
    list::ListControls controls_;
    list::ButtonState selectState_;
    std::vector<int> columnTable_, columnField_;  // where each column's value comes from
    bool settingUp_ = true;
    int64_t dependentsRow_ = -1;  // the header record the dependents show the lines of
    std::optional<storage::Status> readError_;
    std::unique_ptr<ui::CellEditor> cellEditor_;
    int editCell_ = -1;                  // the editable cell being edited (-1: none)
    int editRow_ = -1;                   // its screen row
    std::optional<Record> editBefore_;   // the row's record before its editing
};

// The frame's record buttons on the active list: insert, change and delete
// press the list's buttons, select picks, the scrolling buttons move the
// selection, locate starts the locator, help presses F1.
class ListToolbarBinding : public WindowComponent {
public:
    explicit ListToolbarBinding(BrowseList& list) : list_(list) {}
    bool TakeEvent(WindowController& c, const ui::WindowEvent& e) override;
    // Enables the frame's record buttons as the list's own buttons are.
    void UpdateFrameButtons();

private:
    BrowseList& list_;
};

}  // namespace tv::app
