#include "platform/ini/ini_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/support/scratch_dir.h"

namespace tv {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void put(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

std::set<std::string> folderEntries(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

struct IniTest : ::testing::Test {
    test::ScratchDir dir;
    fs::path file = dir.file("cfg") / "talvor.INI";  // folder made by the first write
    IniStore ini{file};
};

TEST_F(IniTest, ReadWriteDeleteFollowTheProfileRules) {
    // A missing file reads as defaults and is not created by reads or deletes.
    EXPECT_EQ(ini.read("_PreviewWindow_", "XPos", "10"), "10");
    EXPECT_EQ(ini.read("_PreviewWindow_", "XPos"), "");
    EXPECT_TRUE(ini.removeKey("_PreviewWindow_", "XPos"));
    EXPECT_TRUE(ini.removeSection("_PreviewWindow_"));
    EXPECT_FALSE(fs::exists(file));

    // The first write creates folder and file.
    ASSERT_TRUE(ini.write("_PreviewWindow_", "XPos", "120")) << ini.lastError();
    EXPECT_TRUE(fs::exists(file));

    struct Case {
        std::string section, key, value;
    };
    const Case cases[] = {
        {"_PreviewWindow_", "YPos", "45"},
        {"QBE-BrowseArticulo", "Query1", "ART:NoArt = 5 AND ART:Desc = 'X'"},  // '=' inside a value
        {"QBE-BrowseArticulo", "Blanks", "  two  inner  spaces  "},            // edge blanks kept
        {"QBE-BrowseArticulo", "Quoted", "\"quoted\""},                         // quotes kept
        {"QBE-BrowseArticulo", "Empty", ""},
        {"Otros", "Acentos", "Almacén Núñez"},
    };
    for (const auto& c : cases) ASSERT_TRUE(ini.write(c.section, c.key, c.value)) << c.key << ini.lastError();
    for (const auto& c : cases) EXPECT_EQ(ini.read(c.section, c.key, "default"), c.value) << c.key;
    EXPECT_EQ(ini.read("_PreviewWindow_", "XPos"), "120");

    // Names match without regard to case, and a rewrite keeps one entry.
    EXPECT_EQ(ini.read("_previewwindow_", "xpos"), "120");
    ASSERT_TRUE(ini.write("_PREVIEWWINDOW_", "XPOS", "130"));
    EXPECT_EQ(ini.read("_PreviewWindow_", "XPos"), "130");
    EXPECT_EQ(ini.keys("_previewWINDOW_"), (std::vector<std::string>{"XPos", "YPos"}));
    EXPECT_EQ(ini.sections(), (std::vector<std::string>{"_PreviewWindow_", "QBE-BrowseArticulo", "Otros"}));

    // Deleting a key leaves its neighbours; deleting a section takes all its keys.
    ASSERT_TRUE(ini.removeKey("qbe-browsearticulo", "QUERY1"));
    EXPECT_EQ(ini.read("QBE-BrowseArticulo", "Query1", "gone"), "gone");
    EXPECT_EQ(ini.read("QBE-BrowseArticulo", "Empty", "x"), "");
    ASSERT_TRUE(ini.removeSection("QBE-BROWSEARTICULO"));
    EXPECT_EQ(ini.read("QBE-BrowseArticulo", "Blanks", "gone"), "gone");
    EXPECT_EQ(ini.read("_PreviewWindow_", "YPos"), "45");
    EXPECT_EQ(ini.read("Otros", "Acentos"), "Almacén Núñez");

    // A second store object on the same file sees everything (nothing is only cached).
    IniStore other(file);
    EXPECT_EQ(other.read("_PreviewWindow_", "XPos"), "130");
}

TEST_F(IniTest, ExistingFileKeepsItsCommentsAndReadsLikeTheClassicFunctions) {
    fs::create_directories(file.parent_path());
    put(file,
        "; preview settings\n"
        "[_PreviewWindow_]\n"
        "  XPos = 12  \n"
        "Width='300'\n"
        "\n"
        "; saved queries\n"
        "[QBE-BrowseArticulo]\n"
        "Last=ART:NoArt=1\n");
    EXPECT_EQ(ini.read("_PreviewWindow_", "XPos"), "12");
    EXPECT_EQ(ini.read("_PreviewWindow_", "Width"), "300");
    EXPECT_EQ(ini.read("qbe-browsearticulo", "last"), "ART:NoArt=1");

    ASSERT_TRUE(ini.write("_PreviewWindow_", "Height", "200"));
    ASSERT_TRUE(ini.write("_previewwindow_", "xpos", "15"));
    ASSERT_TRUE(ini.removeSection("_PreviewWindow_"));
    ASSERT_TRUE(ini.write("_PreviewWindow_", "Maximize", "0"));
    EXPECT_EQ(slurp(file),
              "; preview settings\n"  // kept: it stands above the removed section
              "; saved queries\n"
              "[QBE-BrowseArticulo]\n"
              "Last=ART:NoArt=1\n"
              "\n"
              "[_PreviewWindow_]\n"
              "Maximize=0\n");
}

TEST_F(IniTest, WritesThatCannotBeKeptAreRefusedAndChangeNothing) {
    ASSERT_TRUE(ini.write("S", "K", "v"));
    const std::string before = slurp(file);
    struct Case {
        std::string section, key, value;
    };
    const Case bad[] = {
        {"", "K", "v"},        {"   ", "K", "v"},  {"S]x", "K", "v"}, {"S\nT", "K", "v"},
        {"S", "", "v"},        {"S", "a=b", "v"},  {"S", "[K]", "v"}, {"S", ";K", "v"},
        {"S", "K", "line1\nline2"}, {"S", "K\r", "v"},
    };
    for (const auto& c : bad) {
        EXPECT_FALSE(ini.write(c.section, c.key, c.value)) << c.section << "|" << c.key;
        EXPECT_FALSE(ini.lastError().empty());
    }
    EXPECT_EQ(slurp(file), before);
}

TEST_F(IniTest, UnwritableFolderIsReportedNotSwallowed) {
    put(file.parent_path(), "a plain file where the folder should be");
    EXPECT_FALSE(ini.write("S", "K", "v"));
    EXPECT_NE(ini.lastError(), "");
    EXPECT_EQ(ini.read("S", "K", "default"), "default");
}

TEST_F(IniTest, BookkeepingEntryCountsRunsAndKeepsForeignContent) {
    ini.setUp();
    EXPECT_TRUE(ini.isSetUp());
    EXPECT_FALSE(fs::exists(file)) << "set-up only reads";
    ini.endOfRun();
    ASSERT_TRUE(ini.shutDown());
    EXPECT_EQ(ini.read("Sectors", "__Dont_Touch_Me__"), "1");
    ini.setUp();
    ASSERT_TRUE(ini.shutDown());
    EXPECT_EQ(ini.read("Sectors", "__Dont_Touch_Me__"), "2");

    ASSERT_TRUE(ini.write("Sectors", "__Dont_Touch_Me__", "opaque data"));
    ini.setUp();
    ASSERT_TRUE(ini.write("Sectors", "__Dont_Touch_Me__", "changed meanwhile"));
    ASSERT_TRUE(ini.shutDown());
    EXPECT_EQ(ini.read("Sectors", "__Dont_Touch_Me__"), "opaque data") << "written back as read";
}

TEST(IniPath, LivesInTheUserConfigFolderWhateverTheWorkingFolder) {
    test::ScratchDir dir;
    test::WorkingDir wd(dir.path());
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", (dir.path() / "conf").c_str(), 1);
    EXPECT_EQ(IniStore::defaultPath(), dir.path() / "conf" / "talvor" / "talvor.INI");
    setenv("XDG_CONFIG_HOME", "relative/not/used", 1);
    std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    if (!home.empty()) {
        EXPECT_EQ(IniStore::defaultPath(), fs::path(home) / ".config" / "talvor" / "talvor.INI");
    }
    if (old) {
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

// Two processes rewriting the same file at once: each change is a locked
// read-modify-write, so neither loses the other's keys, and no temporary
// file is left behind.
TEST_F(IniTest, TwoWritersKeepEachOthersKeys) {
    constexpr int kKeys = 200;
    ASSERT_TRUE(ini.write("Shared", "seed", "0"));
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    pid_t pids[2];
    for (int w = 0; w < 2; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(go[1]);
            char c;
            while (::read(go[0], &c, 1) < 0) {}  // start together
            IniStore mine(file);
            int failures = 0;
            for (int i = 0; i < kKeys; ++i)
                if (!mine.write("Shared", "w" + std::to_string(w) + "k" + std::to_string(i),
                                "value " + std::to_string(i) + " = x"))
                    ++failures;
            ::_exit(failures == 0 ? 0 : 1);
        }
        pids[w] = pid;
    }
    ::close(go[0]);
    ::close(go[1]);  // EOF releases both writers at once
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto keys = ini.keys("Shared");
    EXPECT_EQ(keys.size(), 2u * kKeys + 1);
    for (int w = 0; w < 2; ++w)
        for (int i = 0; i < kKeys; ++i)
            EXPECT_EQ(ini.read("Shared", "w" + std::to_string(w) + "k" + std::to_string(i)),
                      "value " + std::to_string(i) + " = x");
    EXPECT_EQ(folderEntries(file.parent_path()), (std::set<std::string>{"talvor.INI", "talvor.INI.lock"}));
}


// A write interrupted before its rename (the program killed) leaves its
// temporary file; the next start removes it, and nothing else. While another
// copy is writing (it holds the lock), its file is left alone.
TEST_F(IniTest, TemporaryFilesOfInterruptedWritesAreRemovedAtTheNextStart) {
    ASSERT_TRUE(ini.write("Preview", "Zoom", "100"));
    const fs::path cfg = file.parent_path();
    for (const char* leftover : {".talvor.INI.a1B2c3", ".talvor.INI.ZZZZZZ"}) put(cfg / leftover, "[Preview]\nZoom=1");
    for (const char* other : {".talvor.INI.lock2", "talvor.INI.bak", ".talvor.INI.abc", "notas.txt"}) put(cfg / other, "x");
    // Another copy in the middle of a write.
    int locked[2], done[2];
    ASSERT_EQ(pipe(locked), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        int fd = ::open((cfg / "talvor.INI.lock").c_str(), O_RDWR);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0) _exit(1);
        char ch = 'l';
        if (write(locked[1], &ch, 1) != 1) _exit(2);
        if (read(done[0], &ch, 1) < 0) _exit(3);  // until the parent says
        _exit(0);
    }
    close(locked[1]);
    close(done[0]);
    char ch = 0;
    ASSERT_EQ(read(locked[0], &ch, 1), 1);
    IniStore other(file);
    EXPECT_EQ(other.removeLeftovers(), 0u) << "another copy is writing";
    EXPECT_TRUE(fs::exists(cfg / ".talvor.INI.a1B2c3"));
    ASSERT_EQ(write(done[1], &ch, 1), 1);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    close(locked[0]);
    close(done[1]);

    IniStore next(file);
    next.setUp();
    EXPECT_EQ(folderEntries(cfg), (std::set<std::string>{"talvor.INI", "talvor.INI.lock", ".talvor.INI.lock2",
                                                         "talvor.INI.bak", ".talvor.INI.abc", "notas.txt"}));
    EXPECT_EQ(next.read("Preview", "Zoom"), "100");
}
}  // namespace
}  // namespace tv
