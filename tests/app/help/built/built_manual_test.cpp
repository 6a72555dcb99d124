// A working folder where the built manual cannot be put (here a dangling
// link holds the name): "&Consultar manual del usuario" opens the built
// manual where it is, beside the program.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/errors/scripted_presenter.h"
#include "tests/app/help/help_driver.h"
#include "tests/support/scratch_dir.h"

namespace tv::app {
namespace {

namespace fs = std::filesystem;

TEST(BuiltManual, IsOpenedWhereItIsWhenTheWorkingFolderCannotTakeIt) {
    const fs::path built = BuiltManualPath().toStdString();
    std::ofstream(built) << "%PDF-1.4\n";
    test::ScratchDir dir;
    test::WorkingDir here(dir.path());
    fs::create_symlink("gone.pdf", dir.file("manual.pdf"));
    ScriptedPresenter said;
    ScopedPresenter scope(said);
    test_support::RecordingOpener rec;
    ui::setDesktopOpener(&rec);
    test_support::ManualWindow m;
    ASSERT_NE(m.w, nullptr);
    m.press();
    m.close();
    ui::setDesktopOpener(nullptr);
    fs::remove(built);
    ASSERT_EQ(rec.opened.size(), 1u);
    EXPECT_EQ(rec.opened[0].toStdString(), built.string());
    EXPECT_TRUE(said.empty());
    EXPECT_TRUE(fs::is_symlink(dir.file("manual.pdf"))) << "what holds the name stays";
}

}  // namespace
}  // namespace tv::app
