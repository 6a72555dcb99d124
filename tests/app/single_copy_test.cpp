// The real program against its single-instance lock: started twice by the
// same user the second copy ends at once with 0; the lock dies with the
// process that held it; another user's copy is not affected.
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(60);

struct Copy {
    pid_t pid = -1;
    fs::path output;
};

// Starts talvor headless with its lock and settings folders in the scratch folder.
Copy start(const fs::path& runtimeDir, const fs::path& configDir, const fs::path& output) {
    fs::create_directories(runtimeDir);
    fs::permissions(runtimeDir, fs::perms::owner_all);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", configDir.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDOUT_FILENO);
        ::dup2(fd, STDERR_FILENO);
        ::execl(TALVOR_BIN, TALVOR_BIN, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return Copy{pid, output};
}

// True when `pid` holds a flock on `file`, read from the kernel's lock table
// (testing with flock ourselves could steal the lock from a copy starting up).
bool holdsLock(pid_t pid, const fs::path& file) {
    struct stat st{};
    if (::stat(file.c_str(), &st) != 0) return false;
    std::ifstream locks("/proc/locks");
    std::string line;
    const std::string inode = ":" + std::to_string(st.st_ino);
    while (std::getline(locks, line)) {
        std::istringstream in(line);
        std::string n, kind, mode, rw, owner, where;
        in >> n >> kind >> mode >> rw >> owner >> where;
        if (kind != "FLOCK" || owner != std::to_string(pid)) continue;
        if (where.size() > inode.size() && where.compare(where.size() - inode.size(), inode.size(), inode) == 0)
            return true;
    }
    return false;
}

// Waits until the copy holds the lock; false when it ended or took too long.
bool waitForLock(const Copy& c, const fs::path& lockFile) {
    for (auto deadline = Clock::now() + kPatience; Clock::now() < deadline; std::this_thread::yield()) {
        if (holdsLock(c.pid, lockFile)) return true;
        int status;
        if (::waitpid(c.pid, &status, WNOHANG) == c.pid) return false;
    }
    return false;
}

// The copy's wait status, or -1 when it is still running after the patience.
int waitForEnd(const Copy& c) {
    for (auto deadline = Clock::now() + kPatience; Clock::now() < deadline; std::this_thread::yield()) {
        int status = 0;
        if (::waitpid(c.pid, &status, WNOHANG) == c.pid) return status;
    }
    ::kill(c.pid, SIGKILL);
    ::waitpid(c.pid, nullptr, 0);
    return -1;
}

void kill9(const Copy& c) {
    ::kill(c.pid, SIGKILL);
    ::waitpid(c.pid, nullptr, 0);
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SingleCopy, SecondCopyEndsSilentlyAndACrashLeavesNoStaleLock) {
    tv::test::ScratchDir dir;
    const fs::path run = dir.file("run"), cfg = dir.file("cfg");
    const fs::path lockFile = run / "TALVOR.EXE";

    Copy first = start(run, cfg, dir.file("first.out"));
    ASSERT_TRUE(waitForLock(first, lockFile)) << slurp(first.output);

    Copy second = start(run, cfg, dir.file("second.out"));
    int status = waitForEnd(second);
    ASSERT_NE(status, -1) << "the second copy kept running (it opened its window)";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(slurp(second.output), "") << "ends without a message";
    EXPECT_TRUE(holdsLock(first.pid, lockFile)) << "the first copy is left as it was";

    kill9(first);
    int fd = ::open(lockFile.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << "the lock died with its holder";
    ::close(fd);

    Copy third = start(run, cfg, dir.file("third.out"));
    EXPECT_TRUE(waitForLock(third, lockFile)) << slurp(third.output);
    kill9(third);
}

TEST(SingleCopy, AnotherUsersCopyRuns) {
    tv::test::ScratchDir dir;
    const fs::path runA = dir.file("run-a"), runB = dir.file("run-b");
    Copy a = start(runA, dir.file("cfg-a"), dir.file("a.out"));
    Copy b = start(runB, dir.file("cfg-b"), dir.file("b.out"));
    EXPECT_TRUE(waitForLock(a, runA / "TALVOR.EXE")) << slurp(a.output);
    EXPECT_TRUE(waitForLock(b, runB / "TALVOR.EXE")) << slurp(b.output);
    kill9(a);
    kill9(b);
}

}  // namespace
