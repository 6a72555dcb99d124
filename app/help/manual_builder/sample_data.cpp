#include "app/help/manual_builder/sample_data.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/login/password.h"
#include "movements/issues/issue_posting.h"
#include "movements/orders/order_posting.h"
#include "movements/receipts/receipt_posting.h"
#include "platform/types/date.h"
#include "platform/types/decimal.h"

namespace tv::app::manual {

namespace {

using data::TableId;
using Fields = std::vector<std::pair<std::string, Value>>;

Decimal money(long long hundredths) { return Decimal::fromScaled(hundredths, 2); }

class Seeder {
public:
    explicit Seeder(data::ThreadTableSet& t) : tables_(t) {}

    long long add(TableId t, const Fields& values, bool reserve = true) {
        data::TableGateway& g = tables_.gateway(t);
        if (reserve) {
            if (g.PrepareNewRecord() != data::kDone) return fail(g);
        } else {
            g.BUFFER.clear();
        }
        set(g, values);
        if (g.InsertRecord() != data::kDone) return fail(g);
        return g.BUFFER.number(0).toInt64();
    }

    // A document as its form leaves it before "Aceptar": the lines stored
    // under the folio, the header reserved and filled in.
    void enter(TableId header, TableId lines, const Fields& headerValues, const std::vector<Fields>& lineValues) {
        for (const Fields& l : lineValues) add(lines, l, false);
        data::TableGateway& g = tables_.gateway(header);
        if (g.PrepareNewRecord() != data::kDone) fail(g);
        set(g, headerValues);
    }

    bool ok() const { return ok_; }
    void failed(const char* what) {
        std::fprintf(stderr, "manual: the sample %s was not stored\n", what);
        ok_ = false;
    }

private:
    void set(data::TableGateway& g, const Fields& values) {
        for (const auto& [field, value] : values) {
            const int f = g.declaration().fieldIndex(field);
            if (f < 0) {
                std::fprintf(stderr, "manual: no field %s\n", field.c_str());
                ok_ = false;
                continue;
            }
            g.BUFFER.set(f, value);
        }
    }
    long long fail(data::TableGateway& g) {
        std::fprintf(stderr, "manual: a sample row of %s was not stored\n", g.declaration().label.c_str());
        ok_ = false;
        return 0;
    }

