#pragma once
// A temporary folder for a benchmark's databases and files, made on first
// use and removed with everything in it when the run ends.
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace tv::bench {

class Folder {
public:
    explicit Folder(const std::string& name) {
        std::string tmpl = "/tmp/tv_" + name + "_XXXXXX";
        path = mkdtemp(tmpl.data());
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    std::filesystem::path path;
};

}  // namespace tv::bench
