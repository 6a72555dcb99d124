// UpdateProdInventario: one counted line, its article picked by number or
// by bar code, the quantity found and a counting reference.
#include "movements/common/article_line_form.h"
#include "movements/counts/count_controls.h"
#include "movements/counts/counts.h"
#include "movements/counts/window_parts.h"
#include "platform/ui/window.h"

namespace tv::movements::counts {

using data::TableId;
using ui::ControlKind;
using namespace line_ui;

namespace {

int Field(TableId t, const char* name) { return data::decl(t).fieldIndex(name); }

class LineForm : public ArticleLineForm {
public:
    explicit LineForm(ui::Window& w)
        : ArticleLineForm("UpdateProdInventario", w, TableId::DetFisico,
                          {.articleField = "DFI:CodigoArticulo",
                           .articlePicture = "n_10B",
                           .barcodeField = "DFI:CODIGOBARRAS",
                           .barcodePicture = "S16",
                           .article = kCodigo,
                           .articleLookup = kCodigoLookup,
                           .barcode = kBarras,
                           .barcodeLookup = kBarrasLookup,
                           .description = kDescripcion,
                           .unit = kUm,
                           .quantity = kExistencia,
                           .entries = {kCodigo, kBarras, kExistencia, kReferencia}}) {}

    int SetUpBeforeOpen() override {
        // The line belongs to the count the form above shows.
        Buffer().set(Field(TableId::DetFisico, "DFI:INVENTARIO"),
                     Tables().buffer(TableId::Fisico).get(Field(TableId::Fisico, "FIS:ID")));
        return ArticleLineForm::SetUpBeforeOpen();
    }
};

}  // namespace

void UpdateProdInventario() {
    ui::Window w(QStringLiteral("Form DetFisico"), QSize(470, 290), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 4, 462, 240)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QStringLiteral("Datos"), {}, kSheet});
    w.add({ControlKind::GroupBox, kGroup, "?GROUP1", QString::fromUtf8("Artículo:"), QRect(6, 4, 444, 130), kTab});
    struct Row {
        int prompt;
        const char* promptText;
        int control;
        const char* name;
        int y, width;
        const char* tipText;
    };
    for (const Row& r :
         {Row{kCodigoPrompt, "&No Art:", kCodigo, "?DFI:CODIGOARTICULO", 26, 100, "Número de artículo"},
          Row{kDescripcionPrompt, "&Descripcion:", kDescripcion, "?ART:DESCRIPCION", 52, 320,
              "Descripción del artículo"},
          Row{kUmPrompt, "&UM:", kUm, "?UNI:UM", 78, 200, "Unidad de medida"},
          Row{kBarrasPrompt, "Cod &Barras:", kBarras, "?DFI:CODIGOBARRAS", 104, 160, "Código de barras"},
          Row{kExistenciaPrompt, "&Existencia:", kExistencia, "?DFI:EXISTENCIA", 148, 100, "Existencia física"},
          Row{kReferenciaPrompt, "&Referencia:", kReferencia, "?DFI:REFERENCIA", 176, 180, "Referencia de conteo"}}) {
        w.add({ControlKind::Prompt, r.prompt, std::string(r.name) + ":Prompt", QString::fromUtf8(r.promptText),
               QRect(16, r.y + 2, 100, 20), kTab});
        SetTipAndStatus(w.add({ControlKind::Entry, r.control, r.name, {}, QRect(120, r.y, r.width, 22), kTab}),
                        r.tipText);
    }
    for (int c : {kDescripcion, kUm}) w.at(c).setReadOnly(true);
    for (const auto& [n, name, x, y] : {std::tuple{kCodigoLookup, "?CALLLOOKUP", 222, 26},
                                        std::tuple{kBarrasLookup, "?CALLLOOKUP:2", 282, 104}})
        AddButton(w, {n, name, "", "Buscar artículo", "LUPA.ICO", QRect(x, y, 26, 22), kTab});
    // The read-only article data is passed over by Tab.
    w.setControlOrder({kCodigoPrompt, kCodigo, kCodigoLookup, kBarrasPrompt, kBarras, kBarrasLookup,
                       kExistenciaPrompt, kExistencia, kReferenciaPrompt, kReferencia});
    app::AddOkCancel(w, kOk, kCancel, QRect(286, 252, 86, 28));

    LineForm form(w);
    form.SetOkCancel(kOk, kCancel);
    form.SetFirstField(kCodigoPrompt);
    form.Bind(kCodigo, "DFI:CodigoArticulo", "n_10B", {.required = true});
    form.Bind(kBarras, "DFI:CODIGOBARRAS", "S16");
    form.Bind(kExistencia, "DFI:Existencia", "n10.2");
    form.Bind(kReferencia, "DFI:Referencia", "s20");
    app::RunProcedure(form);
}

}  // namespace tv::movements::counts
