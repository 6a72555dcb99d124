// UpdateSalidas: one goods issue with its lines; "Aceptar" posts it.
#include <QComboBox>
#include <QSignalBlocker>

#include "app/browse/browse_list.h"
#include "app/form/form_buttons.h"
#include "app/form/lookup_drop_combo.h"
#include "movements/common/document_form.h"
#include "movements/common/document_lines_view.h"
#include "movements/issues/issue_controls.h"
#include "movements/issues/issue_posting.h"
#include "movements/issues/issues.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"

namespace tv::movements::issues {

using data::TableId;
using ui::ControlKind;
using namespace form_ui;

namespace {

constexpr int kLineForm = 1;

int Field(TableId t, const char* name) { return data::decl(t).fieldIndex(name); }

QString Text(const Value& v) { return QString::fromStdString(std::string(rtrim(v.asText()))); }

// The supplier drop list: the suppliers in code order, each shown with its
// name, and a blank first entry, for the supplier is optional. A choice
// stores the supplier's code in SAL:PROVEEDOR.
class SupplierDropList : public app::WindowComponent {
public:
    SupplierDropList(app::FormController& form, int control) : form_(form), control_(control) {}

    void Load() {
        codes_.assign(1, std::string());
        QComboBox* combo = Combo();
        if (combo == nullptr) return;
        const QSignalBlocker quiet(combo);
        combo->clear();
        combo->addItem(QString());
        data::TableGateway& g = form_.Tables().gateway(TableId::Proveedores);
        const int saved = g.SaveBuffer();
        if (g.SetPositionToStart(g.declaration().keyIndex("PVD:KeyCodigo")) == data::kDone) {
            while (g.ReadNextQuiet() == data::kDone) {
                const std::string code(rtrim(g.BUFFER.get(Field(TableId::Proveedores, "PVD:Codigo")).asText()));
                codes_.push_back(code);
                combo->addItem(QString::fromStdString(code) + QStringLiteral(" - ") +
                               Text(g.BUFFER.get(Field(TableId::Proveedores, "PVD:Nombre"))));
            }
        }
        g.RestoreBuffer(saved);
        UpdateWindow();
    }

    void UpdateWindow() override {
        QComboBox* combo = Combo();
        if (combo == nullptr) return;
        const std::string code(trim(form_.Buffer().get(Target()).asText()));
        std::size_t i = 0;
        while (i < codes_.size() && compareNoCase(codes_[i], code) != 0) ++i;
        const QSignalBlocker quiet(combo);
        if (i == codes_.size()) {
            // A code no supplier has (any more): shown as it is stored.
            codes_.push_back(code);
            combo->addItem(QString::fromStdString(code));
        }
        combo->setCurrentIndex(static_cast<int>(i));
    }

    void UpdateBuffers() override {
        QComboBox* combo = Combo();
        if (combo == nullptr || form_.ViewMode()) return;
        const int i = combo->currentIndex();
        form_.Buffer().set(Target(), Value(i > 0 && i < static_cast<int>(codes_.size()) ? codes_[i] : std::string()));
    }

    bool TakeEvent(app::WindowController&, const ui::WindowEvent& e) override {
        if (e.kind != ui::EventKind::Accepted || e.control != control_ || form_.Closed()) return false;
        UpdateBuffers();
        return true;
    }

private:
    QComboBox* Combo() const {
        ui::Control* c = form_.Win().control(control_);
        return c != nullptr ? c->as<QComboBox>() : nullptr;
    }
    int Target() const { return Field(TableId::Salidas, "SAL:PROVEEDOR"); }

    app::FormController& form_;
    int control_;
    std::vector<std::string> codes_;
};

class IssueForm : public DocumentForm {
public:
    explicit IssueForm(ui::Window& w)
        : DocumentForm("UpdateSalidas", w, TableId::Salidas,
                       {.folio = &kIssueFolio, .folioControl = kFolio, .dateControl = kFecha,
                        .dateField = "SAL:Fecha", .linesControl = kLines, .lineInsert = kLineInsert,
                        .lineChange = kLineChange, .lineDelete = kLineDelete, .lineForm = kLineForm}),
          supplier_(*this, kProveedor) {
        AddComponent(&supplier_);
    }

    void SetUpAfterOpen() override {
        supplier_.Load();
        DocumentForm::SetUpAfterOpen();
    }

    int OnAccepted(int control) override {
        if (!Closed() && control == kCalendar) {
            PickDate({kFolio, kFecha, kReferencia});
            return 0;
        }
        return DocumentForm::OnAccepted(control);
    }

protected:
    bool Complete() override { return CompleteIssue(Tables(), &Tracker()); }

