#include "app/frame/main_frame.h"

#include "platform/types/locale_texts.h"

#include <algorithm>

#include <QEvent>
#include <QLocale>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolBar>

#include "app/frame/procedures.h"
#include "app/globals.h"
#include "app/help/help.h"
#include "app/login/login.h"
#include "platform/threads/logical_thread.h"
#include "platform/ui/desktop.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/resizer.h"

namespace tv::app {

namespace {

constexpr std::size_t kBig = 50000;
constexpr std::size_t kSmall = 25000;

ui::Window* g_frame = nullptr;

// Keeps the background picture covering the whole area, whatever its size.
class BackgroundScaler : public QObject {
public:
    BackgroundScaler(QPixmap picture, QMdiArea* area) : QObject(area), picture_(std::move(picture)), area_(area) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == area_ && e->type() == QEvent::Resize && !area_->size().isEmpty())
            area_->setBackground(QBrush(picture_.scaled(area_->size(), Qt::KeepAspectRatioByExpanding,
                                                         Qt::SmoothTransformation)));
        return false;
    }

private:
    QPixmap picture_;
    QMdiArea* area_;
};

}  // namespace

const std::vector<FrameMenuItem>& FrameMenu() {
    static const std::vector<FrameMenuItem> m = {
        {-2, 0, "&Tablas del sistema", "Tablas del sistema", nullptr, 0, false, 0},
        {-3, -2, "&Artículos", "Tabla de artículos", "BrowseArticulo", kBig, false, 1},
        {-4, -2, "&Proveedores", "Tabla de proveedores", "BrowseProveedores", kBig, false, 2},
        {-5, -2, "&Marcas", "Tabla de marcas de artículos", "BrowseMarcas", kBig, false, 3},
        {-6, -2, "&Unidades de medida", "Tabla de unidades de medida", "BrowseUnidades", kBig, false, 4},
        {-7, -2, "Categorías de artículos", "Tabla de categorías de artículos", "BrowseCatArticulos", kBig, false, 5},
        {-8, -2, "C&iudades", "Tabla de ciudades", "BrowseCiudades", kBig, false, 6},
        {-9, -2, "&Estados", "Tabla de estados", "BrowseEstados", kBig, false, 7},
        {-10, -2, "Países", "Tabla de países", "BrowsePaises", kBig, false, 8},
        {-11, -2, "&Departamentos", "Departamentos de la empresa", "BrowseDeptos", kSmall, false, 9},
        {-12, -2, "Tipos de entradas", "Tabla de tipos de entradas de almacén", "BrowseTiposEntrada", kSmall, false, 10},
        {-13, -2, "Tipos de salidas", "Tipos de salidas de almacén", "BrowseTiposSalidas", kSmall, false, 11},
        {-14, -2, "Almacenes", "Tabla de almacenes", "BrowseAlmacenes", kBig, false, 12},
        {-15, 0, "Ca&ptura", "Captura de movimientos", nullptr, 0, false, 0},
        {-16, -15, "&Ordenes de compra", "Registro de órdenes de compra", "BrowseOrdenes", kSmall, false, 20},
        {-17, -15, "&Entradas de almacén", "Captura de entradas de almacén", "BrowseEntradas", kSmall, false, 21},
        {-18, -15, "&Salidas de almacén", "Registro de salidas de alamcén", "BrowseSalidas", kSmall, false, 22},
        {-19, -15, "&Inventario físico", "Registro de inventario físico", "BrowseFisico", kSmall, false, 23},
        {-20, 0, "C&onsultas", "Consulta de información", nullptr, 0, false, 0},
        {-21, -20, "E&xistencias", "Consulta de existencias", "BrowseConsultaExistencias", kSmall, false, 30},
        {-22, -20, "&Kardex", "Consulta del kardex de almacén", "BrowseConsultaKardex", kSmall, false, 31},
        {-23, -20, "&Artículos por surtir", "Artículos pendientes de surtir", "ConsultaArtPendientes", kSmall, false, 32},
        {-24, -20, "Precios por pro&veedor", "Consulta de precios por proveedor", "ConsultaPreciosProv", kSmall, false, 33},
        {-25, 0, "&Reportes", "Reportes impresos", nullptr, 0, false, 0},
        {-26, -25, "&Existencias", "Reporte de existencias", "FiltroReporteExistencia", kSmall, false, 40},
        {-27, -25, "&Kardex", "Impresión del kardex de almacén", "FiltroReporteKardex", kSmall, false, 41},
        {-28, -25, "&Artículos por surtir", "Impresión de artículos pendientes de surtir", "FiltroReportePorSurtir", kSmall, false, 42},
        {-29, -25, "&Valor del inventario", "Impresión del valor del inventario", "FiltroReporteValor", kSmall, false, 43},
        {-30, 0, "&Datos del sistema", "", nullptr, 0, false, 0},
        {-31, -30, "&Folios", "Control de folios", "UpdateFolios", kSmall, false, 50},
        {-32, -30, "&Usuarios", "Usuarios del sistema", "LoginAdminstrador", kSmall, false, 0},
        {-33, 0, "&Procesos", "Procesos especiales", nullptr, 0, false, 0},
        {-34, -33, "&Cierre de período", "Cierre de período", "Cierre", kSmall, false, 60},
        {-35, -33, "Conversiones a E&xcel", "Conversión de datos a Excel", nullptr, 0, false, 61},
        {-36, -35, "Artículos", "Conversión de artículos a Excel", "FiltroArtExcel", kSmall, false, 0},
        {-37, -35, "&Proveedores", "Conversión a Excel de proveedores", "FiltroExcelProv", kSmall, false, 0},
        {-38, 0, "A&yuda", "Acceso a la ayuda", nullptr, 0, false, 0},
        {-39, -38, "&Manual del usuario", "Consulta del manual del usuario", "ConsultaManual", 0, true, 0},
        {-40, -38, "Soporte técnico", "Acceso a soporte técnico", "Soporte", 0, true, 0},
    };
    return m;
}

