#pragma once
// A small catalogue for the export tests: units, brands, categories and
// articles in an order of their own, places and suppliers, with the values
// that catch a sloppy export (leading zeros, a 20-digit bar code, a text
// that starts with "=", accents, trailing blanks, missing look-ups).
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "data/tables.h"
#include "data/thread_table_set.h"
#include "platform/storage/storage.h"
#include "platform/types/record.h"

namespace tv::exports::test_support {

using data::TableId;
using Fields = std::vector<std::pair<const char*, Value>>;

inline void put(storage::Connection& conn, TableId t, const std::vector<Fields>& rows) {
    storage::Table table(conn, data::storageDef(t));
    ASSERT_TRUE(table.open().ok());
    for (const Fields& row : rows) {
        Record r(data::decl(t).layout);
        for (const auto& [name, value] : row) {
            const int f = data::decl(t).fieldIndex(name);
            ASSERT_GE(f, 0) << name;
            r.set(f, value);
        }
        ASSERT_TRUE(table.insert(r, storage::Table::Numbering::Keep).ok());
    }
}

inline Value n(long long v) { return Value(Decimal(v)); }
inline Value s(const char* t) { return Value(std::string(t)); }

// Articles 0, 10, 20, 30 and 40, stored as 30, 10, 20, 40, 0.
inline void seedArticles(storage::Connection& conn) {
    put(conn, TableId::Unidades, {{{"UNI:Codigo", n(1)}, {"UNI:UM", s("PIEZA")}}, {{"UNI:Codigo", n(2)}, {"UNI:UM", s("CAJA")}}});
    put(conn, TableId::Marcas, {{{"MAR:Codigo", n(1)}, {"MAR:Marca", s("Truper")}}, {{"MAR:Codigo", n(4)}, {"MAR:Marca", s("Stanley")}}});
    put(conn, TableId::CatArticulos, {{{"CAR:Codigo", n(4)}, {"CAR:Descripcion", s("Herramientas")}},
                                      {{"CAR:Codigo", n(7)}, {"CAR:Descripcion", s("Tornillería")}}});
    put(conn, TableId::Articulo,
        {
            {{"ART:ID", n(1)}, {"ART:NoArt", n(30)}, {"ART:Descripcion", s("Martillo de uña   ")}, {"ART:UM", n(1)},
             {"ART:Marca", n(4)}, {"ART:categoria", n(4)}, {"ART:CodigoBarras", s("0075012345678")},
             {"ART:Modelo", s("M-16")}, {"ART:Tamano", s("16 oz")}},
            {{"ART:ID", n(2)}, {"ART:NoArt", n(10)}, {"ART:Descripcion", s("=1+1 no es fórmula")}, {"ART:UM", n(2)},
             {"ART:Marca", n(1)}, {"ART:categoria", n(7)}, {"ART:CodigoBarras", s("12345678901234567890")},
             {"ART:CAPACIDAD", s("1 L")}},
            {{"ART:ID", n(3)}, {"ART:NoArt", n(20)}, {"ART:Descripcion", s("Broca ÁÉÍÓÚ ñ")}, {"ART:UM", n(9)},
             {"ART:Marca", n(0)}, {"ART:categoria", n(7)}},
            {{"ART:ID", n(4)}, {"ART:NoArt", n(40)}, {"ART:Descripcion", s("Desarmador")}, {"ART:UM", n(1)},
             {"ART:Marca", n(4)}, {"ART:categoria", n(99)}, {"ART:Modelo", s("007")}},
            {{"ART:ID", n(5)}, {"ART:NoArt", n(0)}, {"ART:Descripcion", s("Sin número")}, {"ART:UM", n(1)},
             {"ART:Marca", n(1)}, {"ART:categoria", n(4)}},
        });
}

// Suppliers 1 to 4 in stored order; 2's city is not in the catalogue, 1's
// city is written in other letter case.
inline void seedSuppliers(storage::Connection& conn) {
    put(conn, TableId::Ciudades, {{{"CIU:Id", n(1)}, {"CIU:Nombre", s("Monterrey")}}, {{"CIU:Id", n(2)}, {"CIU:Nombre", s("Guadalajara")}}});
    put(conn, TableId::Estados, {{{"EST:Id", n(1)}, {"EST:Nombre", s("Nuevo León")}}, {{"EST:Id", n(2)}, {"EST:Nombre", s("Jalisco")}}});
    put(conn, TableId::Paises, {{{"PAI:Id", n(1)}, {"PAI:Nombre", s("México")}}});
    put(conn, TableId::Proveedores,
        {
            {{"PVD:Id", n(1)}, {"PVD:Codigo", s("ACME")}, {"PVD:Nombre", s("Acme SA")}, {"PVD:NombreComercial", s("Acme")},
             {"PVD:DIRECCION", s("Av. Uno 100")}, {"PVD:DIRECCION2", s("Col. Centro")}, {"PVD:CIUDAD", s("MONTERREY")},
             {"PVD:ESTADO", s("nuevo león")}, {"PVD:PAIS", s("México")}, {"PVD:CP", s("064000")},
             {"PVD:RFC", s("ACM010101AAA")}, {"PVD:EMAIL", s("ventas@acme.mx")}},
            {{"PVD:Id", n(2)}, {"PVD:Codigo", s("007")}, {"PVD:Nombre", s("Bond y Cía")}, {"PVD:Nombre2", s("Sucursal Norte")},
             {"PVD:CIUDAD", s("Saltillo")}, {"PVD:ESTADO", s("Coahuila")}, {"PVD:PAIS", s("México")}},
            {{"PVD:Id", n(3)}, {"PVD:Codigo", s("=SUMA")}, {"PVD:Nombre", s("Fórmulas SA")}, {"PVD:CIUDAD", s("Guadalajara")},
             {"PVD:ESTADO", s("Jalisco")}},
            {{"PVD:Id", n(4)}, {"PVD:Codigo", s("Z")}, {"PVD:Nombre", s("Zeta")}},
        });
}

// Stores `bytes` as they are into one text field of the rows where
// `keyField` is `key`, as an outside edit of the database might (another
// program writing another encoding): straight through SQLite, bypassing
// the program's own writes.
inline void storeRawText(storage::Connection& conn, TableId t, const char* field, const char* keyField,
                         long long key, const std::string& bytes) {
    const auto column = [](const char* f) { return std::string(std::strchr(f, ':') + 1); };
    const std::string sql = "UPDATE \"" + data::storageDef(t)->table + "\" SET \"" + column(field) + "\" = ?1 WHERE \"" +
                            column(keyField) + "\" = ?2";
    sqlite3* h = conn.db();
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(h);
    sqlite3_bind_text(st, 1, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 2, key);
    EXPECT_EQ(sqlite3_step(st), SQLITE_DONE) << sqlite3_errmsg(h);
    EXPECT_EQ(sqlite3_changes(h), 1);
    sqlite3_finalize(st);
}

}  // namespace tv::exports::test_support
