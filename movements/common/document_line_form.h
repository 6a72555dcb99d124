#pragma once
// The line form of a document (a receipt's, an issue's or an order's line):
// the article by number (or its look-up list) or, where the line keeps one,
// by bar code (or the bar-code list); its description, unit and the line's
// amount shown; the quantity greater than zero, the cost not negative, the
// article one that is stored.
#include <string>
#include <vector>

#include <QSize>

#include "app/form/form_controller.h"
#include "data/tables.h"
#include "platform/types/decimal.h"

namespace tv::movements {

// The line's fields and the header whose folio the line carries.
struct LineFormFields {
    data::TableId lines{};
    data::TableId header{};
    const char* link = nullptr;        // "DEN:ENTRADA"
    const char* headerFolio = nullptr; // "ENT:Folio"
    const char* article = nullptr;     // "DEN:CodigoArticulo"
    const char* barcode = nullptr;     // "DEN:CODBARRAS"; none: no bar-code entry
    const char* quantity = nullptr;    // "DEN:Cantidad"
    const char* cost = nullptr;        // "DEN:CostoUnitario"; none (a count line): no cost, no amount
    const char* articlePicture = "n_10";
    const char* barcodePicture = "s20";
};

// A value shown under the amount (an order line's received quantity).
struct LineFormRow {
    int prompt = 0, control = 0;
    const char* promptText = "";
    const char* name = "";             // "?DOR:Recibido"
    const char* tip = "";
};

// What the window shows, as each document words it.
struct LineFormTexts {
    const char* articlePrompt = "&Codigo:";
    const char* articleTip = "Codigo del articúlo";
    const char* lookupTip = "Buscar artículo por número";
    const char* barcodePrompt = "";    // "Cod &Barras:"
    const char* descriptionPrompt = "";
    const char* unitPrompt = "";
    const char* quantityTip = "Cantidad de artículos";
    const char* costPrompt = "&Costo Unitario:";
    const char* amountPrompt = "";
    bool withStock = false;            // "&Existencia:" shown
    std::vector<LineFormRow> below{};  // shown under the amount
};

// The window's size, and its controls (numbered as line_ui says).
QSize LineFormSize(const LineFormFields& f, const LineFormTexts& t);
void BuildLineFormWindow(ui::Window& w, const LineFormFields& f, const LineFormTexts& t);

class DocumentLineForm : public app::FormController {
public:
    // The article list and the bar-code list are its sub-procedures 1 and 2.
    static constexpr int kArticleList = 1;
    static constexpr int kBarcodeList = 2;

    DocumentLineForm(std::string procedure, ui::Window& w, LineFormFields fields);

    // Binds the entries and the look-up lists (before the form runs).
    void Configure();

    int SetUpBeforeOpen() override;
    void SetUpAfterOpen() override;
    int DispatchEvent(const ui::WindowEvent& e) override;
    int OnAccepted(int control) override;

protected:
    bool AcceptControl(ui::Control& c) override;
    // The article, its unit and the amount, as the line names them.
    virtual void ShowRelated();

    Record& Line() const { return Buffer(); }
    Record& Article() const;
    Decimal Number() const;
    const LineFormFields& Fields() const { return f_; }
    int LineField(const char* name) const;
    // What is on the screen taken into the line before a look-up; false
    // when something there cannot be read.
    virtual bool SaveScreen();

private:
    bool ArticleByNumber();
    void LookUpByNumber();
    void ArticleByBarcode(bool fromButton);

    LineFormFields f_;
};

}  // namespace tv::movements
