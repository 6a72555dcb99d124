// The database file under a running program: made whole before anyone may
// open it, and checked at every unit of work to be still the one at its path.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>

#include "platform/storage/sql_util.h"
#include "platform/storage/sqlite_driver.h"
#include "platform/storage/storage.h"

namespace tv::storage {

namespace fs = std::filesystem;

namespace detail {

namespace {

bool present(const fs::path& p) {
    struct stat st{};
    return ::stat(p.c_str(), &st) == 0;
}

}  // namespace

int putInPlace(const fs::path& made, const fs::path& path) {
    if (::link(made.c_str(), path.c_str()) == 0) return 0;
    if (errno == EEXIST) return EEXIST;
    // A file system without hard links.
    if (::renameat2(AT_FDCWD, made.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno == EEXIST) return EEXIST;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (present(path)) return EEXIST;
    return ::rename(made.c_str(), path.c_str()) == 0 ? 0 : errno;
}

int createDatabase(const fs::path& path) {
    const std::string base = path.string();
    // A log or index left by a database no longer there would be read as
    // the new one's (the stations that still have it keep theirs open).
    for (const char* journal : {"-wal", "-shm"})
        if (!present(path)) ::unlink((base + journal).c_str());
    std::random_device rd;
    const fs::path made = base + ".nuevo-" + std::to_string(::getpid()) + "-" + std::to_string(rd());
    int fd = ::open(made.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0660);
    if (fd < 0) return errno;
    // Whatever the umask: it holds the password hashes, and the stations of
    // a workgroup share it. SQLite gives its -wal and -shm the same.
    int err = ::fchmod(fd, 0660) == 0 ? 0 : errno;
    ::close(fd);
    if (err == 0) {
        int rc = SQLITE_OK;
        std::unique_ptr<SqliteDriver> db = SqliteDriver::open(made, false, rc);
        if (rc == SQLITE_OK) rc = db->run(kNumbersTable);
        if (rc != SQLITE_OK) err = (rc & 0xff) == SQLITE_FULL ? ENOSPC : EIO;
    }
    if (err == 0) {
        err = putInPlace(made, path);
        if (err == EEXIST) err = 0;  // another station was first: its database is used
    }
    ::unlink(made.c_str());
    ::unlink((made.string() + "-journal").c_str());
    return err;
}

}  // namespace detail

namespace {

bool idOf(const std::string& p, uint64_t& dev, uint64_t& ino, uint64_t* size = nullptr) {
    struct stat st{};
    if (::stat(p.c_str(), &st) != 0) return false;
    dev = static_cast<uint64_t>(st.st_dev);
    ino = static_cast<uint64_t>(st.st_ino);
    if (size != nullptr) *size = static_cast<uint64_t>(st.st_size);
    return true;
}

}  // namespace

void Connection::noteFile() {
    const std::string base = path_.string();
    dbId_ = walId_ = shmId_ = {};
    dbSize_ = 0;
    idOf(base, dbId_.dev, dbId_.ino, &dbSize_);
    idOf(base + "-wal", walId_.dev, walId_.ino);
    idOf(base + "-shm", shmId_.dev, shmId_.ino);
}

Connection::FileState Connection::fileState() {
    if (dbId_ == FileId{}) return FileState::Same;
    FileId now;
    uint64_t size = 0;
    if (!idOf(path_.string(), now.dev, now.ino, &size)) return errno == ENOENT ? FileState::Missing : FileState::Same;
    if (!(now == dbId_)) return FileState::Replaced;
    // A database file only grows under this program (nothing vacuums it):
    // emptied or shorter, another program wrote over it.
    if (size == 0 || size < dbSize_) return FileState::Overwritten;
    dbSize_ = size;
    return FileState::Same;
}

Status Connection::fileChanged(FileState s) const {
    const std::string name = path_.string();
    switch (s) {
    case FileState::Same: return {};
    case FileState::Missing:
        return Status::make(kFileReplaced, "El archivo de datos " + name +
                                               " ya no está en su carpeta (se borró o se movió mientras el programa "
                                               "trabajaba): no se guardó nada. Vuelva a ponerlo en su lugar para "
                                               "seguir guardando");
    case FileState::Replaced:
        return Status::make(kFileReplaced, "El archivo de datos " + name +
                                               " fue reemplazado por otro mientras el programa trabajaba: no se "
                                               "guardó nada. Desde ahora se trabaja con el archivo que está en su "
                                               "lugar");
    case FileState::Overwritten:
        return Status::make(kFileReplaced, "El archivo de datos " + name +
                                               " fue sobrescrito por otro programa mientras este trabajaba: no se "
                                               "guardó nada, y nada más se guardará en él. Cierre el programa y "
                                               "vuelva a abrirlo");
    }
    return {};
}

Status Connection::checkFileUnderLock() {
    if (readOnly_) return {};
    const FileState s = overwritten_ ? FileState::Overwritten : fileState();
    if (s == FileState::Same) return {};
    if (s != FileState::Missing && !overwritten_) {
        // The log and index at the path are this file's, not the one now
        // there: out of its way before anyone opens it (the stations still on
        // this file keep theirs open; the lock held keeps two stations from
        // doing this at once).
        const std::string base = path_.string();
        for (const auto& [suffix, id] : {std::pair<const char*, FileId>{"-wal", walId_}, {"-shm", shmId_}}) {
            FileId now;
            if (!(id == FileId{}) && idOf(base + suffix, now.dev, now.ino) && now == id) ::unlink((base + suffix).c_str());
        }
    }
    refusedFor_ = s;
    if (s == FileState::Overwritten && !overwritten_) {
        overwritten_ = true;
        // Its log is of what the file was: never written into what it is now.
        file_->neverCheckpoint(true);
    }
    return fileChanged(s);
}

void Connection::leaveChangedFile() {
    const FileState s = refusedFor_;
    refusedFor_ = FileState::Same;
    if (s != FileState::Missing && s != FileState::Replaced) return;
    // What the log holds of the file that was moved away (or put back
    // later) is written into it, so that it is whole wherever it is now:
    // SQLite does not do it when it closes a file that has moved.
    file_->checkpoint();
    if (s != FileState::Replaced) return;
    // The tables start afresh on the file now at the path.
    openDb(false);
    ++fileGeneration_;
}

}  // namespace tv::storage
