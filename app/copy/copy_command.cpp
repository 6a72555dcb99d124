#include "app/copy/copy_command.h"

#include <libpq-fe.h>

namespace tv::copy {

namespace {

constexpr const char* kUsage =
    "Uso:\n"
    "  talvor-copiar a-servidor [talvor.db] ['conexión']\n"
    "      copia talvor.db (todas sus tablas, claves y contadores) a un servidor PostgreSQL\n"
    "      vacío, en una sola operación\n"
    "  talvor-copiar a-archivo ['conexión'] [nuevo.db]\n"
    "      copia las tablas del servidor a un archivo nuevo (no sobrescribe ninguno)\n"
    "\n"
    "La conexión se escribe como 'host=servidor port=5432 dbname=talvor user=talvor'; sin ella\n"
    "se toma la variable TALVOR_SERVER. La contraseña va en ~/.pgpass, no en la orden.\n";

constexpr const char* kDefaultFile = "talvor.db";

bool startsWith(const std::string& s, std::string_view p) { return s.rfind(p, 0) == 0; }

bool looksLikeConninfo(const std::string& s) {
    return startsWith(s, "postgresql://") || startsWith(s, "postgres://") || s.find('=') != std::string::npos;
}

std::optional<std::string> passwordOf(const std::string& conninfo) {
    char* err = nullptr;
    PQconninfoOption* opts = PQconninfoParse(conninfo.c_str(), &err);
    if (err) PQfreemem(err);
    std::optional<std::string> pw;
    for (PQconninfoOption* o = opts; o && o->keyword; ++o)
        if (std::string_view(o->keyword) == "password" && o->val && *o->val) pw = o->val;
    if (opts) PQconninfoFree(opts);
    return pw;
}

bool parses(const std::string& conninfo) {
    char* err = nullptr;
    PQconninfoOption* opts = PQconninfoParse(conninfo.c_str(), &err);
    if (err) PQfreemem(err);
    if (opts) PQconninfoFree(opts);
    return opts != nullptr;
}

int usage(std::ostream& err, const std::string& what) {
    if (!what.empty()) err << "talvor-copiar: " << what << "\n\n";
    err << kUsage;
    return 2;
}

std::string thousands(int64_t n) {
    std::string d = std::to_string(n < 0 ? -n : n);
    for (int i = static_cast<int>(d.size()) - 3; i > 0; i -= 3) d.insert(static_cast<size_t>(i), ".");
    return n < 0 ? "-" + d : d;
}

void tell(std::ostream& out, const CopyReport& r, const std::string& to) {
    int64_t total = 0;
    for (const auto& [table, rows] : r.tables) {
        total += rows;
        if (rows > 0) out << "  " << table << ": " << thousands(rows) << "\n";
    }
    out << "Copiados " << thousands(total) << (total == 1 ? " registro" : " registros") << " de " << r.tables.size()
        << " tablas y " << r.counters << (r.counters == 1 ? " contador " : " contadores ") << to << ".\n";
    if (r.reservationsLeftOut > 0)
        out << "Registros reservados por formas que no los terminaron, que no se copiaron: "
            << thousands(r.reservationsLeftOut) << "; sus números no se vuelven a dar.\n";
}

}  // namespace

std::string hidePassword(std::string text, const std::string& conninfo) {
    const std::optional<std::string> pw = passwordOf(conninfo);
    if (!pw) return text;
    for (size_t at = text.find(*pw); at != std::string::npos; at = text.find(*pw, at + 8))
        text.replace(at, pw->size(), "********");
    return text;
}

int runCopyCommand(const std::vector<std::string>& args, const std::optional<std::string>& envServer,
                   std::ostream& out, std::ostream& err, const CopyStep& step) {
    if (args.empty()) return usage(err, "");
    const std::string& verb = args[0];
    if (verb == "-h" || verb == "--help" || verb == "ayuda") {
        out << kUsage;
        return 0;
    }
    const bool toServer = verb == "a-servidor";
    if (!toServer && verb != "a-archivo") return usage(err, "no se entiende «" + verb + "»");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (rest.size() > 2) return usage(err, "sobran argumentos");

    std::optional<std::string> conninfo;
    std::string file = kDefaultFile;
    if (rest.size() == 2) {
        conninfo = toServer ? rest[1] : rest[0];
        file = toServer ? rest[0] : rest[1];
    } else if (rest.size() == 1) {
        if (looksLikeConninfo(rest[0])) conninfo = rest[0];
        else file = rest[0];
    }
    const bool fromCommandLine = conninfo.has_value();
    if (!conninfo && envServer && !envServer->empty()) conninfo = envServer;
    if (!conninfo)
        return usage(err, "falta la conexión con el servidor (escríbala en la orden o en la variable TALVOR_SERVER)");
    if (file.empty()) return usage(err, "falta el nombre del archivo");
    // libpq's own words about a bad string may quote any part of it,
    // the password included.
    if (!parses(*conninfo))
        return usage(err, std::string("la conexión con el servidor no está bien escrita") +
                              (fromCommandLine ? "" : " (variable TALVOR_SERVER)"));
    if (fromCommandLine && passwordOf(*conninfo))
        err << "talvor-copiar: aviso: la contraseña escrita en la orden la pueden ver otros usuarios de este "
               "equipo; guárdela en ~/.pgpass\n";

    CopyReport report;
    storage::Status st = toServer ? copyToServer(file, *conninfo, report, step)
                                  : copyToFile(*conninfo, file, report, step);
    if (!st.ok()) {
        std::string text = st.text.empty() ? std::string(storage::errorText(st.code)) : st.text;
        err << "talvor-copiar: " << hidePassword(text, *conninfo) << "\n"
            << (toServer ? "No se copió nada al servidor.\n" : "No se creó " + file + ".\n");
        return 1;
    }
    tell(out, report, toServer ? std::string("al servidor") : "a " + file);
    return 0;
}

}  // namespace tv::copy
