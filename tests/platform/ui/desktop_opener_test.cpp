// The desktop's own document opener on Linux: it runs xdg-open and tells
// from how it ends whether the document was opened. A desktop without a
// program for the file's kind makes xdg-open fail; that is "not opened",
// never a silent success.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include "platform/ui/desktop.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

namespace tv::ui {
namespace {

// A stand-in xdg-open first on PATH for the scope: it notes what it was
// asked to open, then runs `body`.
class FakeOpener {
public:
    explicit FakeOpener(const std::string& body) {
        std::filesystem::create_directory(dir_.file("bin"));
        const auto script = dir_.file("bin") / "xdg-open";
        std::ofstream(script) << "#!/bin/sh\necho \"$1\" > '" << dir_.file("asked").string() << "'\n" << body << "\n";
        ::chmod(script.c_str(), 0755);
        old_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        ::setenv("PATH", (dir_.file("bin").string() + ":" + old_).c_str(), 1);
    }
    ~FakeOpener() { ::setenv("PATH", old_.c_str(), 1); }
    std::string asked() const {
        std::ifstream in(dir_.file("asked"));
        std::string line;
        std::getline(in, line);
        return line;
    }

private:
    test::ScratchDir dir_;
    std::string old_;
};

TEST(DesktopOpener, ADocumentCountsAsOpenedOnlyWhenTheOpenerSucceeds) {
    test::ScratchDir work;
    test::WorkingDir here(work.path());
    std::ofstream(work.file("manual.pdf")) << "%PDF-1.4\n";
    struct Case {
        const char* what;
        const char* body;
        bool opened;
    } cases[] = {
        {"no program for PDF files (xdg-open says so)", "exit 3", false},
        {"xdg-open tries every way it knows before it fails", "sleep 1; exit 3", false},
        {"the program failed", "exit 4", false},
        {"a desktop's opener started the viewer and returned", "exit 0", true},
        {"plain xdg-open waits for the viewer it started", "exec sleep 6 >/dev/null 2>&1", true},
    };
    const auto patience = setDocumentOpenerPatience(std::chrono::seconds(3));
    for (const Case& c : cases) {
        FakeOpener fake(c.body);
        bool opened = !c.opened;
        QElapsedTimer took;
        took.start();
        test::onThread([&] { opened = desktopOpener().open(QStringLiteral("manual.pdf")); });
        EXPECT_EQ(opened, c.opened) << c.what;
        EXPECT_LT(took.elapsed(), 5000) << c.what << ": a running viewer is not waited for";
        EXPECT_EQ(fake.asked(), work.file("manual.pdf").string()) << c.what << ": the manual by its full path";
    }
    setDocumentOpenerPatience(patience);
}

}  // namespace
}  // namespace tv::ui
