// The user's manual as the build makes it: a sound PDF that names every
// item of the frame's menus under its menu, explains every message the
// program shows and holds the pictures of the windows; and the program,
// started in a folder without a manual, putting it there.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/frame/main_frame.h"
#include "app/help/manual_file.h"
#include "app/users/users.h"
#include "movements/common/document_form.h"
#include "movements/common/folio.h"
#include "movements/common/lines.h"
#include "movements/counts/count_adjustment.h"
#include "movements/issues/issue_posting.h"
#include "platform/errors/error_reporter.h"
#include "tests/support/scratch_dir.h"

namespace tv::app {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// What a command prints, and its exit status.
struct Output {
    std::string text;
    int status = -1;
};
Output run(const std::string& command) {
    Output out;
    FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.text.append(buf, n);
    const int st = ::pclose(p);
    out.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

// Without the accelerator marks.
std::string plain(std::string text) {
    std::erase(text, '&');
    return text;
}

// The manual's text as one line: runs of blanks and line ends are one
// blank, ligatures are their letters.
const std::string& manualText() {
    static const std::string text = [] {
        std::string t = run("pdftotext -enc UTF-8 " + quoted(TALVOR_MANUAL) + " -").text;
        for (const auto& [lig, letters] : std::map<std::string, std::string>{{"\xEF\xAC\x81", "fi"}, {"\xEF\xAC\x82", "fl"}})
            for (std::size_t at; (at = t.find(lig)) != std::string::npos;) t.replace(at, lig.size(), letters);
        std::string out;
        bool blank = false;
        for (char c : t) {
            const bool space = c == ' ' || c == '\n' || c == '\t' || c == '\f' || c == '\r';
            if (space) {
                blank = !out.empty();
                continue;
            }
            if (blank) out += ' ';
            blank = false;
            out += c;
        }
        return out;
    }();
    return text;
}

bool mentions(const std::string& what) { return manualText().find(what) != std::string::npos; }

TEST(ManualBuild, IsASoundPdfOfManyPages) {
    ASSERT_TRUE(fs::exists(TALVOR_MANUAL)) << "the build makes " << TALVOR_MANUAL;
    const Output check = run("qpdf --check " + quoted(TALVOR_MANUAL) + " 2>&1");
    EXPECT_EQ(check.status, 0) << check.text;
    const Output info = run("pdfinfo " + quoted(TALVOR_MANUAL));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(info.text, m, std::regex("Pages:\\s+(\\d+)"))) << info.text;
    EXPECT_GE(std::stoi(m[1]), 20) << "a manual, not a stub";
    EXPECT_TRUE(mentions("Manual del usuario"));
}

// The chapters as written, each file's text.
std::vector<std::string> chapters() {
    std::vector<fs::path> files;
    for (const fs::directory_entry& e : fs::directory_iterator(TALVOR_MANUAL_SOURCES))
        if (e.path().extension() == ".md") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<std::string> out;
    for (const fs::path& f : files) {
        std::ifstream in(f);
        std::stringstream s;
        s << in.rdbuf();
        out.push_back(s.str());
    }
    return out;
}

// Every paragraph and list item of the chapters is on the pages (the
// beginning of it, as printed: without the Markdown marks).
TEST(ManualBuild, HoldsEveryParagraphOfItsChapters) {
    const std::regex marks(R"(\*\*|`|^#+\s*|^\s*(-|\d+\.)\s+)");
    std::size_t checked = 0;
    for (const std::string& chapter : chapters()) {
        std::istringstream lines(chapter);
        std::string paragraph;
        auto check = [&] {
            std::string text = std::regex_replace(paragraph, marks, "");
            paragraph.clear();
            text.erase(0, text.find_first_not_of(' '));
            if (text.empty() || text[0] == '!' || text[0] == '|') return;
            // Its first words, blanks as the manual's text has them.
            std::string words;
            std::istringstream in(text);
            for (std::string w; in >> w && words.size() < 40;) words += (words.empty() ? "" : " ") + w;
            ++checked;
            EXPECT_TRUE(mentions(words)) << "missing from the PDF: \"" << words << "\"";
        };
        for (std::string line; std::getline(lines, line);) {
            const bool item = std::regex_search(line, std::regex(R"(^\s*(-|\d+\.)\s)"));
            const bool code = line.rfind("    ", 0) == 0 && !std::regex_search(line, std::regex(R"(^\s+\S*!\[)"));
            if (line.find_first_not_of(" ") == std::string::npos || item || code) check();
            if (code) continue;
            if (!paragraph.empty()) paragraph += ' ';
            paragraph += line;
        }
        check();
    }
    EXPECT_GT(checked, 100u);
}

// Each item is named with the menus it is under ("Captura → Entradas de
// almacén"), so an item added to the frame later fails here until the
// manual explains it.
TEST(ManualBuild, NamesEveryMenuItemUnderItsMenu) {
    std::map<int, const FrameMenuItem*> byControl;
    for (const FrameMenuItem& m : FrameMenu()) byControl[m.control] = &m;
    for (const FrameMenuItem& m : FrameMenu()) {
        std::string path = plain(m.text);
        for (int parent = m.parent; parent != 0; parent = byControl.at(parent)->parent)
            path = plain(byControl.at(parent)->text) + " → " + path;
        EXPECT_TRUE(mentions(path)) << "the manual never names \"" << path << "\"";
    }
}

// The manual's own sources say which pictures it shows; every one is in
// the PDF, drawn by the program.
TEST(ManualBuild, HoldsEveryPictureItsChaptersShow) {
    std::set<std::string> named;
    std::size_t references = 0;
    const std::regex picture(R"(!\[[^\]]+\]\(\s*([^)\s]+))");
    for (const std::string& text : chapters()) {
        for (auto it = std::sregex_iterator(text.begin(), text.end(), picture); it != std::sregex_iterator(); ++it) {
            named.insert((*it)[1]);
            ++references;
        }
    }
    EXPECT_GE(named.size(), 20u) << "the main windows";
    const Output list = run("pdfimages -list " + quoted(TALVOR_MANUAL));
    ASSERT_EQ(list.status, 0);
    std::size_t images = 0;
    std::istringstream lines(list.text);
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line, std::regex("^\\s*\\d+\\s+\\d+\\s+image\\s"))) ++images;
    EXPECT_EQ(images, references) << list.text;
}

