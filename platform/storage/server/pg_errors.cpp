#include "platform/storage/server/pg_errors.h"

#include <charconv>

namespace tv::storage::server {

namespace {

// libpq's messages end with a line break; the words alone read better.
std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r')) s.remove_suffix(1);
    while (!s.empty() && (s.front() == ' ')) s.remove_prefix(1);
    return s;
}

}  // namespace

bool isConnectionLoss(std::string_view sqlstate) {
    return sqlstate.substr(0, 2) == "08" || sqlstate == "57P01" || sqlstate == "57P02" || sqlstate == "57P03";
}

std::string unreachableText(const std::string& server, std::string_view detail) {
    std::string t = "No se pudo conectar con el servidor de datos " + server;
    detail = trimmed(detail);
    if (!detail.empty()) t += ": " + std::string(detail);
    return t;
}

std::string lostText(const std::string& server, std::string_view detail) {
    std::string t = "Se perdió la conexión con el servidor de datos " + server +
                    "; lo que estaba a medias no se guardó";
    detail = trimmed(detail);
    if (!detail.empty()) t += " (" + std::string(detail) + ")";
    return t;
}

Status statusForSqlState(std::string_view sqlstate, std::string_view message, std::string_view constraint,
                         const std::string& server) {
    message = trimmed(message);
    if (sqlstate == "23505") {
        // The same words as on the file; the index the server named is the
        // detail (keyIndexFromIndexName).
        Status st = Status::make(kCreatesDuplicateKey);
        st.detail = std::string(constraint);
        return st;
    }
    if (sqlstate == "55P03" || sqlstate == "40001" || sqlstate == "40P01" || sqlstate == "57014")
        return Status::make(kLockTimeout);
    if (sqlstate == "53100") return Status::make(kDiskFull, std::string(errorText(kDiskFull)) + " del servidor " + server);
    if (sqlstate == "25006" || sqlstate == "42501") return Status::make(kAccessDenied);
    if (sqlstate == "XX001" || sqlstate == "XX002") return Status::make(kKeyFileMustBeRebuilt, std::string(message));
    if (isConnectionLoss(sqlstate)) return Status::make(kFileSystemError, lostText(server, message));
    if (sqlstate == "22021" || sqlstate == "22P05")
        return Status::make(kFileSystemError, "Texto que no es UTF-8 válido: el servidor " + server + " no lo guarda");
    return Status::make(kFileSystemError, message.empty() ? std::string("SQLSTATE ") + std::string(sqlstate)
                                                          : std::string(message));
}

int keyIndexFromIndexName(std::string_view indexName, std::string_view table) {
    const std::string prefix = "tv_" + std::string(table) + "_";
    if (indexName.size() <= prefix.size() || indexName.substr(0, prefix.size()) != prefix) return -1;
    std::string_view digits = indexName.substr(prefix.size());
    int k = -1;
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), k);
    if (ec != std::errc() || p != digits.data() + digits.size()) return -1;
    return k;
}

}  // namespace tv::storage::server
