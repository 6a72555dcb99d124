// Error texts, declarations and the no-case collation.
#include "platform/storage/storage.h"

#include <mutex>

#include "platform/storage/sql_util.h"
#include "platform/types/text.h"

namespace tv::storage {

std::string_view errorText(int code) {
    switch (code) {
    case kOk: return "";
    case kFileNotFound: return "File Not Found";
    case kAccessDenied: return "Access Denied";
    case kRecordNotAvailable: return "Record Not Available";
    case kCreatesDuplicateKey: return "Creates Duplicate Key";
    case kKeyFileMustBeRebuilt: return "Key File Must Be Rebuilt";
    case kUnsupported: return "Unsupported File Driver Function";
    case kRecordChanged: return "Record Changed By Another Station";
    case kLockTimeout: return "Database Is Busy";
    // The one failure the user must act on: said in the user's words.
    case kDiskFull: return "Disco lleno: no queda espacio libre en el disco";
    default: return "File System Error";
    }
}

Status Status::make(int code, std::string text) {
    Status s;
    s.code = code;
    s.text = text.empty() ? std::string(errorText(code)) : std::move(text);
    return s;
}

int TableDef::autoNumberKey() const {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i].autoNumber) return static_cast<int>(i);
    return -1;
}

namespace {
std::mutex pathLock;
std::filesystem::path dbPath = "talvor.db";
}  // namespace

void setDatabasePath(const std::filesystem::path& p) {
    std::lock_guard<std::mutex> g(pathLock);
    dbPath = p;
}

std::filesystem::path databasePath() {
    std::lock_guard<std::mutex> g(pathLock);
    return dbPath;
}

namespace detail {

Status statusFor(int rc, const char* msg) {
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return {};
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return Status::make(kKeyFileMustBeRebuilt);
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return Status::make(kAccessDenied);
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return Status::make(kLockTimeout);
    case SQLITE_FULL: return Status::make(kDiskFull);
    case SQLITE_CONSTRAINT:
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
            return Status::make(kCreatesDuplicateKey);
        break;
    default: break;
    }
    return Status::make(kFileSystemError, msg && *msg ? msg : sqlite3_errstr(rc));
}

namespace {
// Compares through toUpper with the accented pairs, ignoring trailing blanks.
int noCaseCompare(void*, int na, const void* pa, int nb, const void* pb) {
    return compareNoCase(std::string_view(static_cast<const char*>(pa), static_cast<size_t>(na)),
                         std::string_view(static_cast<const char*>(pb), static_cast<size_t>(nb)));
}
}  // namespace

int registerCollation(sqlite3* db) {
    return sqlite3_create_collation_v2(db, kNoCaseCollation, SQLITE_UTF8, nullptr, noCaseCompare, nullptr);
}

}  // namespace detail
}  // namespace tv::storage
