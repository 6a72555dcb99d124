#include "app/program_main.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include "app/globals.h"
#include "data/tables.h"
#include "platform/storage/storage.h"
#include "platform/errors/error_reporter.h"
#include "platform/ini/ini_store.h"
#include "platform/instance/single_instance.h"
#include "tests/support/scratch_dir.h"

namespace tv::app {
namespace {

// A desktop whose full-window dragging can be on, as on the original one.
struct FakeDesktop {
    int32_t drag = 0;
};

// Steps that only note that they ran; `log` gets one word per step.
struct Recorder {
    std::vector<std::string> log;
    FakeDesktop desktop;
    bool anotherCopyRuns = false;
    std::string lockName;
    int32_t dragDuringFrame = -1;
    std::function<void()> frameBody;

    ProgramSteps steps() {
        ProgramSteps s;
        s.setUpErrors = [this] { log.push_back("errors"); };
        s.setUpIni = [this] { log.push_back("ini"); };
        s.initThreadTables = [this] { log.push_back("tables"); };
        s.acquireSingleInstance = [this](const std::string& name) {
            log.push_back("lock");
            lockName = name;
            return !anotherCopyRuns;
        };
        s.createTables = [this] { log.push_back("schema"); };
        s.provideManual = [this] { log.push_back("manual"); };
        s.readDragFullWindows = [this] {
            log.push_back("readDrag");
            return desktop.drag;
        };
        s.writeDragFullWindows = [this](int32_t on) {
            log.push_back("writeDrag" + std::to_string(on));
            desktop.drag = on;
        };
        s.runFrame = [this] {
            log.push_back("frame");
            dragDuringFrame = desktop.drag;
            if (frameBody) frameBody();
        };
        s.iniEndOfRun = [this] { log.push_back("iniEnd"); };
        s.releaseSingleInstance = [this] { log.push_back("unlock"); };
        s.shutDownIni = [this] { log.push_back("iniShutDown"); };
        return s;
    }
};

using Log = std::vector<std::string>;

TEST(ProgramMain, ProcessStateStartsBlankAndEmpty) {
    const Globals& g = globals();
    EXPECT_EQ(g.EMPRESA, std::string(60, ' '));
    EXPECT_EQ(g.CIUDADPROVEEDOR, std::string(40, ' '));
    EXPECT_TRUE(g.RunningProcedures.empty());
    EXPECT_EQ(g.RunningProceduresBuffer.PROCESO, std::string(64, ' '));
    EXPECT_EQ(g.RunningProceduresBuffer.THREADNUMERO, 0);
    for (uint8_t b : g.UserPermissions) EXPECT_EQ(b, 0);
    EXPECT_EQ(g.SavedDragFullWindows, 0);
}

TEST(ProgramMain, RunsItsStepsInOrder) {
    Recorder r;
    EXPECT_EQ(programMain(r.steps()), 0);
    EXPECT_EQ(r.log, (Log{"errors", "ini", "tables", "lock", "schema", "manual", "readDrag", "frame", "iniEnd", "unlock",
                          "iniShutDown"}));
    EXPECT_EQ(r.lockName, "TALVOR.EXE");
    EXPECT_EQ(r.desktop.drag, 0) << "a setting found off is never touched";
}

TEST(ProgramMain, SecondCopyEndsAfterTheLockWithZeroAndNoFrame) {
    Recorder r;
    r.anotherCopyRuns = true;
    EXPECT_EQ(programMain(r.steps()), 0);
    EXPECT_EQ(r.log, (Log{"errors", "ini", "tables", "lock"}));
}

TEST(ProgramMain, FullWindowDragIsOffDuringTheFrameAndOnAgainAfter) {
    Recorder r;
    r.desktop.drag = 1;
    EXPECT_EQ(programMain(r.steps()), 0);
    EXPECT_EQ(r.dragDuringFrame, 0);
    EXPECT_EQ(r.desktop.drag, 1);
    EXPECT_EQ(globals().SavedDragFullWindows, 1);
    EXPECT_EQ(r.log, (Log{"errors", "ini", "tables", "lock", "schema", "manual", "readDrag", "writeDrag0", "frame", "iniEnd",
                          "unlock", "writeDrag1", "iniShutDown"}));
}

// An error that escapes the frame must not leave a process without a
// window that still holds the lock (every later start would end at once,
// silently): the stop steps run and the program ends with a failure code.
TEST(ProgramMain, ErrorEscapingTheFrameStillRunsTheStopSteps) {
    Recorder r;
    r.desktop.drag = 1;
    r.frameBody = [] { throw std::runtime_error("frame failed"); };
    int code = 0;
    EXPECT_NO_THROW(code = programMain(r.steps()));
    EXPECT_EQ(code, 1);
    EXPECT_EQ(r.log, (Log{"errors", "ini", "tables", "lock", "schema", "manual", "readDrag", "writeDrag0", "frame", "iniEnd",
                          "unlock", "writeDrag1", "iniShutDown"}));
    EXPECT_EQ(r.desktop.drag, 1);
}

// The program's own steps: the lock is held while the frame runs and free
// after; the INI store's bookkeeping entry is written at the end, in the
// user's configuration folder.
TEST(ProgramMain, DefaultStepsHoldTheLockForTheRunAndWriteTheIniAtTheEnd) {
    test::ScratchDir dir;
    test::WorkingDir wd(dir.path());
    ::setenv("XDG_RUNTIME_DIR", dir.file("run").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", dir.file("cfg").c_str(), 1);
    ::mkdir(dir.file("run").c_str(), 0700);
    const auto iniFile = dir.file("cfg") / "talvor" / "talvor.INI";

    SingleInstanceLock probe("TALVOR.EXE", dir.file("run"));
    bool frameRan = false;
    auto frame = [&] {
        frameRan = true;
        EXPECT_EQ(probe.acquire(), SingleInstanceLock::Result::HeldElsewhere);
        EXPECT_FALSE(std::filesystem::exists(iniFile));
        // Every table exists before the first window opens (a thread's own
        // tables are made on its connection).
        storage::Connection c(dir.file("talvor.db"));
        for (const data::TableDecl& d : data::tableDecls()) {
            if (d.aliasOf || d.threadPrivate) continue;
            sqlite3_stmt* s = nullptr;
            ASSERT_EQ(sqlite3_prepare_v2(c.db(), "SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?",
                                         -1, &s, nullptr),
                      SQLITE_OK);
            sqlite3_bind_text(s, 1, d.storageName.c_str(), -1, SQLITE_TRANSIENT);
            ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
            EXPECT_EQ(sqlite3_column_int(s, 0), 1) << d.storageName;
            sqlite3_finalize(s);
        }
    };
    EXPECT_EQ(programMain(defaultProgramSteps(frame)), 0);
    EXPECT_TRUE(frameRan);
    EXPECT_EQ(probe.acquire(), SingleInstanceLock::Result::Acquired);
    EXPECT_EQ(IniStore(iniFile).read("Sectors", "__Dont_Touch_Me__"), "1");
    EXPECT_FALSE(std::filesystem::exists(dir.file("talvor.INI"))) << "not in the working folder";
}

// A fatal message inside the frame ends the process there: the stop steps
// after the frame never run. Run in a child process, which it ends.
TEST(ProgramMain, FatalEndSkipsTheStopSteps) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(out[0]);
        ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);  // the fallback box text
        Recorder r;
        ProgramSteps s = r.steps();
        auto note = [fd = out[1]](const std::string& w) {
            std::string line = w + "\n";
            (void)!::write(fd, line.data(), line.size());
        };
        for (auto* step : {&s.iniEndOfRun, &s.releaseSingleInstance, &s.shutDownIni}) {
            *step = [note] { note("after-frame"); };
        }
        s.setUpErrors = [note] {
            ErrorReporter::instance().setUp();
            note("errors");
        };
        s.runFrame = [note] {
            note("frame");
            ErrorReporter::instance().raise(12, "talvor.db");  // a table file that cannot be created
            note("frame-continued");
        };
        programMain(s);
        note("returned");
        ::_exit(0);
    }
    ::close(out[1]);
    std::string seen;
    char buf[256];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        seen.append(buf, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0) << "a fatal end is not an ordinary end";
    EXPECT_EQ(seen, "errors\nframe\n");
}

}  // namespace
}  // namespace tv::app
