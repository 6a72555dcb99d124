#include "platform/qbe/qbe_store.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/support/scratch_dir.h"

namespace tv::qbe {
namespace {

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct QbeStoreTest : ::testing::Test {
    test::ScratchDir dir;
    std::filesystem::path file = dir.file("talvor.INI");
};

TEST_F(QbeStoreTest, QueriesSurviveReopeningTheFileWhateverTheyHold) {
    const Query tricky = {
        {"ART:Descripcion", Operator::Contains, "O'Brien; \"x\" = y"},
        {"ART:Modelo", Operator::Equal, "  ñandú  "},
        {"ART:NoArt", Operator::GreaterEqual, "-12.5"},
    };
    const Query plain = {{"PVD:Nombre", Operator::BeginsWith, "acme"}};
    {
        IniStore ini(file);
        SavedQueries articles(ini, "BrowseArticulo");
        SavedQueries suppliers(ini, "BrowseProveedores");
        EXPECT_EQ(articles.section(), "QBE-BrowseArticulo");
        ASSERT_TRUE(articles.save("Difíciles = ; 'todas'", tricky)) << articles.error();
        ASSERT_TRUE(articles.save("  segunda  ", plain));
        ASSERT_TRUE(articles.setLastUsed("Difíciles = ; 'todas'"));
        ASSERT_TRUE(suppliers.save("Proveedores A", plain));
        ASSERT_TRUE(articles.setPosition({120, 80, 560, 330}));
    }
    IniStore ini(file);
    SavedQueries articles(ini, "BrowseArticulo");
    EXPECT_EQ(articles.names(), (std::vector<std::string>{"Difíciles = ; 'todas'", "segunda"}));
    EXPECT_EQ(articles.load("Difíciles = ; 'todas'"), tricky);
    EXPECT_EQ(articles.load("SEGUNDA"), plain) << "names match without regard to case";
    EXPECT_FALSE(articles.load("otra"));
    EXPECT_EQ(articles.lastUsed(), "Difíciles = ; 'todas'");
    auto pos = articles.position();
    ASSERT_TRUE(pos);
    EXPECT_EQ(pos->x, 120);
    EXPECT_EQ(pos->height, 330);
    // Each list keeps its own.
    EXPECT_EQ(SavedQueries(ini, "BrowseProveedores").names(), (std::vector<std::string>{"Proveedores A"}));
    EXPECT_NE(slurp(file).find("[QBE-BrowseArticulo]"), std::string::npos);
    EXPECT_NE(slurp(file).find("tsMRU="), std::string::npos);
}

TEST_F(QbeStoreTest, ReplaceDeleteAndTheLastUsedEntry) {
    IniStore ini(file);
    SavedQueries s(ini, "BrowseArticulo");
    ASSERT_TRUE(s.save("uno", {{"ART:NoArt", Operator::Equal, "1"}}));
    ASSERT_TRUE(s.save("dos", {{"ART:NoArt", Operator::Equal, "2"}}));
    ASSERT_TRUE(s.save("tres", {{"ART:NoArt", Operator::Equal, "3"}}));
    ASSERT_TRUE(s.save("DOS", {{"ART:NoArt", Operator::Equal, "22"}}));
    EXPECT_EQ(s.names(), (std::vector<std::string>{"uno", "DOS", "tres"})) << "replaced in place";
    EXPECT_EQ(s.load("dos")->front().value, "22");

    ASSERT_TRUE(s.setLastUsed("dos"));
    ASSERT_TRUE(s.remove("Dos"));
    EXPECT_EQ(s.names(), (std::vector<std::string>{"uno", "tres"}));
    EXPECT_EQ(s.load("tres")->front().value, "3") << "the later query moved down intact";
    EXPECT_EQ(s.lastUsed(), "") << "the last-used entry went with its query";
    EXPECT_EQ(ini.find(s.section(), "Nombre3"), std::nullopt) << "no stale entry left behind";
    EXPECT_FALSE(s.remove("dos"));

    EXPECT_FALSE(s.save("   ", {}));
    EXPECT_EQ(s.error(), "Escriba el nombre de la consulta");
    EXPECT_EQ(s.names().size(), 2u);
}

TEST_F(QbeStoreTest, AHandEditedSectionDoesNotBreakTheList) {
    {
        std::ofstream out(file);
        out << "[QBE-BrowseArticulo]\nConsultas=999999\nNombre1=buena\nConsulta1=ART:NoArt|EQ|1\n"
               "Nombre2=\nConsulta2=x\nNombre4=rota\nConsulta4=%%%\nXPos=abc\nYPos=1\nWidth=1\nHeight=1\n";
    }
    IniStore ini(file);
    SavedQueries s(ini, "BrowseArticulo");
    EXPECT_EQ(s.names(), (std::vector<std::string>{"buena", "rota"}));
    EXPECT_EQ(s.load("rota"), Query{});
    EXPECT_FALSE(s.position()) << "a position that does not read is not used";
}


// The count beside the queries is not trusted: whatever it says, the
// queries present are listed, a save never writes over one of them, and a
// count far too large makes nothing walk through keys that are not there.
TEST_F(QbeStoreTest, ASavedQueryCountThatLiesNeitherFreezesNorOverwrites) {
    for (const char* count : {"-3", "abc", "1", "2147483647", "99999999999999999999"}) {
        SCOPED_TRACE(count);
        {
            std::ofstream out(file, std::ios::trunc);
            out << "[QBE-BrowseArticulo]\nConsultas=" << count
                << "\nNombre1=uno\nConsulta1=ART:NoArt|EQ|1\nNombre2=dos\nConsulta2=ART:NoArt|EQ|2\n"
                   "Nombre3=tres\nConsulta3=ART:NoArt|EQ|3\n";
        }
        IniStore ini(file);
        SavedQueries s(ini, "BrowseArticulo");
        EXPECT_EQ(s.names(), (std::vector<std::string>{"uno", "dos", "tres"}));
        ASSERT_TRUE(s.save("cuatro", {{"ART:NoArt", Operator::Equal, "4"}})) << s.error();
        EXPECT_EQ(s.names(), (std::vector<std::string>{"uno", "dos", "tres", "cuatro"}));
        EXPECT_EQ(s.load("dos")->front().value, "2");
        EXPECT_EQ(s.load("tres")->front().value, "3");
        ASSERT_TRUE(s.remove("uno"));
        EXPECT_EQ(s.names(), (std::vector<std::string>{"dos", "tres", "cuatro"}));
        EXPECT_EQ(ini.find(s.section(), "Nombre4"), std::nullopt);
        EXPECT_EQ(ini.find(s.section(), "Consultas"), std::optional<std::string>("3"));
    }
}

}  // namespace
}  // namespace tv::qbe
