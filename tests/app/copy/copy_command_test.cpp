// The command's words and exit status where no server is needed: what it
// does not understand, what it refuses before connecting, a server it
// cannot reach, and the password kept out of sight.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "app/copy/copy_command.h"
#include "tests/app/copy/copy_fixture.h"
#include "tests/support/scratch_dir.h"

namespace tv::copy {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int code = -1;
    std::string out, err;
};

Outcome run(const std::vector<std::string>& args, std::optional<std::string> env = std::nullopt) {
    std::ostringstream out, err;
    Outcome r;
    r.code = runCopyCommand(args, env, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

// No server answers here: a socket folder that does not exist.
const std::string kNowhere = "host=/nonexistent/talvor port=5 dbname=talvor user=talvor";

TEST(CopyCommand, ACommandLineItDoesNotUnderstandGetsTheUsage) {
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> env;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{}, {}, "Uso:"},
        {{"copiar"}, {}, "no se entiende «copiar»"},
        {{"a-servidor", "a.db", kNowhere, "de más"}, {}, "sobran argumentos"},
        {{"a-servidor", "a.db"}, {}, "falta la conexión"},
        {{"a-archivo"}, std::string(), "falta la conexión"},
        {{"a-archivo", "host=x password=se cret", "n.db"}, {}, "no está bien escrita"},
    };
    for (const Case& c : cases) {
        const Outcome r = run(c.args, c.env);
        EXPECT_EQ(r.code, 2) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("talvor-copiar a-servidor [talvor.db]"), std::string::npos);
        EXPECT_EQ(r.err.find("cret"), std::string::npos) << "no part of a password";
    }
    EXPECT_EQ(run({"--help"}).code, 0);
}

TEST(CopyCommand, WhatCannotBeCopiedIsRefusedBeforeConnecting) {
    tv::test::ScratchDir dir;
    tv::test::WorkingDir here(dir.path());
    std::ofstream("texto.db") << "no soy una base de datos, aunque me llame así";
    std::ofstream("vacio.db");
    std::ofstream("existe.db") << "mío";
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"a-servidor", kNowhere}, "No existe el archivo talvor.db"},
        {{"a-servidor", "vacio.db", kNowhere}, "está vacío"},
        {{"a-servidor", "texto.db", kNowhere}, "texto.db no es una base de datos"},
        {{"a-archivo", kNowhere, "existe.db"}, "El archivo existe.db ya existe: la copia no lo sobrescribe"},
        {{"a-archivo", kNowhere, "no-hay/nuevo.db"}, "No existe la carpeta no-hay"},
    };
    for (const Case& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.code, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    std::ifstream in("existe.db");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "mío");
}

// The server's name is said, its password never, whichever way it is written.
TEST(CopyCommand, AServerItCannotReachIsNamedWithoutItsPassword) {
    tv::test::ScratchDir dir;
    tv::test::WorkingDir here(dir.path());
    test::fillDatabase("talvor.db");
    const std::string withPassword = kNowhere + " password=sekrit-7";
    Outcome r = run({"a-servidor", withPassword});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("No se pudo conectar con el servidor de datos «/nonexistent/talvor:5/talvor»"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("No se copió nada al servidor."), std::string::npos);
    EXPECT_NE(r.err.find("la contraseña escrita en la orden la pueden ver otros usuarios"), std::string::npos);
    EXPECT_EQ(r.err.find("sekrit"), std::string::npos) << r.err;

    // From TALVOR_SERVER, into a new file: nothing is made.
    r = run({"a-archivo", "nuevo.db"}, withPassword);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("No se creó nuevo.db."), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("contraseña escrita en la orden"), std::string::npos);
    EXPECT_EQ(r.err.find("sekrit"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists("nuevo.db"));
}

TEST(CopyCommand, HidePasswordCoversEveryWayOfWritingIt) {
    EXPECT_EQ(hidePassword("falló sekrit y sekrit", "host=a password=sekrit"), "falló ******** y ********");
    EXPECT_EQ(hidePassword("falló s3 aquí", "postgresql://talvor:s3@almacen/talvor"), "falló ******** aquí");
    EXPECT_EQ(hidePassword("falló 'a b'", "host=a password='a b'"), "falló '********'");
    EXPECT_EQ(hidePassword("sin nada", "host=a"), "sin nada");
}

}  // namespace
}  // namespace tv::copy