    data::ThreadTableSet& tables_;
    bool ok_ = true;
};

// The fields of a document's lines, and a few lines in them.
struct LineFields {
    const char *link, *article, *barcode, *quantity, *cost;
};
const LineFields kOrderLine{"DOR:ORDEN", "DOR:Articulo", nullptr, "DOR:Cantidad", "DOR:Costo"};
const LineFields kReceiptLine{"DEN:ENTRADA", "DEN:CodigoArticulo", "DEN:CODBARRAS", "DEN:Cantidad", "DEN:CostoUnitario"};
const LineFields kIssueLine{"DES:SALIDA", "DES:CodigoArticulo", "DES:CODIGOBARRAS", "DES:Cantidad", "DES:CostoUnitario"};

struct LineRow {
    long long article;
    const char* barcode;
    long long quantity;
    long long costCents;
};

std::vector<Fields> linesOf(const LineFields& f, long long folio, std::initializer_list<LineRow> rows) {
    std::vector<Fields> out;
    for (const LineRow& r : rows) {
        Fields l{{f.link, Value(folio)}, {f.article, Value(r.article)}, {f.quantity, Value(Decimal(r.quantity))},
                 {f.cost, Value(money(r.costCents))}};
        if (f.barcode != nullptr) l.emplace_back(f.barcode, Value(r.barcode));
        out.push_back(std::move(l));
    }
    return out;
}

struct ArticleRow {
    long long noArt;
    const char* description;
    int unit, brand, category;
    const char* barcode;
    const char* model;
    long long minimum, maximum, ideal, opening, averageCents;
};

}  // namespace

bool SeedSampleData(data::ThreadTableSet& tables) {
    Seeder s(tables);
    const long day = dateFromYmd(2025, 3, 3);

    for (const char* u : {"PIEZA", "CAJA", "LITRO", "KILOGRAMO", "METRO"}) s.add(TableId::Unidades, {{"UNI:UM", Value(u)}});
    for (const char* m : {"TRUPER", "URREA", "COMEX", "PHILIPS", "3M"}) s.add(TableId::Marcas, {{"MAR:Marca", Value(m)}});
    for (const char* c : {"HERRAMIENTA", "PINTURA", "ELÉCTRICO", "SEGURIDAD", "FERRETERÍA"})
        s.add(TableId::CatArticulos, {{"CAR:Descripcion", Value(c)}});
    s.add(TableId::Almacenes, {{"ALM:Nombre", Value("ALMACÉN GENERAL")}, {"ALM:UBICACION", Value("Nave 1, planta baja")}});
    s.add(TableId::Almacenes, {{"ALM:Nombre", Value("REFACCIONES")}, {"ALM:UBICACION", Value("Nave 2, mezzanine")}});
    for (const char* d : {"MANTENIMIENTO", "PRODUCCIÓN", "ADMINISTRACIÓN"}) s.add(TableId::Deptos, {{"DEP:Nombre", Value(d)}});
    for (const char* t : {"COMPRA A PROVEEDOR", "DEVOLUCIÓN DE PRODUCCIÓN", "TRASPASO"})
        s.add(TableId::TipEntradas, {{"TEN:Descripcion", Value(t)}});
    for (const char* t : {"CONSUMO INTERNO", "VENTA", "MERMA"}) s.add(TableId::TipSalidas, {{"TSA:Descripcion", Value(t)}});
    s.add(TableId::Paises, {{"PAI:Nombre", Value("MÉXICO")}});
    for (const char* e : {"JALISCO", "NUEVO LEÓN"}) s.add(TableId::Estados, {{"EST:Nombre", Value(e)}});
    for (const char* c : {"GUADALAJARA", "MONTERREY", "ZAPOPAN"}) s.add(TableId::Ciudades, {{"CIU:Nombre", Value(c)}});

    struct SupplierRow {
        const char *code, *name, *trade, *address, *city, *state, *zip, *rfc, *line, *contact, *post, *phone;
    };
    const SupplierRow suppliers[] = {
        {"FERR01", "FERRETERA DEL CENTRO, S.A. DE C.V.", "FERRECENTRO", "Av. Juárez 1450", "GUADALAJARA", "JALISCO",
         "44100", "FCE980312AB1", "FERRETERÍA", "Laura Méndez", "Ventas", "33 3614 2200"},
        {"PINT02", "PINTURAS Y RECUBRIMIENTOS DEL NORTE", "PINTUNORTE", "Calle Zaragoza 820", "MONTERREY", "NUEVO LEÓN",
         "64000", "PRN010515QW2", "PINTURA", "Jorge Salinas", "Gerente de cuenta", "81 8340 1177"},
        {"ELEC03", "MATERIALES ELÉCTRICOS DE OCCIDENTE", "ELECTROCCIDENTE", "Periférico Norte 300", "ZAPOPAN",
         "JALISCO", "45150", "MEO050920KL3", "ELÉCTRICO", "Ana Ruiz", "Crédito y cobranza", "33 3833 9010"},
    };
    for (const SupplierRow& p : suppliers) {
        s.add(TableId::Proveedores,
              {{"PVD:Codigo", Value(p.code)}, {"PVD:Nombre", Value(p.name)}, {"PVD:NombreComercial", Value(p.trade)},
               {"PVD:DIRECCION", Value(p.address)}, {"PVD:CIUDAD", Value(p.city)}, {"PVD:ESTADO", Value(p.state)},
               {"PVD:PAIS", Value("MÉXICO")}, {"PVD:CP", Value(p.zip)}, {"PVD:RFC", Value(p.rfc)},
               {"PVD:RAMO", Value(p.line)}, {"PVD:CONDICIONES", Value("CRÉDITO")}, {"PVD:PLAZO", Value(30)},
               {"PVD:LIMITECREDITO", Value(money(5000000))}, {"PVD:EMAIL", Value("ventas@example.com")}});
        s.add(TableId::ContProv, {{"CPV:PROVEEDOR", Value(p.code)}, {"CPV:Nombre", Value(p.contact)},
                                  {"CPV:PUESTO", Value(p.post)}, {"CPV:Telefono", Value(p.phone)}});
    }

    const ArticleRow articles[] = {
        {1001, "MARTILLO DE UÑA 16 OZ MANGO DE FIBRA", 1, 1, 1, "7501206612345", "MUF-16", 5, 40, 20, 18, 18950},
        {1002, "JUEGO DE DESARMADORES 6 PIEZAS", 1, 2, 1, "7501206698765", "DES-6", 4, 30, 15, 3, 24500},
        {1003, "PINTURA VINÍLICA BLANCA 19 L", 1, 3, 2, "7502001100199", "VIN-19B", 6, 50, 25, 30, 129900},
        {1004, "THINNER ESTÁNDAR", 3, 3, 2, "7502001100299", "THN-1", 20, 200, 100, 80, 3250},
        {1005, "FOCO LED 9 W LUZ DE DÍA", 1, 4, 3, "8718699600111", "LED-9", 50, 400, 200, 150, 4590},
        {1006, "CABLE THW CALIBRE 12", 5, 4, 3, "7501033900012", "THW-12", 100, 1000, 500, 320, 1275},
        {1007, "GUANTES DE CARNAZA", 1, 5, 4, "7501100200301", "GC-01", 30, 240, 120, 36, 6800},
        {1008, "TORNILLO PARA MADERA 1 1/2\" (CAJA 100)", 2, 1, 5, "7501206633333", "TM-112", 10, 80, 40, 25, 8900},
    };
    for (const ArticleRow& a : articles)
        s.add(TableId::Articulo,
              {{"ART:NoArt", Value(a.noArt)}, {"ART:Descripcion", Value(a.description)}, {"ART:UM", Value(a.unit)},
               {"ART:Marca", Value(a.brand)}, {"ART:categoria", Value(a.category)},
               {"ART:CodigoBarras", Value(a.barcode)}, {"ART:Modelo", Value(a.model)},
               {"ART:StockMinimo", Value(Decimal(a.minimum))}, {"ART:StockMaximo", Value(Decimal(a.maximum))},
               {"ART:StockIdeal", Value(Decimal(a.ideal))}, {"ART:ExistenciaAnterior", Value(Decimal(a.opening))},
               {"ART:COSTOPROMEDIO", Value(money(a.averageCents))}});

    // The administrator a new installation starts with, and a user of the
    // warehouse who records documents and reads the stock.
    struct UserRow {
        const char* name;
        bool administrator;
        std::vector<int> rights;
    };
    std::vector<int> every;
    for (int n = 1; n <= 100; ++n) every.push_back(n);
    const UserRow users[] = {{"kvz", true, every}, {"almacen", false, {1, 2, 21, 22, 23, 30, 31, 32, 40}}};
    for (const UserRow& u : users) {
        const data::TableDecl& d = data::decl(TableId::usuarios);
        data::TableGateway& g = tables.gateway(TableId::usuarios);
        g.BUFFER.clear();
        g.BUFFER.setText(d.fieldIndex("USU:Nombre"), u.name);
        g.BUFFER.setText(d.fieldIndex("USU:PASSWORD"), HashPassword(u.name));
        for (int n : u.rights) g.BUFFER.setRaw(data::permisoField(n), 1);
        g.BUFFER.setRaw(d.fieldIndex("USU:ADMINISTRADOR"), u.administrator ? 1 : 0);
        if (g.InsertRecord() != data::kDone) s.failed("user");
    }

    s.add(TableId::Folios, {{"FOL:ID", Value(1)}, {"FOL:ENTRADAS", Value(1)}, {"FOL:SALIDAS", Value(1)},
                            {"FOL:ORDENCOMPRA", Value(1)}},
          false);

    // An order for three articles, half of it received since.
    s.enter(TableId::Ordenes, TableId::DetOrdenes,
            {{"ORD:Folio", Value(1)}, {"ORD:Fecha", Value(day)}, {"ORD:Plazo", Value(15)},
             {"ORD:Entrega", Value(day + 15)}, {"ORD:Elabora", Value("María López")},
             {"ORD:Proveedor", Value("PINT02")}, {"ORD:Referencia", Value("REQ-0142")}, {"ORD:Prioridad", Value("ALTA")}},
            linesOf(kOrderLine, 1, {{1003, nullptr, 20, 127500}, {1004, nullptr, 60, 3100}}));
    if (!movements::orders::CompleteOrder(tables)) s.failed("order");

    s.enter(TableId::Entradas, TableId::DetEntradas,
            {{"ENT:Folio", Value(1)}, {"ENT:TIPO", Value(1)}, {"ENT:Fecha", Value(day + 7)},
             {"ENT:PROVEEDOR", Value("PINT02")}, {"ENT:OrdenCompra", Value(1)}, {"ENT:Referencia", Value("FAC A-5531")}},
            linesOf(kReceiptLine, 1, {{1003, "7502001100199", 10, 127500}, {1004, "7502001100299", 60, 3100}}));
    if (!movements::receipts::CompleteReceipt(tables)) s.failed("receipt");

    s.enter(TableId::Entradas, TableId::DetEntradas,
            {{"ENT:Folio", Value(2)}, {"ENT:TIPO", Value(1)}, {"ENT:Fecha", Value(day + 8)},
             {"ENT:PROVEEDOR", Value("ELEC03")}, {"ENT:Referencia", Value("FAC 88120")}},
            linesOf(kReceiptLine, 2, {{1005, "8718699600111", 100, 4400}, {1006, "7501033900012", 200, 1290}}));
    if (!movements::receipts::CompleteReceipt(tables)) s.failed("second receipt");

    s.enter(TableId::Salidas, TableId::DetSalidas,
            {{"SAL:Folio", Value(1)}, {"SAL:TIPO", Value(1)}, {"SAL:Fecha", Value(day + 9)}, {"SAL:RECIBE", Value(1)},
             {"SAL:Referencia", Value("OT-2291")}},
            linesOf(kIssueLine, 1, {{1003, "7502001100199", 4, 127500}, {1007, "7501100200301", 12, 6800}}));
    if (!movements::issues::CompleteIssue(tables)) s.failed("issue");

    // A count taken at the end of the month, not applied yet.
    const long long count =
        s.add(TableId::Fisico, {{"FIS:Fecha", Value(day + 27)}, {"FIS:Descripcion", Value("CONTEO MENSUAL DE MARZO")}});
    const std::pair<long long, long long> counted[] = {{1001, 17}, {1002, 12}, {1007, 23}, {1008, 26}};
    for (const auto& [article, quantity] : counted)
        s.add(TableId::DetFisico, {{"DFI:INVENTARIO", Value(count)}, {"DFI:CodigoArticulo", Value(article)},
                                   {"DFI:Existencia", Value(Decimal(quantity))}});
    return s.ok();
}

}  // namespace tv::app::manual
