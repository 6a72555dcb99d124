#pragma once
// A scratch folder of the benchmarks' own under /tmp, removed with it.
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace tv::bench {

struct Folder {
    std::filesystem::path path;
    explicit Folder(const char* prefix) {
        std::string tmpl = (std::filesystem::temp_directory_path() / (std::string(prefix) + "_XXXXXX")).string();
        path = mkdtemp(tmpl.data());
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
};

}  // namespace tv::bench
