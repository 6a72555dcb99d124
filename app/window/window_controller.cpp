#include "app/window/window_controller.h"

#include <algorithm>
#include <exception>

#include "app/globals.h"
#include "app/window/running_procedures.h"
#include "platform/ui/colors.h"
#include "platform/ui/desktop.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStackedWidget>
#include <QTabWidget>

namespace tv::app {

using ui::Control;
using ui::ControlKind;
using ui::EventKind;
using ui::WindowEvent;

namespace {

bool keepsOwnColour(ControlKind k) {
    return k == ControlKind::List || k == ControlKind::Combo || k == ControlKind::DropList ||
           k == ControlKind::DropCombo;
}

}  // namespace

WindowController::WindowController(std::string procedureName, ui::Window& window)
    : name_(std::move(procedureName)), window_(window) {}

WindowController::~WindowController() = default;

uint8_t WindowController::RunWindow() {
    // An error that ends the procedure takes its window, tables and running
    // entry with it; else its menu item would stay refused. The tear-down
    // may wait (a message): it runs outside the handler, because the
    // handlers of all logical threads share one chain of caught exceptions.
    std::exception_ptr error;
    try {
        const int r = SetUp();
        if (r == kSetUpOk) RunEventLoop();
    } catch (...) {
        error = std::current_exception();
    }
    TearDown();
    if (error) std::rethrow_exception(error);
    return RESPONSE != 0 ? RESPONSE : static_cast<uint8_t>(kCancelled);
}

int WindowController::SetUp() {
    // 1. Messages raised from here on name this procedure.
    tracking_.emplace(name_);
    // 2.
    REQUEST = threadState().callRequest;
    // 3.
    if (int r = BaseSetUp(); r != 0) return r;
    // 4.
    VCRREQUEST = &threadState().navigationRequest;
    ERRORS = &ErrorReporter::instance();
    AttachToolbar();
    // 5. One window per procedure; a look-up (select mode) blocks nobody.
    if (REQUEST != kSelect) {
        if (FindRunningProcedure(name_)) {
            const threads::ThreadNo other = globals().RunningProceduresBuffer.THREADNUMERO;
            ui::Window::postTo(other, WindowEvent{EventKind::GainFocus, 0});
            // The request was meant for this window; it is not left for the next.
            threadState().callRequest = 0;
            return kSetUpRefused;
        }
        AddRunningProcedure(name_, threads::current());
        OwnRunningEntry = 1;
    }
    // 6.
    threadState().callRequest = 0;
    threadState().callResponse = 0;
    // 8.-9. Close buttons are taken from CloseButtons when accepted; the tables.
    OpenTables();
    FILESOPENED = 1;
    if (int r = SetUpBeforeOpen(); r != 0) return r;
    // 10.
    OpenWindowStructure();
    // 11.-13.
    if (UseColours) ApplyColours();
    window_.setIcon(ui::programIcon("tq.ico"));
    window_.alertKey(ui::kEnterKey);
    SetUpAfterOpen();
    // 14.
    if (UseResizer) {
        resizer_ = std::make_unique<ui::WindowResizer>(window_);
        resizer_->setUp();
        // A window that opened larger than designed (maximised among
        // maximised windows) lays its controls out at once.
        resizer_->apply();
    }
    // 15.
    RegisterAlertKeys();
    return kSetUpOk;
}

void WindowController::OpenWindowStructure() {
    window_.open(FIRSTFIELD);
    OPENED = 1;
}

void WindowController::ApplyColours() {
    window_.setBackground(ui::colors::kWindow);
    std::vector<Control*> tabs;
    for (Control* c : window_.controls()) {
        switch (c->kind()) {
            case ControlKind::Tab: tabs.push_back(c); break;
            case ControlKind::Entry:
                if (ColourEntries) c->setBackground(ui::colors::kEntry);
                break;
            case ControlKind::List: c->setBackground(ui::colors::kList); break;
            case ControlKind::Prompt:
            case ControlKind::FixedText:
            case ControlKind::DisplayString: c->setTransparent(); break;
            default: break;
        }
    }
    std::sort(tabs.begin(), tabs.end(), [](Control* a, Control* b) { return a->number() < b->number(); });
    for (std::size_t i = 0; i < tabs.size(); ++i) tabs[i]->setBackground(ui::colors::kTabs[i % 3]);
}

void WindowController::RegisterAlertKeys() {
    window_.alertKey(ui::kEnterKey);
    for (WindowComponent* c : components_) c->RegisterAlertKeys(window_);
}

int WindowController::RunEventLoop() {
    while (!closed_) {
        const WindowEvent e = window_.nextEvent();
        DispatchEvent(e);
    }
    return 0;
}

int WindowController::DispatchEvent(const WindowEvent& e) {
    if (e.kind == EventKind::NewSelection) {
        // Another tab: the highlight goes where the focus is now, never
        // stays around a control that is not showing.
        if (Control* sheet = window_.control(e.control); sheet != nullptr && sheet->kind() == ControlKind::Sheet) {
            for (WindowComponent* c : components_)
                if (c->TakeEvent(*this, e)) {
                    FollowFocus();
                    return 0;
                }
            const int r = OnFieldEvent(e);
            FollowFocus();
            return r;
        }
    }
    for (WindowComponent* c : components_)
        if (c->TakeEvent(*this, e)) return 0;
    switch (e.kind) {
        case EventKind::Accepted:
        case EventKind::Selected:
        case EventKind::NewSelection:
        case EventKind::ListMouse:
        case EventKind::ListKey:
            return OnFieldEvent(e);
        case EventKind::User:
            return OnNotify(e);
        default:
            return OnWindowEvent(e);
    }
}

int WindowController::OnFieldEvent(const WindowEvent& e) {
    switch (e.kind) {
        case EventKind::Accepted: return OnAccepted(e.control);
        case EventKind::Selected: return OnControlSelected(e.control);
        case EventKind::NewSelection: return OnNewSelection(e.control);
        default: return 0;
    }
}

int WindowController::OnAccepted(int control) {
    if (std::find(CloseButtons.begin(), CloseButtons.end(), control) != CloseButtons.end()) {
        CloseWithResponse(kCancelled);
        return 0;
    }
    if (control != 0 && control == OKCONTROL) AcceptAll();
    return 0;
}

int WindowController::OnNewSelection(int) { return 0; }

bool WindowController::HiddenOnItsOwn(const Control& c) {
    QWidget* root = c.window().widget();
    for (QWidget* w = c.widget(); w != nullptr && w != root; w = w->parentWidget()) {
        if (!w->isHidden()) continue;
        // A page of a tab sheet is hidden while another tab shows; its
        // controls are still the window's.
        QWidget* stack = w->parentWidget();
        if (stack != nullptr && qobject_cast<QStackedWidget*>(stack) != nullptr &&
            qobject_cast<QTabWidget*>(stack->parentWidget()) != nullptr)
            continue;
        return true;
    }
    return c.widget() == nullptr;
}

bool WindowController::AcceptAll() {
    // Every control of every tab, whichever shows and wherever the focus is.
    for (Control* c : window_.controls()) {
        if (!AcceptControl(*c)) return false;
        if (c->required() && !HiddenOnItsOwn(*c) && !c->disabled() && c->isBlank()) {
            ShowControl(*c);
            ui::beep();
            c->focus();
            return false;
        }
    }
    window_.post(WindowEvent{EventKind::Completed, 0});
    return true;
}

void WindowController::ShowControl(const Control& c) {
    // The tab that holds it comes to the front, so the focus can go there.
    for (QWidget* w = c.widget(); w != nullptr && w != window_.widget(); w = w->parentWidget()) {
        QWidget* stack = w->parentWidget();
        if (stack == nullptr) break;
        if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
            tabs != nullptr && qobject_cast<QStackedWidget*>(stack) != nullptr && tabs->indexOf(w) >= 0)
            tabs->setCurrentWidget(w);
    }
}

