#include "app/form/form_controller.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include <QLineEdit>
#include <QWidget>

#include "app/form/field_binding.h"
#include "app/form/form_toolbar_binding.h"
#include "app/form/lookup_drop_combo.h"
#include "platform/errors/error_reporter.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/desktop.h"

namespace tv::app {

using ui::Control;
using ui::ControlKind;
using ui::EventKind;
using ui::WindowEvent;

namespace {

constexpr int kMsgCancelChanges = 10;
constexpr int kMsgSaveAgain = 37;
constexpr int kMsgChanged = 7;
constexpr int kMsgChangedShown = 8;

bool takesInput(const Control& c) {
    QWidget* w = c.widget();
    return w != nullptr && w->focusPolicy() != Qt::NoFocus && !c.hidden() && !c.disabled() &&
           c.kind() != ControlKind::Tab && c.kind() != ControlKind::Sheet;
}

}  // namespace

FormController::FormController(std::string procedureName, ui::Window& window, data::TableId primary)
    : WindowController(std::move(procedureName), window),
      primary_(primary),
      set_(&data::tables()),
      toolbar_(std::make_unique<FormToolbarBinding>(*this)) {}

FormController::~FormController() = default;

// ----- configuration

void FormController::SetOkCancel(int ok, int cancel) {
    OkButton = ok;
    CancelButton = cancel;
}

void FormController::Bind(int control, std::string_view field, std::string_view picture, BindOptions options) {
    const data::TableDecl& d = data::decl(primary_);
    Binding b;
    b.control = control;
    b.field = d.fieldIndex(field);
    if (b.field < 0) throw std::invalid_argument("no field " + std::string(field) + " in " + d.label);
    std::optional<Picture> p = Picture::parse(picture);
    if (!p) throw std::invalid_argument("no picture " + std::string(picture));
    b.picture = *p;
    b.options = options;
    bindings_.push_back(b);
}

void FormController::Show(int control, std::string_view field, std::string_view picture) {
    Bind(control, field, picture, {.required = false, .ditto = false});
    bindings_.back().display = true;
}

void FormController::AddLookup(LookupDropCombo& combo) {
    lookups_.push_back(&combo);
    AddComponent(&combo);
}

void FormController::SetSubProcedure(int n, std::function<void()> procedure) {
    subProcedures_[n] = std::move(procedure);
}

// ----- access

Record& FormController::Buffer() const { return set_->buffer(primary_); }
data::TableGateway& FormController::Gateway() const { return set_->gateway(primary_); }
data::TableRelations& FormController::Relations() const { return set_->relations(primary_); }

const FormController::Binding* FormController::bindingOf(int control) const {
    for (const Binding& b : bindings_)
        if (b.control == control) return &b;
    return nullptr;
}

int FormController::FieldOf(int control) const {
    const Binding* b = bindingOf(control);
    return b != nullptr ? b->field : -1;
}

// ----- set-up

int FormController::SetUp() {
    // Decided before the base consumes the request.
    HISTORYKEY = kHistoryKey;
    return WindowController::SetUp();
}

void FormController::AttachToolbar() { AddComponent(toolbar_.get()); }

void FormController::OpenTables() {
    Relations().OpenWithRelated();
    opened_ = true;
    PRIMARY = &Relations();
}

void FormController::CloseTables() {
    if (opened_) Relations().CloseWithRelated();
    opened_ = false;
}

int FormController::SetUpBeforeOpen() {
    if (ViewMode()) {
        INSERTACTION = 1;
        CHANGEACTION = 1;
        DELETEACTION = 1;
        CANCELACTION = 0;
        OKCONTROL = 0;
        return kSetUpOk;
    }
    CHANGEACTION = 2;
    CANCELACTION = 2;
    OKCONTROL = OkButton;
    return PrepareRequest();
}

int FormController::PrepareRequest() {
    // Link values for the cascades of a change.
    Relations().SnapshotLinkFields();
    guardHandle_ = Gateway().SaveBuffer();
    if (REQUEST == kInsert) {
        RESPONSE = kCompleted;
        OnNewRecord();
        if (RESPONSE == kCancelled) return kSetUpNotNeeded;
        RESPONSE = kCancelled;
    } else if (REQUEST == kDelete && DELETEACTION == 2) {
        const int r = Relations().DeleteWithRelated(true);
        RESPONSE = r == data::kDone ? kCompleted : kCancelled;
        return kSetUpNotNeeded;
    } else if (REQUEST == kChange) {
        WatchRecord();
    }
    copy_ = Buffer();
    return kSetUpOk;
}

// The rewrite goes to the table's current record and is refused when
// another station changed it since it was read. The caller may have read
// other records through the same table after this one (a list filling its
// page): then the record in the buffer is found again by its key, so that
// the change can never be written over another record.
void FormController::WatchRecord() {
    data::TableGateway& g = Gateway();
    if (g.UseOnDemand() != data::kDone || g.file() == nullptr) return;
    storage::Table& file = *g.file();
    // Without a key value the record cannot be found again: the caller's
    // current record is taken as it is.
    if (!HoldsUniqueKey(g.declaration(), Buffer())) return;
    if (file.hasCurrent()) {
        const int64_t row = file.currentRow();
        const int64_t version = file.currentVersion();
        Record current(Buffer().layoutPtr());
        const bool same = file.readByRow(row, current).ok() && SameRecordKey(g.declaration(), current, Buffer());
        // As it was: a change made meanwhile elsewhere is still detected.
        file.setCurrent(row, version);
        if (same) return;
    }
    // Not found (deleted meanwhile): nothing is current, so the write is
    // refused rather than sent to the record read last.
    if (!g.rereadByUniqueKey().ok()) file.setCurrent(0, 0);
}

void FormController::OpenWindowStructure() {
    WindowController::OpenWindowStructure();
    FocusFirstField();
}

void FormController::SetUpAfterOpen() {
    for (LookupDropCombo* l : lookups_) {
        l->Attach();
        l->Load();
    }
    for (const Binding& b : bindings_) {
        Control* c = Win().control(b.control);
        if (c == nullptr) continue;
        if (b.options.required && !b.display) c->setRequired(true);
        // No length limit on the entry: it would cut a pasted text without a
        // word. What does not fit is refused with a message when it is read.
        if (REQUEST == kChange && b.options.readOnlyOnChange) {
            c->setReadOnly(true);
            c->setDisabled(true);
        }
    }
    if (ViewMode()) {
        // Nothing can be changed; OK and Cancel only close.
        for (Control* c : Win().controls()) {
            switch (c->kind()) {
                case ControlKind::Entry:
                case ControlKind::MultiLineText:
                case ControlKind::SpinBox:
                    c->setReadOnly(true);
                    break;
                case ControlKind::Button:
                    if (c->number() != OkButton && c->number() != CancelButton) c->setDisabled(true);
                    break;
                case ControlKind::Combo:
                case ControlKind::DropCombo:
                case ControlKind::DropList:
                case ControlKind::List:
                case ControlKind::CheckBox:
                case ControlKind::RadioButton:
                    c->setDisabled(true);
                    break;
                default:
                    break;
            }
        }
    }
    ShowRecord();
    // Again: a key locked on change may have had it.
    FocusFirstField();
    toolbar_->Apply();
}

void FormController::RegisterAlertKeys() {
    WindowController::RegisterAlertKeys();
    if (ViewMode()) return;
    for (const Binding& b : bindings_)
        if (!b.display && b.options.ditto) Win().alertKey(HISTORYKEY, b.control);
    for (LookupDropCombo* l : lookups_) Win().alertKey(HISTORYKEY, l->Control());
}

uint8_t FormController::RunWindow() {
    const uint8_t r = WindowController::RunWindow();
    return REQUEST == kView ? static_cast<uint8_t>(kCancelled) : r;
}

int FormController::RunEventLoop() {
    switch (REQUEST) {
        case kView: Win().setCaption(QString::fromUtf8(kCaptionView)); break;
        case kInsert: Win().setCaption(QString::fromUtf8(kCaptionInsert)); break;
        case kChange: Win().setCaption(QString::fromUtf8(kCaptionChange)); break;
        default: Win().setCaption(QString()); break;
    }
    return WindowController::RunEventLoop();
}

int FormController::TearDown() {
    if (!formTornDown_) {
        formTornDown_ = true;
        // An insert that did not complete (refused, set-up failed, closed
        // down) gives back the record reserved for it.
        if (REQUEST == kInsert && RESPONSE != kCompleted && Gateway().AUTOINCDONE != 0)
            Relations().CancelPendingInsert();
        if (guardHandle_ >= 0) Gateway().DiscardBuffer(guardHandle_);
        guardHandle_ = -1;
    }
    return WindowController::TearDown();
}

// ----- showing and reading

void FormController::showBinding(const Binding& b) {
    Control* c = Win().control(b.control);
    if (c == nullptr) return;
    c->setText(QString::fromStdString(ShowField(Buffer(), b.field, b.picture)));
}

void FormController::ShowRecord() {
    for (const Binding& b : bindings_) showBinding(b);
    WindowController::RefreshWindow();
}

void FormController::ShowBound(int control) {
    if (const Binding* b = bindingOf(control)) showBinding(*b);
}

void FormController::RefreshWindow() { ShowRecord(); }

void FormController::RefuseInput(Control& c, const std::string& error) {
    ShowControl(c);
    // Leaving the entry by a click on "Aceptar" reads it twice in a row (the
    // entry's accepted event, then the pass): the message is said once.
    const bool saidJustNow = refused_.control == c.number() && refused_.text == c.text() &&
                             refused_.event + 3 >= eventSerial_;
    refused_ = {c.number(), c.text(), eventSerial_};
    if (saidJustNow) {
        c.focus();
        return;
    }
    MessageBox box;
    box.caption = "Dato no válido";
    box.text = error + ": \"" + c.text().toStdString() + "\"";
    box.buttons = MessageBox::Buttons::Ok;
    box.preset = Answer::Ok;
    box.icon = MessageBox::Icon::Warning;
    if (MessagePresenter* p = ErrorReporter::instance().presenter()) p->show(box);
    else std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), box.text.c_str());
    c.focus();
}

