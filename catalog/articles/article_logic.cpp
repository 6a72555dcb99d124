#include "catalog/articles/article_logic.h"

#include "data/tables.h"
#include "data/thread_table_set.h"

namespace tv::catalog {

Decimal StockOnHand(const Record& articulo) {
    const data::TableDecl& d = data::decl(data::TableId::Articulo);
    const Decimal opening = articulo.number(d.fieldIndex("ART:ExistenciaAnterior"));
    const Decimal in = articulo.number(d.fieldIndex("ART:Entradas"));
    const Decimal out = articulo.number(d.fieldIndex("ART:Salidas"));
    return (opening + in - out).rounded(2);
}

std::optional<std::string> PicturePathToStore(const std::string& chosen) {
    // The field counts characters of its own encoding; a UTF-8 byte count
    // is never smaller, so a path that fits here fits there.
    if (chosen.size() > kPicturePathWidth) return std::nullopt;
    return chosen;
}

std::vector<qbe::Field> ArticleQueryFields() {
    using qbe::FieldType;
    return {
        {"ART:NoArt", "No Art", "@n_10", FieldType::Number, false},
        {"ART:Descripcion", "Descripción", "@s70", FieldType::Text, true},
        {"ART:Modelo", "Modelo", "@s20", FieldType::Text, true},
        {"ART:CodigoBarras", "Codigo Barras", "@s20", FieldType::Text, true},
        {"ART:Tamano", "Tamaño", "@s20", FieldType::Text, true},
    };
}

std::string ArticleGoneMessage(const Decimal& noArt) {
    return "El artículo " + noArt.toText() + " ya no existe en el archivo de artículos.";
}

bool ReadArticleOfAlias(data::ThreadTableSet& tables) {
    const data::TableDecl& art = data::decl(data::TableId::Articulo);
    const data::TableDecl& aar = data::decl(data::TableId::AliasArticulos);
    const Value noArt = tables.buffer(data::TableId::AliasArticulos).get(aar.fieldIndex("AAR:NoArt"));
    data::TableGateway& g = tables.gateway(data::TableId::Articulo);
    Record before = g.BUFFER;
    g.BUFFER.clear();
    g.BUFFER.set(art.fieldIndex("ART:NoArt"), noArt);
    if (g.ReadByKey("ART:KeyNoArt") != data::kDone) {
        g.BUFFER = before;
        return false;
    }
    // The form's write then sees whether another station changed it meanwhile.
    g.Watch();
    return true;
}

}  // namespace tv::catalog
