#include "app/help/help.h"

#include <QDir>
#include <QFileInfo>

#include "app/window/window_controller.h"
#include "platform/errors/error_reporter.h"
#include "platform/ui/desktop.h"

namespace tv::app {

namespace {

enum : int { kSheet = 1, kTab = 2, kText = 3, kButton = 4 };

// Both windows: a sheet with one tab holding their button.
void addSheet(ui::Window& w) {
    w.add({ui::ControlKind::Sheet, kSheet, "?SHEET1", "", QRect(4, 4, 352, 112)});
    w.add({ui::ControlKind::Tab, kTab, "?TAB1", "", {}, kSheet});
}

void tellUser(const QString& text) {
    MessageBox box;
    box.caption = "Consulta del manual";
    box.text = text.toStdString();
    box.buttons = MessageBox::Buttons::Ok;
    box.icon = MessageBox::Icon::Information;
    if (MessagePresenter* p = ErrorReporter::instance().presenter()) p->show(box);
}

void openManual() {
    QString file = QString::fromUtf8(kManualFile);
    QString path = QDir::current().absoluteFilePath(file);
    // Deleted since the start: the one the build made takes its place.
    if (!QFileInfo::exists(path)) ProvideManual(QDir::currentPath(), BuiltManualPath());
    // A folder this station may not write to: the built one is read where it is.
    if (!QFileInfo::exists(path) && QFileInfo::exists(BuiltManualPath())) file = path = BuiltManualPath();
    if (!QFileInfo::exists(path)) {
        tellUser(QStringLiteral("No se encontró el manual del usuario. Debería estar en:\n\n%1").arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (!ui::desktopOpener().open(file))
        tellUser(QStringLiteral("No hay en este equipo un programa que abra archivos PDF. "
                                "El manual del usuario está en:\n\n%1\n\n"
                                "Ábralo con un lector de PDF, en este equipo o en otro.")
                     .arg(QDir::toNativeSeparators(path)));
}

class ManualController : public WindowController {
public:
    using WindowController::WindowController;
    int OnAccepted(int control) override {
        // The window stays: the manual can be opened again.
        if (control == kButton) openManual();
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