bool FormController::FitsOrRefuse(Control& c, std::size_t most) {
    if (charCount(rtrim(c.text().toStdString())) <= most) return true;
    RefuseInput(c, "El texto es demasiado largo (" + std::to_string(most) + " caracteres como máximo)");
    return false;
}

bool FormController::TakeControl(int control) {
    const Binding* b = bindingOf(control);
    if (b == nullptr || b->display || ViewMode()) return true;
    Control* c = Win().control(control);
    if (c == nullptr || c->readOnly()) return true;
    // What the entry shows of the stored value is that value: read back it
    // could lose what the picture does not show (a long text, a sign).
    if (c->text() == QString::fromStdString(ShowField(Buffer(), b->field, b->picture))) return true;
    ReadResult r = ReadField(Buffer(), b->field, b->picture, c->text().toStdString());
    if (!r.ok) {
        RefuseInput(*c, r.error);
        return false;
    }
    // The entry shows what was stored, through its picture ("15" becomes
    // "15.00"), as it will when the record is shown again.
    if (c->kind() == ControlKind::Entry) {
        const QString shown = QString::fromStdString(ShowField(Buffer(), b->field, b->picture));
        if (c->text() != shown) c->setText(shown);
    }
    return true;
}

bool FormController::takeQuietly() {
    bool all = true;
    for (const Binding& b : bindings_) {
        if (b.display) continue;
        Control* c = Win().control(b.control);
        if (c == nullptr || c->readOnly()) continue;
        if (c->text() == QString::fromStdString(ShowField(Buffer(), b.field, b.picture))) continue;
        if (!ReadField(Buffer(), b.field, b.picture, c->text().toStdString()).ok) all = false;
    }
    UpdateComponents();
    return all;
}

