#pragma once
// What the forms of the documents (receipts, issues, orders) do alike: a
// new document opens with the next free folio and holds it while it is
// open (folio.h); lines are added under the folio shown, only while this
// form may hold it, checked in one unit with each line's reservation; once the document has a
// line its folio stays; only the lines this form stored can be changed or
// deleted in it; "Aceptar" runs the document's completion as one unit (the
// form stays open as it was when it fails); cancelling a new document
// removes the lines it stored and its pending header; change and delete
// requests are refused with messages 41 and 14 without opening the window;
// in view mode the lines still scroll but have no buttons.
//
//     class IssueForm : public DocumentForm {
//         bool Complete() override { return CompleteIssue(Tables(), &Tracker()); }
//     };
#include <initializer_list>
#include <memory>
#include <string>

#include "app/browse/browse_list.h"
#include "app/form/form_controller.h"
#include "movements/common/folio.h"
#include "movements/common/lines.h"

namespace tv::movements {

// The caption of the refusal to change or delete a line another document stored.
inline constexpr const char* kForeignLineCaption = "Artículo de otro documento";

struct DocumentFormSetup {
    const FolioRule* folio = nullptr;
    int folioControl = 0;
    int dateControl = 0;       // the date entry the calendar button fills
    const char* dateField = nullptr;   // "ENT:Fecha"
    int linesControl = 0;
    int lineInsert = 0, lineChange = 0, lineDelete = 0;
    int lineForm = 0;          // sub-procedure number of the line form
};

class DocumentForm : public app::FormController {
public:
    DocumentForm(std::string procedure, ui::Window& w, data::TableId header, DocumentFormSetup setup);
    ~DocumentForm() override;

    // The lines list (before the form runs).
    void AddLines(app::BrowseListSetup setup);
    // Whether lines may be added under the folio typed now; when not, the
    // reason is shown and the focus goes to the folio. (The line's
    // reservation checks it again in its unit, ReserveLine.)
    bool MayAddLines();
    // Whether the selected line may be changed or deleted here: the list
    // also shows another document's lines under a folio typed, and only the
    // lines this form stored are its own. When not, the reason is shown.
    bool MayChangeLine();

    int SetUpBeforeOpen() override;
    void SetUpAfterOpen() override;
    int TearDown() override;
    int DispatchEvent(const ui::WindowEvent& e) override;
    int OnAccepted(int control) override;
    uint8_t CallSubProcedure(int number, uint8_t request) override;
    int OnCompleted() override;
    int OnCloseRequest() override;

protected:
    // The document's completion as one unit of work; true when stored.
    virtual bool Complete() = 0;
    // Shows what the header's codes name (descriptions, names).
    virtual void ShowDerived() {}
    // The lines under the folio may have changed: a line form ran, the
    // folio moved, lines were called up (totals follow them).
    virtual void LinesChanged() {}

    LineTracker& Tracker() { return tracker_; }
    app::BrowseList& Lines() { return *lines_; }
    const DocumentFormSetup& Setup() const { return setup_; }
    long long Folio() const;
    // Once the document has a line its folio stays: the lines carry it.
    void LockFolio();
    // What the user typed in `controls`, taken into the buffer (all but
    // `except`), and the components' choices; false (after the message, the
    // focus on the entry) when a text cannot be read.
    bool SaveScreen(std::initializer_list<int> controls, int except = 0);
    // The calendar: the date picked goes into the date field.
    void PickDate(std::initializer_list<int> entries);

    // A supplier code in the header's `field`, typed in `control`: one that
    // names no supplier opens the supplier list (sub-procedure `list`);
    // false (the focus on the code) when none was chosen there. A blank code
    // looks nothing up.
    bool CheckSupplier(int control, int field, int list);
    // The supplier code's entry was left: the code typed is taken and
    // checked, unless the entry was left for "Aceptar", which checks it
    // itself, or for "Cancelar", which needs no supplier.
    void SupplierEntered(int control, int field, int list);
    // The look-up button: the supplier list from the code in the buffer; a
    // supplier picked there goes into the field (the caller took the
    // screen in first).
    void LookUpSupplier(int field, int list);
    // The supplier's name for the code in `field` (blank when none has it);
    // the Proveedores buffer holds that supplier or is cleared.
    std::string SupplierName(int field);

private:
    class LineGuard;
    // The lines this form stored, its pending header and its folio, in one unit.
    bool ReleaseNew();
    // The folio typed, taken and (a new document's) held instead when it
    // may be; the lines shown follow it. False when it cannot be read.
    bool TakeFolio();

    DocumentFormSetup setup_;
    int folio_ = -1;
    LineTracker tracker_;
    std::unique_ptr<LineGuard> guard_;
    std::unique_ptr<app::BrowseList> lines_;
};

}  // namespace tv::movements
