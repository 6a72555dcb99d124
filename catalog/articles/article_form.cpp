// UpdateArticulo: the form of one article, with its three look-up combos,
// the stock on hand it shows and the article's picture.
#include <filesystem>
#include <string>
#include <system_error>

#include <QLabel>
#include <QPixmap>

#include "app/form/form_controller.h"
#include "app/form/lookup_drop_combo.h"
#include "catalog/articles/article_form.h"
#include "catalog/articles/article_logic.h"
#include "catalog/articles/articles.h"
#include "platform/images/picture_loader.h"
#include "platform/images/program_pictures.h"
#include "platform/threads/thread_state.h"
#include "platform/types/picture.h"
#include "platform/types/text.h"
#include "platform/ui/dialogs.h"

namespace tv::catalog {

using app::FormController;
using app::LookupConfig;
using app::LookupDropCombo;
using data::TableId;
using ui::ControlKind;

namespace {

ArticleAddForms& addForms() {
    static ArticleAddForms forms = DefaultArticleAddForms();
    return forms;
}

class ArticleForm : public FormController {
public:
    explicit ArticleForm(ui::Window& w) : FormController(kUpdateArticulo, w, TableId::Articulo) {}

protected:
    void SetUpAfterOpen() override {
        FormController::SetUpAfterOpen();
        // The stock totals are only looked at.
        for (int c : {article_form::kEntradas, article_form::kSalidas, article_form::kExistencia})
            Win().at(c).setReadOnly(true);
        Win().at(article_form::kPictureButton).setIcon(QIcon(QPixmap::fromImage(programImage("LUPA.ICO", 24))));
    }

    void OnFirstOpen() override {
        ShowPicture(rtrim(Buffer().get(Buffer().layout().indexOf("ART:FOTOGRAFIA")).asText()));
        // Worked out once: it is not recomputed while the form is open and never stored.
        static const Picture stock = *Picture::parse("n-14.2");
        Win().at(article_form::kExistencia).setText(
            QString::fromStdString(std::string(trim(stock.format(Value(StockOnHand(Buffer())))))));
        FormController::OnFirstOpen();
    }

    int OnAccepted(int control) override {
        if (control == article_form::kPictureButton && !Closed()) {
            ChoosePicture();
            return 0;
        }
        return FormController::OnAccepted(control);
    }

private:
    void ChoosePicture() {
        if (ViewMode()) return;
        // The window's values go to the record first, as they stand.
        for (const ui::Control* c : Win().controls())
            if (FieldOf(c->number()) >= 0) TakeControl(c->number());
        // The tables live in the working folder: whatever the dialog does,
        // the process's current folder is the same afterwards.
        std::error_code ec;
        const std::filesystem::path folder = std::filesystem::current_path(ec);
        std::optional<QString> chosen = ui::askOpenFile(QString::fromUtf8(kPictureDialogTitle), QString(),
                                                        QString::fromUtf8(kPictureFilter), Win().widget());
        if (!ec) std::filesystem::current_path(folder, ec);
        if (Closed()) return;
        // Cancelled: the stored picture stays.
        if (chosen && !chosen->isEmpty()) {
            const std::optional<std::string> path = PicturePathToStore(chosen->toStdString());
            if (!path) {
                ShowPictureMessage(kPicturePathTooLong);
            } else {
                Buffer().set(Buffer().layout().indexOf("ART:FOTOGRAFIA"), Value(*path));
                ShowRecord();
                ShowPicture(*path);
            }
        }
        Win().at(article_form::kPicturePath).focus();
    }

    void ShowPicture(std::string_view path) {
        ui::Control& pic = Win().at(article_form::kPicture);
        const PictureResult r = loadPicture(path);
        if (!r.ok()) {
            pic.setPicture(QPixmap());
            ShowPictureMessage(r.error);
            return;
        }
        QPixmap p = QPixmap::fromImage(r.image);
        const QSize room = pic.position().size();
        if (!room.isEmpty() && (p.width() > room.width() || p.height() > room.height()))
            p = p.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        pic.setPicture(p);
        // Shown at its own proportions, centred.
        if (auto* l = pic.as<QLabel>()) {
            l->setScaledContents(false);
            l->setAlignment(Qt::AlignCenter);
        }
        pic.setHidden(false);
        ShowPictureMessage({});
    }

    void ShowPictureMessage(const std::string& text) {
        Win().at(article_form::kPictureMessage).setText(QString::fromStdString(text));
    }
};

}  // namespace

void SetArticleAddForms(ArticleAddForms forms) { addForms() = std::move(forms); }
const ArticleAddForms& ArticleAddFormsInUse() { return addForms(); }

void UpdateArticulo() {
    using namespace article_form;
    ui::Window w(QStringLiteral("Form Articulo"), QSize(600, 500), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kSheet, "?CurrentTab", {}, QRect(4, 4, 592, 452)});
    w.add({ControlKind::Tab, kTabDatos, "?Tab:1", QStringLiteral("Datos"), {}, kSheet});
    w.add({ControlKind::Tab, kTabFoto, "?Tab:2", QString::fromUtf8("Fotografía"), {}, kSheet});

