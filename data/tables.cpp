#include "data/tables.h"

#include <cctype>
#include <stdexcept>

namespace tv::data {
namespace {

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && std::toupper(static_cast<unsigned char>(a[i])) !=
                                std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Field builders.
FieldSpec S(const char* n, int size) { return {n, FieldType::String, size, 0}; }
FieldSpec D(const char* n, int digits, int places = 0) { return {n, FieldType::Decimal, digits, places}; }
FieldSpec L(const char* n) { return {n, FieldType::Long, 0, 0}; }
FieldSpec B(const char* n) { return {n, FieldType::Byte, 0, 0}; }
FieldSpec Dt(const char* n) { return {n, FieldType::Date, 0, 0}; }
FieldSpec M(const char* n, int size) { return {n, FieldType::Memo, size, 0}; }

enum KeyFlags : unsigned { kDup = 0, kUnique = 1, kOpt = 2, kAuto = 4, kPrimary = 8 };

struct KeySpec {
    const char* name;
    const char* label;
    const char* field;
    unsigned flags;
};

struct LinkSpec {
    const char* own;
    const char* related;
};

struct RelSpec {
    TableId related;
    const char* childKey = nullptr;  // null: plain entry
    std::vector<LinkSpec> links = {};
    RelMode del = RelMode::None;
};

using T = TableId;

struct Builder {
    std::array<TableDecl, kTableCount> decls;

    TableDecl& table(TableId id, const char* label, const char* prefix, const char* file,
                     std::vector<FieldSpec> fields, const std::vector<KeySpec>& keys) {
        TableDecl& d = decls[static_cast<size_t>(id)];
        d.id = id;
        d.label = label;
        d.prefix = prefix;
        d.fileName = file;
        d.storageName = label;
        d.module = static_cast<int>(id) < kModule1Count ? 1 : 2;
        d.layout = std::make_shared<RecordLayout>(label, prefix, std::move(fields));
        for (const KeySpec& k : keys) {
            KeyDecl kd;
            kd.name = k.name;
            kd.label = k.label;
            int f = d.layout->indexOf(k.field);
            if (f < 0) throw std::logic_error(std::string("key field missing: ") + k.field);
            kd.components = {f};
            kd.unique = (k.flags & kUnique) != 0;
            kd.optional = (k.flags & kOpt) != 0;
            kd.autoNumbered = (k.flags & kAuto) != 0;
            kd.primary = (k.flags & kPrimary) != 0;
            d.keys.push_back(std::move(kd));
        }
        return d;
    }

    // An alias: same file, layout and keys as the base, names with its own prefix.
    void alias(TableId id, TableId base, const char* label, const char* prefix,
               const std::vector<const char*>& fieldNames, const std::vector<KeySpec>& keys) {
        const TableDecl& b = decls[static_cast<size_t>(base)];
        std::vector<FieldSpec> fields = b.layout->fields();
        if (fieldNames.size() != fields.size()) throw std::logic_error("alias field count");
        for (size_t i = 0; i < fields.size(); ++i) fields[i].name = fieldNames[i];
        TableDecl& d = table(id, label, prefix, b.fileName.c_str(), std::move(fields), keys);
        d.storageName = b.storageName;
        d.aliasOf = base;
        for (size_t i = 0; i < d.keys.size(); ++i) {
            const KeyDecl& bk = b.keys[i];
            d.keys[i].unique = bk.unique;
            d.keys[i].optional = bk.optional;
            d.keys[i].autoNumbered = bk.autoNumbered;
            d.keys[i].primary = bk.primary;
            if (d.keys[i].components != bk.components) throw std::logic_error("alias key");
        }
    }

