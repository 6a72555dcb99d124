#include "movements/common/article_line_form.h"

#include "app/form/field_binding.h"
#include "catalog/articles/articles.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/desktop.h"
#include "platform/ui/window.h"

namespace tv::movements {

using data::TableId;

namespace {

int Field(TableId t, const char* name) { return data::decl(t).fieldIndex(name); }

QString Text(const Value& v) { return QString::fromStdString(std::string(rtrim(v.asText()))); }

}  // namespace

ArticleLineForm::ArticleLineForm(std::string procedureName, ui::Window& window, data::TableId lines,
                                 ArticleLineSetup setup)
    : FormController(std::move(procedureName), window, lines), setup_(std::move(setup)) {
    SetSubProcedure(kArticleList, [] { catalog::BrowseArticulo(); });
    SetSubProcedure(kBarcodeList, [] { catalog::BrowseArticuloBarras(); });
}

int ArticleLineForm::LineField(const char* name) const { return Field(PrimaryId(), name); }

Decimal ArticleLineForm::ArticleNumber() const { return Line().number(LineField(setup_.articleField)); }

void ArticleLineForm::SetUpAfterOpen() {
    FormController::SetUpAfterOpen();
    if (ViewMode())
        for (int c : {setup_.articleLookup, setup_.barcodeLookup}) Win().at(c).setDisabled(true);
    ShowRelated();
}

int ArticleLineForm::DispatchEvent(const ui::WindowEvent& e) {
    const int r = FormController::DispatchEvent(e);
    if (!Closed()) ShowRelated();
    return r;
}

int ArticleLineForm::OnAccepted(int control) {
    if (Closed() || ViewMode()) return FormController::OnAccepted(control);
    if (control == setup_.article) {
        if (TakeControl(setup_.article) && !ArticleNumber().isZero()) ArticleByNumber();
    } else if (control == setup_.articleLookup) {
        LookUpByNumber();
    } else if (control == setup_.barcode) {
        if (TakeControl(setup_.barcode)) ArticleByBarcode(false);
    } else if (control == setup_.barcodeLookup) {
        ArticleByBarcode(true);
    } else {
        return FormController::OnAccepted(control);
    }
    return 0;
}

uint8_t ArticleLineForm::CallSubProcedure(int number, uint8_t request) {
    if (ViewMode()) return kCancelled;
    return FormController::CallSubProcedure(number, request);
}

bool ArticleLineForm::AcceptControl(ui::Control& c) {
    if (c.number() != setup_.article || c.hidden() || c.disabled()) return FormController::AcceptControl(c);
    if (!TakeControl(setup_.article)) return false;
    if (ArticleNumber().isZero()) {
        // No article named: the line would name none.
        ui::beep();
        c.focus();
        return false;
    }
    return ArticleByNumber();
}

void ArticleLineForm::Show(int control, const char* field, const char* picture) {
    Win().at(control).setText(
        QString::fromStdString(app::ShowField(Line(), LineField(field), *Picture::parse(picture))));
}

// The article and its unit, as the line names them (blank for none).
void ArticleLineForm::ShowRelated() {
    Record& alias = Tables().buffer(TableId::AliasArticulos);
    alias.set(Field(TableId::AliasArticulos, "AAR:CodigoBarras"), Line().get(LineField(setup_.barcodeField)));
    Tables().gateway(TableId::AliasArticulos).ReadByKeyOrClear("AAR:KeyCodigoBarras");
    Record& article = Tables().buffer(TableId::Articulo);
    article.set(Field(TableId::Articulo, "ART:NoArt"), Value(ArticleNumber()));
    Tables().gateway(TableId::Articulo).ReadByKeyOrClear("ART:KeyNoArt");
    Record& unit = Tables().buffer(TableId::Unidades);
    unit.set(Field(TableId::Unidades, "UNI:Codigo"), article.get(Field(TableId::Articulo, "ART:UM")));
    Tables().gateway(TableId::Unidades).ReadByKeyOrClear("UNI:KeyCodigo");
    Win().at(setup_.description).setText(Text(article.get(Field(TableId::Articulo, "ART:Descripcion"))));
    Win().at(setup_.unit).setText(Text(unit.get(Field(TableId::Unidades, "UNI:UM"))));
    ShowDerived();
}

// The article the number names; a number that names none opens the article
// list. False (the focus on the number) when none was chosen.
bool ArticleLineForm::ArticleByNumber() {
    Record& article = Tables().buffer(TableId::Articulo);
    const int noArt = Field(TableId::Articulo, "ART:NoArt");
    data::TableGateway& g = Tables().gateway(TableId::Articulo);
    article.set(noArt, Value(ArticleNumber()));
    if (g.ReadByKey("ART:KeyNoArt") != data::kDone) {
        if (CallSubProcedure(kArticleList, kSelect) != kCompleted) {
            Win().at(setup_.article).focus();
            return false;
        }
        Line().set(LineField(setup_.articleField), article.get(noArt));
        if (g.ReadByKey("ART:KeyNoArt") != data::kDone) {
            Win().at(setup_.article).focus();
            return false;
        }
        Show(setup_.article, setup_.articleField, setup_.articlePicture);
    }
    // The line keeps the article's bar code.
    Line().set(LineField(setup_.barcodeField), article.get(Field(TableId::Articulo, "ART:CodigoBarras")));
    Show(setup_.barcode, setup_.barcodeField, setup_.barcodePicture);
    return true;
}

void ArticleLineForm::LookUpByNumber() {
    if (!SaveScreen()) return;
    Record& article = Tables().buffer(TableId::Articulo);
    const int noArt = Field(TableId::Articulo, "ART:NoArt");
    article.set(noArt, Value(ArticleNumber()));
    if (CallSubProcedure(kArticleList, kSelect) != kCompleted) return;
    Line().set(LineField(setup_.articleField), article.get(noArt));
    Show(setup_.article, setup_.articleField, setup_.articlePicture);
    if (!ArticleNumber().isZero()) ArticleByNumber();
}

// The article of the bar code typed (or, from the button, chosen in the
// bar-code list); then its number, its data, and the focus on the quantity.
void ArticleLineForm::ArticleByBarcode(bool fromButton) {
    const int barcode = LineField(setup_.barcodeField);
    Record& alias = Tables().buffer(TableId::AliasArticulos);
    const int aarBarcode = Field(TableId::AliasArticulos, "AAR:CodigoBarras");
    if (fromButton && !SaveScreen()) return;
    if (!fromButton && trim(Line().get(barcode).asText()).empty()) return;
    alias.set(aarBarcode, Line().get(barcode));
    const bool found =
        !fromButton && Tables().gateway(TableId::AliasArticulos).ReadByKey("AAR:KeyCodigoBarras") == data::kDone;
    if (!found) {
        if (CallSubProcedure(kBarcodeList, kSelect) != kCompleted) {
            if (!fromButton) Win().at(setup_.barcode).focus();
            return;
        }
        Line().set(barcode, alias.get(aarBarcode));
    }
    if (trim(Line().get(barcode).asText()).empty()) return;
    Line().set(LineField(setup_.articleField), alias.get(Field(TableId::AliasArticulos, "AAR:NoArt")));
    Show(setup_.article, setup_.articleField, setup_.articlePicture);
    if (ArticleByNumber()) Win().at(setup_.quantity).focus();
}

bool ArticleLineForm::SaveScreen() {
    for (int c : setup_.entries)
        if (!TakeControl(c)) return false;
    return true;
}

}  // namespace tv::movements
