#include "app/form/form_toolbar_binding.h"

#include <algorithm>

#include "app/form/form_controller.h"
#include "platform/threads/thread_state.h"

namespace tv::app {

namespace tb = form_toolbar;

std::vector<int> FormToolbarButtons(int request) {
    switch (request) {
        case kInsert:
            return {tb::kInsert, tb::kDown, tb::kHistory};
        case kChange:
            return {tb::kInsert, tb::kBottom, tb::kTop, tb::kPageDown, tb::kPageUp, tb::kDown, tb::kUp, tb::kHistory};
        default:
            return {};
    }
}

ui::Window* FormToolbarBinding::ToolbarWindow() const {
    if (explicit_) return toolbar_;
    // The frame's buttons reflect the active window only.
    return FrameIfActiveChild(form_.Win());
}

bool FormToolbarBinding::Enabled(int button) const {
    const std::vector<int> on = FormToolbarButtons(form_.REQUEST);
    return std::find(on.begin(), on.end(), button) != on.end();
}

void FormToolbarBinding::Apply() {
    ui::Window* w = ToolbarWindow();
    if (w == nullptr) return;
    for (int b = tb::kFirst; b <= tb::kLast; ++b)
        if (ui::Control* c = w->control(b)) c->setDisabled(!Enabled(b));
}

bool FormToolbarBinding::TakeEvent(WindowController&, const ui::WindowEvent& e) {
    if (e.kind != ui::EventKind::Accepted || e.control < tb::kFirst || e.control > tb::kLast) return false;
    // A button the form does not serve does nothing here.
    if (!Enabled(e.control) || form_.Closed()) return true;
    if (e.control == tb::kHistory) {
        form_.RestoreFromHistory();
        return true;
    }
    // Insert or a move: complete the form as "Aceptar" does; the list that
    // opened it acts on the request.
    if (form_.VCRREQUEST != nullptr) *form_.VCRREQUEST = e.control;
    form_.Accept();
    return true;
}

}  // namespace tv::app
