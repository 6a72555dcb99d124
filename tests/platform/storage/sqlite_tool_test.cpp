// The sqlite3 tool, with our collation loaded, reads, checks and orders
// talvor.db as the program does.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/storage/storage.h"
#include "tests/support/scratch_dir.h"

namespace tv::storage {
namespace {

std::string run(const std::string& cmd) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
    if (!p) return out;
    std::array<char, 256> buf{};
    while (fgets(buf.data(), static_cast<int>(buf.size()), p.get())) out += buf.data();
    return out;
}

TEST(SqliteTool, QueriesChecksAndOrdersWithTheCollationLoaded) {
    test::ScratchDir dir;
    const auto db = dir.file("talvor.db");
    {
        auto layout = std::make_shared<RecordLayout>(
            "Prueba", "PRU",
            std::vector<FieldSpec>{{"PRU:ID", FieldType::Long, 0, 0}, {"PRU:Nombre", FieldType::String, 30, 0}});
        auto def = std::make_shared<TableDef>();
        def->table = "Prueba";
        def->layout = layout;
        def->keys = {{"PRU:KeyId", {0}, true, true, false, true}, {"PRU:KeyNombre", {1}, false, true, false, false}};
        Connection c(db);
        ASSERT_TRUE(c.openStatus().ok());
        Table t(c, def);
        for (const char* n : {"zorro", "Árbol", "ñandú", "abeja"}) {
            Record r(layout);
            r.setText(1, n);
            ASSERT_TRUE(t.insert(r).ok());
        }
    }
    const std::string tool = "sqlite3 '" + db.string() + "' -cmd '.load " TVCOLLATE_MODULE "' ";
    EXPECT_EQ(run(tool + "'PRAGMA integrity_check'"), "ok\n");
    EXPECT_EQ(run(tool + "\"SELECT Nombre FROM Prueba WHERE Nombre = 'ÁRBOL'\""), "Árbol\n");
    EXPECT_EQ(run(tool + "'SELECT Nombre FROM Prueba ORDER BY Nombre COLLATE TVNOCASE'"),
              "abeja\nzorro\nÁrbol\nñandú\n");  // the program's key order
    // Without it, only the no-case comparisons are refused, never answered wrongly.
    EXPECT_EQ(run("sqlite3 '" + db.string() + "' 'SELECT count(*) FROM Prueba' 2>&1"), "4\n");
}

}  // namespace
}  // namespace tv::storage
