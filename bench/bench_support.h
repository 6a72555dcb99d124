#pragma once
// What the benchmarks share: a temporary folder for their databases,
// removed at the end of the run, and quiet offscreen windows.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include <QString>
#include <QtGlobal>

namespace tv::bench {

struct Folder {
    std::filesystem::path path;
    explicit Folder(const char* prefix) {
        std::string tmpl = std::string("/tmp/") + prefix + "_XXXXXX";
        path = mkdtemp(tmpl.data());
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
};

// The offscreen platform says what it cannot do (raise a window); that says
// nothing about what is measured.
inline void quietOffscreen(QtMsgType, const QMessageLogContext&, const QString& msg) {
    if (msg.startsWith(QStringLiteral("This plugin does not support"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
}

}  // namespace tv::bench
