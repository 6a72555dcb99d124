// Error texts, declarations and the no-case collation.
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
        // A rule of the table refusing the write says why in its own words.
        if (rc == SQLITE_CONSTRAINT_TRIGGER && msg && *msg) return Status::make(kFileSystemError, msg);
        break;
    default: break;
    }
    Status st = Status::make(kFileSystemError, sqliteWords(rc));
    st.detail = msg && *msg ? msg : sqlite3_errstr(rc);
    // A table or column that went away (a file changed by another program)
    // is named.
    if ((rc & 0xff) == SQLITE_ERROR)
        for (const auto& [english, spanish] : {std::pair<std::string_view, const char*>{"no such table: ", "no existe la tabla "},
                                               {"no such column: ", "no existe la columna "}})
            if (st.detail.starts_with(english)) st.text = spanish + st.detail.substr(english.size());
    return st;
}

std::string sqliteWords(int rc) {
    switch (rc & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return std::string(errorText(kKeyFileMustBeRebuilt));
    case SQLITE_FULL: return std::string(errorText(kDiskFull));
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return std::string(errorText(kLockTimeout));
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return std::string(errorText(kAccessDenied));
    case SQLITE_ERROR: return "el archivo de datos no acepta la instrucción";
    case SQLITE_IOERR: return "no se pudo leer o escribir el archivo de datos (se perdió el acceso al disco)";
    case SQLITE_CANTOPEN: return "no se pudo abrir el archivo de datos";
    case SQLITE_NOMEM: return "no queda memoria libre";
    case SQLITE_ABORT:
    case SQLITE_INTERRUPT: return "la operación se interrumpió";
    case SQLITE_PROTOCOL: return "falló el bloqueo del archivo de datos";
    case SQLITE_SCHEMA: return "la estructura del archivo de datos cambió";
    case SQLITE_TOOBIG: return "un valor es demasiado grande";
    case SQLITE_CONSTRAINT: return "un valor no cumple una regla de la tabla";
    case SQLITE_MISMATCH: return "un valor no es del tipo de su campo";
    case SQLITE_NOLFS: return "el archivo de datos es demasiado grande para este sistema";
    default: return "error del archivo de datos (código " + std::to_string(rc) + ")";
    }
}

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
