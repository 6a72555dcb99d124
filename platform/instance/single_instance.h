#pragma once
// One running copy per user: a named lock held for the whole run. It is an
// advisory lock (flock) on a file of that name in the user's runtime folder,
// which the system drops when the process ends in any way, so a crashed copy
// leaves no stale lock behind. Another user has another runtime folder and
// so another lock.
#include <filesystem>
#include <string>

namespace tv {

class SingleInstanceLock {
public:
    enum class Result {
        Acquired,     // this copy is the only one
        HeldElsewhere,  // another copy of this user holds the lock
        Failed,       // the lock could not be set up (see error())
    };

    // $XDG_RUNTIME_DIR when it is set to an absolute path, else a per-user
    // folder under the temporary folder (/tmp/talvor-<uid>, mode 0700).
    static std::filesystem::path runtimeDir();

    // `name` is the lock file's name; `dir` defaults to runtimeDir().
    explicit SingleInstanceLock(std::string name, std::filesystem::path dir = {});
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    Result acquire();
    void release();
    bool held() const { return fd_ >= 0; }
    std::filesystem::path path() const { return dir_ / name_; }
    const std::string& error() const { return error_; }

private:
    std::string name_;
    std::filesystem::path dir_;
    int fd_ = -1;
    std::string error_;
};

}  // namespace tv
