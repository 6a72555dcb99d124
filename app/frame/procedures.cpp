#include "app/frame/procedures.h"

#include <map>

#include "app/window/window_controller.h"

namespace tv::app {

namespace {

struct Registry {
    std::map<std::string, Procedure, std::less<>> procedures;
    std::map<std::string, QString, std::less<>> captions;
};

Registry& registry() {
    static Registry r;
    return r;
}

// Windows of their own (not inside the frame) among the stand-ins.
bool opensOnItsOwn(std::string_view name) {
    static const char* const own[] = {"FiltroReporteExistencia", "FiltroReporteKardex", "FiltroReportePorSurtir",
                                      "FiltroReporteValor", "FiltroArtExcel", "Cierre", "LoginAdminstrador",
                                      "ConsultaManual", "Soporte"};
    for (const char* n : own)
        if (name == n) return true;
    return false;
}

}  // namespace

void RegisterProcedure(std::string_view name, Procedure p) {
    if (!p) {
        if (auto it = registry().procedures.find(name); it != registry().procedures.end()) registry().procedures.erase(it);
        return;
    }
    registry().procedures[std::string(name)] = std::move(p);
}

bool IsRegistered(std::string_view name) { return registry().procedures.count(name) != 0; }

std::vector<std::string> RegisteredProcedures() {
    std::vector<std::string> names;
    for (const auto& [name, p] : registry().procedures) names.push_back(name);
    return names;
}

void SetStandInCaption(std::string_view name, const QString& caption) {
    registry().captions[std::string(name)] = caption;
}

Procedure FindProcedure(std::string_view name) {
    auto it = registry().procedures.find(name);
    if (it != registry().procedures.end()) return it->second;
    auto c = registry().captions.find(name);
    const QString caption = c != registry().captions.end() ? c->second : QString::fromUtf8(name.data(), static_cast<int>(name.size()));
    const std::string n(name);
    return [n, caption] { RunStandIn(n, caption, !opensOnItsOwn(n)); };
}

void RunStandIn(std::string_view name, const QString& caption, bool frameChild) {
    ui::Window w(caption, QSize(360, 140), frameChild ? ui::Window::Placement::FrameChild : ui::Window::Placement::Own);
    w.add({ui::ControlKind::FixedText, 1, "?STRING1", QStringLiteral("Esta función aún no está disponible."),
           QRect(20, 30, 320, 20)});
    w.add({ui::ControlKind::Button, 2, "?CLOSE", QStringLiteral("Cerrar"), QRect(260, 90, 80, 26)});
    w.at(2).setTip(QStringLiteral("Cierra la ventana"));
    WindowController c(std::string(name), w);
    c.FIRSTFIELD = 2;
    c.CloseButtons = {2};
    RunProcedure(c);
}

}  // namespace tv::app
