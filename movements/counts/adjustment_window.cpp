// ActualizaInventario: the window that applies a count to stock. "&Aceptar"
// runs the adjustment (one unit of work) with its progress bar; a failure
// is shown after the rollback and the window stays, so the user can try
// again or cancel.
#include <chrono>

#include <QProgressBar>

#include "app/browse/message_box.h"
#include "app/window/window_controller.h"
#include "movements/counts/count_adjustment.h"
#include "movements/counts/count_controls.h"
#include "movements/counts/counts.h"
#include "movements/counts/window_parts.h"
#include "platform/ui/window.h"

namespace tv::movements::counts {

using ui::ControlKind;
using namespace adjust_ui;

namespace {

// How often the bar is drawn again during a long run.
constexpr std::chrono::milliseconds kRepaintEvery{40};

class AdjustmentWindow : public app::WindowController {
public:
    AdjustmentWindow(ui::Window& w, long long countId) : WindowController("ActualizaInventario", w), id_(countId) {}

    int OnAccepted(int control) override {
        if (control != kOk || Closed()) return WindowController::OnAccepted(control);
        if (running_) return 0;
        if (Run()) CloseWithResponse(kCancelled);
        return 0;
    }

private:
    QProgressBar* Bar() const { return Win().at(kProgress).as<QProgressBar>(); }

    bool Run() {
        running_ = true;
        for (int c : {kOk, kCancel}) Win().at(c).setDisabled(true);
        Bar()->setValue(0);
        lastPaint_ = {};
        const AdjustmentResult r = AdjustInventory(data::tables(), id_, [this](long long done, long long total) {
            Progress(done, total);
        });
        for (int c : {kOk, kCancel}) Win().at(c).setDisabled(false);
        running_ = false;
        if (!r.applied) {
            // The message came after the rollback; nothing was changed.
            Bar()->setValue(0);
            return false;
        }
        if (!r.missingArticles.empty())
            app::ShowMessage(kMissingArticlesCaption, MissingArticlesText(r.missingArticles), app::MessageIcon::None);
        return true;
    }

    // While the unit holds the write lock: the windows are drawn again
    // without giving the turn to any other logical thread.
    void Progress(long long done, long long total) {
        QProgressBar* bar = Bar();
        if (bar->maximum() != total) bar->setRange(0, static_cast<int>(total));
        const auto now = std::chrono::steady_clock::now();
        if (done != total && now - lastPaint_ < kRepaintEvery) return;
        lastPaint_ = now;
        ui::repaintWhileBusy([bar, done] { bar->setValue(static_cast<int>(done)); });
    }

    long long id_;
    bool running_ = false;
    std::chrono::steady_clock::time_point lastPaint_{};
};

}  // namespace

void ActualizaInventario(long long countId) {
    ui::Window w(QStringLiteral("Actualizar inventario"), QSize(380, 170), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kSheet, "?SHEET1", {}, QRect(4, 4, 372, 118)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QString(), {}, kSheet});
    w.add({ControlKind::FixedText, kPrompt, "?STRING1",
           QString::fromUtf8("Presione Aceptar para realizar la actualización"), QRect(12, 14, 340, 20), kTab});
    ui::Control& bar = w.add({ControlKind::ProgressBar, kProgress, "?PROGRESO", {}, QRect(12, 44, 340, 20), kTab});
    bar.as<QProgressBar>()->setRange(0, 1);
    bar.as<QProgressBar>()->setValue(0);
    AddButton(w, {kOk, "?OK", "&Aceptar", "Acepta la operacion", "WAOk.ICO", QRect(198, 132, 86, 28)});
    AddButton(w, {kCancel, "?CANCEL", "&Cancelar", "Cancela la operacion", "WACancel.ico", QRect(288, 132, 86, 28)});

    AdjustmentWindow c(w, countId);
    c.FIRSTFIELD = kPrompt;
    c.CloseButtons = {kOk, kCancel};
    app::RunProcedure(c);
}

}  // namespace tv::movements::counts
