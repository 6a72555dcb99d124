#pragma once
// The form of a document line that names an article, by its number or by
// its bar code (the receipt, issue and count line forms):
//
//  - a number that names no article opens the article list to pick one
//    (look-up 1); a bar code that names none opens the bar-code list
//    (look-up 2); cancelling either puts the focus back where it was;
//  - a found article gives the line its bar code, and the form shows the
//    article's description and unit; a bar code found also sets the number
//    and moves the focus on to the quantity;
//  - "Aceptar" stops at a number that is 0 (a beep) or names no article (the
//    article list), so a stored line always names a stored article.
//
// A line form derives from it, sets the line's link to its header in
// SetUpBeforeOpen and adds its own checks (AcceptControl) and derived values
// (ShowDerived).
#include <string>
#include <vector>

#include "app/form/form_controller.h"
#include "data/tables.h"
#include "platform/types/decimal.h"

namespace tv::movements {

struct ArticleLineSetup {
    const char* articleField = nullptr;     // "DEN:CodigoArticulo"
    const char* articlePicture = "n_10";
    const char* barcodeField = nullptr;     // "DEN:CODBARRAS"
    const char* barcodePicture = "s20";
    // Controls.
    int article = 0, articleLookup = 0, barcode = 0, barcodeLookup = 0;
    int description = 0, unit = 0;          // where the article's description and unit show
    int quantity = 0;                       // the focus goes here once a bar code named the article
    std::vector<int> entries;               // taken into the buffer before a look-up
};

class ArticleLineForm : public app::FormController {
public:
    // Look-up numbers (CallSubProcedure).
    static constexpr int kArticleList = 1;
    static constexpr int kBarcodeList = 2;

    ArticleLineForm(std::string procedureName, ui::Window& window, data::TableId lines, ArticleLineSetup setup);

    void SetUpAfterOpen() override;
    int DispatchEvent(const ui::WindowEvent& e) override;
    int OnAccepted(int control) override;
    uint8_t CallSubProcedure(int number, uint8_t request) override;

protected:
    bool AcceptControl(ui::Control& c) override;
    // After the article's data is shown (a receipt line shows its amount).
    virtual void ShowDerived() {}

    Record& Line() const { return Buffer(); }
    int LineField(const char* name) const;
    // The article number the line holds.
    Decimal ArticleNumber() const;

private:
    void ShowRelated();
    void Show(int control, const char* field, const char* picture);
    bool ArticleByNumber();
    void LookUpByNumber();
    void ArticleByBarcode(bool fromButton);
    bool SaveScreen();

    ArticleLineSetup setup_;
};

}  // namespace tv::movements
