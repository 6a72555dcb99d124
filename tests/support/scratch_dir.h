#pragma once
// A fresh, empty folder per test, removed afterwards; tests that touch files
// (the database, the INI file, locks) work inside one so they can run in parallel.
#include <filesystem>
#include <string>

namespace tv::test {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Changes the working folder for the scope, and back.
class WorkingDir {
public:
    explicit WorkingDir(const std::filesystem::path& p);
    ~WorkingDir();
    WorkingDir(const WorkingDir&) = delete;
    WorkingDir& operator=(const WorkingDir&) = delete;

private:
    std::filesystem::path old_;
};

}  // namespace tv::test