bool FormController::RecordChanged() {
    if (ViewMode()) return false;
    const bool readable = takeQuietly();
    if (!copy_) return false;
    return !readable || !(Buffer() == *copy_);
}

void FormController::FocusFirstField() {
    const auto& order = Win().controls();
    auto it = order.begin();
    if (FIRSTFIELD != 0) {
        it = std::find_if(order.begin(), order.end(), [this](Control* c) { return c->number() == FIRSTFIELD; });
        if (it == order.end()) it = order.begin();
    }
    for (; it != order.end(); ++it) {
        if (takesInput(**it)) {
            (*it)->focus();
            return;
        }
    }
}

// ----- accepting

bool FormController::AcceptControl(Control& c) {
    for (LookupDropCombo* l : lookups_) {
        if (l->Control() != c.number()) continue;
        if (HiddenOnItsOwn(c) || c.disabled()) return true;
        if (!l->Accept()) {
            ShowControl(c);
            return false;
        }
        const int target = data::decl(primary_).fieldIndex(l->Config().targetField);
        if (c.required() && target >= 0 && IsBlankValue(Buffer(), target)) {
            ui::beep();
            ShowControl(c);
            c.focus();
            return false;
        }
        return true;
    }
    const Binding* b = bindingOf(c.number());
    if (b == nullptr || b->display || HiddenOnItsOwn(c) || c.disabled()) return true;
    if (!TakeControl(c.number())) return false;
    // A number shown as "0" is as blank as an empty text.
    if (b->options.required && IsBlankValue(Buffer(), b->field)) {
        ui::beep();
        ShowControl(c);
        c.focus();
        return false;
    }
    return true;
}