int WindowController::OnCompleted() {
    CloseWithResponse(kCompleted);
    return 0;
}

int WindowController::OnCloseRequest() {
    CloseWithResponse(RESPONSE != 0 ? RESPONSE : static_cast<uint8_t>(kCancelled));
    return 0;
}

void WindowController::CloseWithResponse(uint8_t response) {
    RESPONSE = response;
    closed_ = true;
}

uint8_t WindowController::CallSubProcedure(int, uint8_t) { return kCancelled; }

void WindowController::RefreshWindow() {
    for (WindowComponent* c : components_) c->UpdateWindow();
}

void WindowController::UpdateComponents() {
    for (WindowComponent* c : components_) c->UpdateBuffers();
}

void WindowController::SetControlDisabled(int control, bool disabled) {
    if (Control* c = window_.control(control)) c->setDisabled(disabled);
}

int WindowController::OnWindowEvent(const WindowEvent& e) {
    if (e.kind == EventKind::AlertKey && e.key == ui::kEnterKey && EnterMovesFocus != 0) {
        // The control that has the focus now; when the window is not the
        // active one, the control the key was pressed in.
        Control* f = window_.focusedControl();
        if (f == nullptr) f = window_.control(e.control);
        LastEnterControl = static_cast<int16_t>(f != nullptr ? f->number() : 0);
        if (f != nullptr && OkButton != 0 && CancelButton != 0 &&
            (f->number() == OkButton || f->number() == CancelButton) && f->kind() == ControlKind::Button) {
            // Enter presses the window's OK or Cancel button.
            window_.post(WindowEvent{EventKind::Accepted, f->number()});
        } else if (f != nullptr && f->kind() == ControlKind::MultiLineText) {
            // The line break stays inside the text.
            window_.pressKeys({ui::kShiftEnterKey, ui::kShiftKey});
            return 0;
        } else {
            window_.pressKey(ui::kTabKey);
            return 0;
        }
    }
    switch (e.kind) {
        case EventKind::GainFocus:
            if (window_.isOpen()) window_.restoreAndActivate();
            OnResized();
            // Back from a message or a question: the highlight follows the
            // control that has the focus now.
            FollowFocus();
            break;
        case EventKind::Resized:
            OnResized();
            break;
        case EventKind::OpenWindow:
            if (!firstOpenDone_) {
                firstOpenDone_ = true;
                OnFirstOpen();
            }
            break;
        case EventKind::CloseWindow:
        case EventKind::CloseDown:
            OnCloseRequest();
            break;
        case EventKind::Completed:
            OnCompleted();
            break;
        default:
            break;
    }
    return 0;
}

