// The manual the build made goes into a working folder that has none; a
// manual already there, whatever it is, stays as it is.
#include "app/help/manual_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/scratch_dir.h"

namespace tv::app {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

TEST(ManualFile, TheBuiltManualFillsAFolderWithoutOne) {
    test::ScratchDir dir;
    fs::create_directory(dir.file("work"));
    const std::string built(200000, 'x');  // bigger than one chunk of the copy
    write(dir.file("built.pdf"), "%PDF" + built);
    EXPECT_EQ(ProvideManual(q(dir.file("work")), q(dir.file("built.pdf"))), ManualPlaced::Copied);
    EXPECT_EQ(contents(dir.file("work") / "manual.pdf"), "%PDF" + built);
    // Only the manual is left: no temporary copy beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("work")), fs::directory_iterator()), 1);
    // The next start finds it there and leaves it.
    EXPECT_EQ(ProvideManual(q(dir.file("work")), q(dir.file("built.pdf"))), ManualPlaced::AlreadyThere);
}

TEST(ManualFile, WhatIsThereAlreadyStays) {
    struct Case {
        const char* what;
        void (*make)(const fs::path& target);
    } cases[] = {
        {"the user's own manual", [](const fs::path& t) { write(t, "mine"); }},
        {"an empty file", [](const fs::path& t) { write(t, ""); }},
        {"a link to another manual", [](const fs::path& t) {
             write(t.parent_path() / "other.pdf", "other");
             fs::create_symlink("other.pdf", t);
         }},
        {"a link to nothing", [](const fs::path& t) { fs::create_symlink("missing.pdf", t); }},
        {"a folder of that name", [](const fs::path& t) { fs::create_directory(t); }},
    };
    for (const Case& c : cases) {
        test::ScratchDir dir;
        write(dir.file("built.pdf"), "%PDF built");
        fs::create_directory(dir.file("work"));
        const fs::path target = dir.file("work") / "manual.pdf";
        c.make(target);
        const bool wasLink = fs::is_symlink(target);
        const std::string before = fs::is_regular_file(target) ? contents(target) : std::string();
        EXPECT_EQ(ProvideManual(q(dir.file("work")), q(dir.file("built.pdf"))), ManualPlaced::AlreadyThere) << c.what;
        EXPECT_EQ(fs::is_symlink(target), wasLink) << c.what;
        if (fs::is_regular_file(target)) {
            EXPECT_EQ(contents(target), before) << c.what;
        }
    }
}

TEST(ManualFile, NoBuiltManualOrNoRightToWriteLeavesTheFolderAsItWas) {
    test::ScratchDir dir;
    fs::create_directory(dir.file("work"));
    EXPECT_EQ(ProvideManual(q(dir.file("work")), q(dir.file("none.pdf"))), ManualPlaced::NoBuiltManual);
    EXPECT_EQ(ProvideManual(q(dir.file("work")), q(dir.file("work"))), ManualPlaced::NoBuiltManual) << "a folder";
    EXPECT_TRUE(fs::is_empty(dir.file("work")));

    // A station that may only read the folder: run as another user when
    // this one is root (root may write anywhere).
    write(dir.file("built.pdf"), "%PDF built");
    const auto readable = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(dir.path(), readable);
    fs::permissions(dir.file("work"), readable);
    fs::permissions(dir.file("built.pdf"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const pid_t child = test::spawn([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 10;
        return ProvideManual(q(dir.file("work")), q(dir.file("built.pdf"))) == ManualPlaced::Failed ? 0 : 1;
    });
    EXPECT_EQ(test::exitCode(child), 0);
    fs::permissions(dir.path(), fs::perms::owner_all);
    fs::permissions(dir.file("work"), fs::perms::owner_all);
    EXPECT_TRUE(fs::is_empty(dir.file("work")));
}

}  // namespace
}  // namespace tv::app
