#include "app/help/help.h"

#include "app/window/window_controller.h"
#include "platform/ui/desktop.h"

namespace tv::app {

namespace {

enum : int { kSheet = 1, kTab = 2, kText = 3, kButton = 4 };

// Both windows: a sheet with one tab holding their button.
void addSheet(ui::Window& w) {
    w.add({ui::ControlKind::Sheet, kSheet, "?SHEET1", "", QRect(4, 4, 352, 112)});
    w.add({ui::ControlKind::Tab, kTab, "?TAB1", "", {}, kSheet});
}

class ManualController : public WindowController {
public:
    using WindowController::WindowController;
    int OnAccepted(int control) override {
        // The window stays: the manual can be opened again.
        if (control == kButton) ui::desktopOpener().open(QString::fromUtf8(kManualFile));
        return WindowController::OnAccepted(control);
    }
};

class SupportController : public WindowController {
public:
    using WindowController::WindowController;
    int OnAccepted(int control) override {
        if (control == kButton) {
            ui::desktopOpener().open(QString::fromUtf8(kSupportAddress));
            Win().post(ui::WindowEvent{ui::EventKind::CloseWindow, 0});
        }
        return WindowController::OnAccepted(control);
    }
};

}  // namespace

void ConsultaManual() {
    ui::Window w(QStringLiteral("Consulta del manual"), QSize(360, 124));
    addSheet(w);
    w.add({ui::ControlKind::Button, kButton, "?BUTTON3", QStringLiteral("&Consultar manual del usuario"),
           QRect(60, 30, 220, 30), kTab});
    ManualController c("ConsultaManual", w);
    c.FIRSTFIELD = kButton;
    RunProcedure(c);
}

void Soporte() {
    ui::Window w(QStringLiteral("Soporte técnico"), QSize(360, 124));
    addSheet(w);
    w.add({ui::ControlKind::FixedText, kText, "?STRING1", QStringLiteral("Asegúrese de tener acceso a Internet"),
           QRect(40, 12, 280, 20), kTab});
    w.add({ui::ControlKind::Button, kButton, "?BUTTON3", QStringLiteral("&Solicitar soporte técnico"),
           QRect(60, 44, 220, 30), kTab});
    SupportController c("Soporte", w);
    c.FIRSTFIELD = kButton;
    RunProcedure(c);
}

}  // namespace tv::app
