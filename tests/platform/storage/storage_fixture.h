#pragma once
// A small article-like table in a scratch database, shared by the storage tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/storage/storage.h"
#include "platform/types/text.h"
#include "tests/support/scratch_dir.h"

namespace tv::storage {

namespace fs = std::filesystem;

// A small article-like table: 0 id (auto), 1 number (unique, optional),
// 2 name (duplicates, no-case), 3 code (unique, optional, no-case).
enum { kId, kNoArt, kNombre, kCodigo, kMonto, kNotas };
enum { kKeyId, kKeyNoArt, kKeyNombre, kKeyCodigo };

inline std::shared_ptr<const TableDef> pruebaDef(const std::string& prefix = "PRU") {
    auto layout = std::make_shared<RecordLayout>(
        "Prueba", prefix,
        std::vector<FieldSpec>{{prefix + ":ID", FieldType::Long, 0, 0},
                               {prefix + ":NoArt", FieldType::Decimal, 11, 0},
                               {prefix + ":Nombre", FieldType::String, 30, 0},
                               {prefix + ":Codigo", FieldType::String, 15, 0},
                               {prefix + ":Monto", FieldType::Decimal, 11, 2},
                               {prefix + ":Notas", FieldType::Memo, 200, 0}});
    auto def = std::make_shared<TableDef>();
    def->table = "Prueba";
    def->layout = layout;
    def->keys = {{prefix + ":KeyId", {kId}, true, true, false, true},
                 {prefix + ":KeyNoArt", {kNoArt}, true, true, true, false},
                 {prefix + ":KeyNombre", {kNombre}, false, true, false, false},
                 {prefix + ":KeyCodigo", {kCodigo}, true, true, true, false}};
    return def;
}

struct Storage : ::testing::Test {
    test::ScratchDir dir;
    fs::path db = dir.file("talvor.db");
    std::shared_ptr<const TableDef> def = pruebaDef();

    Record rec(long long noArt = 0, const std::string& nombre = "", const std::string& codigo = "") {
        Record r(def->layout);
        r.setRaw(kNoArt, noArt);
        r.setText(kNombre, nombre);
        r.setText(kCodigo, codigo);
        return r;
    }
    // Inserts and returns the number given.
    long long add(Table& t, long long noArt, const std::string& nombre, const std::string& codigo = "") {
        Record r = rec(noArt, nombre, codigo);
        Status st = t.insert(r);
        if (!st.ok()) throw std::runtime_error("insert failed: " + st.text);
        return r.raw(kId);
    }
    // A database holding record 1 "guardado", its journal files gone (as a
    // copy, or a database last written before they were kept).
    void storeOneWithoutJournals() {
        {
            Connection c(db);
            Table t(c, def);
            add(t, 1, "guardado");
        }
        fs::remove(db.string() + "-wal");
        fs::remove(db.string() + "-shm");
    }
    std::vector<std::string> namesInOrder(Table& t, int key, int dir = +1) {
        t.setOrder(key);
        std::vector<std::string> out;
        Record r(def->layout);
        while ((dir > 0 ? t.next(r) : t.previous(r)).ok()) out.emplace_back(rtrim(r.text(kNombre)));
        return out;
    }
};

}  // namespace tv::storage