    ArticleForm form(w);
    struct Row {
        int prompt, control;
        const char* name;
        const char* text;
        ControlKind kind;
        const char* field;    // nullptr: a look-up or a value of the form
        const char* picture;
        const char* tip;
        int parent;
        QRect at;             // of the control; the prompt stands left of it
    };
    const int x = 110;
    auto line = [&](int i) { return 8 + 26 * i; };
    const Row rows[] = {
        {kIdPrompt, kId, "?ART:ID", "&Id:", ControlKind::DisplayString, "ART:ID", "n_10", "", kTabDatos, QRect(x, line(0), 90, 22)},
        {kNoArtPrompt, kNoArt, "?ART:NoArt", "&No Art:", ControlKind::Entry, "ART:NoArt", "n_10", "Número de artículo", kTabDatos, QRect(x, line(1), 110, 22)},
        {kDescripcionPrompt, kDescripcion, "?ART:Descripcion", "&Descripcion:", ControlKind::Entry, "ART:Descripcion", "s70", "Descripción del artículo", kTabDatos, QRect(x, line(2), 460, 22)},
        {kUmPrompt, kUm, "?ART:UM", "&UM:", ControlKind::DropCombo, nullptr, nullptr, "Unidad de medida", kTabDatos, QRect(x, line(3), 240, 22)},
        {kMarcaPrompt, kMarca, "?ART:Marca", "&Marca:", ControlKind::DropCombo, nullptr, nullptr, "Marca del producto", kTabDatos, QRect(x, line(4), 240, 22)},
        {kCategoriaPrompt, kCategoria, "?ART:categoria", "Ca&tegoría:", ControlKind::DropCombo, nullptr, nullptr, "Categoría del producto", kTabDatos, QRect(x, line(5), 240, 22)},
        // Bar codes are kept whole: the entry shows all the field's characters.
        {kCodigoBarrasPrompt, kCodigoBarras, "?ART:CodigoBarras", "&Codigo Barras:", ControlKind::Entry, "ART:CodigoBarras", "s20", "", kTabDatos, QRect(x, line(6), 170, 22)},
        {kModeloPrompt, kModelo, "?ART:Modelo", "&Modelo:", ControlKind::Entry, "ART:Modelo", "s20", "Modelo del artículo", kTabDatos, QRect(x, line(7), 170, 22)},
        {kTamanoPrompt, kTamano, "?ART:Tamano", "&Tamaño:", ControlKind::Entry, "ART:Tamano", "s20", "Tamaño del artículo", kTabDatos, QRect(x, line(8), 170, 22)},
        {kCapacidadPrompt, kCapacidad, "?ART:CAPACIDAD", "&Capacidad:", ControlKind::Entry, "ART:CAPACIDAD", "s20", "Capacidad del artículo", kTabDatos, QRect(x, line(9), 170, 22)},
        {kMaximoPrompt, kMaximo, "?ART:StockMaximo", "&Máximo:", ControlKind::Entry, "ART:StockMaximo", "n-14.2", "Nivel de existencia máximo", kStockGroup, QRect(70, 20, 100, 22)},
        {kMinimoPrompt, kMinimo, "?ART:StockMinimo", "Mín&imo:", ControlKind::Entry, "ART:StockMinimo", "n-14.2", "Nivel de existencia mínimo", kStockGroup, QRect(70, 46, 100, 22)},
        {kIdealPrompt, kIdeal, "?ART:StockIdeal", "I&deal:", ControlKind::Entry, "ART:StockIdeal", "n-14.2", "Nivel de existencia ideal", kStockGroup, QRect(70, 72, 100, 22)},
        {kEntradasPrompt, kEntradas, "?ART:Entradas", "Entradas:", ControlKind::Entry, "ART:Entradas", "n-14.2", "Dato para consulta", kExistenciaGroup, QRect(120, 20, 100, 22)},
        {kSalidasPrompt, kSalidas, "?ART:Salidas", "Salidas:", ControlKind::Entry, "ART:Salidas", "n-14.2", "Dato para consulta", kExistenciaGroup, QRect(120, 46, 100, 22)},
        {kExistenciaPrompt, kExistencia, "?LOC:EXISTENCIA", "Existencia actual:", ControlKind::Entry, nullptr, nullptr, "Dato para consulta", kExistenciaGroup, QRect(120, 72, 100, 22)},
        {kNotasPrompt, kNotas, "?ART:Notas", "Notas:", ControlKind::MultiLineText, "ART:Notas", "s1000", "Notas adicionales", kTabDatos, QRect(x, line(14), 460, 44)},
        {kPicturePathPrompt, kPicturePath, "?ART:FOTOGRAFIA", "Fotografia:", ControlKind::Entry, "ART:FOTOGRAFIA", "s255", "Archivo con la fotografía del artículo", kTabFoto, QRect(90, 8, 440, 22)},
    };
    std::vector<int> order{kSheet, kTabDatos};
    auto addRow = [&](const Row& r) {
        const int width = r.parent == kStockGroup ? 60 : r.parent == kExistenciaGroup ? 112 : r.parent == kTabFoto ? 76 : 96;
        const QRect p(r.at.x() - width - 4, r.at.y() + 2, width, 20);
        w.add({ControlKind::Prompt, r.prompt, std::string(r.name) + ":Prompt", QString::fromUtf8(r.text), p, r.parent});
        ui::Control& c = w.add({r.kind, r.control, r.name, {}, r.at, r.parent});
        if (*r.tip != '\0') {
            c.setTip(QString::fromUtf8(r.tip));
            c.setStatusText(QString::fromUtf8(r.tip));
        }
        order.push_back(r.prompt);
        order.push_back(r.control);
        if (r.field == nullptr) return;
        const std::string field = r.field;
        if (r.kind == ControlKind::DisplayString) form.Show(r.control, field, r.picture);
        else
            form.Bind(r.control, field, r.picture,
                      {.required = r.control == kNoArt || r.control == kDescripcion,
                       .ditto = r.control != kEntradas && r.control != kSalidas,
                       .readOnlyOnChange = r.control == kNoArt});
    };
    for (const Row& r : rows) {
        if (r.control == kMaximo) {
            w.add({ControlKind::GroupBox, kStockGroup, "?StockGroup", QStringLiteral("Stock:"), QRect(x - 100, line(10), 190, 102), kTabDatos});
            w.add({ControlKind::GroupBox, kExistenciaGroup, "?ExistenciaGroup", QStringLiteral("Existencia:"), QRect(x + 100, line(10), 240, 102), kTabDatos});
            order.push_back(kStockGroup);
        }
        if (r.control == kEntradas) order.push_back(kExistenciaGroup);
        if (r.control == kPicturePath) order.push_back(kTabFoto);
        addRow(r);
    }
    ui::Control& lupa = w.add({ControlKind::Button, kPictureButton, "?LookupPicture", {}, QRect(536, 6, 28, 26), kTabFoto});
    lupa.setTip(QStringLiteral("Elegir el archivo de la fotografía"));
    w.add({ControlKind::Picture, kPicture, "?Image", {}, QRect(10, 40, 560, 340), kTabFoto});
    w.add({ControlKind::DisplayString, kPictureMessage, "?ImageMessage", {}, QRect(10, 386, 560, 20), kTabFoto});
    ui::Control& ok = w.add({ControlKind::Button, kOk, "?OK", QStringLiteral("Aceptar"), QRect(400, 464, 90, 28)});
    ok.setTip(QStringLiteral("Acepta y guarda los datos"));
    ok.setIcon(QIcon(QPixmap::fromImage(programImage("WAOk.ICO", 16))));
    ui::Control& cancel = w.add({ControlKind::Button, kCancel, "?Cancel", QStringLiteral("Cancelar"), QRect(500, 464, 90, 28)});
    cancel.setTip(QStringLiteral("Cancela la operación"));
    cancel.setIcon(QIcon(QPixmap::fromImage(programImage("WACancel.ico", 16))));
    order.insert(order.end(), {kPictureButton, kPicture, kPictureMessage, kOk, kCancel});
    w.setControlOrder(order);