    // The type's description, the department's and the supplier's names, as
    // the header's codes name them.
    void ShowDerived() override {
        Describe(kTipoDesc, TableId::TipSalidas, "TSA:KeyCodigo", "TSA:Codigo", "SAL:TIPO", "TSA:Descripcion");
        Describe(kDeptoName, TableId::Deptos, "DEP:KeyId", "DEP:Id", "SAL:RECIBE", "DEP:Nombre");
        Describe(kNombre, TableId::Proveedores, "PVD:KeyCodigo", "PVD:Codigo", "SAL:PROVEEDOR", "PVD:Nombre");
    }

private:
    void Describe(int control, TableId t, const char* key, const char* code, const char* from, const char* text) {
        Record& r = Tables().buffer(t);
        r.set(Field(t, code), Buffer().get(Field(TableId::Salidas, from)));
        Tables().gateway(t).ReadByKeyOrClear(key);
        Win().at(control).setText(Text(r.get(Field(t, text))));
    }

    SupplierDropList supplier_;
};

void tip(ui::Control& c, const char* text) { app::SetTipAndStatus(c, text); }

app::BrowseListSetup LinesSetup() {
    app::BrowseListSetup s;
    s.listControl = kLines;
    s.primary = TableId::DetSalidas;
    s.joins = {{TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DES:CodigoArticulo"}}}};
    s.format =
        "[54R(2)|M*~Código~@n_10@160L(2)|M*~Descripción~@s40@21R(2)|M*~UM~@n_3@]|M~Artículo~45R(2)|M*~Cantidad~"
        "@n10.2@60R(2)|M*~Costo Unitario~@n10.2@56R(2)|M*~Importe~@n14.2@";
    s.columns = {{"DES:CodigoArticulo"}, {"ART:Descripcion"}, {"ART:UM"}, {"DES:Cantidad"}, {"DES:CostoUnitario"},
                 LineAmountColumn("loc:importe", TableId::DetSalidas, "DES:Cantidad", "DES:CostoUnitario")};
    s.orders = {DocumentLinesOrder("DES:KeySalida", TableId::Salidas)};
    s.findColumns =
        "Código|@n_10|des:CodigoArticulo|Descripción|@s40|ART:Descripcion|UM|@n_3|ART:UM|Cantidad|@n10.2|"
        "des:Cantidad|Costo Unitario|@n10.2|des:CostoUnitario|Importe|@n14.2|loc:importe|";
    s.buttons.insert = kLineInsert;
    s.buttons.change = kLineChange;
    s.buttons.del = kLineDelete;
    return s;
}

}  // namespace

void UpdateSalidas() {
    ui::Window w(QStringLiteral("Form Salidas"), QSize(756, 552), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 4, 748, 504)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QStringLiteral("Datos"), {}, kSheet});
    auto prompt = [&](int n, const char* name, const char* text, QRect r) {
        w.add({ControlKind::Prompt, n, name, QString::fromUtf8(text), r, kTab});
    };
    auto add = [&](ControlKind kind, int n, const char* name, QRect r, const char* tipText) -> ui::Control& {
        ui::Control& c = w.add({kind, n, name, {}, r, kTab});
        tip(c, tipText);
        return c;
    };
    prompt(kFolioPrompt, "?SAL:Folio:Prompt", "&Folio:", QRect(8, 10, 80, 20));
    add(ControlKind::Entry, kFolio, "?SAL:Folio", QRect(112, 8, 100, 22), "Folio de la salida");
    prompt(kFechaPrompt, "?SAL:Fecha:Prompt", "&Fecha:", QRect(240, 10, 50, 20));
    add(ControlKind::Entry, kFecha, "?SAL:Fecha", QRect(296, 8, 100, 22), "Fecha de salida");
    ui::Control& calendar = w.add({ControlKind::Button, kCalendar, "?CALENDAR", QStringLiteral("..."),
                                   QRect(398, 8, 28, 22), kTab});
    tip(calendar, "Buscar fecha");
    w.add({ControlKind::GroupBox, kTipoGroup, "?GROUP1", QStringLiteral("Tipo:"), QRect(6, 36, 728, 50), kTab});
    prompt(kTipoPrompt, "?SAL:TIPO:Prompt", "&Tipo:", QRect(16, 58, 90, 20));
    add(ControlKind::DropCombo, kTipo, "?SAL:TIPO", QRect(112, 56, 150, 22), "Tipo de salida");
    prompt(kTipoDescPrompt, "?TSA:Descripcion:Prompt", "&Descripcion:", QRect(276, 58, 80, 20));
    add(ControlKind::DisplayString, kTipoDesc, "?TSA:Descripcion", QRect(360, 58, 270, 20),
        "Descripción del tipo de entrada");
    w.add({ControlKind::GroupBox, kRecibeGroup, "?GROUP2", QStringLiteral("Recibe:"), QRect(6, 92, 728, 50), kTab});
    prompt(kDeptoPrompt, "?SAL:RECIBE:Prompt", "&Departamento:", QRect(16, 114, 94, 20));
    add(ControlKind::DropCombo, kDepto, "?SAL:RECIBE", QRect(112, 112, 150, 22), "Departamento de la empresa");
    prompt(kDeptoNamePrompt, "?DEP:Nombre:Prompt", "&Nombre:", QRect(276, 114, 80, 20));
    add(ControlKind::DisplayString, kDeptoName, "?DEP:Nombre", QRect(360, 114, 270, 20), "Nombre del departamento");
    w.add({ControlKind::GroupBox, kProveedorGroup, "?GROUP3", QStringLiteral("Proveedor:"), QRect(6, 148, 728, 50),
           kTab});
    prompt(kProveedorPrompt, "?SAL:PROVEEDOR:Prompt", "Código:", QRect(16, 170, 90, 20));
    add(ControlKind::DropList, kProveedor, "?SAL:PROVEEDOR", QRect(112, 168, 150, 22), "Código del proveedor");
    prompt(kNombrePrompt, "?PVD:Nombre:Prompt", "&Nombre:", QRect(276, 170, 80, 20));
    add(ControlKind::DisplayString, kNombre, "?PVD:Nombre", QRect(360, 170, 270, 20), "Nombre del proveedor");
    prompt(kReferenciaPrompt, "?SAL:Referencia:Prompt", "&Referencia:", QRect(8, 210, 90, 20));
    add(ControlKind::Entry, kReferencia, "?SAL:Referencia", QRect(112, 208, 180, 22), "Referencia de salida");
    w.add({ControlKind::FixedText, kLinesLabel, "?STRING1", QString::fromUtf8("Productos de la salida:"),
           QRect(8, 240, 200, 18), kTab});
    add(ControlKind::List, kLines, "?LIST", QRect(8, 260, 724, 170), "Productos de la salida");
    add(ControlKind::Button, kLineInsert, "?INSERT", QRect(8, 436, 84, 28), "Agregar producto a la salida")
        .setText(QStringLiteral("&Agregar"));
    add(ControlKind::Button, kLineChange, "?CHANGE", QRect(96, 436, 84, 28), "Modificar el producto")
        .setText(QStringLiteral("&Cambiar"));
    add(ControlKind::Button, kLineDelete, "?DELETE", QRect(184, 436, 84, 28), "Eliminar el producto de la salida")
        .setText(QStringLiteral("&Borrar"));
    w.at(kLineInsert).setIcon(ui::programIcon("WAINSERT.ICO"));
    w.at(kLineChange).setIcon(ui::programIcon("WAChange.ICO"));
    w.at(kLineDelete).setIcon(ui::programIcon("WADELETE.ICO"));
    app::AddOkCancel(w, kOk, kCancel, QRect(572, 516, 86, 28));

    IssueForm form(w);
    form.SetOkCancel(kOk, kCancel);
    form.SetFirstField(kFolioPrompt);
    form.Bind(kFolio, "SAL:Folio", "n_10", {.required = true, .ditto = false});
    form.Bind(kFecha, "SAL:Fecha", "d6", {.required = true});
    form.Bind(kReferencia, "SAL:Referencia", "s20");
    app::LookupDropCombo type(form, {.control = kTipo, .table = TableId::TipSalidas, .codeField = "TSA:Codigo",
                                     .nameField = "TSA:Descripcion", .targetField = "SAL:TIPO",
                                     .keyOrder = "TSA:KeyCodigo"});
    app::LookupDropCombo department(form, {.control = kDepto, .table = TableId::Deptos, .codeField = "DEP:Id",
                                           .nameField = "DEP:Nombre", .targetField = "SAL:RECIBE",
                                           .keyOrder = "DEP:KeyId"});
    form.AddLookup(type);
    form.AddLookup(department);
    form.SetSubProcedure(kLineForm, [] { UpdateProductoSalida(); });
    form.AddLines(LinesSetup());
    app::RunProcedure(form);
}

}  // namespace tv::movements::issues
