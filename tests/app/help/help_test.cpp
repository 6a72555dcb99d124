#include "app/help/help.h"

#include <chrono>
#include <functional>
#include <vector>

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

#include "tests/app/help/help_driver.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

#include "platform/errors/scripted_presenter.h"
#include "platform/threads/logical_thread.h"
#include "platform/ui/desktop.h"
#include "platform/ui/window.h"

namespace tv::app {
namespace {

using test::runFor;

using namespace std::chrono_literals;

using test_support::ManualWindow;
using test_support::RecordingOpener;
using test_support::windowCaptioned;

// A working folder of the test's own, with or without a manual in it.
struct Folder {
    test::ScratchDir dir;
    test::WorkingDir here{dir.path()};
    void putManual() { std::ofstream(dir.file("manual.pdf")) << "%PDF-1.4\n"; }
    std::string manualPath() const { return dir.file("manual.pdf").string(); }
};

TEST(Help, TheManualOpensEveryTimeAndItsWindowStays) {
    Folder folder;
    folder.putManual();
    ScriptedPresenter said;
    ScopedPresenter scope(said);
    RecordingOpener rec;
    ui::setDesktopOpener(&rec);
    ManualWindow m;
    ASSERT_NE(m.w, nullptr);
    EXPECT_EQ(m.w->at(4).text(), QStringLiteral("&Consultar manual del usuario"));
    m.press();
    m.press();
    ASSERT_TRUE(runFor([&] { return rec.opened.size() == 2; }));
    EXPECT_EQ(rec.opened[0], QStringLiteral("manual.pdf"));
    EXPECT_FALSE(m.done);
    m.close();
    EXPECT_TRUE(said.empty()) << "opened: nothing to say";
    ui::setDesktopOpener(nullptr);
}

// The desktop cannot open the manual, or there is none to open: the user is
// told where it is (or should be), not left without a word.
TEST(Help, AManualThatCannotBeOpenedIsNamedWithItsPlace) {
    struct Case {
        const char* what;
        bool manualThere;
        bool programForPdf;
        std::size_t opens;
        const char* says;
    } cases[] = {
        {"no program opens PDF files", true, false, 1, "No hay en este equipo un programa que abra archivos PDF"},
        {"no manual in the folder and none built", false, true, 0, "No se encontró el manual del usuario"},
    };
    for (const Case& c : cases) {
        Folder folder;
        if (c.manualThere) folder.putManual();
        ScriptedPresenter said;
        ScopedPresenter scope(said);
        RecordingOpener rec;
        rec.result = c.programForPdf;
        ui::setDesktopOpener(&rec);
        ManualWindow m;
        ASSERT_NE(m.w, nullptr);
        m.press();
        m.close();
        ui::setDesktopOpener(nullptr);
        EXPECT_EQ(rec.opened.size(), c.opens) << c.what;
        ASSERT_EQ(said.count(), 1u) << c.what;
        EXPECT_EQ(said.last().caption, "Consulta del manual") << c.what;
        EXPECT_NE(said.last().text.find(c.says), std::string::npos) << c.what << ": " << said.last().text;
        EXPECT_NE(said.last().text.find(folder.manualPath()), std::string::npos) << c.what << ": the full path";
    }
}

TEST(Help, SupportOpensTheAddressAndCloses) {
    RecordingOpener rec;
    ui::setDesktopOpener(&rec);
    bool done = false;
    threads::start([&] {
        Soporte();
        done = true;
    }, 0);
    ui::Window* w = nullptr;
    ASSERT_TRUE(runFor([&] { return (w = windowCaptioned(QStringLiteral("Soporte técnico"))) != nullptr; }));
    EXPECT_EQ(w->at(3).text(), QStringLiteral("Asegúrese de tener acceso a Internet"));
    QTest::mouseClick(w->at(4).widget(), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return done; }));
    ASSERT_EQ(rec.opened.size(), 1u);
    EXPECT_TRUE(rec.opened[0].startsWith(QStringLiteral("http://")));
    EXPECT_TRUE(rec.opened[0].endsWith(QStringLiteral("/CGI-BIN/soportephp.htm")));
    ui::setDesktopOpener(nullptr);
}

}  // namespace
}  // namespace tv::app
