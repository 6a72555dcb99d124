#include "export/exports/export_rows.h"

#include <cmath>
#include <optional>

#include "export/automation/address.h"
#include "export/automation/file_text.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/types/text.h"
#include "platform/view/table_set_view.h"
#include "platform/view/view_cursor.h"

namespace tv::exports {

using automation::SpreadsheetAutomation;
using data::TableId;

ExportValue ExportValue::Text(std::string_view t) {
    ExportValue v;
    const std::string_view kept = rtrim(t);
    if (kept.empty()) return v;
    v.kind = Kind::Text;
    v.text = automation::ReadableText(kept, false, &v.repaired);
    return v;
}

ExportValue ExportValue::Number(double d) {
    ExportValue v;
    v.kind = Kind::Number;
    v.number = d;
    return v;
}

const ExportLayout& LayoutOf(ExportKind kind) {
    static const ExportLayout articles{
        "Catálogo de artículos",
        {"No art.", "Descripción", "UM", "Marca", "Categoría", "Cod Barras", "Modelo", "Tamaño", "Capacidad"}};
    // C4 is the empty text and F4 is never written: with an empty text
    // writing no cell, both stay empty.
    static const ExportLayout suppliers{
        "Catálogo de proveedores",
        {"Código", "Nombre", "", "Nombre comercial", "Dirección", "", "Ciudad", "Estado", "País", "CP", "RFC", "Email"}};
    return kind == ExportKind::Articles ? articles : suppliers;
}

std::string FilterNumber(double d) { return automation::NumberText(d); }

std::string SupplierFilter(const SupplierChoice& c) {
    switch (c.suppliers) {
    case 2: return "pvd:ID >= " + FilterNumber(c.first) + " and pvd:ID <= " + FilterNumber(c.last);
    case 3: return "pvd:ID = " + FilterNumber(c.id);
    default: return {};
    }
}

namespace {

// The fields of a table's buffer, looked up once.
struct Fields {
    const Record& record;
    std::vector<int> index;
    Fields(const Record& r, data::TableId t, std::initializer_list<const char*> names) : record(r) {
        for (const char* n : names) index.push_back(data::decl(t).fieldIndex(n));
    }
    ExportValue text(size_t i) const { return ExportValue::Text(record.get(index[i]).asText()); }
    double number(size_t i) const { return record.get(index[i]).asNumber().toDouble(); }
};

Status viewFailure(const std::string& what, const expr::ExprError& e) {
    return Status::Fail("El filtro de " + what + " no es válido: " + e.message);
}

// Reads every record of the view, in order, handing each to `row`.
Status readAll(view::ViewCursor& v, const std::string& what, const std::function<bool()>& row) {
    v.setSequential(true);
    for (;;) {
        const storage::Status st = v.next();
        if (st.code == storage::kRecordNotAvailable) break;
        if (!st) return Status::Fail("No se pudieron leer los " + what + ": " + st.text);
        if (!row()) break;
        threads::maybeYield();
    }
    v.setSequential(false);
    return Status::Ok();
}

}  // namespace

Status ReadArticleRows(data::ThreadTableSet& set, std::string_view filter, double order, const RowSink& onRow) {
    const int orden = static_cast<int>(std::trunc(order));
    if (orden < 1 || orden > 3) return Status::Ok();
    view::ViewCursor v(set.connection());
    view::TableSetView tv(v, set);
    if (!tv.setPrimary(TableId::Articulo)) return Status::Fail("No se pudo abrir la tabla de artículos.");
    if (tv.join(TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}) < 0 ||
        tv.join(TableId::Marcas, "MAR:KeyCodigo", {{"MAR:Codigo", "ART:Marca"}}) < 0 ||
        tv.join(TableId::CatArticulos, "CAR:KeyId", {{"CAR:Codigo", "ART:categoria"}}) < 0)
        return Status::Fail("No se pudieron abrir las unidades, las marcas o las categorías.");
    static const char* const orders[] = {"ART:NoArt", "ART:marca,ART:NoArt", "ART:categoria,ART:NoArt"};
    expr::ExprError error;
    if (!tv.setOrder("", orders[orden - 1], &error)) return viewFailure("los artículos", error);
    if (!v.setFilter(filter, &error)) return viewFailure("los artículos", error);
    set.Articulo().clear();

    const Fields art(set.Articulo(), TableId::Articulo,
                     {"ART:NoArt", "ART:Descripcion", "ART:CodigoBarras", "ART:Modelo", "ART:Tamano",
                      "ART:CAPACIDAD", "ART:Marca", "ART:categoria"});
    const Fields uni(set.Unidades(), TableId::Unidades, {"UNI:UM"});
    const Fields mar(set.Marcas(), TableId::Marcas, {"MAR:Marca"});
    const Fields car(set.CatArticulos(), TableId::CatArticulos, {"CAR:Descripcion"});
    double group = 0;  // the cleared record's brand or category
    ExportRow row;
    return readAll(v, "artículos", [&] {
        if (orden != 1) {
            const double code = art.number(orden == 2 ? 6 : 7);
            if (code != group) {
                group = code;
                if (!onRow({})) return false;
            }
        }
        row = {ExportValue::Number(art.number(0)), art.text(1), uni.text(0), mar.text(0), car.text(0),
               art.text(2),                        art.text(3), art.text(4), art.text(5)};
        return onRow(row);
    });
}

