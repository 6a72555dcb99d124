#pragma once
// Where this station keeps its tables: talvor.db in the working folder, or
// the PostgreSQL server named by the setting Servidor in the section [Datos]
// of talvor.INI (a libpq connection string, "host=almacen dbname=talvor
// user=talvor"); the environment variable TALVOR_SERVER, when set, names the
// server instead (scripts). A server's password belongs in ~/.pgpass: a
// setting that carries one in a file others may read is refused.
#include <filesystem>
#include <optional>
#include <string>

namespace tv::app {

inline constexpr const char* kServerSection = "Datos";
inline constexpr const char* kServerKey = "Servidor";
inline constexpr const char* kServerVariable = "TALVOR_SERVER";

struct StoreChoice {
    std::string server;                // blank: talvor.db
    std::optional<std::string> refusal;   // why the setting cannot be used (the program stops)
};

// `setting`: the INI's value (nullopt when missing), read from `iniFile`;
// `variable`: TALVOR_SERVER's value (null when unset).
StoreChoice ChooseStore(const std::optional<std::string>& setting, const char* variable,
                        const std::filesystem::path& iniFile);

}  // namespace tv::app
