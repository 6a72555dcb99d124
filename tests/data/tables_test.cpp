// The 31 declarations: a sample of every table checked against the data
// model (fields with their types and widths, keys with their registered
// labels and attributes), the relations with their link fields and modes,
// the aliases and the two table modules.
#include <gtest/gtest.h>

#include <set>

#include "data/tables.h"

namespace tv::data {
namespace {

TEST(TableDecls, CountsModulesAndFiles) {
    EXPECT_EQ(tableDecls().size(), 31u);
    EXPECT_EQ(moduleTables(1).size(), 20u);
    EXPECT_EQ(moduleTables(2).size(), 11u);
    EXPECT_EQ(moduleTables(1).front(), TableId::DetOrdenes);
    EXPECT_EQ(moduleTables(1).back(), TableId::Marcas);
    EXPECT_EQ(moduleTables(2).front(), TableId::AliasArticulos);
    EXPECT_EQ(moduleTables(2).back(), TableId::Kardex);

    std::set<std::string> files, storage, prefixes;
    int linked = 0, cascades = 0;
    for (const TableDecl& d : tableDecls()) {
        EXPECT_EQ(&decl(d.id), &d);
        files.insert(d.fileName);
        storage.insert(d.storageName);
        prefixes.insert(d.prefix);
        EXPECT_FALSE(d.keys.empty()) << d.label;
        for (const KeyDecl& k : d.keys) {
            EXPECT_TRUE(k.noCase) << k.name;
            ASSERT_EQ(k.components.size(), 1u) << k.name;
        }
        // Every table but Folios and usuarios has exactly one auto-numbered key.
        int autos = 0;
        for (const KeyDecl& k : d.keys) autos += k.autoNumbered;
        EXPECT_EQ(autos, d.id == TableId::Folios || d.id == TableId::usuarios ? 0 : 1) << d.label;
        for (const RelationDecl& r : d.relations) {
            linked += r.linked;
            cascades += r.deleteMode == RelMode::Cascade;
            EXPECT_EQ(r.updateMode, RelMode::None);
            if (r.linked) {
                ASSERT_EQ(r.links.size(), 1u);
                // The child key's first component is the linked field.
                EXPECT_EQ(decl(r.related).keys[static_cast<size_t>(r.childKey)].components[0],
                          r.links[0].relatedField)
                    << d.label << "->" << decl(r.related).label;
            }
        }
    }
    EXPECT_EQ(files.size(), 26u);    // the aliases share their base's file
    EXPECT_EQ(storage.size(), 26u);
    EXPECT_EQ(prefixes.size(), 31u);
    EXPECT_EQ(linked, 29);
    EXPECT_EQ(cascades, 5);
}

struct FieldCase {
    TableId table;
    const char* field;
    FieldType type;
    int size;
    int places;
};

TEST(TableDecls, SampleFieldsPerTable) {
    const FieldCase cases[] = {
        {TableId::Articulo, "ART:ID", FieldType::Long, 0, 0},
        {TableId::Articulo, "ART:NoArt", FieldType::Decimal, 11, 0},
        {TableId::Articulo, "ART:UM", FieldType::Long, 0, 0},
        {TableId::Articulo, "ART:categoria", FieldType::Long, 0, 0},
        {TableId::Articulo, "ART:COSTOPROMEDIO", FieldType::Decimal, 11, 2},
        {TableId::Articulo, "ART:Notas", FieldType::Memo, 1000, 0},
        {TableId::AliasArticulos, "AAR:ID", FieldType::Long, 0, 0},
        {TableId::AliasArticulos, "AAR:MARCA", FieldType::Long, 0, 0},
        {TableId::AliasArticulos, "AAR:NOTAS", FieldType::Memo, 1000, 0},
        {TableId::CatArticulos, "CAR:Descripcion", FieldType::String, 40, 0},
        {TableId::catega1, "A1C:DESCRIPCION", FieldType::String, 40, 0},
        {TableId::catega2, "A2C:CODIGO", FieldType::Long, 0, 0},
        {TableId::Marcas, "MAR:Marca", FieldType::String, 40, 0},
        {TableId::marcasa1, "A1M:MARCA", FieldType::String, 40, 0},
        {TableId::marcasa2, "A2M:CODIGO", FieldType::Long, 0, 0},
        {TableId::Unidades, "UNI:UM", FieldType::String, 40, 0},
        {TableId::Entradas, "ENT:Id", FieldType::Long, 0, 0},
        {TableId::Entradas, "ENT:TIPO", FieldType::Long, 0, 0},
        {TableId::Entradas, "ENT:Fecha", FieldType::Date, 0, 0},
        {TableId::DetEntradas, "DEN:CodigoArticulo", FieldType::Decimal, 11, 0},
        {TableId::DetEntradas, "DEN:CostoUnitario", FieldType::Decimal, 9, 2},
        {TableId::Salidas, "SAL:TIPO", FieldType::Long, 0, 0},
        {TableId::Salidas, "SAL:RECIBE", FieldType::Decimal, 11, 0},
        {TableId::DetSalidas, "DES:CodigoArticulo", FieldType::Decimal, 11, 0},
        {TableId::Ordenes, "ORD:ID", FieldType::Long, 0, 0},
        {TableId::Ordenes, "ORD:Proveedor", FieldType::String, 15, 0},
        {TableId::Ordenes, "ORD:Nota", FieldType::Memo, 1000, 0},
        {TableId::DetOrdenes, "DOR:Recibido", FieldType::Decimal, 9, 2},
        {TableId::Temporden, "TOR:Articulo", FieldType::Decimal, 11, 0},
        {TableId::Fisico, "FIS:Descripcion", FieldType::String, 60, 0},
        {TableId::DetFisico, "DFI:Existencia", FieldType::Decimal, 11, 2},
        {TableId::Kardex, "KAR:Documento", FieldType::String, 15, 0},
        {TableId::Kardex, "KAR:COSTOPROMEDIO", FieldType::Decimal, 11, 2},
        {TableId::PreProv, "PPV:PROVEEDOR", FieldType::String, 15, 0},
        {TableId::Folios, "FOL:ORDENCOMPRA", FieldType::Decimal, 11, 0},
        {TableId::Proveedores, "PVD:Id", FieldType::Long, 0, 0},
        {TableId::Proveedores, "PVD:EMAIL", FieldType::String, 200, 0},
        {TableId::Proveedores, "PVD:DESCPRONTOPAGO", FieldType::Decimal, 5, 2},
        {TableId::ContProv, "CPV:EMAIL", FieldType::String, 50, 0},
        {TableId::Paises, "PAI:Nombre", FieldType::String, 30, 0},
        {TableId::Estados, "EST:Id", FieldType::Long, 0, 0},
        {TableId::Ciudades, "CIU:Nombre", FieldType::String, 30, 0},
        {TableId::Almacenes, "ALM:UBICACION", FieldType::String, 255, 0},
        {TableId::Deptos, "DEP:Nombre", FieldType::String, 30, 0},
        {TableId::TipEntradas, "TEN:Descripcion", FieldType::String, 30, 0},
        {TableId::TipSalidas, "TSA:Codigo", FieldType::Long, 0, 0},
        {TableId::usuarios, "USU:PASSWORD", FieldType::String, 128, 0},
        {TableId::usuarios, "USU:PERMISOS[61]", FieldType::Byte, 0, 0},
        {TableId::usuarios, "USU:ADMINISTRADOR", FieldType::Byte, 0, 0},
    };
    for (const FieldCase& c : cases) {
        const TableDecl& d = decl(c.table);
        int i = d.fieldIndex(c.field);
        ASSERT_GE(i, 0) << c.field;
        const FieldSpec& f = d.layout->field(i);
        EXPECT_EQ(f.name, c.field);
        EXPECT_EQ(f.type, c.type) << c.field;
        EXPECT_EQ(f.size, c.size) << c.field;
        EXPECT_EQ(f.places, c.places) << c.field;
    }
    EXPECT_EQ(decl(TableId::Articulo).layout->fieldCount(), 21);
    EXPECT_EQ(decl(TableId::Proveedores).layout->fieldCount(), 26);
    EXPECT_EQ(decl(TableId::usuarios).layout->fieldCount(), 103);
    EXPECT_EQ(decl(TableId::usuarios).layout->field(permisoField(1)).name, "USU:PERMISOS[1]");
    EXPECT_EQ(decl(TableId::usuarios).layout->field(permisoField(100)).name, "USU:PERMISOS[100]");
}

struct KeyCase {
    TableId table;
    int position;
    const char* name;
    const char* label;
    const char* field;
    bool unique, optional, autoNumbered;
};

TEST(TableDecls, KeysWithRegisteredLabels) {
    const KeyCase cases[] = {
        {TableId::Articulo, 0, "ART:KeyId", "ART:KeyId", "ART:ID", true, false, true},
        {TableId::Articulo, 1, "ART:KeyNoArt", "ART:KeyNoArt", "ART:NoArt", true, true, false},
        {TableId::Articulo, 6, "ART:KeyCodigoBarras", "ART:KeyCodigoBarras", "ART:CodigoBarras", false, true, false},
        {TableId::AliasArticulos, 0, "AAR:KeyId", "aar:KeyId", "AAR:ID", true, false, true},
        {TableId::AliasArticulos, 4, "AAR:KeyMarca", "aar:KeyMarca", "AAR:MARCA", false, false, false},
        {TableId::CatArticulos, 1, "CAR:KeyDescripcion", "car:KeyDescripcion", "CAR:Descripcion", true, true, false},
        {TableId::catega1, 0, "A1C:KeyId", "a1c:KeyId", "A1C:CODIGO", true, true, true},
        {TableId::catega2, 1, "A2C:KeyDescripcion", "a2c:KeyDescripcion", "A2C:DESCRIPCION", true, true, false},
        {TableId::Marcas, 0, "MAR:KeyCodigo", "MAR:KeyCodigo", "MAR:Codigo", true, true, true},
        {TableId::marcasa1, 0, "A1M:KeyCodigo", "a1m:KeyCodigo", "A1M:CODIGO", true, true, true},
        {TableId::marcasa2, 0, "A2M:KeyCodigo", "a2m:KeyCodigo", "A2M:CODIGO", true, true, true},
        {TableId::Unidades, 0, "UNI:KeyCodigo", "UNI:KeyCodigo", "UNI:Codigo", true, true, true},
        {TableId::Entradas, 1, "ENT:KeyFolio", "ENT:KeyFolio", "ENT:Folio", true, true, false},
        {TableId::DetEntradas, 3, "DEN:KeyCodBarras", "den:KeyCodBarras", "DEN:CODBARRAS", false, true, false},
        {TableId::Salidas, 1, "SAL:KeyFolio", "sal:KeyFolio", "SAL:Folio", true, true, false},
        {TableId::DetSalidas, 0, "DES:KeyCodBarras", "des:KeyCodBarras", "DES:CODIGOBARRAS", false, true, false},
        {TableId::DetSalidas, 1, "DES:KeyId", "des:KeyId", "DES:ID", true, true, true},
        {TableId::Ordenes, 0, "ORD:KeyId", "ORD:KeyId", "ORD:ID", true, false, true},
        {TableId::DetOrdenes, 1, "DOR:KeyOrden", "dor:KeyOrden", "DOR:ORDEN", false, false, false},
        {TableId::Temporden, 2, "TOR:KeyArticulo", "tor:KeyArticulo", "TOR:Articulo", false, false, false},
        {TableId::Fisico, 1, "FIS:KeyFecha", "FIS:KeyFecha", "FIS:Fecha", false, false, false},
        {TableId::DetFisico, 2, "DFI:KeyInventario", "dfi:KeyInventario", "DFI:INVENTARIO", false, false, false},
        {TableId::Kardex, 2, "KAR:KeyArticulo", "KAR:KeyArticulo", "KAR:ARTICULO", false, true, false},
        {TableId::PreProv, 3, "PPV:KeyEntrada", "ppv:KeyEntrada", "PPV:Entrada", false, false, false},
        {TableId::Folios, 0, "FOL:KeyId", "FOL:KeyId", "FOL:ID", true, true, false},
        {TableId::Proveedores, 4, "PVD:KeyCodigo", "pvd:KeyCodigo", "PVD:Codigo", true, false, false},
        {TableId::Proveedores, 5, "PVD:KeyId", "pvd:KeyId", "PVD:Id", true, false, true},
        {TableId::ContProv, 1, "CPV:KeyProveedor", "cpv:KeyProveedor", "CPV:PROVEEDOR", false, false, false},
        {TableId::Paises, 1, "PAI:KeyNombre", "PAI:KeyNombre", "PAI:Nombre", true, true, false},
        {TableId::Estados, 0, "EST:KeyId", "EST:KeyId", "EST:Id", true, true, true},
        {TableId::Ciudades, 1, "CIU:KeyNombre", "CIU:KeyNombre", "CIU:Nombre", true, true, false},
        {TableId::Almacenes, 1, "ALM:KeyNombre", "ALM:KeyNombre", "ALM:Nombre", true, true, false},
        {TableId::Deptos, 1, "DEP:KeyNombre", "dep:KeyNombre", "DEP:Nombre", true, true, false},
        {TableId::TipEntradas, 0, "TEN:KeyCodigo", "ten:KeyCodigo", "TEN:Codigo", true, true, true},
        {TableId::TipSalidas, 0, "TSA:KeyCodigo", "tsa:KeyCodigo", "TSA:Codigo", true, true, true},
        {TableId::usuarios, 0, "USU:KeyNombre", "USU:KeyNombre", "USU:Nombre", true, true, false},
    };
    for (const KeyCase& c : cases) {
        const TableDecl& d = decl(c.table);
        ASSERT_LT(static_cast<size_t>(c.position), d.keys.size()) << c.name;
        const KeyDecl& k = d.keys[static_cast<size_t>(c.position)];
        EXPECT_EQ(k.name, c.name);
        EXPECT_EQ(k.label, c.label);
        EXPECT_EQ(d.layout->field(k.components[0]).name, c.field) << c.name;
        EXPECT_EQ(k.unique, c.unique) << c.name;
        EXPECT_EQ(k.optional, c.optional) << c.name;
        EXPECT_EQ(k.autoNumbered, c.autoNumbered) << c.name;
        EXPECT_EQ(d.keyIndex(c.label), c.position);
    }
    EXPECT_EQ(decl(TableId::Proveedores).primaryKey(), 5);
    EXPECT_EQ(decl(TableId::Articulo).primaryKey(), -1);
}

struct RelCase {
    TableId owner;
    int position;
    TableId related;
    const char* childKey;  // null: plain entry
    const char* ownField;
    const char* relatedField;
    RelMode del;
};

TEST(TableDecls, RelationsWithLinksAndModes) {
    const RelCase cases[] = {
        {TableId::Ordenes, 0, TableId::Proveedores, nullptr, nullptr, nullptr, RelMode::None},
        {TableId::Ordenes, 1, TableId::DetOrdenes, "DOR:KeyOrden", "ORD:Folio", "DOR:ORDEN", RelMode::Cascade},
        {TableId::Entradas, 1, TableId::PreProv, "PPV:KeyEntrada", "ENT:Folio", "PPV:Entrada", RelMode::None},
        {TableId::Entradas, 2, TableId::DetEntradas, "DEN:KeyEntrada", "ENT:Folio", "DEN:ENTRADA", RelMode::Cascade},
        {TableId::Salidas, 1, TableId::DetSalidas, "DES:KeySalida", "SAL:Folio", "DES:SALIDA", RelMode::Cascade},
        {TableId::Fisico, 0, TableId::DetFisico, "DFI:KeyInventario", "FIS:ID", "DFI:INVENTARIO", RelMode::Cascade},
        {TableId::Proveedores, 1, TableId::Ordenes, "ORD:KeyProveedor", "PVD:Codigo", "ORD:Proveedor", RelMode::None},
        {TableId::Proveedores, 3, TableId::ContProv, "CPV:KeyProveedor", "PVD:Codigo", "CPV:PROVEEDOR", RelMode::Cascade},
        {TableId::Proveedores, 6, TableId::Paises, nullptr, nullptr, nullptr, RelMode::None},
        {TableId::Ciudades, 0, TableId::Proveedores, "PVD:KeyCiudad", "CIU:Nombre", "PVD:CIUDAD", RelMode::None},
        {TableId::Deptos, 0, TableId::Salidas, "SAL:KeyRecibe", "DEP:Id", "SAL:RECIBE", RelMode::None},
        {TableId::Articulo, 2, TableId::CatArticulos, nullptr, nullptr, nullptr, RelMode::None},
        {TableId::Articulo, 8, TableId::DetEntradas, "DEN:KeyNoParte", "ART:NoArt", "DEN:CodigoArticulo", RelMode::None},
        {TableId::Unidades, 0, TableId::AliasArticulos, "AAR:KeyUM", "UNI:Codigo", "AAR:UM", RelMode::None},
        {TableId::AliasArticulos, 4, TableId::DetEntradas, "DEN:KeyCodBarras", "AAR:CodigoBarras", "DEN:CODBARRAS", RelMode::None},
        {TableId::DetFisico, 2, TableId::Fisico, nullptr, nullptr, nullptr, RelMode::None},
        {TableId::Kardex, 0, TableId::Articulo, nullptr, nullptr, nullptr, RelMode::None},
    };
    for (const RelCase& c : cases) {
        const TableDecl& o = decl(c.owner);
        ASSERT_LT(static_cast<size_t>(c.position), o.relations.size()) << o.label;
        const RelationDecl& r = o.relations[static_cast<size_t>(c.position)];
        const TableDecl& rel = decl(c.related);
        EXPECT_EQ(r.related, c.related) << o.label << " " << c.position;
        EXPECT_EQ(r.linked, c.childKey != nullptr) << o.label << " " << c.position;
        EXPECT_EQ(r.deleteMode, c.del);
        if (!c.childKey) continue;
        EXPECT_EQ(rel.keys[static_cast<size_t>(r.childKey)].name, c.childKey);
        EXPECT_EQ(o.layout->field(r.links[0].ownField).name, c.ownField);
        EXPECT_EQ(rel.layout->field(r.links[0].relatedField).name, c.relatedField);
    }
    // A text link carries the whole code (15 characters on both sides).
    const LinkDecl& l = decl(TableId::Proveedores).relations[1].links[0];
    EXPECT_TRUE(l.text);
    EXPECT_EQ(l.ownLength, 15);
    EXPECT_EQ(l.relatedLength, 15);
    const int noRelations[] = {tableIndex(TableId::Almacenes), tableIndex(TableId::catega1),
                               tableIndex(TableId::catega2), tableIndex(TableId::marcasa1),
                               tableIndex(TableId::marcasa2), tableIndex(TableId::usuarios),
                               tableIndex(TableId::Folios)};
    for (int t : noRelations) EXPECT_TRUE(tableDecls()[static_cast<size_t>(t)].relations.empty());
    EXPECT_EQ(decl(TableId::Articulo).relations.size(), 9u);
    EXPECT_EQ(decl(TableId::Proveedores).relations.size(), 7u);
}

TEST(TableDecls, AliasesShareFileAndLayout) {
    const std::pair<TableId, TableId> aliases[] = {{TableId::AliasArticulos, TableId::Articulo},
                                                   {TableId::catega1, TableId::CatArticulos},
                                                   {TableId::catega2, TableId::CatArticulos},
                                                   {TableId::marcasa1, TableId::Marcas},
                                                   {TableId::marcasa2, TableId::Marcas}};
    for (auto [a, b] : aliases) {
        const TableDecl& ad = decl(a);
        const TableDecl& bd = decl(b);
        ASSERT_TRUE(ad.aliasOf.has_value());
        EXPECT_EQ(*ad.aliasOf, b);
        EXPECT_EQ(ad.fileName, bd.fileName);
        EXPECT_EQ(ad.storageName, bd.storageName);
        EXPECT_EQ(ad.module, 2);
        ASSERT_EQ(ad.layout->fieldCount(), bd.layout->fieldCount());
        for (int i = 0; i < ad.layout->fieldCount(); ++i) {
            EXPECT_EQ(ad.layout->field(i).type, bd.layout->field(i).type);
            EXPECT_EQ(ad.layout->field(i).size, bd.layout->field(i).size);
        }
        ASSERT_EQ(ad.keys.size(), bd.keys.size());
        for (size_t k = 0; k < ad.keys.size(); ++k) {
            EXPECT_EQ(ad.keys[k].components, bd.keys[k].components);
            EXPECT_EQ(ad.keys[k].unique, bd.keys[k].unique);
            EXPECT_EQ(ad.keys[k].optional, bd.keys[k].optional);
        }
    }
    EXPECT_EQ(decl(TableId::Articulo).boundMemo, "ART:Notas");
    EXPECT_EQ(decl(TableId::Ordenes).boundMemo, "ORD:Nota");
    EXPECT_TRUE(decl(TableId::AliasArticulos).boundMemo.empty());
    EXPECT_EQ(decl(TableId::Unidades).fileName, "UNIDADES");
    EXPECT_EQ(findDecl("pvd"), &decl(TableId::Proveedores));
    EXPECT_EQ(findDecl("CATEGA1"), &decl(TableId::catega1));
}

}  // namespace
}  // namespace tv::data