    void relations(TableId owner, const std::vector<RelSpec>& rels) {
        TableDecl& d = decls[static_cast<size_t>(owner)];
        for (const RelSpec& r : rels) {
            RelationDecl rd;
            rd.related = r.related;
            const TableDecl& c = decls[static_cast<size_t>(r.related)];
            if (r.childKey) {
                rd.linked = true;
                rd.childKey = c.keyIndex(r.childKey);
                if (rd.childKey < 0) throw std::logic_error(std::string("child key ") + r.childKey);
                rd.deleteMode = r.del;
                for (const LinkSpec& l : r.links) {
                    LinkDecl ld;
                    ld.ownField = d.layout->indexOf(l.own);
                    ld.relatedField = c.layout->indexOf(l.related);
                    if (ld.ownField < 0 || ld.relatedField < 0)
                        throw std::logic_error(std::string("link field ") + l.own);
                    const FieldSpec& of = d.layout->field(ld.ownField);
                    const FieldSpec& rf = c.layout->field(ld.relatedField);
                    ld.text = of.type == FieldType::String;
                    ld.ownLength = of.size;
                    ld.relatedLength = rf.size;
                    rd.links.push_back(ld);
                }
            }
            d.relations.push_back(std::move(rd));
        }
    }
};

std::array<TableDecl, kTableCount> build() {
    Builder b;
    constexpr unsigned U = kUnique, UO = kUnique | kOpt, UOA = kUnique | kOpt | kAuto,
                       UA = kUnique | kAuto, DO = kDup | kOpt, DUP = kDup;

    // --- Articles and their catalogues -----------------------------------
    b.table(T::Articulo, "Articulo", "ART", "articulo.kvq",
            {L("ART:ID"), D("ART:NoArt", 11), S("ART:Descripcion", 70), L("ART:UM"), L("ART:Marca"),
             L("ART:categoria"), S("ART:CodigoBarras", 20), S("ART:Modelo", 20), S("ART:Tamano", 20),
             S("ART:CAPACIDAD", 20), S("ART:FOTOGRAFIA", 255), D("ART:StockMaximo", 11, 2),
             D("ART:StockMinimo", 11, 2), D("ART:StockIdeal", 11, 2),
             D("ART:ExistenciaAnterior", 11, 2), D("ART:Entradas", 11, 2), D("ART:Salidas", 11, 2),
             D("ART:Pedido", 11, 2), D("ART:Recibido", 11, 2), D("ART:COSTOPROMEDIO", 11, 2),
             M("ART:Notas", 1000)},
            {{"ART:KeyId", "ART:KeyId", "ART:ID", UA},
             {"ART:KeyNoArt", "ART:KeyNoArt", "ART:NoArt", UO},
             {"ART:KeyDescripcion", "ART:KeyDescripcion", "ART:Descripcion", DUP},
             {"ART:KeyUM", "ART:KeyUM", "ART:UM", DUP},
             {"ART:KeyMarca", "ART:KeyMarca", "ART:Marca", DUP},
             {"ART:KeyCategoria", "ART:KeyCategoria", "ART:categoria", DUP},
             {"ART:KeyCodigoBarras", "ART:KeyCodigoBarras", "ART:CodigoBarras", DO}})
        .boundMemo = "ART:Notas";

    b.table(T::CatArticulos, "CatArticulos", "CAR", "categ01.kvq",
            {L("CAR:Codigo"), S("CAR:Descripcion", 40)},
            {{"CAR:KeyId", "car:KeyId", "CAR:Codigo", UOA},
             {"CAR:KeyDescripcion", "car:KeyDescripcion", "CAR:Descripcion", UO}});
    b.table(T::Marcas, "Marcas", "MAR", "mar00001.kvq", {L("MAR:Codigo"), S("MAR:Marca", 40)},
            {{"MAR:KeyCodigo", "MAR:KeyCodigo", "MAR:Codigo", UOA}});
    b.table(T::Unidades, "Unidades", "UNI", "UNIDADES", {L("UNI:Codigo"), S("UNI:UM", 40)},
            {{"UNI:KeyCodigo", "UNI:KeyCodigo", "UNI:Codigo", UOA}});

    // --- Documents and stock ledger ---------------------------------------
    b.table(T::Entradas, "Entradas", "ENT", "ENTRADAS",
            {L("ENT:Id"), D("ENT:Folio", 11), L("ENT:TIPO"), Dt("ENT:Fecha"), D("ENT:OrdenCompra", 11),
             S("ENT:PROVEEDOR", 15), S("ENT:Referencia", 20)},
            {{"ENT:KeyId", "ENT:KeyId", "ENT:Id", UA},
             {"ENT:KeyFolio", "ENT:KeyFolio", "ENT:Folio", UO},
             {"ENT:KeyTipo", "ENT:KeyTipo", "ENT:TIPO", DUP},
             {"ENT:KeyFecha", "ENT:KeyFecha", "ENT:Fecha", DUP},
             {"ENT:KeyOrdenCompra", "ENT:KeyOrdenCompra", "ENT:OrdenCompra", DUP},
             {"ENT:KeyProveedor", "ENT:KeyProveedor", "ENT:PROVEEDOR", DUP}});
    b.table(T::DetEntradas, "DetEntradas", "DEN", "DETENTRA",
            {L("DEN:ID"), D("DEN:ENTRADA", 11), D("DEN:CodigoArticulo", 11), S("DEN:CODBARRAS", 20),
             D("DEN:Cantidad", 9, 2), D("DEN:CostoUnitario", 9, 2)},
            {{"DEN:KeyId", "den:KeyId", "DEN:ID", UOA},
             {"DEN:KeyEntrada", "den:KeyEntrada", "DEN:ENTRADA", DUP},
             {"DEN:KeyNoParte", "den:KeyNoParte", "DEN:CodigoArticulo", DUP},
             {"DEN:KeyCodBarras", "den:KeyCodBarras", "DEN:CODBARRAS", DO}});
    b.table(T::Salidas, "Salidas", "SAL", "SALIDAS",
            {L("SAL:Id"), D("SAL:Folio", 11), L("SAL:TIPO"), Dt("SAL:Fecha"), D("SAL:RECIBE", 11),
             S("SAL:PROVEEDOR", 15), S("SAL:Referencia", 20)},
            {{"SAL:KeyId", "sal:KeyId", "SAL:Id", UA},
             {"SAL:KeyFolio", "sal:KeyFolio", "SAL:Folio", UO},
             {"SAL:KeyTipo", "sal:KeyTipo", "SAL:TIPO", DUP},
             {"SAL:KeyFecha", "sal:KeyFecha", "SAL:Fecha", DUP},
             {"SAL:KeyRecibe", "sal:KeyRecibe", "SAL:RECIBE", DUP},
             {"SAL:KeyProveedor", "sal:KeyProveedor", "SAL:PROVEEDOR", DUP}});
    b.table(T::DetSalidas, "DetSalidas", "DES", "DETSALID",
            {L("DES:ID"), D("DES:SALIDA", 11), D("DES:CodigoArticulo", 11), S("DES:CODIGOBARRAS", 20),
             D("DES:Cantidad", 9, 2), D("DES:CostoUnitario", 9, 2)},
            {{"DES:KeyCodBarras", "des:KeyCodBarras", "DES:CODIGOBARRAS", DO},
             {"DES:KeyId", "des:KeyId", "DES:ID", UOA},
             {"DES:KeySalida", "des:KeySalida", "DES:SALIDA", DUP},
             {"DES:KeyNoParte", "des:KeyNoParte", "DES:CodigoArticulo", DUP}});
    b.table(T::Ordenes, "Ordenes", "ORD", "ORDENES",
            {L("ORD:ID"), D("ORD:Folio", 11), Dt("ORD:Fecha"), D("ORD:Plazo", 3), Dt("ORD:Entrega"),
             S("ORD:Elabora", 40), S("ORD:Proveedor", 15), S("ORD:Referencia", 20),
             S("ORD:Prioridad", 5), D("ORD:TOTALARTICULO", 11, 2), D("ORD:TOTALSURTIDO", 11, 2),
             D("ORD:PorcSurtido", 11), M("ORD:Nota", 1000)},
            {{"ORD:KeyId", "ORD:KeyId", "ORD:ID", UA},
             {"ORD:KeyFolio", "ORD:KeyFolio", "ORD:Folio", UO},
             {"ORD:KeyFecha", "ORD:KeyFecha", "ORD:Fecha", DUP},
             {"ORD:KeyProveedor", "ORD:KeyProveedor", "ORD:Proveedor", DUP}})
        .boundMemo = "ORD:Nota";
    b.table(T::DetOrdenes, "DetOrdenes", "DOR", "DETORDEN",
            {L("DOR:ID"), D("DOR:ORDEN", 11), D("DOR:Articulo", 11), D("DOR:Cantidad", 9, 2),
             D("DOR:Costo", 9, 2), D("DOR:Recibido", 9, 2)},
            {{"DOR:KeyId", "dor:KeyId", "DOR:ID", UOA},
             {"DOR:KeyOrden", "dor:KeyOrden", "DOR:ORDEN", DUP},
             {"DOR:KeyArticulo", "dor:KeyArticulo", "DOR:Articulo", DUP}});
    b.table(T::Temporden, "Temporden", "TOR", "TEMPORDE",
            {L("TOR:ID"), D("TOR:ORDEN", 11), D("TOR:Articulo", 11), D("TOR:Cantidad", 9, 2),
             D("TOR:Costo", 9, 2), D("TOR:RECIBIDO", 9, 2)},
            {{"TOR:KeyId", "tor:KeyId", "TOR:ID", UOA},
             {"TOR:KeyOrden", "tor:KeyOrden", "TOR:ORDEN", DUP},
             {"TOR:KeyArticulo", "tor:KeyArticulo", "TOR:Articulo", DUP}})
        .threadPrivate = true;
    b.table(T::Fisico, "Fisico", "FIS", "FISICO",
            {L("FIS:ID"), Dt("FIS:Fecha"), S("FIS:Descripcion", 60)},
            {{"FIS:KeyId", "FIS:KeyId", "FIS:ID", UOA}, {"FIS:KeyFecha", "FIS:KeyFecha", "FIS:Fecha", DUP}});
    b.table(T::DetFisico, "DetFisico", "DFI", "DETFISIC",
            {L("DFI:ID"), D("DFI:INVENTARIO", 11), D("DFI:CodigoArticulo", 11), S("DFI:CODIGOBARRAS", 20),
             D("DFI:Existencia", 11, 2), D("DFI:COSTOUNITARIO", 11, 2), S("DFI:Referencia", 20)},
            {{"DFI:KeyCodigoBarras", "dfi:KeyCodigoBarras", "DFI:CODIGOBARRAS", DO},
             {"DFI:KeyId", "dfi:KeyId", "DFI:ID", UOA},
             {"DFI:KeyInventario", "dfi:KeyInventario", "DFI:INVENTARIO", DUP},
             {"DFI:KeyCodigoArticulo", "dfi:KeyCodigoArticulo", "DFI:CodigoArticulo", DUP}});
    b.table(T::Kardex, "Kardex", "KAR", "KARDEX",
            {L("KAR:ID"), D("KAR:ARTICULO", 11), Dt("KAR:Fecha"), S("KAR:Documento", 15),
             S("KAR:Concepto", 20), S("KAR:Referencia", 20), D("KAR:Entrada", 11, 2),
             D("KAR:Salida", 11, 2), D("KAR:Existencia", 11, 2), D("KAR:COSTOUNITARIO", 11, 2),
             D("KAR:COSTOPROMEDIO", 11, 2)},
            {{"KAR:KeyId", "KAR:KeyId", "KAR:ID", UOA},
             {"KAR:KeyFecha", "KAR:KeyFecha", "KAR:Fecha", DO},
             {"KAR:KeyArticulo", "KAR:KeyArticulo", "KAR:ARTICULO", DO},
             {"KAR:KeyDocumento", "KAR:KeyDocumento", "KAR:Documento", DUP}});
    b.table(T::PreProv, "PreProv", "PPV", "PREPROV",
            {L("PPV:ID"), D("PPV:Articulo", 11), S("PPV:PROVEEDOR", 15), D("PPV:Entrada", 11),
             D("PPV:Precio", 9, 2)},
            {{"PPV:KeyId", "ppv:KeyId", "PPV:ID", UOA},
             {"PPV:KeyArticulo", "ppv:KeyArticulo", "PPV:Articulo", DUP},
             {"PPV:KeyProveedor", "ppv:KeyProveedor", "PPV:PROVEEDOR", DUP},
             {"PPV:KeyEntrada", "ppv:KeyEntrada", "PPV:Entrada", DUP}});
    b.table(T::Folios, "Folios", "FOL", "FOLIOS",
            {D("FOL:ID", 1), D("FOL:ENTRADAS", 11), D("FOL:SALIDAS", 11), D("FOL:ORDENCOMPRA", 11)},
            {{"FOL:KeyId", "FOL:KeyId", "FOL:ID", UO}});

    // --- Suppliers, places, types and users --------------------------------
    b.table(T::Proveedores, "Proveedores", "PVD", "qmr00011",
            {L("PVD:Id"), S("PVD:Codigo", 15), S("PVD:Nombre", 40), S("PVD:Nombre2", 40),
             S("PVD:NombreComercial", 40), S("PVD:DIRECCION", 40), S("PVD:DIRECCION2", 40),
             S("PVD:CIUDAD", 40), S("PVD:ESTADO", 30), S("PVD:PAIS", 30), S("PVD:CP", 10),
             S("PVD:RFC", 20), S("PVD:NOCLIENTE", 20), S("PVD:RAMO", 40), S("PVD:CONDICIONES", 8),
             D("PVD:COMPRAMINIMA", 11, 2), D("PVD:PLAZO", 3), D("PVD:INICIAL", 11, 2),
             D("PVD:CARGOS", 11, 2), D("PVD:ABONOS", 11, 2), D("PVD:SALDO", 11, 2),
             D("PVD:LIMITECREDITO", 11, 2), D("PVD:DESCPRONTOPAGO", 5, 2), D("PVD:DIASDSCTO", 3),
             S("PVD:CUENTACONTABLE", 30), S("PVD:EMAIL", 200)},
            {{"PVD:KeyCiudad", "pvd:KeyCiudad", "PVD:CIUDAD", DO},
             {"PVD:KeyEstado", "pvd:KeyEstado", "PVD:ESTADO", DO},
             {"PVD:KeyPaises", "pvd:KeyPaises", "PVD:PAIS", DO},
             {"PVD:KeyNombreProveedor", "pvd:KeyNombreProveedor", "PVD:Nombre", DUP},
             {"PVD:KeyCodigo", "pvd:KeyCodigo", "PVD:Codigo", U},
             {"PVD:KeyId", "pvd:KeyId", "PVD:Id", UA | kPrimary},
             {"PVD:KeyComercial", "pvd:KeyComercial", "PVD:NombreComercial", DO}})
        .reclaim = true;
    b.table(T::ContProv, "ContProv", "CPV", "CONTPROV",
            {L("CPV:ID"), S("CPV:PROVEEDOR", 15), S("CPV:Nombre", 30), S("CPV:PUESTO", 30),
             S("CPV:Telefono", 30), S("CPV:EMAIL", 50)},
            {{"CPV:KeyId", "cpv:KeyId", "CPV:ID", UOA},
             {"CPV:KeyProveedor", "cpv:KeyProveedor", "CPV:PROVEEDOR", DUP}});
    b.table(T::Paises, "Paises", "PAI", "PAISES", {L("PAI:Id"), S("PAI:Nombre", 30)},
            {{"PAI:KeyId", "PAI:KeyId", "PAI:Id", UOA}, {"PAI:KeyNombre", "PAI:KeyNombre", "PAI:Nombre", UO}});
    b.table(T::Estados, "Estados", "EST", "ESTADOS", {L("EST:Id"), S("EST:Nombre", 30)},
            {{"EST:KeyId", "EST:KeyId", "EST:Id", UOA}, {"EST:KeyNombre", "EST:KeyNombre", "EST:Nombre", UO}});
    b.table(T::Ciudades, "Ciudades", "CIU", "CIUDADES", {L("CIU:Id"), S("CIU:Nombre", 30)},
            {{"CIU:KeyId", "CIU:KeyId", "CIU:Id", UOA}, {"CIU:KeyNombre", "CIU:KeyNombre", "CIU:Nombre", UO}});
    b.table(T::Almacenes, "Almacenes", "ALM", "ALMACENE",
            {L("ALM:Codigo"), S("ALM:Nombre", 40), S("ALM:UBICACION", 255)},
            {{"ALM:KeyCodigo", "ALM:KeyCodigo", "ALM:Codigo", UOA},
             {"ALM:KeyNombre", "ALM:KeyNombre", "ALM:Nombre", UO}});
    b.table(T::Deptos, "Deptos", "DEP", "DEPTOS", {L("DEP:Id"), S("DEP:Nombre", 30)},
            {{"DEP:KeyId", "dep:KeyId", "DEP:Id", UOA}, {"DEP:KeyNombre", "dep:KeyNombre", "DEP:Nombre", UO}});
    b.table(T::TipEntradas, "TipEntradas", "TEN", "TIPENTRA",
            {L("TEN:Codigo"), S("TEN:Descripcion", 30)},
            {{"TEN:KeyCodigo", "ten:KeyCodigo", "TEN:Codigo", UOA}});
    b.table(T::TipSalidas, "TipSalidas", "TSA", "TIPSALID",
            {L("TSA:Codigo"), S("TSA:Descripcion", 30)},
            {{"TSA:KeyCodigo", "tsa:KeyCodigo", "TSA:Codigo", UOA}});
    {
        std::vector<FieldSpec> f{S("USU:Nombre", 30), S("USU:PASSWORD", 128)};
        for (int i = 1; i <= 100; ++i) {
            std::string n = "USU:PERMISOS[" + std::to_string(i) + "]";
            f.push_back(FieldSpec{n, FieldType::Byte, 0, 0});
        }
        f.push_back(B("USU:ADMINISTRADOR"));
        b.table(T::usuarios, "usuarios", "USU", "USUARIOS", std::move(f),
                {{"USU:KeyNombre", "USU:KeyNombre", "USU:Nombre", UO}});
    }

    // --- Aliases (after their bases) ---------------------------------------
    b.alias(T::AliasArticulos, T::Articulo, "AliasArticulos", "AAR",
            {"AAR:ID", "AAR:NoArt", "AAR:Descripcion", "AAR:UM", "AAR:MARCA", "AAR:CATEGORIA",
             "AAR:CodigoBarras", "AAR:Modelo", "AAR:Tamano", "AAR:CAPACIDAD", "AAR:FOTOGRAFIA",
             "AAR:STOCKMAXIMO", "AAR:STOCKMINIMO", "AAR:STOCKIDEAL", "AAR:EXISTENCIAANTERIOR",
             "AAR:ENTRADAS", "AAR:SALIDAS", "AAR:PEDIDO", "AAR:RECIBIDO", "AAR:COSTOPROMEDIO",
             "AAR:NOTAS"},
            {{"AAR:KeyId", "aar:KeyId", "AAR:ID", 0},
             {"AAR:KeyNoArt", "aar:KeyNoArt", "AAR:NoArt", 0},
             {"AAR:KeyDescripcion", "aar:KeyDescripcion", "AAR:Descripcion", 0},
             {"AAR:KeyUM", "aar:KeyUM", "AAR:UM", 0},
             {"AAR:KeyMarca", "aar:KeyMarca", "AAR:MARCA", 0},
             {"AAR:KeyCategoria", "aar:KeyCategoria", "AAR:CATEGORIA", 0},
             {"AAR:KeyCodigoBarras", "aar:KeyCodigoBarras", "AAR:CodigoBarras", 0}});
    b.alias(T::catega1, T::CatArticulos, "catega1", "A1C", {"A1C:CODIGO", "A1C:DESCRIPCION"},
            {{"A1C:KeyId", "a1c:KeyId", "A1C:CODIGO", 0},
             {"A1C:KeyDescripcion", "a1c:KeyDescripcion", "A1C:DESCRIPCION", 0}});
    b.alias(T::catega2, T::CatArticulos, "catega2", "A2C", {"A2C:CODIGO", "A2C:DESCRIPCION"},
            {{"A2C:KeyId", "a2c:KeyId", "A2C:CODIGO", 0},
             {"A2C:KeyDescripcion", "a2c:KeyDescripcion", "A2C:DESCRIPCION", 0}});
    b.alias(T::marcasa1, T::Marcas, "marcasa1", "A1M", {"A1M:CODIGO", "A1M:MARCA"},
            {{"A1M:KeyCodigo", "a1m:KeyCodigo", "A1M:CODIGO", 0}});
    b.alias(T::marcasa2, T::Marcas, "marcasa2", "A2M", {"A2M:CODIGO", "A2M:MARCA"},
            {{"A2M:KeyCodigo", "a2m:KeyCodigo", "A2M:CODIGO", 0}});

    // --- Relations, per table in declaration order ---------------------------
    const RelMode C = RelMode::Cascade;
    b.relations(T::DetOrdenes, {{T::Articulo}, {T::Ordenes}});
    b.relations(T::Ordenes, {{T::Proveedores}, {T::DetOrdenes, "DOR:KeyOrden", {{"ORD:Folio", "DOR:ORDEN"}}, C}});
    b.relations(T::TipEntradas, {{T::Entradas, "ENT:KeyTipo", {{"TEN:Codigo", "ENT:TIPO"}}}});
    b.relations(T::TipSalidas, {{T::Salidas, "SAL:KeyTipo", {{"TSA:Codigo", "SAL:TIPO"}}}});
    b.relations(T::DetEntradas, {{T::AliasArticulos}, {T::Articulo}, {T::Entradas}});
    b.relations(T::Entradas, {{T::Proveedores},
                              {T::PreProv, "PPV:KeyEntrada", {{"ENT:Folio", "PPV:Entrada"}}},
                              {T::DetEntradas, "DEN:KeyEntrada", {{"ENT:Folio", "DEN:ENTRADA"}}, C},
                              {T::TipEntradas}});
    b.relations(T::Paises, {{T::Proveedores, "PVD:KeyPaises", {{"PAI:Nombre", "PVD:PAIS"}}}});
    b.relations(T::Estados, {{T::Proveedores, "PVD:KeyEstado", {{"EST:Nombre", "PVD:ESTADO"}}}});
    b.relations(T::Salidas, {{T::Deptos},
                             {T::DetSalidas, "DES:KeySalida", {{"SAL:Folio", "DES:SALIDA"}}, C},
                             {T::TipSalidas}});
    b.relations(T::Ciudades, {{T::Proveedores, "PVD:KeyCiudad", {{"CIU:Nombre", "PVD:CIUDAD"}}}});
    b.relations(T::Temporden, {{T::AliasArticulos}});
    b.relations(T::DetSalidas, {{T::AliasArticulos}, {T::Articulo}, {T::Salidas}});
    b.relations(T::ContProv, {{T::Proveedores}});
    b.relations(T::Proveedores, {{T::PreProv, "PPV:KeyProveedor", {{"PVD:Codigo", "PPV:PROVEEDOR"}}},
                                 {T::Ordenes, "ORD:KeyProveedor", {{"PVD:Codigo", "ORD:Proveedor"}}},
                                 {T::Entradas, "ENT:KeyProveedor", {{"PVD:Codigo", "ENT:PROVEEDOR"}}},
                                 {T::ContProv, "CPV:KeyProveedor", {{"PVD:Codigo", "CPV:PROVEEDOR"}}, C},
                                 {T::Ciudades}, {T::Estados}, {T::Paises}});
    b.relations(T::Deptos, {{T::Salidas, "SAL:KeyRecibe", {{"DEP:Id", "SAL:RECIBE"}}}});
    b.relations(T::Articulo, {{T::Marcas}, {T::Unidades}, {T::CatArticulos},
                              {T::PreProv, "PPV:KeyArticulo", {{"ART:NoArt", "PPV:Articulo"}}},
                              {T::DetFisico, "DFI:KeyCodigoArticulo", {{"ART:NoArt", "DFI:CodigoArticulo"}}},
                              {T::Kardex, "KAR:KeyArticulo", {{"ART:NoArt", "KAR:ARTICULO"}}},
                              {T::DetOrdenes, "DOR:KeyArticulo", {{"ART:NoArt", "DOR:Articulo"}}},
                              {T::DetSalidas, "DES:KeyNoParte", {{"ART:NoArt", "DES:CodigoArticulo"}}},
                              {T::DetEntradas, "DEN:KeyNoParte", {{"ART:NoArt", "DEN:CodigoArticulo"}}}});
    b.relations(T::CatArticulos, {{T::Articulo, "ART:KeyCategoria", {{"CAR:Codigo", "ART:categoria"}}}});
    b.relations(T::Marcas, {{T::Articulo, "ART:KeyMarca", {{"MAR:Codigo", "ART:Marca"}}}});
    b.relations(T::Unidades, {{T::AliasArticulos, "AAR:KeyUM", {{"UNI:Codigo", "AAR:UM"}}},
                              {T::Articulo, "ART:KeyUM", {{"UNI:Codigo", "ART:UM"}}}});
    b.relations(T::AliasArticulos,
                {{T::Unidades},
                 {T::Temporden, "TOR:KeyArticulo", {{"AAR:NoArt", "TOR:Articulo"}}},
                 {T::DetFisico, "DFI:KeyCodigoBarras", {{"AAR:CodigoBarras", "DFI:CODIGOBARRAS"}}},
                 {T::DetSalidas, "DES:KeyCodBarras", {{"AAR:CodigoBarras", "DES:CODIGOBARRAS"}}},
                 {T::DetEntradas, "DEN:KeyCodBarras", {{"AAR:CodigoBarras", "DEN:CODBARRAS"}}}});
    b.relations(T::PreProv, {{T::Articulo}, {T::Proveedores}, {T::Entradas}});
    b.relations(T::DetFisico, {{T::AliasArticulos}, {T::Articulo}, {T::Fisico}});
    b.relations(T::Fisico, {{T::DetFisico, "DFI:KeyInventario", {{"FIS:ID", "DFI:INVENTARIO"}}, C}});
    b.relations(T::Kardex, {{T::Articulo}});
    return std::move(b.decls);
}

}  // namespace

int TableDecl::keyIndex(std::string_view name) const {
    for (size_t i = 0; i < keys.size(); ++i)
        if (iequals(keys[i].name, name) || iequals(keys[i].label, name)) return static_cast<int>(i);
    return -1;
}

int TableDecl::primaryKey() const {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i].primary) return static_cast<int>(i);
    return -1;
}

bool TableDecl::hasAutoNumber() const {
    for (const KeyDecl& k : keys)
        if (k.autoNumbered) return true;
    return false;
}

const std::array<TableDecl, kTableCount>& tableDecls() {
    static const std::array<TableDecl, kTableCount> decls = build();
    return decls;
}

const TableDecl* findDecl(std::string_view labelOrPrefix) {
    for (const TableDecl& d : tableDecls())
        if (iequals(d.label, labelOrPrefix) || iequals(d.prefix, labelOrPrefix)) return &d;
    return nullptr;
}

const std::vector<TableId>& moduleTables(int module) {
    static const std::vector<TableId> m1 = [] {
        std::vector<TableId> v;
        for (int i = 0; i < kModule1Count; ++i) v.push_back(static_cast<TableId>(i));
        return v;
    }();
    static const std::vector<TableId> m2 = [] {
        std::vector<TableId> v;
        for (int i = kModule1Count; i < kTableCount; ++i) v.push_back(static_cast<TableId>(i));
        return v;
    }();
    return module == 1 ? m1 : m2;
}

int permisoField(int n) {
    if (n < 1 || n > 100) return -1;
    return 1 + n;  // after USU:Nombre and USU:PASSWORD
}

}  // namespace tv::data
