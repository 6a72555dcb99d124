// UpdateProdInventario: one counted line, its article picked by number or
// by bar code, the quantity found and a counting reference.
#include "movements/common/document_line_controls.h"
#include "movements/common/document_line_form.h"
#include "movements/counts/count_controls.h"
#include "movements/counts/counts.h"
#include "movements/counts/window_parts.h"
#include "platform/ui/window.h"

namespace tv::movements::counts {

using data::TableId;
using ui::ControlKind;
using namespace line_ui;
using namespace count_line_ui;

namespace {

const LineFormFields kCountLineFields{.lines = TableId::DetFisico,
                                      .header = TableId::Fisico,
                                      .link = "DFI:INVENTARIO",
                                      .headerFolio = "FIS:ID",
                                      .article = "DFI:CodigoArticulo",
                                      .barcode = "DFI:CODIGOBARRAS",
                                      .quantity = "DFI:Existencia",
                                      .articlePicture = "n_10B",
                                      .barcodePicture = "S16"};

// A count line has no cost; it may count none of an article, and it keeps
// a counting reference.
class LineForm : public DocumentLineForm {
public:
    explicit LineForm(ui::Window& w) : DocumentLineForm("UpdateProdInventario", w, kCountLineFields) {}

    void SetUpAfterOpen() override {
        DocumentLineForm::SetUpAfterOpen();
        if (ViewMode())
            for (int c : {kCodigoLookup, kBarrasLookup}) Win().at(c).setDisabled(true);
    }

    uint8_t CallSubProcedure(int number, uint8_t request) override {
        if (ViewMode()) return kCancelled;
        return DocumentLineForm::CallSubProcedure(number, request);
    }

protected:
    bool AcceptControl(ui::Control& c) override {
        if (c.number() == kCantidad) return TakeControl(kCantidad);
        return DocumentLineForm::AcceptControl(c);
    }
    bool SaveScreen() override { return DocumentLineForm::SaveScreen() && TakeControl(kReferencia); }
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
          Row{kCantidadPrompt, "&Existencia:", kCantidad, "?DFI:EXISTENCIA", 148, 100, "Existencia física"},
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
    w.setControlOrder({kCodigoPrompt, kCodigo, kCodigoLookup, kBarrasPrompt, kBarras, kBarrasLookup, kCantidadPrompt,
                       kCantidad, kReferenciaPrompt, kReferencia});
    app::AddOkCancel(w, kOk, kCancel, QRect(286, 252, 86, 28));

    LineForm form(w);
    form.Configure();
    form.Bind(kReferencia, "DFI:Referencia", "s20");
    app::RunProcedure(form);
}

}  // namespace tv::movements::counts
