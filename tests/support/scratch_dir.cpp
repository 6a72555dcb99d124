#include "tests/support/scratch_dir.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace tv::test {

ScratchDir::ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "talvor-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

WorkingDir::WorkingDir(const std::filesystem::path& p) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(p);
}

WorkingDir::~WorkingDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
}

}  // namespace tv::test