    form.SetOkCancel(kOk, kCancel);
    form.SetFirstField(kIdPrompt);
    LookupDropCombo unit(form, {.control = kUm, .table = TableId::Unidades, .codeField = "UNI:Codigo",
                                .nameField = "UNI:UM", .targetField = "ART:UM", .addForm = 3, .prefillField = {}});
    LookupDropCombo brand(form, {.control = kMarca, .table = TableId::Marcas, .codeField = "MAR:Codigo",
                                 .nameField = "MAR:Marca", .targetField = "ART:Marca", .addForm = 1, .prefillField = {}});
    LookupDropCombo category(form, {.control = kCategoria, .table = TableId::CatArticulos, .codeField = "CAR:Codigo",
                                    .nameField = "CAR:Descripcion", .targetField = "ART:categoria", .addForm = 2,
                                    .prefillField = {}});
    form.AddLookup(unit);
    form.AddLookup(brand);
    form.AddLookup(category);
    auto run = [](std::function<void()> ArticleAddForms::*which) {
        return [which] {
            const std::function<void()> f = addForms().*which;
            if (f) f();
        };
    };
    form.SetSubProcedure(1, run(&ArticleAddForms::brand));
    form.SetSubProcedure(2, run(&ArticleAddForms::category));
    form.SetSubProcedure(3, run(&ArticleAddForms::unit));
    app::RunProcedure(form);
}

}  // namespace tv::catalog