const std::vector<FrameButton>& FrameRecordButtons() {
    // In their order on the toolbar.
    static const std::vector<FrameButton> b = {
        {3006, "?TOOLBAR:TOP", "Go to the First Page", nullptr, nullptr, 0},
        {3008, "?TOOLBAR:PAGEUP", "Go to the Prior Page", nullptr, nullptr, 0},
        {3010, "?TOOLBAR:UP", "Go to the Prior Record", nullptr, nullptr, 0},
        {3011, "?TOOLBAR:LOCATE", "Locate record", nullptr, nullptr, 0},
        {3009, "?TOOLBAR:DOWN", "Go to the Next Record", nullptr, nullptr, 0},
        {3007, "?TOOLBAR:PAGEDOWN", "Go to the Next Page", nullptr, nullptr, 0},
        {3005, "?TOOLBAR:BOTTOM", "Go to the Last Page", nullptr, nullptr, 0},
        {3004, "?TOOLBAR:SELECT", "Select This Record", nullptr, nullptr, 0},
        {3001, "?TOOLBAR:INSERT", "Insert a New Record", nullptr, nullptr, 0},
        {3002, "?TOOLBAR:CHANGE", "Edit This Record", nullptr, nullptr, 0},
        {3003, "?TOOLBAR:DELETE", "Delete This Record", nullptr, nullptr, 0},
        {3012, "?TOOLBAR:HISTORY", "Previous value", nullptr, nullptr, 0},
        {3013, "?TOOLBAR:HELP", "Get Help", nullptr, nullptr, 0},
    };
    return b;
}

const std::vector<FrameButton>& FrameShortcutButtons() {
    static const std::vector<FrameButton> b = {
        {3014, "?BUTTON14", "Catálogo de artículos", "productos.ico", "BrowseArticulo", 1},
        {3019, "?BUTTON17", "Catálogo de proveedores", "proveedores.ico", "BrowseProveedores", 2},
        {3018, "?BUTTON18", "Ordenes de compra", "ordencompra.ico", "BrowseOrdenes", 20},
        {3015, "?BUTTON15", "Entradas de almacén", "entradas.ico", "BrowseEntradas", 21},
        {3016, "?BUTTON16", "Salidas de almacén", "iconosalida.ico", "BrowseSalidas", 22},
    };
    return b;
}

