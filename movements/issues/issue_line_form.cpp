// UpdateProductoSalida: one line of an issue, its article picked by number
// or by bar code, with the article's stock shown and checked.
#include "app/browse/message_box.h"
#include "movements/common/document_line_controls.h"
#include "movements/common/document_line_form.h"
#include "movements/common/stock.h"
#include "movements/issues/issue_posting.h"
#include "movements/issues/issues.h"
#include "platform/threads/thread_state.h"
#include "platform/types/picture.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"

namespace tv::movements::issues {

using data::TableId;
using namespace line_ui;

namespace {

const LineFormFields kFields{TableId::DetSalidas, TableId::Salidas, "DES:SALIDA", "SAL:Folio", "DES:CodigoArticulo",
                             "DES:CODIGOBARRAS", "DES:Cantidad", "DES:CostoUnitario"};

class IssueLineForm : public DocumentLineForm {
public:
    explicit IssueLineForm(ui::Window& w) : DocumentLineForm("UpdateProductoSalida", w, kFields) {}

    // "Aceptar": the line with the issue's other lines of its article
    // against the article's stock as stored now.
    int OnCompleted() override {
        if (Closed() || (REQUEST != kInsert && REQUEST != kChange)) return DocumentLineForm::OnCompleted();
        if (CheckLineStock(Tables())) {
            app::ShowMessage("", kShortStockText, app::MessageIcon::None);
            ShowRelated();
            Win().at(kCantidad).focus();
            return 0;
        }
        return DocumentLineForm::OnCompleted();
    }

protected:
    // The stock shows with the article the line names, read afresh.
    void ShowRelated() override {
        DocumentLineForm::ShowRelated();
        const bool found = !Number().isZero() && Article().number(Article().layout().indexOf("ART:NoArt")) == Number();
        const Decimal stock = found ? StockOnHand(Article()) : Decimal();
        Win().at(kExistencia).setText(
            QString::fromStdString(std::string(trim(Picture::parse("n-14.2")->format(Value(stock))))));
    }
};

}  // namespace

void UpdateProductoSalida() {
    const LineFormTexts texts{.barcodePrompt = "&Codigo Barras:", .descriptionPrompt = "&Descripción:",
                              .unitPrompt = "&UM:", .amountPrompt = "&Importe", .withStock = true};
    ui::Window w(QStringLiteral("Form DetSalidas"), LineFormSize(kFields, texts), ui::Window::Placement::FrameChild);
    BuildLineFormWindow(w, kFields, texts);
    IssueLineForm form(w);
    form.Configure();
    app::RunProcedure(form);
}

}  // namespace tv::movements::issues
