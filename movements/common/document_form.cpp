#include "movements/common/document_form.h"

#include <optional>

#include <QDate>

#include "app/browse/message_box.h"
#include "app/form/field_binding.h"
#include "platform/errors/error_reporter.h"
#include "platform/threads/thread_state.h"
#include "platform/types/date.h"
#include "platform/types/text.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/window.h"

namespace tv::movements {

namespace {
constexpr int kMsgCancelChanges = 10;
constexpr int kMsgNoDelete = 14;
constexpr int kMsgNoChange = 41;
}  // namespace

// Sees the line buttons before the list does: an insert is refused (with
// the reason) while the folio may not take lines, a change or delete when
// the selected line is not this form's.
class DocumentForm::LineGuard : public app::WindowComponent {
public:
    explicit LineGuard(DocumentForm& form) : form_(form) {}
    bool TakeEvent(app::WindowController&, const ui::WindowEvent& e) override {
        if (e.kind != ui::EventKind::Accepted || form_.ViewMode() || form_.Closed()) return false;
        const DocumentFormSetup& s = form_.setup_;
        if (e.control == s.lineInsert) return !form_.MayAddLines();
        if (e.control == s.lineChange || e.control == s.lineDelete) return !form_.MayChangeLine();
        return false;
    }

private:
    DocumentForm& form_;
};

DocumentForm::DocumentForm(std::string procedure, ui::Window& w, data::TableId header, DocumentFormSetup setup)
    : FormController(std::move(procedure), w, header),
      setup_(setup),
      folio_(data::decl(header).fieldIndex(setup.folio->folioField)),
      tracker_(setup.folio->lines),
      guard_(std::make_unique<LineGuard>(*this)) {}

DocumentForm::~DocumentForm() = default;

void DocumentForm::AddLines(app::BrowseListSetup setup) {
    // A new line is reserved under the folio this form holds, in one unit
    // with the check: no other station can store its document under that
    // folio in between.
    setup.reserveNew = [this](const std::function<void(Record&)>& prime) {
        if (ReserveLine(Tables(), *setup_.folio, Folio(), prime)) return true;
        Win().at(setup_.folioControl).focus();
        return false;
    };
    lines_ = std::make_unique<app::BrowseList>(*this, std::move(setup));
    lines_->ASKPROCEDURE = setup_.lineForm;
    // The guard sees the insert before the list does.
    AddComponent(guard_.get());
    AddComponent(lines_.get());
}

long long DocumentForm::Folio() const { return Buffer().number(folio_).toInt64(); }

bool DocumentForm::MayAddLines() {
    if (!TakeFolio()) return false;
    // Said before the line form opens; the line's reservation checks again.
    std::optional<std::string> why = FolioRefusal(Tables(), *setup_.folio, Folio());
    if (!why) return true;
    app::ShowMessage(kFolioCaption, *why, app::MessageIcon::None);
    Win().at(setup_.folioControl).focus();
    return false;
}

bool DocumentForm::TakeFolio() {
    const long long before = Folio();
    if (!TakeControl(setup_.folioControl)) return false;
    if (Folio() == before) return true;
    // The folio typed is held instead, when it may be; when not, the lines
    // refuse it with the reason.
    if (REQUEST == kInsert) TryHoldFolio(Tables(), *setup_.folio, Folio());
    lines_->ResetFromStart();
    LinesChanged();
    return true;
}

bool DocumentForm::MayChangeLine() {
    if (lines_->selectedLine() == nullptr || !lines_->ReadSelected()) return true;  // nothing to act on
    const LineRule& rule = setup_.folio->lines;
    const Record& line = Tables().buffer(rule.lines);
    if (tracker_.Holds(line.number(line.layout().indexOf(rule.idField)).toInt64())) return true;
    app::ShowMessage(kForeignLineCaption,
                     "Este artículo es de otro documento con el mismo folio: no se puede cambiar ni borrar aquí. "
                     "Escriba otro folio.",
                     app::MessageIcon::None);
    return false;
}

int DocumentForm::SetUpBeforeOpen() {
    // Documents are entered and looked at, never changed or deleted.
    if (REQUEST == kChange || REQUEST == kDelete) {
        ErrorReporter::instance().raise(REQUEST == kChange ? kMsgNoChange : kMsgNoDelete);
        RESPONSE = kCancelled;
        return app::kSetUpNotNeeded;
    }
    const int r = FormController::SetUpBeforeOpen();
    if (r != app::kSetUpOk) return r;
    return lines_->SetUpView(Tables()) ? app::kSetUpOk : 4;
}

void DocumentForm::SetUpAfterOpen() {
    if (REQUEST == kInsert) Buffer().set(folio_, Value(HoldFolioForNewDocument(Tables(), *setup_.folio)));
    lines_->SetUpControl();
    FormController::SetUpAfterOpen();
    if (ViewMode()) {
        // The lines still scroll; they cannot be changed here.
        Win().at(setup_.linesControl).setDisabled(false);
        for (int b : {setup_.lineInsert, setup_.lineChange, setup_.lineDelete}) Win().at(b).setHidden(true);
    }
    LinesChanged();
    ShowDerived();
    LockFolio();
}

int DocumentForm::TearDown() {
    // A new document that was not stored leaves nothing behind: its lines
    // and its pending header go (also when the program closes).
    if (REQUEST == kInsert && RESPONSE != kCompleted && PRIMARY != nullptr && !ReleaseNew()) {
        if (Gateway().AUTOINCDONE != 0) Gateway().CancelPendingInsert();
    }
    return FormController::TearDown();
}

int DocumentForm::DispatchEvent(const ui::WindowEvent& e) {
    const int r = FormController::DispatchEvent(e);
    if (!Closed()) ShowDerived();
    return r;
}

int DocumentForm::OnAccepted(int control) {
    if (Closed()) return 0;
    if (control == setup_.folioControl) {
        TakeFolio();
        return 0;
    }
    return FormController::OnAccepted(control);
}

uint8_t DocumentForm::CallSubProcedure(int number, uint8_t request) {
    if (ViewMode()) return kCancelled;
    const uint8_t r = FormController::CallSubProcedure(number, request);
    if (number == setup_.lineForm) {
        tracker_.AfterLineForm(Tables().buffer(setup_.folio->lines.lines), request, r);
        LockFolio();
        LinesChanged();
    }
    return r;
}

int DocumentForm::OnCompleted() {
    if (Closed()) return 0;
    if (REQUEST != kInsert) return FormController::OnCompleted();
    if (Complete()) {
        app::DittoStore::current().save(Name(), Buffer());
        // Its lines belong to the stored document now.
        tracker_ = LineTracker(setup_.folio->lines);
        RESPONSE = kCompleted;
        CloseWithResponse(kCompleted);
        return 0;
    }
    // Nothing was stored; the form is as it was.
    if (VCRREQUEST != nullptr) *VCRREQUEST = 0;
    ShowRecord();
    ShowDerived();
    FocusFirstField();
    return 0;
}

int DocumentForm::OnCloseRequest() {
    if (Closed() || REQUEST != kInsert || RESPONSE == kCompleted || PRIMARY == nullptr)
        return FormController::OnCloseRequest();
    if (CANCELACTION == 2 && RecordChanged() && ErrorReporter::instance().raise(kMsgCancelChanges) != Answer::Yes) {
        FocusFirstField();
        return 0;
    }
    if (!ReleaseNew()) {
        FocusFirstField();
        return 0;
    }
    if (VCRREQUEST != nullptr) *VCRREQUEST = 0;
    CloseWithResponse(kCancelled);
    return 0;
}

bool DocumentForm::ReleaseNew() { return CancelNewDocument(Tables(), *setup_.folio, tracker_); }

void DocumentForm::LockFolio() {
    if (REQUEST != kInsert) return;
    const bool locked = !tracker_.Empty() || HasLines(Tables(), setup_.folio->lines, Buffer().get(folio_));
    Win().at(setup_.folioControl).setReadOnly(locked);
}

bool DocumentForm::SaveScreen(std::initializer_list<int> controls, int except) {
    for (int c : controls)
        if (c != except && !TakeControl(c)) return false;
    UpdateComponents();
    return true;
}

void DocumentForm::PickDate(std::initializer_list<int> entries) {
    // The date typed (even one that cannot be read) gives way to the one picked.
    if (!SaveScreen(entries, setup_.dateControl)) return;
    const int fecha = data::decl(PrimaryId()).fieldIndex(setup_.dateField);
    QDate start = QDate::currentDate();
    if (std::optional<Ymd> d = ymdFromDate(static_cast<long>(Buffer().number(fecha).toInt64())))
        start = QDate(d->year, d->month, d->day);
    if (std::optional<QDate> picked = ui::pickDate(start, QString::fromUtf8(ui::kCalendarTitle), Win().topWidget()))
        Buffer().set(fecha, Value(dateFromYmd(picked->year(), picked->month(), picked->day())));
    ShowRecord();
}

std::string DocumentForm::SupplierName(int field) {
    Record& supplier = Tables().buffer(data::TableId::Proveedores);
    const data::TableDecl& pvd = data::decl(data::TableId::Proveedores);
    supplier.set(pvd.fieldIndex("PVD:Codigo"), Buffer().get(field));
    Tables().gateway(data::TableId::Proveedores).ReadByKeyOrClear("PVD:KeyCodigo");
    return std::string(rtrim(supplier.get(pvd.fieldIndex("PVD:Nombre")).asText()));
}

bool DocumentForm::CheckSupplier(int control, int field, int list) {
    if (trim(Buffer().get(field).asText()).empty()) return true;
    Record& supplier = Tables().buffer(data::TableId::Proveedores);
    const int code = data::decl(data::TableId::Proveedores).fieldIndex("PVD:Codigo");
    supplier.set(code, Buffer().get(field));
    if (Tables().gateway(data::TableId::Proveedores).ReadByKey("PVD:KeyCodigo") == data::kDone) return true;
    if (CallSubProcedure(list, kSelect) == kCompleted) {
        Buffer().set(field, supplier.get(code));
        // Only the code: the entries after it may hold text not yet taken.
        ShowBound(control);
        return true;
    }
    Win().at(control).focus();
    return false;
}

void DocumentForm::SupplierEntered(int control, int field, int list) {
    TakeControl(control);
    const ui::Control* to = Win().focusedControl();
    if (to != nullptr && to->number() != 0 && (to->number() == OkButton || to->number() == CancelButton)) return;
    CheckSupplier(control, field, list);
}

void DocumentForm::LookUpSupplier(int field, int list) {
    Record& supplier = Tables().buffer(data::TableId::Proveedores);
    const int code = data::decl(data::TableId::Proveedores).fieldIndex("PVD:Codigo");
    supplier.set(code, Buffer().get(field));
    if (CallSubProcedure(list, kSelect) == kCompleted) Buffer().set(field, supplier.get(code));
    ShowRecord();
}

}  // namespace tv::movements
