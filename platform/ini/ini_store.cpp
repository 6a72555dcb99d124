#include "platform/ini/ini_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tv {

namespace fs = std::filesystem;
using Edit = detail::IniEdit;

struct detail::IniEdit {
    enum Kind { Write, RemoveKey, RemoveSection } kind;
    std::string section;
    std::string key;
    std::string value;
};

namespace {

constexpr std::string_view kBlanks = " \t\r\f\v";

std::string_view trim(std::string_view s) {
    auto b = s.find_first_not_of(kBlanks);
    if (b == std::string_view::npos) return {};
    auto e = s.find_last_not_of(kBlanks);
    return s.substr(b, e - b + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// One line of the file as the store sees it; the text itself is kept so
// that lines the store does not change are written back as they were.
struct Parsed {
    enum Kind { Blank, Comment, Section, Key, Other } kind = Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // raw value text, trimmed (keys only)
};

Parsed classify(std::string_view line) {
    if (line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);  // a BOM some editors add
    std::string_view t = trim(line);
    if (t.empty()) return {Parsed::Blank, {}, {}};
    if (t.front() == ';' || t.front() == '#') return {Parsed::Comment, {}, {}};
    if (t.front() == '[') {
        auto close = t.find(']');
        if (close != std::string_view::npos) return {Parsed::Section, trim(t.substr(1, close - 1)), {}};
        return {Parsed::Other, {}, {}};
    }
    auto eq = t.find('=');
    if (eq == std::string_view::npos) return {Parsed::Other, {}, {}};
    return {Parsed::Key, trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

bool isQuote(char c) { return c == '"' || c == '\''; }

// As the classic functions read it: blanks around the value dropped and one
// pair of matching quotes around it removed.
std::string decodeValue(std::string_view raw) {
    if (raw.size() >= 2 && isQuote(raw.front()) && raw.front() == raw.back())
        return std::string(raw.substr(1, raw.size() - 2));
    return std::string(raw);
}

// Quotes a value that the reading rule above would otherwise change, so that
// every value reads back exactly as written.
std::string encodeValue(std::string_view v) {
    bool edgeBlank = !v.empty() && (kBlanks.find(v.front()) != std::string_view::npos ||
                                    kBlanks.find(v.back()) != std::string_view::npos);
    bool quoted = v.size() >= 2 && isQuote(v.front()) && v.front() == v.back();
    if (edgeBlank || quoted) return "\"" + std::string(v) + "\"";
    return std::string(v);
}

struct Document {
    std::vector<std::string> lines;
    bool crlf = false;
};

Document parseDocument(const std::string& content) {
    Document d;
    std::size_t pos = 0;
    while (pos < content.size()) {
        auto nl = content.find('\n', pos);
        std::string line = content.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            if (d.lines.empty()) d.crlf = true;
        }
        d.lines.push_back(std::move(line));
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return d;
}

std::string render(const Document& d) {
    std::string out;
    const char* eol = d.crlf ? "\r\n" : "\n";
    for (const auto& l : d.lines) {
        out += l;
        out += eol;
    }
    return out;
}

// Index of the first header of `section`, or -1.
long findSection(const Document& d, std::string_view section) {
    for (std::size_t i = 0; i < d.lines.size(); ++i) {
        Parsed p = classify(d.lines[i]);
        if (p.kind == Parsed::Section && sameName(p.name, section)) return static_cast<long>(i);
    }
    return -1;
}

// One past the last line that belongs to the section whose header is at `s`.
std::size_t sectionEnd(const Document& d, std::size_t s) {
    std::size_t e = s + 1;
    while (e < d.lines.size() && classify(d.lines[e]).kind != Parsed::Section) ++e;
    return e;
}

std::optional<std::string> lookup(const Document& d, std::string_view section, std::string_view key) {
    long s = findSection(d, section);
    if (s < 0) return std::nullopt;
    std::size_t e = sectionEnd(d, static_cast<std::size_t>(s));
    for (std::size_t i = static_cast<std::size_t>(s) + 1; i < e; ++i) {
        Parsed p = classify(d.lines[i]);
        if (p.kind == Parsed::Key && sameName(p.name, key)) return decodeValue(p.value);
    }
    return std::nullopt;
}

// Applies an edit; false when the document did not change.
bool apply(Document& d, const Edit& edit);

std::string errnoText(const std::string& what, const fs::path& p) {
    return what + " " + p.string() + ": " + std::strerror(errno);
}

struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

bool readWhole(const fs::path& p, std::string& out, std::string& error) {
    out.clear();
    int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;  // no file yet: an empty store
        error = errnoText("cannot open", p);
        return false;
    }
    Fd guard(fd);
    char buf[8192];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errnoText("cannot read", p);
            return false;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string validate(const Edit& e) {
    auto hasBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    if (trim(e.section).empty()) return "empty section name";
    if (hasBreak(e.section) || e.section.find(']') != std::string::npos)
        return "section name \"" + e.section + "\" cannot be kept in the file";
    if (e.kind == Edit::RemoveSection) return {};
    std::string_view k = trim(e.key);
    if (k.empty()) return "empty key name";
    if (hasBreak(e.key) || e.key.find('=') != std::string::npos || k.front() == '[' || k.front() == ';' ||
        k.front() == '#')
        return "key name \"" + e.key + "\" cannot be kept in the file";
    if (e.kind == Edit::Write && hasBreak(e.value)) return "a value cannot hold a line break";
    return {};
}

bool apply(Document& d, const Edit& edit) {
    std::string_view section = trim(edit.section);
    std::string_view key = trim(edit.key);
    long found = findSection(d, section);
    switch (edit.kind) {
    case Edit::Write: {
        std::string line = std::string(key) + "=" + encodeValue(edit.value);
        if (found < 0) {
            if (!d.lines.empty() && classify(d.lines.back()).kind != Parsed::Blank) d.lines.emplace_back();
            d.lines.push_back("[" + std::string(section) + "]");
            d.lines.push_back(std::move(line));
            return true;
        }
        std::size_t s = static_cast<std::size_t>(found);
        std::size_t e = sectionEnd(d, s);
        std::size_t insertAt = s + 1;
        for (std::size_t i = s + 1; i < e; ++i) {
            Parsed p = classify(d.lines[i]);
            if (p.kind != Parsed::Key) continue;
            if (sameName(p.name, key)) {
                if (decodeValue(p.value) == edit.value) return false;
                d.lines[i] = std::string(p.name) + "=" + encodeValue(edit.value);  // keeps the key's spelling
                return true;
            }
            insertAt = i + 1;
        }
        d.lines.insert(d.lines.begin() + static_cast<long>(insertAt), std::move(line));
        return true;
    }
    case Edit::RemoveKey: {
        if (found < 0) return false;
        bool changed = false;
        std::size_t s = static_cast<std::size_t>(found);
        std::size_t e = sectionEnd(d, s);
        for (std::size_t i = e; i-- > s + 1;) {
            Parsed p = classify(d.lines[i]);
            if (p.kind == Parsed::Key && sameName(p.name, key)) {
                d.lines.erase(d.lines.begin() + static_cast<long>(i));
                changed = true;
            }
        }
        return changed;
    }
    case Edit::RemoveSection: {
        bool changed = false;
        for (long s = found; s >= 0; s = findSection(d, section)) {
            std::size_t e = sectionEnd(d, static_cast<std::size_t>(s));
            // Comments just above the next section belong to it.
            while (e > static_cast<std::size_t>(s) + 1 && e < d.lines.size() &&
                   classify(d.lines[e - 1]).kind == Parsed::Comment)
                --e;
            d.lines.erase(d.lines.begin() + s, d.lines.begin() + static_cast<long>(e));
            changed = true;
        }
        return changed;
    }
    }
    return false;
}

}  // namespace

fs::path IniStore::defaultPath() {
    fs::path base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home && *home ? home : "/tmp") / ".config";
    }
    return base / "talvor" / "talvor.INI";
}

IniStore& IniStore::instance() {
    static IniStore store(defaultPath());
    return store;
}

IniStore::IniStore(fs::path file) : path_(std::move(file)) {}

// The bookkeeping entry counts the runs that ended normally: set-up reads
// it, shut-down writes it back one higher. A value that is not a count (left
// by something else) is written back unchanged.
void IniStore::setUp() {
    removeLeftovers();
    bookkeeping_ = find(kBookkeepingSection, kBookkeepingKey);
    std::lock_guard g(mutex_);
    setUp_ = true;
}

void IniStore::endOfRun() {}

// A write interrupted between creating its temporary file and renaming it
// (the program killed, the machine off) leaves ".talvor.INI.XXXXXX" behind.
// Under the write lock no other copy is writing, so every such file is a
// leftover; when another copy holds the lock, the next start cleans up.
std::size_t IniStore::removeLeftovers() {
    std::lock_guard g(mutex_);
    const fs::path dir = path_.has_parent_path() ? path_.parent_path() : fs::path(".");
    const std::string name = path_.filename().string();
    int lfd = ::open((dir / (name + ".lock")).c_str(), O_RDWR | O_CLOEXEC);
    if (lfd < 0) return 0;  // nothing was ever written here
    Fd lockGuard(lfd);
    if (::flock(lfd, LOCK_EX | LOCK_NB) != 0) return 0;
    const std::string prefix = "." + name + ".";
    std::size_t removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string f = it->path().filename().string();
        if (f.size() != prefix.size() + 6 || f.compare(0, prefix.size(), prefix) != 0) continue;
        bool random = true;
        for (std::size_t i = prefix.size(); i < f.size(); ++i)
            random = random && std::isalnum(static_cast<unsigned char>(f[i]));
        std::error_code e2;
        if (!random || !it->is_regular_file(e2) || it->is_symlink(e2)) continue;
        if (::unlink(it->path().c_str()) == 0) ++removed;
    }
    return removed;
}

bool IniStore::shutDown() {
    std::string value = "1";
    if (bookkeeping_) {
        unsigned long long n = 0;
        const std::string& v = *bookkeeping_;
        auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
        value = (ec == std::errc() && end == v.data() + v.size() && !v.empty()) ? std::to_string(n + 1) : v;
    }
    bool ok = write(kBookkeepingSection, kBookkeepingKey, value);
    std::lock_guard g(mutex_);
    setUp_ = false;
    bookkeeping_.reset();
    return ok;
}

bool IniStore::isSetUp() const {
    std::lock_guard g(mutex_);
    return setUp_;
}

std::optional<std::string> IniStore::find(std::string_view section, std::string_view key) const {
    std::lock_guard g(mutex_);
    std::string content, error;
    // The file is only ever replaced whole, so a read needs no lock.
    if (!readWhole(path_, content, error)) {
        lastError_ = error;
        return std::nullopt;
    }
    return lookup(parseDocument(content), trim(section), trim(key));
}

std::string IniStore::read(std::string_view section, std::string_view key, std::string_view defaultValue) const {
    auto v = find(section, key);
    return v ? *v : std::string(defaultValue);
}

std::vector<std::string> IniStore::sections() const {
    std::lock_guard g(mutex_);
    std::string content, error;
    if (!readWhole(path_, content, error)) lastError_ = error;
    Document d = parseDocument(content);
    std::vector<std::string> out;
    for (const auto& l : d.lines) {
        Parsed p = classify(l);
        if (p.kind != Parsed::Section) continue;
        bool seen = false;
        for (const auto& o : out) seen = seen || sameName(o, p.name);
        if (!seen) out.emplace_back(p.name);
    }
    return out;
}

std::vector<std::string> IniStore::keys(std::string_view section) const {
    std::lock_guard g(mutex_);
    std::string content, error;
    if (!readWhole(path_, content, error)) lastError_ = error;
    Document d = parseDocument(content);
    std::vector<std::string> out;
    long s = findSection(d, trim(section));
    if (s < 0) return out;
    std::size_t e = sectionEnd(d, static_cast<std::size_t>(s));
    for (std::size_t i = static_cast<std::size_t>(s) + 1; i < e; ++i) {
        Parsed p = classify(d.lines[i]);
        if (p.kind != Parsed::Key) continue;
        bool seen = false;
        for (const auto& o : out) seen = seen || sameName(o, p.name);
        if (!seen) out.emplace_back(p.name);
    }
    return out;
}

bool IniStore::write(std::string_view section, std::string_view key, std::string_view value) {
    return change(Edit{Edit::Write, std::string(section), std::string(key), std::string(value)});
}

bool IniStore::removeKey(std::string_view section, std::string_view key) {
    return change(Edit{Edit::RemoveKey, std::string(section), std::string(key), {}});
}

bool IniStore::removeSection(std::string_view section) {
    return change(Edit{Edit::RemoveSection, std::string(section), {}, {}});
}

std::string IniStore::lastError() const {
    std::lock_guard g(mutex_);
    return lastError_;
}

void IniStore::setError(std::string text) const { lastError_ = std::move(text); }

bool IniStore::change(const Edit& edit) {
    std::lock_guard g(mutex_);
    if (std::string bad = validate(edit); !bad.empty()) {
        setError(bad);
        return false;
    }
    const fs::path dir = path_.has_parent_path() ? path_.parent_path() : fs::path(".");
    const std::string name = path_.filename().string();

    // Removing from a store that does not exist changes nothing and must not create it.
    if (edit.kind != Edit::Write && !fs::exists(path_)) return true;

    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        setError("cannot create folder " + dir.string() + ": " + ec.message());
        return false;
    }

