#pragma once
// The form of a new document with lines (a receipt, an issue, an order):
// what such forms share on top of the form template.
//
//  - Change and delete requests are refused (messages 41 and 14) without
//    opening the window; view shows the document read-only, its lines
//    without buttons.
//  - A new document opens with the next free folio; lines are added under
//    the folio shown, refused (with the reason, the focus on the folio)
//    while that folio is zero, used by a stored document or carried by
//    another form's lines; once the document has a line its folio stays.
//  - Only the lines this form stored can be changed or deleted in it.
//  - "Aceptar" runs the document's completion (one unit of work): stored,
//    the form closes; refused, nothing changed and the form stays as it was.
//  - A new document that is not stored (cancelled, or the program closing)
//    deletes the lines this form stored and its pending header, nothing else.
#include <memory>

#include "app/browse/browse_list.h"
#include "app/form/form_controller.h"
#include "movements/common/folio.h"
#include "movements/common/lines.h"

namespace tv::movements {

inline constexpr const char* kForeignLineCaption = "Artículo de otro documento";

struct DocumentFormSetup {
    FolioRule folio;
    int folioControl = 0;
    int lineInsert = 0, lineChange = 0, lineDelete = 0;
    int lineForm = 2;   // the sub-procedure number of the line form
};

class DocumentForm : public app::FormController {
public:
    DocumentForm(std::string procedure, ui::Window& w, data::TableId header, DocumentFormSetup setup);
    ~DocumentForm() override;

    // The lines list (once, before the form runs).
    void AddLines(app::BrowseListSetup setup);
    app::BrowseList& Lines() const { return *lines_; }
    LineTracker& Tracker() { return tracker_; }
    long long Folio() const;

    // Whether lines may be added under the folio shown now; if not, says why.
    bool MayAddLines();
    // Whether the selected line may be changed or deleted here: only the
    // lines this form stored (the list also shows another document's lines
    // under the folio typed); if not, says why.
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
    // The document's completion as one unit of work: true when stored.
    virtual bool Complete() = 0;
    // Shows what the header's codes name (names, descriptions, totals);
    // after every event and whenever the record is shown again.
    virtual void ShowDerived() {}
    // The lines changed (a line form completed, the folio moved).
    virtual void LinesChanged() {}

    // The calendar on a date field of the header; the date picked goes into it.
    bool PickDate(int dateField);
    // A supplier code in the header's `field`, typed in `control`: one that
    // names no supplier opens the supplier list (sub-procedure `list`);
    // false (the focus on the code) when none was chosen there. A blank
    // code looks nothing up.
    bool CheckSupplier(int control, int field, int list);
    // The look-up button: the supplier list from the code typed; a supplier
    // picked there goes into the field.
    void LookUpSupplier(int field, int list);
    // The supplier a code names in the Proveedores buffer (cleared when none).
    void ReadSupplier(int field);
    // The lines this form stored and its pending header, in one unit.
    bool ReleaseNew();
    // Once the document has a line its folio stays: the lines carry it.
    void LockFolio();

private:
    class LineGuard;
    DocumentFormSetup setup_;
    int folioField_;
    LineTracker tracker_;
    std::unique_ptr<LineGuard> guard_;
    std::unique_ptr<app::BrowseList> lines_;
};

}  // namespace tv::movements
