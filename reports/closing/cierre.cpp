#include "reports/closing/cierre.h"

#include <algorithm>
#include <chrono>
#include <climits>

#include <QApplication>
#include <QProgressBar>
#include <QTabWidget>

#include "app/frame/procedures.h"
#include "app/window/window_controller.h"
#include "data/thread_table_set.h"
#include "platform/threads/logical_thread.h"
#include "platform/types/date.h"
#include "platform/ui/window.h"
#include "reports/closing/closing.h"

namespace tv::reports {

namespace {

using Clock = std::chrono::steady_clock;

// The window repaints whenever the bar would show another percentage, and
// at least this often.
constexpr auto kRepaintAtLeastEvery = std::chrono::milliseconds(100);

// The progress bar restarts at each pass, measured against that pass's
// table. The closing holds the write lock throughout, so the window is
// repainted without giving the turn to any other logical thread.
class BarProgress : public ClosingProgress {
public:
    explicit BarProgress(QProgressBar* bar) : bar_(bar) {}

    void passStarted(ClosingPass, int64_t total) override {
        maximum_ = std::max<int64_t>(total, 1);
        value_ = 0;
        repaint();
    }
    void advanced(ClosingPass, int64_t done) override {
        value_ = std::min(done, maximum_);
        if (percent() != shownPercent_ || Clock::now() - last_ >= kRepaintAtLeastEvery) repaint();
    }
    void repaint() {
        last_ = Clock::now();
        shownPercent_ = percent();
        ui::repaintWhileBusy([this] {
            if (bar_ == nullptr) return;
            // The bar counts in int; a larger table is shown to scale.
            const int64_t scale = maximum_ / INT_MAX + 1;
            bar_->setRange(0, static_cast<int>(maximum_ / scale));
            bar_->setValue(static_cast<int>(value_ / scale));
        });
    }

private:
    int64_t percent() const { return value_ * 100 / maximum_; }

    QProgressBar* bar_;
    int64_t maximum_ = 1;
    int64_t value_ = 0;
    int64_t shownPercent_ = -1;
    Clock::time_point last_{};
};

constexpr QSize kDesigned(340, 128);

// Where a control stands in a window of the given size: larger than
// designed, the sheet, its text and the bar take the width and the buttons
// keep to the bottom right corner (the sheet holds a fixed content: it does
// not grow downwards).
QRect placeOf(int control, QSize size) {
    const int extra = std::max(0, size.width() - kDesigned.width());
    switch (control) {
        case kCierreSheet: return QRect(4, 4, 332 + extra, 80);
        case kCierreText: return QRect(12, 14, 300 + extra, 20);
        case kCierreProgress: return QRect(12, 44, 300 + extra, 20);
        case kCierreOk: return QRect(size.width() - 186, size.height() - 36, 86, 28);
        case kCierreCancel: return QRect(size.width() - 92, size.height() - 36, 86, 28);
        default: return {};
    }
}

class CierreController : public app::WindowController {
public:
    using WindowController::WindowController;

protected:
    void OpenTables() override {
        using data::TableId;
        for (TableId t : kOpened) data::tables().relations(t).OpenWithRelated();
        // The documents' headers are opened when their pass first needs them.
        data::tables().EntradasTableGateway().UseOnDemand(data::kUseInitialise);
        data::tables().OrdenesTableGateway().UseOnDemand(data::kUseInitialise);
    }
    void CloseTables() override {
        for (data::TableId t : kOpened) data::tables().relations(t).CloseWithRelated();
    }

public:
    void OnResized() override {
        WindowController::OnResized();
        ui::Window& w = Win();
        if (w.widget() == nullptr) return;
        const QSize now = w.widget()->size().expandedTo(kDesigned);
        for (int control : {kCierreSheet, kCierreText, kCierreProgress, kCierreOk, kCierreCancel})
            if (QWidget* c = w.at(control).widget(); c != nullptr && c->geometry() != placeOf(control, now))
                c->setGeometry(placeOf(control, now));
    }

    int OnAccepted(int control) override {
        // Both buttons close the window; "&Aceptar" runs the closing first
        // and, when it was not done, leaves the window open to try again.
        if (control == kCierreOk && !RunIt()) return 0;
        return WindowController::OnAccepted(control);
    }

private:
    static constexpr data::TableId kOpened[] = {data::TableId::Articulo, data::TableId::Kardex,
                                                data::TableId::DetEntradas, data::TableId::DetOrdenes,
                                                data::TableId::Salidas};

    bool RunIt() {
        ui::Window& w = Win();
        auto* bar = w.at(kCierreProgress).as<QProgressBar>();
        w.at(kCierreOk).setDisabled(true);
        w.at(kCierreCancel).setDisabled(true);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        BarProgress progress(bar);
        bool done = false;
        {
            // No other window's thread runs in the middle of the closing,
            // whatever its store makes it wait for.
            threads::KeepTurn keep;
            progress.repaint();
            done = RunClosing(today(), &progress).done;
        }
        QApplication::restoreOverrideCursor();
        if (!done) {
            // The messages have been shown; the period is as it was.
            if (bar != nullptr) bar->setValue(0);
            w.at(kCierreOk).setDisabled(false);
            w.at(kCierreCancel).setDisabled(false);
        }
        return done;
    }
};

void BuildCierreWindow(ui::Window& w) {
    using ui::ControlKind;
    ui::Control& sheet = w.add({ControlKind::Sheet, kCierreSheet, "?SHEET1", "", placeOf(kCierreSheet, kDesigned)});
    w.add({ControlKind::Tab, kCierreTab, "?TAB1", "", {}, kCierreSheet});
    // Its one tab has no caption: no empty tab header above it.
    if (auto* tabs = sheet.as<QTabWidget>()) tabs->setTabBarAutoHide(true);
    w.add({ControlKind::FixedText, kCierreText, "?STRING1",
           QStringLiteral("Presione Aceptar para realizar el cierre de período"), placeOf(kCierreText, kDesigned),
           kCierreTab});
    w.add({ControlKind::ProgressBar, kCierreProgress, "?PROGRESO", "", placeOf(kCierreProgress, kDesigned),
           kCierreTab});
    ui::Control& ok =
        w.add({ControlKind::Button, kCierreOk, "?OK", QStringLiteral("&Aceptar"), placeOf(kCierreOk, kDesigned)});
    ui::Control& cancel =
        w.add({ControlKind::Button, kCierreCancel, "?CANCEL", QStringLiteral("&Cancelar"), placeOf(kCierreCancel, kDesigned)});
    ok.setTip(QStringLiteral("Acepta la operacion"));
    ok.setStatusText(QStringLiteral("Acepta la operacion"));
    cancel.setTip(QStringLiteral("Cancela la operacion"));
    cancel.setStatusText(QStringLiteral("Cancela la operacion"));
}

}  // namespace

void Cierre() {
    ui::Window w(QStringLiteral("Cierre de período"), kDesigned);
    BuildCierreWindow(w);
    CierreController c("Cierre", w);
    c.FIRSTFIELD = kCierreOk;
    c.CloseButtons = {kCierreOk, kCierreCancel};
    app::RunProcedure(c);
}

void RegisterClosingProcedures() { app::RegisterProcedure("Cierre", Cierre); }

}  // namespace tv::reports