// ----- focus highlight

bool WindowController::Qualifies(const Control& c) {
    switch (c.kind()) {
        case ControlKind::Entry:
        case ControlKind::SpinBox:
        case ControlKind::RadioButton:
        case ControlKind::CheckBox:
        case ControlKind::DropCombo:
        case ControlKind::DropList:
        case ControlKind::MultiLineText:
            return true;
        case ControlKind::List:
        case ControlKind::Combo:
            return c.dropRows() > 0;  // only the drop-down ones
        default:
            return false;
    }
}

void WindowController::RemoveHighlight() {
    if (Highlight.HighlightedControl == 0) return;
    if (Control* old = window_.control(Highlight.HighlightedControl); old != nullptr && !keepsOwnColour(old->kind()))
        old->setBackground(Highlight.SavedColor);
    window_.erase(QRect(Highlight.HighlightX - 8, Highlight.HighlightY - 2, Highlight.HighlightWidth + 16,
                        Highlight.HighlightHeight + 4));
}

void WindowController::DrawHighlight(Control& c) {
    Highlight.HighlightedControl = c.number();
    Highlight.SavedColor = c.background();
    Highlight.SavedFontStyle = c.font().weight();
    Highlight.SavedFontColor = ui::colors::kMarker;
    if (!keepsOwnColour(c.kind())) c.setBackground(ui::colors::kHighlight);
    const QRect r = c.position();
    Highlight.HighlightX = static_cast<int16_t>(r.x());
    Highlight.HighlightY = static_cast<int16_t>(r.y());
    Highlight.HighlightWidth = static_cast<int16_t>(r.width());
    Highlight.HighlightHeight = static_cast<int16_t>(r.height());
    window_.drawBox(QRect(r.x() - 2, r.y() - 2, r.width() + 4, r.height() + 4), ui::colors::kBlack,
                    ui::colors::kHighlight);
    window_.drawText(QPoint(r.x() - 8, r.y()), QStringLiteral("»"), ui::colors::kMarker);
}

int WindowController::OnControlSelected(int control) {
    RemoveHighlight();
    Control* c = window_.control(control);
    // A control that does not qualify takes the highlight away, so the box
    // never stays around a control that no longer has the focus.
    if (c == nullptr || c->hidden() || c->disabled() || !MayHighlight(*c) || !Qualifies(*c)) {
        Highlight.HighlightedControl = 0;
        return 0;
    }
    DrawHighlight(*c);
    return 0;
}

void WindowController::FollowFocus() {
    Control* f = window_.focusedControl();
    if (f != nullptr && f->number() != Highlight.HighlightedControl) {
        OnControlSelected(f->number());
        return;
    }
    if (Highlight.HighlightedControl == 0) return;
    Control* c = window_.control(Highlight.HighlightedControl);
    if (c == nullptr || c->hidden() || c->disabled()) {
        RemoveHighlight();
        Highlight.HighlightedControl = 0;
    }
}

void WindowController::OnResized() {
    if (resizer_ != nullptr) resizer_->apply();
    if (Highlight.HighlightedControl == 0) return;
    Control* c = window_.control(Highlight.HighlightedControl);
    RemoveHighlight();
    if (c == nullptr || c->hidden() || c->disabled() || !Qualifies(*c)) {
        Highlight.HighlightedControl = 0;
        return;
    }
    DrawHighlight(*c);
}

// ----- tear-down

int WindowController::TearDown() {
    if (tornDown_) return 1;
    tornDown_ = true;
    window_.close();
    if (FILESOPENED != 0) {
        CloseTables();
        FILESOPENED = 0;
    }
    if (OwnRunningEntry != 0) {
        RemoveRunningProcedure(name_);
        OwnRunningEntry = 0;
    }
    tracking_.reset();
    return 0;
}

ui::Window* FrameIfActiveChild(const ui::Window& w) {
    for (ui::Window* f : ui::Window::openWindows()) {
        if (f->placement() != ui::Window::Placement::Frame || f->mdiArea() == nullptr) continue;
        QMdiSubWindow* active = f->mdiArea()->activeSubWindow();
        return active != nullptr && active == w.topWidget() ? f : nullptr;
    }
    return nullptr;
}

uint8_t RunProcedure(WindowController& controller) {
    const uint8_t r = controller.RunWindow();
    threadState().callResponse = r;
    return r;
}

}  // namespace tv::app
