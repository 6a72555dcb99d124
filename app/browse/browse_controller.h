#pragma once
// The list window procedure: a WindowController that runs one or more
// BrowseLists (a header list and its line list), calls the table's form
// (procedure 1) and, in lists with a print button, the printout
// (procedure 2) on the same thread with CallRequest, and hands a picked
// record to its caller in select mode.
//
// The catalogue lists describe themselves with a StandardBrowseSetup and call
// RunStandardBrowse, which builds the common window (list, "&Ver",
// "&Agregar", "&Cambiar", "&Borrar", the sheet with one tab per order,
// "Cerrar", "F3: Buscar") and runs it:
//
//   void BrowseMarcas() {
//       StandardBrowseSetup b;
//       b.procedure = "BrowseMarcas";
//       b.caption = "Marcas registrados";
//       b.listTip = "Marcas de artículos";
//       b.list.primary = data::TableId::Marcas;
//       b.list.format = "80R(1)|M*~Código~@n_4@80L(1)|M*~Marca~@s40@";
//       b.list.columns = {{"MAR:Codigo"}, {"MAR:Marca"}};
//       b.list.orders = {{"MAR:KeyCodigo", ScrollStepKind::Integer, "MAR:Codigo"}};
//       b.list.findColumns = "Código|@n_4|MAR:Codigo|Marca|@s40|MAR:Marca|";
//       b.tabs = {"Por código"};
//       b.form = UpdateMarcas;
//       RunStandardBrowse(b);
//   }
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QSize>
#include <QString>

#include "app/browse/browse_list.h"
#include "app/window/window_controller.h"

namespace tv::app {

class BrowseController : public WindowController {
public:
    BrowseController(std::string procedureName, ui::Window& w);
    ~BrowseController() override;

    // Declares a list (before RunWindow). The first list added is the one
    // the frame's record buttons act on.
    BrowseList& AddList(BrowseListSetup setup);
    BrowseList& List(std::size_t i = 0) { return *lists_.at(i); }
    std::size_t ListCount() const { return lists_.size(); }
    // Procedure `number` of the window (1 the form, 2 the printout).
    void SetProcedure(int number, std::function<void()> procedure);
    // The "Cerrar" button: closes with response 2.
    void SetCloseButton(int control);

    uint8_t CallSubProcedure(int number, uint8_t request) override;
    int TearDown() override;

protected:
    void OpenTables() override;
    void CloseTables() override;
    int SetUpBeforeOpen() override;
    void SetUpAfterOpen() override;

private:
    std::vector<std::unique_ptr<BrowseList>> lists_;
    std::unique_ptr<ListToolbarBinding> toolbar_;
    std::map<int, std::function<void()>> procedures_;
    std::vector<data::TableId> opened_;
};

// Control numbers of the standard list window.
enum StandardBrowseControl : int {
    kBrowseList = 1,     // ?BROWSE:1
    kBrowseView = 2,     // ?VIEW:2
    kBrowseInsert = 3,   // ?INSERT:3
    kBrowseChange = 4,   // ?CHANGE:3
    kBrowseDelete = 5,   // ?DELETE:3
    kBrowseHint = 6,     // ?STRING1 "F3: Buscar"
    kBrowseSheet = 7,    // ?CURRENTTAB
    kBrowseClose = 10,   // ?CLOSE
    kBrowseSelect = 11,  // ?SELECT "&Elegir"
    kBrowseFirstTab = 20,  // the tabs, in order
};

struct StandardBrowseSetup {
    std::string procedure;          // "BrowseCatArticulos"
    QString caption;                // the window's title
    QString listTip;                // the list's tip
    BrowseListSetup list;            // listControl, buttons and sheet are filled in
    std::vector<QString> tabs;      // one per order, in tab order ("Por Código", ...)
    bool selectButton = false;      // "&Elegir" (lists that serve look-ups)
    bool hideSelect = false;        // HIDESELECT
    bool selectOnTab = false;       // "&Elegir" on the first tab, at its right (article lists)
    bool enterMovesFocus = false;   // Enter as Tab (lists not named as keeping Enter)
    ui::Window::Placement placement = ui::Window::Placement::FrameChild;
    QSize size{560, 340};
    std::function<void()> form;     // procedure 1: the table's form
    std::function<void()> print;    // procedure 2, when the list prints
    // Runs after the window is built, before it runs (tests keep hold of it).
    std::function<void(BrowseController&, ui::Window&)> prepare;
};

// Builds the standard window and runs the list procedure; CallResponse
// holds its response afterwards.
void RunStandardBrowse(const StandardBrowseSetup& setup);

}  // namespace tv::app
