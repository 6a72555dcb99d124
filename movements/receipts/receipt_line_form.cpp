// UpdateArtEntrada: one line of a receipt, its article picked by number or
// by bar code.
#include "movements/common/document_line_form.h"
#include "movements/receipts/receipts.h"
#include "platform/ui/window.h"

namespace tv::movements::receipts {

using data::TableId;

void UpdateArtEntrada() {
    const LineFormFields fields{TableId::DetEntradas, TableId::Entradas, "DEN:ENTRADA", "ENT:Folio",
                                "DEN:CodigoArticulo", "DEN:CODBARRAS", "DEN:Cantidad", "DEN:CostoUnitario"};
    const LineFormTexts texts{.barcodePrompt = "Cod &Barras:", .descriptionPrompt = "&Descripcion:",
                              .unitPrompt = "UM:", .amountPrompt = "&Importe:"};
    ui::Window w(QStringLiteral("Form DetEntradas"), LineFormSize(fields, texts), ui::Window::Placement::FrameChild);
    BuildLineFormWindow(w, fields, texts);
    DocumentLineForm form("UpdateArtEntrada", w, fields);
    form.Configure();
    app::RunProcedure(form);
}

}  // namespace tv::movements::receipts
