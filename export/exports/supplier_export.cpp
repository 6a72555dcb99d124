// "Conversión de proveedores a Excel": every supplier, a range of ids or
// one id, into a new workbook.
#include <optional>
#include <string>

#include <QRadioButton>

#include "app/window/window_controller.h"
#include "export/exports/export_window.h"
#include "export/exports/exports.h"
#include "platform/errors/error_reporter.h"
#include "platform/types/picture.h"
#include "platform/types/text.h"
#include "platform/ui/resizer.h"
#include "platform/ui/window.h"

namespace tv::exports {

using ui::ControlKind;
using namespace supplier_export;

namespace {

constexpr const char* kIdPicture = "n10";

class SupplierExportController : public app::WindowController {
public:
    explicit SupplierExportController(ui::Window& w) : WindowController("FiltroExcelProv", w) {}

    int OnAccepted(int control) override {
        WindowController::OnAccepted(control);
        if (control == kConvert && !Closed()) Convert();
        return 0;
    }

private:
    // The value of an id entry; an empty entry is 0. A text that is no id
    // is reported (as every window reports a value it cannot read) and the
    // focus goes back to it.
    std::optional<double> Id(int control) {
        ui::Control& c = Win().at(control);
        const std::string typed(trim(c.text().toStdString()));
        if (typed.empty()) return 0.0;
        std::string error;
        std::optional<Value> v = Picture::parse(kIdPicture)->read(typed, &error);
        if (!v) {
            Refuse(c, "Dato no válido", error + ": \"" + typed + "\"");
            return std::nullopt;
        }
        return v->asNumber().toDouble();
    }

    void Refuse(ui::Control& c, const char* caption, const std::string& text) {
        MessageBox box;
        box.caption = caption;
        box.text = text;
        box.icon = MessageBox::Icon::Warning;
        if (MessagePresenter* p = ErrorReporter::instance().presenter()) p->show(box);
        c.focus();
    }

    int Choice() {
        if (Win().at(kRange).as<QRadioButton>()->isChecked()) return 2;
        if (Win().at(kOne).as<QRadioButton>()->isChecked()) return 3;
        return 1;
    }

    // Only the entries of the choice taken are read: what the others hold
    // is ignored, as in the report filter windows.
    void Convert() {
        SupplierChoice choice;
        choice.suppliers = Choice();
        const struct {
            bool used;
            int control;
            double* into;
        } entries[] = {{choice.suppliers == 2, kFirst, &choice.first},
                       {choice.suppliers == 2, kLast, &choice.last},
                       {choice.suppliers == 3, kId, &choice.id}};
        for (const auto& e : entries) {
            if (!e.used) continue;
            std::optional<double> v = Id(e.control);
            if (!v) return;
            *e.into = *v;
        }
        if (choice.suppliers == 2 && choice.first > choice.last) {
            // It would match nothing: a workbook with headers only.
            Refuse(Win().at(kFirst), "Rango no válido",
                   "El id inicial (" + FilterNumber(choice.first) + ") es mayor que el final (" +
                       FilterNumber(choice.last) + "): ningún proveedor está en ese rango.");
            return;
        }
        ExportRequest request;
        request.kind = ExportKind::Suppliers;
        request.filter = SupplierFilter(choice);
        converter_.Convert(Win(), request);
    }

    ExportConverter converter_;
};

void tip(ui::Control& c, const char* text) {
    c.setTip(QString::fromUtf8(text));
    c.setStatusText(QString::fromUtf8(text));
}

void buildWindow(ui::Window& w) {
    w.add({ControlKind::Sheet, kSheet, "?SHEET1", {}, QRect(4, 4, 352, 150)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QStringLiteral("Filtro"), {}, kSheet});
    w.add({ControlKind::OptionGroup, kChoice, "?LOC:PROVEEDORES", QStringLiteral("Proveedores:"), QRect(8, 8, 140, 104), kTab});
    w.add({ControlKind::RadioButton, kAll, "?LOC:PROVEEDORES:Radio1", QStringLiteral("Todos"), QRect(10, 22, 120, 22), kChoice})
        .as<QRadioButton>()
        ->setChecked(true);
    w.add({ControlKind::RadioButton, kRange, "?LOC:PROVEEDORES:Radio2", QStringLiteral("Rango"), QRect(10, 48, 120, 22), kChoice});
    w.add({ControlKind::RadioButton, kOne, "?LOC:PROVEEDORES:Radio3", QString::fromUtf8("Específico"),
           QRect(10, 74, 120, 22), kChoice});
    const std::string zero(trim(Picture::parse(kIdPicture)->format(Value(0))));
    const struct {
        int prompt, entry;
        const char* name;
        const char* label;
        const char* help;
        int y;
    } ids[] = {
        {kFirstPrompt, kFirst, "?P1", "&Inicial", "Id del proveedor inicial", 16},
        {kLastPrompt, kLast, "?P2", "&Final", "Id del proveedor final", 48},
        {kIdPrompt, kId, "?CODIGOE", "&Id:", "Id del proveedor", 80},
    };
    for (const auto& i : ids) {
        w.add({ControlKind::Prompt, i.prompt, std::string(i.name) + ":PROMPT", QString::fromUtf8(i.label),
               QRect(162, i.y + 2, 60, 20), kTab});
        ui::Control& e = w.add({ControlKind::Entry, i.entry, i.name, QString::fromStdString(zero), QRect(226, i.y, 110, 24), kTab});
        tip(e, i.help);
    }
    // The container of the window's spreadsheet application: nothing to see.
    w.add({ControlKind::Region, kContainer, "?SMEXCEL", {}, QRect(338, 124, 10, 10), kTab}).setHidden(true);
    ui::Control& convert =
        w.add({ControlKind::Button, kConvert, "?BUTTON3", QStringLiteral("Con&vertir"), QRect(150, 162, 100, 30)});
    convert.setIcon(ui::programIcon("EXCEL.ICO"));
    tip(convert, "Realizar la conversión");
    ui::Control& cancel =
        w.add({ControlKind::Button, kCancel, "?CANCEL", QStringLiteral("&Cancelar"), QRect(256, 162, 100, 30)});
    cancel.setIcon(ui::programIcon("WACancel.ico"));
    tip(cancel, "Cancela la operacion");
}

}  // namespace

void FiltroExcelProv() {
    ui::Window w(QString::fromUtf8("Conversión de proveedores a Excel"), QSize(360, 200), ui::Window::Placement::FrameChild);
    buildWindow(w);
    SupplierExportController c(w);
    c.FIRSTFIELD = kAll;
    c.CloseButtons = {kCancel};
    app::RunProcedure(c);
}

}  // namespace tv::exports