void FormController::Accept() {
    if (Closed()) return;
    if (ViewMode()) {
        UpdateComponents();
        CloseWithResponse(kCancelled);
        return;
    }
    if (REQUEST == kInsert || REQUEST == kChange) {
        if (!AcceptAll() && VCRREQUEST != nullptr) *VCRREQUEST = 0;
        return;
    }
    Win().post(WindowEvent{EventKind::Completed, 0});
}

int FormController::OnAccepted(int control) {
    if (Closed()) return 0;
    if (control != 0 && control == CancelButton) return OnCloseRequest();
    if (control != 0 && control == OkButton) {
        // "Aceptar" itself asks for no move in the list.
        if (VCRREQUEST != nullptr) *VCRREQUEST = 0;
        Accept();
        return 0;
    }
    if (bindingOf(control) != nullptr) {
        TakeControl(control);
        return 0;
    }
    return WindowController::OnAccepted(control);
}

void FormController::stayOpen() {
    if (VCRREQUEST != nullptr) *VCRREQUEST = 0;
    FocusFirstField();
}

int FormController::OnCompleted() {
    if (Closed()) return 0;
    if (PRIMARY == nullptr) return WindowController::OnCompleted();
    DittoStore::current().save(Name(), Buffer());
    switch (REQUEST) {
        case kInsert: completeInsert(); break;
        case kChange: completeChange(); break;
        default: CloseWithResponse(RESPONSE != 0 ? RESPONSE : static_cast<uint8_t>(kCancelled)); break;
    }
    return 0;
}

void FormController::completeInsert() {
    if (Gateway().InsertRecord() != data::kDone) {
        // The table layer has said why (15 names the key, 4 anything else).
        stayOpen();
        return;
    }
    RESPONSE = kCompleted;
    if (INSERTACTION == 2) CloseWithResponse(kCompleted);
}

void FormController::completeChange() {
    RESPONSE = kCancelled;
    const bool navigating = VCRREQUEST != nullptr && *VCRREQUEST != 0;
    if (!copy_ || Buffer() == *copy_) {
        // Nothing to write.
        if (!navigating) RESPONSE = kCompleted;
        if (CHANGEACTION == 2) CloseWithResponse(RESPONSE);
        return;
    }
    for (;;) {
        int r = data::kDone;
        {
            ui::WaitCursor wait;
            r = Relations().UpdateWithRelated();
        }
        if (r == data::kDone) {
            RESPONSE = kCompleted;
            copy_ = Buffer();
            if (CHANGEACTION == 2) CloseWithResponse(kCompleted);
            return;
        }
        if (r == data::kRewriteFailed) {
            const Answer a = ErrorReporter::instance().raise(kMsgSaveAgain);
            if (a == Answer::Yes) continue;
            if (a == Answer::No) {
                CloseWithResponse(kCancelled);
                return;
            }
            ShowRecord();
            stayOpen();
            return;
        }
        const int last = Gateway().LASTERROR;
        if ((last == kMsgChanged || last == kMsgChangedShown) && Gateway().file() != nullptr &&
            Gateway().file()->hasCurrent()) {
            // Another station changed it: its version is in the buffer now
            // and is what the form shows; only what the user changes from
            // here on is the user's.
            copy_ = Buffer();
            ShowRecord();
        }
        stayOpen();
        return;
    }
}

