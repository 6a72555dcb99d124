#include "platform/storage/server/store_setting.h"

#include <libpq-fe.h>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace tv::storage::server {

std::optional<std::string> networkFileSystemName(long fsType) {
    switch (static_cast<unsigned long>(fsType) & 0xFFFFFFFFUL) {
    case 0x6969UL: return "NFS";
    case 0x517BUL:                 // smbfs
    case 0xFF534D42UL:             // cifs
    case 0xFE534D42UL: return "SMB/CIFS";   // smb2
    case 0x564C: return "NCP";
    case 0x73757245UL: return "Coda";
    case 0x47504653UL: return "GPFS";
    case 0x6B414653UL: return "AFS";
    case 0x00C36400UL: return "Ceph";
    case 0x01161970UL: return "GFS2";
    case 0x0BD00BD0UL: return "Lustre";
    default: return std::nullopt;
    }
}

std::optional<std::string> networkFileSystemOf(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec) p = path;
    // A file not made yet goes where its folder is.
    while (!p.empty() && !std::filesystem::exists(p, ec)) {
        std::filesystem::path up = p.parent_path();
        if (up == p) break;
        p = up;
    }
    struct statfs s {};
    if (::statfs(p.c_str(), &s) != 0) return std::nullopt;
    return networkFileSystemName(static_cast<long>(s.f_type));
}

std::string networkShareText(const std::filesystem::path& db, const std::string& kind,
                             std::string_view settingName) {
    return "El archivo " + db.string() + " está en una unidad de red (" + kind +
           "): allí no se puede compartir con seguridad entre varias máquinas y se podría dañar. "
           "Guarde las tablas en un servidor PostgreSQL: indique el servidor en el ajuste " +
           std::string(settingName) + ".";
}

bool conninfoHasPassword(const std::string& conninfo) {
    char* err = nullptr;
    PQconninfoOption* opts = PQconninfoParse(conninfo.c_str(), &err);
    if (err) PQfreemem(err);
    bool has = false;
    for (PQconninfoOption* o = opts; o && o->keyword; ++o)
        if (std::string_view(o->keyword) == "password" && o->val && *o->val) has = true;
    if (opts) PQconninfoFree(opts);
    return has;
}

std::optional<std::string> passwordExposure(const std::string& conninfo, const std::filesystem::path& file,
                                            std::string_view settingName) {
    if (!conninfoHasPassword(conninfo)) return std::nullopt;
    struct stat s {};
    if (::stat(file.c_str(), &s) == 0 && (s.st_mode & (S_IRWXG | S_IRWXO)) == 0) return std::nullopt;
    return "El ajuste " + std::string(settingName) + " lleva la contraseña del servidor y el archivo " +
           file.string() +
           " lo pueden leer otros usuarios. Quite la contraseña del ajuste y guárdela en ~/.pgpass "
           "(permisos 0600), o deje el archivo solo para su dueño (chmod 600).";
}

}  // namespace tv::storage::server
