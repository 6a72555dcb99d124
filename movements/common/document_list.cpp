#include "movements/common/document_list.h"

#include "app/form/form_buttons.h"
#include "app/list/find.h"
#include "catalog/suppliers.h"
#include "data/thread_table_set.h"
#include "movements/common/document_list_controls.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"

namespace tv::movements {

int DocumentList::DispatchEvent(const ui::WindowEvent& e) {
    const int r = BrowseController::DispatchEvent(e);
    if (!Closed()) {
        KeepHidden();
        FollowSelection();
    }
    return r;
}

void DocumentList::FollowSelection() {
    const app::ListLine* line = List(0).selectedLine();
    const int64_t row = line != nullptr ? line->row : -1;
    if (row == shown_) return;
    shown_ = row;
    ShowSelected(line != nullptr && List(0).ReadSelected());
}

void DocumentList::ShowSelectedAgain() {
    shown_ = -2;
    FollowSelection();
}

namespace {

std::string SupplierText(const char* field) {
    const Record& s = data::tables().buffer(data::TableId::Proveedores);
    return std::string(rtrim(s.get(data::decl(data::TableId::Proveedores).fieldIndex(field)).asText()));
}

}  // namespace

void DocumentList::ShowSupplierNames(bool read, int name, int name2) {
    Win().at(name).setText(read ? QString::fromStdString(SupplierText("PVD:Nombre")) : QString());
    Win().at(name2).setText(read ? QString::fromStdString(SupplierText("PVD:Nombre2")) : QString());
}

void DocumentList::ViewSupplier() {
    if (List(0).selectedLine() == nullptr || !List(0).ReadSelected()) return;
    if (SupplierText("PVD:Codigo").empty()) return;
    threadState().callRequest = tv::kView;
    catalog::UpdateProveedores();
    threadState().callRequest = 0;
    ShowSelectedAgain();
}

void DocumentList::SetUpAfterOpen() {
    BrowseController::SetUpAfterOpen();
    KeepHidden();
    FollowSelection();
}

void DocumentList::KeepHidden() {
    Win().at(change_).setHidden(true);
    Win().at(del_).setHidden(true);
}

void AddDocumentListControls(ui::Window& w, const DocumentListTexts& t) {
    using namespace doc_list_ui;
    using ui::ControlKind;
    const int width = w.designedSize().width();
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 4, width - 8, 214)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QStringLiteral("Por Folio"), {}, kSheet});
    // Each tip is also the control's status-bar text, as in every list.
    app::SetTipAndStatus(w.add({ControlKind::List, kHeaderList, "?BROWSE:1", {}, QRect(6, 6, width - 26, 172), kTab}),
                         t.headerTip);
    app::SetTipAndStatus(w.add({ControlKind::List, kLinesList, "?BROWSE:2", {}, QRect(8, 224, width - 16, 160)}),
                         t.linesTip);
    struct Button {
        int control;
        const char* name;
        const char* text;
        const char* tip;
        const char* icon;
        int x;
    };
    for (const Button& b : {Button{kView, "?VIEW:2", "&Ver", t.viewTip, "WAView.ico", 96},
                            Button{kInsert, "?INSERT:3", "&Agregar", "Agregar registro", "WAINSERT.ICO", 184},
                            Button{kChange, "?CHANGE:3", "&Cambiar", "Modificar registro", "WAChange.ICO", 272},
                            Button{kDelete, "?DELETE:3", "&Borrar", "Borrar registro", "WADELETE.ICO", 360},
                            Button{kPrint, "?PRINT", "Im&primir", t.printTip, "PRINT.ICO", 448},
                            Button{kClose, "?CLOSE", "Cerrar", "Cierra la ventana", "WAClose.ico", width - 92}}) {
        ui::Control& c =
            w.add({ControlKind::Button, b.control, b.name, QString::fromUtf8(b.text), QRect(b.x, t.buttonsY, 84, 28)});
        app::SetTipAndStatus(c, b.tip);
        c.setIcon(ui::programIcon(b.icon));
    }
    w.add({ControlKind::FixedText, kHint, "?STRING1", QString::fromUtf8(list::findtext::kHint),
           QRect(8, t.buttonsY + 6, 80, 18)});
}

}  // namespace tv::movements