// Every numbered message by its title, and the program's own plain
// messages by their captions and texts.
TEST(ManualBuild, ExplainsEveryMessage) {
    for (const MessageDef& m : standardMessageTable())
        EXPECT_TRUE(mentions(m.title)) << "message " << m.number << " \"" << m.title << "\"";
    const char* plainMessages[] = {
        kLastAdministratorCaption, movements::kFolioCaption, movements::kForeignLineCaption,
        movements::kMissingArticleCaption, movements::counts::kMissingArticlesCaption,
        movements::issues::kShortStockText, "Acceso negado",
        "Dato no válido", "Folio en uso", "Cantidad no válida", "Costo no válido", "Valor demasiado grande",
        "Error al registrar", "Orden de compra", "El artículo ya está en la lista", "Generación terminada",
        "Cierre de período", "Error al Abrir Vista", "Conversión a Excel", "Hoja de cálculo",
        "No search criteria specified.", "No se encontraron más coincidencias.", "Select a field first.",
        "Busquedas - Seteos", "Error inesperado", "Consulta del manual", "Disco lleno",
    };
    for (const char* text : plainMessages) EXPECT_TRUE(mentions(text)) << "\"" << text << "\"";
}

// ---------------------------------------------------------------- the program

struct Program {
    pid_t pid = -1;
    ~Program() { stop(); }
    void stop() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        int st;
        ::waitpid(pid, &st, 0);
        pid = -1;
    }
};

// Starts talvor headless in `folder`, with its settings and lock in the
// scratch folder.
void start(Program& r, const fs::path& folder, const fs::path& scratch) {
    const fs::path runtime = scratch / ("run-" + folder.filename().string());
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    r.pid = ::fork();
    if (r.pid == 0) {
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (scratch / "cfg").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (::chdir(folder.c_str()) != 0) ::_exit(126);
        const int fd = ::open((scratch / (folder.filename().string() + ".out")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDOUT_FILENO);
        ::dup2(fd, STDERR_FILENO);
        ::execl(TALVOR_BIN, TALVOR_BIN, static_cast<char*>(nullptr));
        ::_exit(127);
    }
}

std::string contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ManualBuild, TheProgramPutsItsManualIntoAFolderWithoutOneAndKeepsTheUsers) {
    test::ScratchDir dir;
    const std::string built = contents(TALVOR_MANUAL);
    ASSERT_FALSE(built.empty());

    fs::create_directory(dir.file("new"));
    Program fresh;
    const auto began = Clock::now();
    start(fresh, dir.file("new"), dir.path());
    const fs::path placed = dir.file("new") / "manual.pdf";
    bool there = false;
    for (auto deadline = began + std::chrono::seconds(60); !there && Clock::now() < deadline;
         std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        there = fs::exists(placed) && contents(placed) == built;
    const auto took = Clock::now() - began;
    fresh.stop();
    ASSERT_TRUE(there) << "the built manual in the working folder";

    // A folder with the user's own manual: after as long again (and more),
    // it is still the user's.
    fs::create_directory(dir.file("own"));
    std::ofstream(dir.file("own") / "manual.pdf") << "mine";
    Program own;
    start(own, dir.file("own"), dir.path());
    std::this_thread::sleep_for(std::max<Clock::duration>(took * 3, std::chrono::seconds(2)));
    int status = 0;
    EXPECT_EQ(::waitpid(own.pid, &status, WNOHANG), 0) << "still running";
    EXPECT_TRUE(fs::exists(dir.file("own") / "talvor.db")) << "it started";
    EXPECT_EQ(contents(dir.file("own") / "manual.pdf"), "mine");
}

}  // namespace
}  // namespace tv::app
