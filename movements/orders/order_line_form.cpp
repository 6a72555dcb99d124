// UpdateProdOrden: one line of a purchase order: the article by its
// number, the quantity and the unit cost; the amount, the quantity received
// and the quantity still to receive are shown.
#include "movements/common/document_line_form.h"
#include "movements/orders/order_controls.h"
#include "movements/orders/orders.h"
#include "platform/types/picture.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"

namespace tv::movements::orders {

using data::TableId;
using namespace line_ui;

namespace {

const LineFormFields kFields{TableId::DetOrdenes, TableId::Ordenes, "DOR:ORDEN", "ORD:Folio", "DOR:Articulo",
                             nullptr, "DOR:Cantidad", "DOR:Costo"};

class OrderLineForm : public DocumentLineForm {
public:
    explicit OrderLineForm(ui::Window& w) : DocumentLineForm("UpdateProdOrden", w, kFields) {}

protected:
    // With the amount, the quantity still to receive.
    void ShowRelated() override {
        DocumentLineForm::ShowRelated();
        const Decimal pending = (Line().number(LineField("DOR:Cantidad")) - Line().number(LineField("DOR:Recibido")))
                                    .rounded(2);
        Win().at(kPorRecibir).setText(
            QString::fromStdString(std::string(trim(Picture::parse("n-14.2")->format(Value(pending))))));
    }
};

}  // namespace

void UpdateProdOrden() {
    const LineFormTexts texts{
        .articlePrompt = "&Articulo:",
        .articleTip = "Número de artículo",
        .lookupTip = "Buscar artículo",
        .descriptionPrompt = "&Descripcion:",
        .unitPrompt = "&UM:",
        .quantityTip = "Cantidad pedida",
        .costPrompt = "&Costo:",
        .amountPrompt = "&Importe:",
        .below = {{kRecibidoPrompt, kRecibido, "&Recibido:", "?DOR:Recibido", "Cantidad recibida"},
                  {kPorRecibirPrompt, kPorRecibir, "&Por recibir:", "?LOC:PORRECIBIR", "Cantidad por recibir"}}};
    ui::Window w(QStringLiteral("Form DetOrdenes"), LineFormSize(kFields, texts), ui::Window::Placement::FrameChild);
    BuildLineFormWindow(w, kFields, texts);
    OrderLineForm form(w);
    form.Configure();
    // Received so far is the receipts' to write: shown, never read back nor repeated.
    form.Show(kRecibido, "DOR:Recibido", "n10.2");
    app::RunProcedure(form);
}

}  // namespace tv::movements::orders
