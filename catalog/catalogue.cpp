#include "catalog/catalogue.h"

#include "app/browse/browse_controller.h"
#include "app/form/form_controller.h"
#include "platform/ui/resizer.h"
#include "platform/ui/window.h"

namespace tv::catalog {

void RunCatalogueForm(const CatalogueDef& def) {
    using ui::ControlKind;
    // Prompts 116 wide: "&Unidad de Medida" is the longest and must show whole.
    // Each further field takes one more row.
    const int extra = 30 * static_cast<int>(def.more.size());
    ui::Window w(def.formTitle, QSize(380, 150 + extra), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kCatSheet, "?CURRENTTAB", {}, QRect(4, 4, 372, 104 + extra)});
    w.add({ControlKind::Tab, kCatTab, "?TAB:1", QStringLiteral("Datos"), {}, kCatSheet});
    w.add({ControlKind::Prompt, kCatCodePrompt, "?" + def.codeField + ":PROMPT", def.codePrompt,
           QRect(8, 10, 116, 20), kCatTab});
    w.add({ControlKind::DisplayString, kCatCode, "?" + def.codeField, {}, QRect(128, 10, 60, 20), kCatTab});
    w.add({ControlKind::Prompt, kCatNamePrompt, "?" + def.nameField + ":PROMPT", def.namePrompt,
           QRect(8, 40, 116, 20), kCatTab});
    ui::Control& name =
        w.add({ControlKind::Entry, kCatName, "?" + def.nameField, {}, QRect(128, 40, 232, 22), kCatTab});
    name.setTip(def.nameTip);
    name.setStatusText(def.nameTip);
    for (std::size_t i = 0; i < def.more.size(); ++i) {
        const CatalogueField& m = def.more[i];
        const int n = kCatMore + 2 * static_cast<int>(i);
        const int y = 70 + 30 * static_cast<int>(i);
        w.add({ControlKind::Prompt, n, "?" + m.field + ":PROMPT", m.prompt, QRect(8, y, 116, 20), kCatTab});
        ui::Control& e = w.add({ControlKind::Entry, n + 1, "?" + m.field, {}, QRect(128, y, 232, 22), kCatTab});
        e.setTip(m.tip);
        e.setStatusText(m.tip);
    }
    ui::Control& ok =
        w.add({ControlKind::Button, kCatOk, "?OK", QStringLiteral("Aceptar"), QRect(196, 114 + extra, 86, 28)});
    ok.setTip(QStringLiteral("Acepta y guarda los datos"));
    ok.setIcon(ui::programIcon("WAOk.ICO"));
    ui::Control& cancel = w.add(
        {ControlKind::Button, kCatCancel, "?CANCEL", QStringLiteral("Cancelar"), QRect(288, 114 + extra, 86, 28)});
    cancel.setTip(QStringLiteral("Cancela la operación"));
    cancel.setIcon(ui::programIcon("WACancel.ico"));

    app::FormController form(def.formProcedure, w, def.table);
    form.SetOkCancel(kCatOk, kCatCancel);
    form.SetFirstField(kCatCodePrompt);
    form.Show(kCatCode, def.codeField, def.codePicture);
    form.Bind(kCatName, def.nameField, def.namePicture, {.required = def.nameRequired});
    for (std::size_t i = 0; i < def.more.size(); ++i)
        form.Bind(kCatMore + 2 * static_cast<int>(i) + 1, def.more[i].field, def.more[i].picture);
    app::RunProcedure(form);
}

void RunCatalogueBrowse(const CatalogueDef& def, void (*form)()) {
    app::StandardBrowseSetup b;
    b.procedure = def.listProcedure;
    b.caption = def.listCaption;
    b.listTip = def.listTip;
    b.list.primary = def.table;
    b.list.format = def.format;
    b.list.columns = {{def.codeField}, {def.nameField}};
    b.list.orders = def.orders;
    b.list.findColumns = def.findColumns;
    b.list.headerSort = def.headerSort;
    b.tabs = def.tabs;
    b.form = form;
    app::RunStandardBrowse(b);
}

}  // namespace tv::catalog
