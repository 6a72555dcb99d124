// talvor.db on a network file system: said at start, before the file is
// opened, unless the station works on a server.
#include "app/database_place.h"

#include <gtest/gtest.h>

#include "app/program_main.h"
#include "platform/errors/error_reporter.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/ini/ini_store.h"
#include "tests/support/scratch_dir.h"

namespace tv::app {
namespace {

FileSystemProbe probeSaying(std::optional<std::string> kind) {
    return [kind](const std::filesystem::path&) { return kind; };
}

TEST(DatabasePlace, OnlyANetworkShareWithoutAServerIsRefused) {
    struct Case {
        std::optional<std::string> kind;
        bool serverSet;
        bool refused;
    };
    for (const Case& c : {Case{"NFS", false, true}, Case{"SMB/CIFS", false, true}, Case{"NFS", true, false},
                          Case{std::nullopt, false, false}}) {
        const auto why = databasePlaceRefusal("/mnt/almacen/talvor.db", c.serverSet, probeSaying(c.kind));
        ASSERT_EQ(why.has_value(), c.refused) << c.kind.value_or("local") << " " << c.serverSet;
        if (!why) continue;
        EXPECT_NE(why->find("/mnt/almacen/talvor.db"), std::string::npos) << *why;
        EXPECT_NE(why->find("(" + *c.kind + ")"), std::string::npos) << *why;
        EXPECT_NE(why->find("no se puede compartir con seguridad entre varias máquinas"), std::string::npos);
        EXPECT_NE(why->find("Servidor de la sección [Datos] de talvor.INI (o la variable TALVOR_SERVER)"),
                  std::string::npos);
    }
}

// The refusal is message 26, which ends the program; the start goes no
// further (the tables' step, which opens the file, never runs).
TEST(DatabasePlace, TheStartStopsWithMessage26BeforeTheTablesAreOpened) {
    ErrorReporter& er = ErrorReporter::instance();
    er.setUp();
    ScriptedPresenter presenter;
    er.setPresenter(&presenter);
    std::vector<int> fatals;
    er.setFatalHandler([&](int n) { fatals.push_back(n); });

    std::vector<std::string> log;
    ProgramSteps s;
    s.setUpIni = [&] { log.push_back("ini"); };
    s.checkDatabasePlace = [&] { return checkDatabasePlace("/mnt/almacen/talvor.db", false, probeSaying("NFS")); };
    s.initThreadTables = [&] { log.push_back("tables"); };
    s.createTables = [&] { log.push_back("schema"); };
    s.runFrame = [&] { log.push_back("frame"); };
    EXPECT_EQ(programMain(s), 1);
    er.setFatalHandler(nullptr);
    er.setPresenter(nullptr);

    EXPECT_EQ(log, std::vector<std::string>{"ini"});
    EXPECT_EQ(fatals, std::vector<int>{26});
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(messageNumber(presenter.last()), 26);
    EXPECT_NE(presenter.last().text.find("Archivo (talvor.db) no pudo ser abierto."), std::string::npos)
        << presenter.last().text;
    EXPECT_NE(presenter.last().text.find("El archivo /mnt/almacen/talvor.db está en una unidad de red (NFS)"),
              std::string::npos)
        << presenter.last().text;
    EXPECT_EQ(presenter.last().text.find(".."), std::string::npos) << presenter.last().text;
}

}  // namespace
}  // namespace tv::app