int FormController::OnCloseRequest() {
    if (Closed()) return 0;
    if (RESPONSE == kCompleted || PRIMARY == nullptr) {
        CloseWithResponse(RESPONSE != 0 ? RESPONSE : static_cast<uint8_t>(kCancelled));
        return 0;
    }
    if ((REQUEST == kInsert || REQUEST == kChange) && CANCELACTION == 2 && RecordChanged()) {
        if (ErrorReporter::instance().raise(kMsgCancelChanges) != Answer::Yes) {
            FocusFirstField();
            return 0;
        }
    }
    if (REQUEST == kInsert && Gateway().AUTOINCDONE != 0) {
        if (Relations().CancelPendingInsert() != data::kDone) {
            Gateway().ShowLastError();
            FocusFirstField();
            return 0;
        }
    }
    if (VCRREQUEST != nullptr) *VCRREQUEST = 0;
    CloseWithResponse(kCancelled);
    return 0;
}

// ----- repeat the previous value

void FormController::RestoreFromHistory() {
    if (ViewMode() || Closed()) return;
    const Record* last = DittoStore::current().last(Name());
    if (last == nullptr) return;
    Control* focused = Win().focusedControl();
    const int control = focused != nullptr ? focused->number() : lastSelected_;
    const data::TableDecl& d = data::decl(primary_);
    for (LookupDropCombo* l : lookups_) {
        if (l->Control() != control) continue;
        const int f = d.fieldIndex(l->Config().targetField);
        if (f < 0 || IsDittoExcluded(d, f)) return;
        Buffer().set(f, last->get(f));
        l->UpdateWindow();
        return;
    }
    const Binding* b = bindingOf(control);
    if (b == nullptr || b->display || !b->options.ditto || IsDittoExcluded(d, b->field)) return;
    if (Control* c = Win().control(control); c == nullptr || c->readOnly() || c->disabled()) return;
    Buffer().set(b->field, last->get(b->field));
    showBinding(*b);
}

// ----- events

uint8_t FormController::CallSubProcedure(int number, uint8_t request) {
    // A form in view mode opens nothing: its sub-forms answer 2.
    if (ViewMode()) return kCancelled;
    auto it = subProcedures_.find(number);
    if (it == subProcedures_.end() || !it->second) return kCancelled;
    threadState().callRequest = request;
    threadState().callResponse = 0;
    it->second();
    // A procedure that never set up leaves its request unconsumed.
    threadState().callRequest = 0;
    return threadState().callResponse != 0 ? threadState().callResponse : static_cast<uint8_t>(kCancelled);
}

int FormController::DispatchEvent(const WindowEvent& e) {
    ++eventSerial_;
    return WindowController::DispatchEvent(e);
}

int FormController::OnWindowEvent(const WindowEvent& e) {
    if (e.kind == EventKind::AlertKey && e.key == HISTORYKEY && HISTORYKEY != 0) {
        RestoreFromHistory();
        return 0;
    }
    if (e.kind == EventKind::GainFocus || e.kind == EventKind::OpenWindow) toolbar_->Apply();
    return WindowController::OnWindowEvent(e);
}

int FormController::OnControlSelected(int control) {
    if (Control* c = Win().control(control); c != nullptr && takesInput(*c)) lastSelected_ = control;
    return WindowController::OnControlSelected(control);
}

}  // namespace tv::app
