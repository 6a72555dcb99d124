// "Conversión de artículos a Excel": the report filter window with the
// choices of articles, brands and categories and the order, converting
// instead of printing; the articles without stock are always included.
#include <string>

#include "app/window/window_controller.h"
#include "export/exports/export_window.h"
#include "export/exports/exports.h"
#include "platform/ui/window.h"
#include "reports/template/filter_window.h"

namespace tv::exports {

namespace {
// The window's own control, numbered where the filter window leaves off.
constexpr int kContainer = reports::kFilterFirstFree;
}  // namespace

void FiltroArtExcel() {
    ExportConverter converter;
    ui::Window* window = nullptr;
    reports::FilterWindowSetup s;
    s.procedure = "FiltroArtExcel";
    s.caption = QString::fromUtf8("Conversión de artículos a Excel");
    s.tabText = QStringLiteral("Filtro");
    s.zeroStockBox = false;
    s.orderChoice = true;
    s.closing = reports::ClosingClause::None;
    s.actionText = QStringLiteral("Con&vertir");
    s.actionIcon = "EXCEL.ICO";
    s.actionTip = QString::fromUtf8("Realizar la conversión");
    // The container of the window's spreadsheet application: nothing to see.
    s.addControls = [](ui::Window& w, int tab) {
        w.add({ui::ControlKind::Region, kContainer, "?SMEXCEL", {}, QRect(500, 276, 10, 10), tab})
            .setHidden(true);
    };
    s.prepare = [&window](app::WindowController&, ui::Window& w) { window = &w; };
    s.action = [&](const reports::FilterChoices& choices, const std::string& filter) {
        ExportRequest request;
        request.kind = ExportKind::Articles;
        request.filter = filter;
        request.order = choices.orden;
        converter.Convert(*window, request);
    };
    reports::RunFilterWindow(s);
}

}  // namespace tv::exports