Status ReadSupplierRows(data::ThreadTableSet& set, std::string_view filter, const RowSink& onRow) {
    view::ViewCursor v(set.connection());
    view::TableSetView tv(v, set);
    if (!tv.setPrimary(TableId::Proveedores)) return Status::Fail("No se pudo abrir la tabla de proveedores.");
    if (tv.join(TableId::Ciudades, "CIU:KeyNombre", {{"CIU:Nombre", "PVD:CIUDAD"}}) < 0 ||
        tv.join(TableId::Estados, "EST:KeyNombre", {{"EST:Nombre", "PVD:ESTADO"}}) < 0 ||
        tv.join(TableId::Paises, "PAI:KeyNombre", {{"PAI:Nombre", "PVD:PAIS"}}) < 0)
        return Status::Fail("No se pudieron abrir las ciudades, los estados o los países.");
    expr::ExprError error;
    if (!tv.setOrder("", {}, &error)) return viewFailure("los proveedores", error);
    if (!v.setFilter(filter, &error)) return viewFailure("los proveedores", error);

    const Fields pvd(set.Proveedores(), TableId::Proveedores,
                     {"PVD:Codigo", "PVD:Nombre", "PVD:Nombre2", "PVD:NombreComercial", "PVD:DIRECCION",
                      "PVD:DIRECCION2", "PVD:CP", "PVD:RFC", "PVD:EMAIL"});
    const Fields ciu(set.Ciudades(), TableId::Ciudades, {"CIU:Nombre"});
    const Fields est(set.Estados(), TableId::Estados, {"EST:Nombre"});
    const Fields pai(set.Paises(), TableId::Paises, {"PAI:Nombre"});
    ExportRow row;
    return readAll(v, "proveedores", [&] {
        row = {pvd.text(0), pvd.text(1), pvd.text(2), pvd.text(3), pvd.text(4), pvd.text(5),
               ciu.text(0), est.text(0), pai.text(0), pvd.text(6), pvd.text(7), pvd.text(8)};
        return onRow(row);
    });
}

namespace {

// Writes one cell the way the exports do: select it, then set its value.
Status writeCell(SpreadsheetAutomation& xl, int32_t row, int32_t column, const ExportValue& v) {
    if (v.kind == ExportValue::Kind::Empty) return Status::Ok();
    if (Status st = xl.SelectRange(automation::CellAddress(row, column)); !st) return st;
    return v.kind == ExportValue::Kind::Number ? xl.SetActiveCellNumber(v.number) : xl.SetActiveCellText(v.text);
}

Status writeRow(SpreadsheetAutomation& xl, int32_t row, const ExportRow& cells, ExportSummary& summary) {
    for (size_t c = 0; c < cells.size(); ++c) {
        const auto column = static_cast<int32_t>(c + 1);
        if (Status st = writeCell(xl, row, column, cells[c]); !st) return st;
        if (!cells[c].repaired) continue;
        if (summary.repairedTexts++ == 0) summary.firstRepaired = automation::CellAddress(row, column);
    }
    return Status::Ok();
}

Status writeWorkbook(SpreadsheetAutomation& xl, data::ThreadTableSet& set, const ExportRequest& request,
                     ExportSummary& summary) {
    const ExportLayout& layout = LayoutOf(request.kind);
    if (Status st = writeCell(xl, 1, 1, ExportValue::Text(request.company)); !st) return st;
    if (Status st = writeCell(xl, kTitleRow, 1, ExportValue::Text(layout.title)); !st) return st;
    ExportRow headers;
    for (const std::string& h : layout.headers) headers.push_back(ExportValue::Text(h));
    if (Status st = writeRow(xl, kHeaderRow, headers, summary); !st) return st;

    int32_t next = kFirstDataRow;
    Status written;
    const RowSink sink = [&](const ExportRow& r) {
        if (next > automation::kMaxRows) {
            written = Status::Fail("Los datos no caben en una hoja (1,048,576 filas).");
            return false;
        }
        written = writeRow(xl, next++, r, summary);
        ++summary.rows;
        return written.ok();
    };
    const Status read = request.kind == ExportKind::Articles
                            ? ReadArticleRows(set, request.filter, request.order, sink)
                            : ReadSupplierRows(set, request.filter, sink);
    return !written ? written : read;
}

}  // namespace

Status RunExport(SpreadsheetAutomation& xl, automation::AutomationContainer& container, data::ThreadTableSet& set,
                 const ExportRequest& request, ExportSummary* summary) {
    ExportSummary done;
    if (summary != nullptr) *summary = done;
    if (Status st = xl.Attach(&container, 1, 1, 1); !st) return st;
    if (Status st = xl.AddWorkbook(); !st) return st;
    Status st = writeWorkbook(xl, set, request, done);
    if (st) st = xl.SaveWorkbookAs(request.path);
    // The workbook was saved, or it is of no use: it goes either way, so a
    // window that exports many times does not keep every workbook in memory.
    Status closed = xl.CloseActiveWindow(0);
    if (summary != nullptr) *summary = done;
    return st ? closed : st;
}

std::string RepairedTextsNotice(const ExportSummary& summary) {
    if (summary.repairedTexts == 0) return {};
    const std::string cells = summary.repairedTexts == 1
                                  ? "La celda " + summary.firstRepaired + " tiene"
                                  : std::to_string(summary.repairedTexts) + " celdas (la primera, " +
                                        summary.firstRepaired + ") tienen";
    return cells + " un texto guardado con caracteres que no se pueden leer; en el libro aparecen como \"" +
           std::string(automation::kReplacementCharacter) + "\". Corrija ese dato en el catálogo.";
}

}  // namespace tv::exports
