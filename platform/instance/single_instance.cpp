#include "platform/instance/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tv {

namespace fs = std::filesystem;

fs::path SingleInstanceLock::runtimeDir() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg == '/') return xdg;
    return fs::temp_directory_path() / ("talvor-" + std::to_string(::getuid()));
}

SingleInstanceLock::SingleInstanceLock(std::string name, fs::path dir)
    : name_(std::move(name)), dir_(dir.empty() ? runtimeDir() : std::move(dir)) {}

SingleInstanceLock::~SingleInstanceLock() { release(); }

namespace {

// The fallback folder lives in a folder every user can write to: it must be
// a real folder of ours that nobody else can write to, or another user could
// plant or steal the lock.
std::string prepareDir(const fs::path& dir) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return "cannot create " + dir.string() + ": " + std::strerror(errno);
    struct stat st{};
    if (::lstat(dir.c_str(), &st) != 0) return "cannot examine " + dir.string() + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return dir.string() + " is not a folder";
    if (st.st_uid != ::getuid()) return dir.string() + " belongs to another user";
    if ((st.st_mode & 0022) != 0) return dir.string() + " can be written by other users";
    return {};
}

}  // namespace

SingleInstanceLock::Result SingleInstanceLock::acquire() {
    if (fd_ >= 0) return Result::Acquired;
    error_.clear();
    if (std::string bad = prepareDir(dir_); !bad.empty()) {
        error_ = bad;
        return Result::Failed;
    }
    const fs::path p = path();
    int fd = ::open(p.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error_ = "cannot open " + p.string() + ": " + std::strerror(errno);
        return Result::Failed;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK) return Result::HeldElsewhere;
        error_ = "cannot lock " + p.string() + ": " + std::strerror(e);
        return Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
}

// The file stays: removing it while another copy waits to open it would let
// two copies lock two different files of the same name.
void SingleInstanceLock::release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

}  // namespace tv