void SetLocaleTexts() {
    setLocaleTexts(kMonthNames, kShortMonthNames, kTimeOfDayMarkers);
    ui::setButtonCaptions(QString::fromUtf8(ui::kSpanishButtonCaptions));
    // Day names of the calendar and of dates shown by Qt; the month names
    // are the ones above (the calendar shows them).
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Mexico));
}

ui::Window* FrameWindow() { return g_frame; }

void EnableRecordButtons(const std::vector<int>& enabled) {
    if (g_frame == nullptr) return;
    for (int n = kFirstRecordButton; n <= kLastRecordButton; ++n)
        g_frame->at(n).setDisabled(std::find(enabled.begin(), enabled.end(), n) == enabled.end());
}

void BuildFrameWindow(ui::Window& w) {
    for (const FrameMenuItem& m : FrameMenu()) {
        const ui::ControlKind kind = m.procedure == nullptr ? ui::ControlKind::Menu : ui::ControlKind::MenuItem;
        ui::Control& c = w.add({kind, m.control, "", QString::fromUtf8(m.text), {}, m.parent});
        c.setStatusText(QString::fromUtf8(m.status));
        if (m.procedure != nullptr) SetStandInCaption(m.procedure, QString::fromUtf8(m.status));
    }
    w.add({ui::ControlKind::Toolbar, kFrameToolbar, "?TOOLBAR", QStringLiteral("Barra de herramientas")});
    auto addButton = [&w](const FrameButton& b, bool disabled) {
        ui::Control& c = w.add({ui::ControlKind::ToolbarButton, b.control, b.name, QString::fromUtf8(b.status), {},
                                kFrameToolbar});
        c.setIcon(ui::programIcon(b.picture != nullptr ? b.picture : b.name));
        c.setTip(QString::fromUtf8(b.status));
        c.setStatusText(QString::fromUtf8(b.status));
        c.setDisabled(disabled);
    };
    for (const FrameButton& b : FrameRecordButtons()) addButton(b, true);
    w.at(kFrameToolbar).as<QToolBar>()->addSeparator();
    for (const FrameButton& b : FrameShortcutButtons()) addButton(b, false);
    if (auto* tb = w.at(kFrameToolbar).as<QToolBar>()) tb->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const QPixmap back = ui::programPicture("back01.jpg");
    if (w.mdiArea() != nullptr) {
        // A new active child enables its own record buttons when it gains the focus.
        QObject::connect(w.mdiArea(), &QMdiArea::subWindowActivated, w.mdiArea(), [&w](QMdiSubWindow*) {
            for (int n = kFirstRecordButton; n <= kLastRecordButton; ++n) w.at(n).setDisabled(true);
        });
    }
    if (!back.isNull() && w.mdiArea() != nullptr) {
        w.mdiArea()->setBackground(QBrush(back));
        w.mdiArea()->installEventFilter(new BackgroundScaler(back, w.mdiArea()));
    }
}

MainController::MainController(ui::Window& w) : WindowController("Main", w) {
    FIRSTFIELD = 1;
    UseColours = false;
    UseResizer = false;
}

void MainController::OnFirstOpen() {
    SetLocaleTexts();
    if (IsRegistered("Login")) FindProcedure("Login")();
    if (AccessDenied()) {
        // "Acceso negado": the run ends the ordinary way, from here.
        CloseWithResponse(kCancelled);
        return;
    }
    ApplyRights();
}

void MainController::ApplyRights() {
    const auto& rights = globals().UserPermissions;
    for (const FrameMenuItem& m : FrameMenu())
        if (m.right != 0 && rights[static_cast<std::size_t>(m.right)] == 0) SetControlDisabled(m.control, true);
    for (const FrameButton& b : FrameShortcutButtons())
        if (b.right != 0 && rights[static_cast<std::size_t>(b.right)] == 0) SetControlDisabled(b.control, true);
}

void MainController::StartItem(const char* procedure, std::size_t stack, bool direct) {
    Procedure p = FindProcedure(procedure);
    if (direct) {
        p();
        return;
    }
    threads::start(std::move(p), stack);
}

