#include "platform/instance/single_instance.h"

#include <sys/stat.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/support/scratch_dir.h"

namespace tv {
namespace {

namespace fs = std::filesystem;
using R = SingleInstanceLock::Result;

// flock conflicts between separate opens even within one process, so two
// lock objects here behave like two running copies.
TEST(SingleInstanceLock, OneHolderPerNameAndFolder) {
    test::ScratchDir dir;
    SingleInstanceLock first("TALVOR.EXE", dir.path());
    SingleInstanceLock second("TALVOR.EXE", dir.path());
    SingleInstanceLock otherUser("TALVOR.EXE", dir.file("other-user"));

    ASSERT_EQ(first.acquire(), R::Acquired) << first.error();
    EXPECT_TRUE(fs::exists(dir.file("TALVOR.EXE")));
    EXPECT_EQ(second.acquire(), R::HeldElsewhere);
    EXPECT_FALSE(second.held());
    EXPECT_EQ(otherUser.acquire(), R::Acquired) << otherUser.error();

    first.release();
    EXPECT_EQ(second.acquire(), R::Acquired);
    {
        SingleInstanceLock third("TALVOR.EXE", dir.path());
        EXPECT_EQ(third.acquire(), R::HeldElsewhere);
    }
    second.release();
    SingleInstanceLock fourth("TALVOR.EXE", dir.path());
    EXPECT_EQ(fourth.acquire(), R::Acquired);
}

TEST(SingleInstanceLock, RuntimeFolderFromEnvironmentOrPerUserTemp) {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    std::string saved = old ? old : "";
    setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(SingleInstanceLock::runtimeDir(), fs::path("/run/user/4242"));
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SingleInstanceLock::runtimeDir(),
              fs::temp_directory_path() / ("talvor-" + std::to_string(::getuid())));
    if (old) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

TEST(SingleInstanceLock, RefusesAFolderOthersCanWrite) {
    test::ScratchDir dir;
    fs::path shared = dir.file("shared");
    ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    SingleInstanceLock lock("TALVOR.EXE", shared);
    EXPECT_EQ(lock.acquire(), R::Failed);
    EXPECT_NE(lock.error(), "");

    fs::path target = dir.file("target");
    ASSERT_EQ(::mkdir(target.c_str(), 0700), 0);
    fs::create_directory_symlink(target, dir.file("link"));
    SingleInstanceLock viaLink("TALVOR.EXE", dir.file("link"));
    EXPECT_EQ(viaLink.acquire(), R::Failed);

    SingleInstanceLock fresh("TALVOR.EXE", dir.file("fresh"));
    ASSERT_EQ(fresh.acquire(), R::Acquired) << fresh.error();
    struct stat st{};
    ASSERT_EQ(::stat(dir.file("fresh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace tv