    // Serialises the read-modify-write with other running copies.
    const fs::path lockPath = dir / (name + ".lock");
    int lfd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lfd < 0) {
        setError(errnoText("cannot open", lockPath));
        return false;
    }
    Fd lockGuard(lfd);
    while (::flock(lfd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            setError(errnoText("cannot lock", lockPath));
            return false;
        }
    }

    std::string content, error;
    if (!readWhole(path_, content, error)) {
        setError(error);
        return false;
    }
    Document doc = parseDocument(content);
    if (!apply(doc, edit)) return true;
    const std::string out = render(doc);

    std::string tmpl = (dir / ("." + name + ".XXXXXX")).string();
    int tfd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (tfd < 0) {
        setError(errnoText("cannot create a temporary file in", dir));
        return false;
    }
    bool ok;
    {
        Fd tmpGuard(tfd);
        struct stat st{};
        mode_t mode = (::stat(path_.c_str(), &st) == 0) ? (st.st_mode & 07777) : 0600;
        ok = ::fchmod(tfd, mode) == 0 && writeAll(tfd, out) && ::fsync(tfd) == 0;
        if (!ok) setError(errnoText("cannot write", tmpl));
    }
    if (ok && ::rename(tmpl.c_str(), path_.c_str()) != 0) {
        setError(errnoText("cannot replace", path_));
        ok = false;
    }
    if (!ok) {
        ::unlink(tmpl.c_str());
        return false;
    }
    // The rename itself must reach the disk too.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

}  // namespace tv