int MainController::OnAccepted(int control) {
    if (control >= kFirstRecordButton && control <= kLastRecordButton) {
        // The record buttons act on the active child window, on its thread.
        QMdiArea* area = Win().mdiArea();
        QMdiSubWindow* sub = area != nullptr ? area->activeSubWindow() : nullptr;
        ui::Window* target = sub != nullptr ? ui::Window::of(sub) : nullptr;
        if (target != nullptr && target->owner() != threads::current()) {
            ui::Window::postTo(target->owner(), ui::WindowEvent{ui::EventKind::Accepted, control});
            return 0;
        }
        return WindowController::OnAccepted(control);
    }
    for (const FrameMenuItem& m : FrameMenu()) {
        if (m.control == control && m.procedure != nullptr) {
            StartItem(m.procedure, m.stack, m.direct);
            break;
        }
    }
    WindowController::OnAccepted(control);
    for (const FrameButton& b : FrameShortcutButtons()) {
        if (b.control == control) {
            StartItem(b.procedure, kSmall, false);
            break;
        }
    }
    return 0;
}

int MainController::OnCloseRequest() {
    closingDown_ = true;
    asked_.clear();
    GoOnClosing();
    return 0;
}

// The frame closes once no window of another thread is left: each is asked
// to close down in turn (its thread's top window first), and one that
// declines keeps the frame open.
void MainController::GoOnClosing() {
    if (!closingDown_) return;
    // Every open window of the program is asked, those inside the frame and
    // the windows of their own (a form, a filter, the find window) alike:
    // one per thread, its top window, so unsaved typing is never dropped.
    std::vector<ui::Window*> children;
    for (ui::Window* w : ui::Window::openWindows()) {
        if (w == &Win() || w->owner() == Win().owner() || !w->isOpen()) continue;
        const bool seen = std::any_of(children.begin(), children.end(),
                                      [w](ui::Window* c) { return c->owner() == w->owner(); });
        if (!seen) children.push_back(w);
    }
    if (children.empty()) {
        Win().setTimer(0);
        closingDown_ = false;
        CloseWithResponse(kCancelled);
        return;
    }
    bool waiting = false;
    for (ui::Window* child : children) {
        ui::Window* top = ui::Window::topOf(child->owner());
        if (top == nullptr) continue;
        if (!top->takesInput()) {
            waiting = true;  // busy in a dialog: its answer decides
            continue;
        }
        if (top->hasEvents()) {
            waiting = true;  // has not seen its request yet
            continue;
        }
        if (std::find(asked_.begin(), asked_.end(), top) == asked_.end()) {
            asked_.push_back(top);
            top->post(ui::WindowEvent{ui::EventKind::CloseDown, 0});
            waiting = true;
        }
    }
    if (!waiting) {
        // Every child was asked and stays: the frame stays too.
        Win().setTimer(0);
        closingDown_ = false;
        ui::beep();
        return;
    }
    Win().setTimer(50);
}

int MainController::OnWindowEvent(const ui::WindowEvent& e) {
    if (e.kind == ui::EventKind::Timer && closingDown_) {
        GoOnClosing();
        return 0;
    }
    return WindowController::OnWindowEvent(e);
}

void Main() {
    // Messages are shown in the frame's message boxes from now on.
    static ui::QtMessagePresenter presenter;
    if (ErrorReporter::instance().presenter() == nullptr) ErrorReporter::instance().setPresenter(&presenter);
    // The frame's own procedures; a test may have put its stand-ins first.
    if (!IsRegistered("Login")) RegisterProcedure("Login", Login);
    if (!IsRegistered("ConsultaManual")) RegisterProcedure("ConsultaManual", ConsultaManual);
    if (!IsRegistered("Soporte")) RegisterProcedure("Soporte", Soporte);
    // Wide enough to hold its widest child, the stock query with its ten columns.
    ui::Window w(QStringLiteral("Tal-Vor"), QSize(1240, 700), ui::Window::Placement::Frame);
    BuildFrameWindow(w);
    MainController c(w);
    g_frame = &w;
    RunProcedure(c);
    g_frame = nullptr;
}

}  // namespace tv::app
