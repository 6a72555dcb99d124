// Error texts and declarations.
#include "platform/storage/storage.h"

#include <cerrno>
#include <mutex>
#include <string_view>
#include <utility>

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
    case kLockTimeout: return "Base de datos ocupada: otra estación no terminó de guardar a tiempo";
    case kDiskFull: return "Disco lleno: no queda espacio libre en el disco";
    default: return "Error en el archivo de datos";
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

namespace {
std::string serverInfo;
}  // namespace

void setDatabaseServer(const std::string& conninfo) {
    std::lock_guard<std::mutex> g(pathLock);
    serverInfo = conninfo;
}

std::string databaseServer() {
    std::lock_guard<std::mutex> g(pathLock);
    return serverInfo;
}

namespace detail {

std::string systemWords(int err) {
    switch (err) {
    case EACCES:
    case EPERM: return std::string(errorText(kAccessDenied));
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return std::string(errorText(kDiskFull));
    case EROFS: return "el disco es de solo lectura";
    case ENOENT:
    case ENOTDIR: return "la carpeta no existe";
    default: return "error del sistema (número " + std::to_string(err) + ")";
    }
}

}  // namespace detail
}  // namespace tv::storage
