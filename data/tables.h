#pragma once
// The 31 table declarations of the data model: label, prefix, file name,
// record layout, keys (with the label text each key is registered under,
// which message 15 shows), aliases, table modules and the relations with
// their link fields and modes.
//
// Every declaration is built once and shared read-only by all logical
// threads; the per-thread objects (buffers, gateways, relations) live in
// thread_table_set.h.
//
// Widths that differ from the first layout on purpose:
//  - ART:ID, AAR:ID, ENT:Id, ORD:ID and PVD:Id are 32-bit like every other
//    id, so numbering never runs out at the tenth record.
//  - A link field holds the whole value it links to: ART:UM, ART:Marca,
//    ART:categoria (and AAR:UM, AAR:MARCA, AAR:CATEGORIA), ENT:TIPO and
//    SAL:TIPO are 32-bit; DEN:CodigoArticulo and DES:CodigoArticulo hold 11
//    digits like ART:NoArt; ORD:Proveedor holds the 15 characters of
//    PVD:Codigo; KAR:Documento holds "ENT-"/"SAL-" and an 11-digit folio;
//    ORD:PorcSurtido holds any whole percentage.
//  - KAR:COSTOUNITARIO and KAR:COSTOPROMEDIO hold 11 digits like
//    ART:COSTOPROMEDIO and DFI:COSTOUNITARIO, so every cost a posting, a
//    count adjustment or the closing writes into the ledger fits (a stored
//    ledger keeps its rows: the columns are the same).
//  - USU:PASSWORD holds a salted password hash (libsodium's
//    crypto_pwhash_str output is at most 127 characters).
//  - USU:PERMISOS (100 bytes) is laid out as 100 BYTE fields named
//    "USU:PERMISOS[1]" .. "USU:PERMISOS[100]" (see permisoField()).
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types/record.h"

namespace tv::data {

// In declaration order: table module 1, then table module 2.
enum class TableId : uint8_t {
    // module 1
    DetOrdenes, Ordenes, TipEntradas, TipSalidas, DetEntradas, Entradas, Almacenes, Paises,
    Estados, Salidas, Ciudades, Temporden, DetSalidas, ContProv, Proveedores, Deptos, Articulo,
    CatArticulos, Unidades, Marcas,
    // module 2
    AliasArticulos, catega2, catega1, marcasa2, marcasa1, usuarios, PreProv, DetFisico, Fisico,
    Folios, Kardex,
};
inline constexpr int kTableCount = 31;
inline constexpr int kModule1Count = 20;
inline int tableIndex(TableId t) { return static_cast<int>(t); }

// Relation modes (update and delete).
enum class RelMode : uint8_t { None = 0, Clear = 1, Restrict = 2, Cascade = 3 };

struct KeyDecl {
    std::string name;              // "ART:KeyNoArt"
    std::string label;             // text it is registered under ("car:KeyDescripcion")
    std::vector<int> components;   // field indexes, all ascending
    bool unique = true;
    bool optional = false;         // leaves out records whose components are all zero/blank
    bool noCase = true;            // every key of this system is declared no-case
    bool autoNumbered = false;
    bool primary = false;
};

// One pair of link fields: owner field = related field. A text link
// compares and assigns as text of the stated lengths; a numeric one as a number.
struct LinkDecl {
    int ownField = -1;
    int relatedField = -1;
    bool text = false;
    int ownLength = 0;
    int relatedLength = 0;
};

struct RelationDecl {
    TableId related;
    bool linked = false;           // false: a plain entry (the child's entry back to its parent)
    int childKey = -1;             // linked: index of the related table's key on the link field
    std::vector<LinkDecl> links;
    RelMode updateMode = RelMode::None;
    RelMode deleteMode = RelMode::None;
};

struct TableDecl {
    TableId id;
    std::string label;             // "Articulo"
    std::string prefix;            // "ART"
    std::string fileName;          // "articulo.kvq" (what %File shows once the table is in use)
    std::string storageName;       // the SQL table: the base table's label for an alias
    int module = 1;
    std::shared_ptr<const RecordLayout> layout;  // memo fields included (FieldType::Memo)
    std::vector<KeyDecl> keys;
    std::optional<TableId> aliasOf;
    std::string boundMemo;         // "ART:Notas", "ORD:Nota", else empty
    std::vector<RelationDecl> relations;
    bool reclaim = false;          // Proveedores; SQLite reuses free pages anyway
    // Temporden: the order wizard's picked lines are its own. Each logical
    // thread has the table to itself (on its own connection): no other
    // thread, running copy or station reads or deletes its rows, and they
    // are gone when the thread ends (also when the program dies).
    bool threadPrivate = false;

    int fieldIndex(std::string_view name) const { return layout->indexOf(name); }
    // Index of the key by name ("ART:KeyNoArt") or registered label, case-insensitive; -1 if none.
    int keyIndex(std::string_view name) const;
    int primaryKey() const;        // index of the primary key, -1 if none
    bool hasAutoNumber() const;
};

// All 31 declarations, indexed by TableId.
const std::array<TableDecl, kTableCount>& tableDecls();
inline const TableDecl& decl(TableId t) { return tableDecls()[static_cast<size_t>(t)]; }
// By label ("Articulo") or prefix ("ART"), case-insensitive.
const TableDecl* findDecl(std::string_view labelOrPrefix);

// The two table modules, each in declaration order.
const std::vector<TableId>& moduleTables(int module);

// Field index of element n (1..100) of USU:PERMISOS in the usuarios layout.
int permisoField(int n);

}  // namespace tv::data
