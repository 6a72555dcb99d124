#include "platform/report/page_writer.h"

#include <fstream>

namespace tv::report {

std::filesystem::path ReportOutputWriter::withExtension(const std::filesystem::path& chosen) const {
    std::string leaf = chosen.filename().string();
    if (leaf.empty() || leaf.find('.') != std::string::npos) return chosen;
    std::filesystem::path out = chosen;
    out.replace_filename(leaf + extension());
    return out;
}

std::string ReportOutputWriter::qtFilter() const {
    std::string f = saveFilter(), out;
    std::size_t pos = 0;
    while (pos < f.size()) {
        std::size_t bar = f.find('|', pos);
        std::string label = f.substr(pos, bar == std::string::npos ? std::string::npos : bar - pos);
        if (bar == std::string::npos) break;
        std::size_t bar2 = f.find('|', bar + 1);
        std::string pattern = f.substr(bar + 1, bar2 == std::string::npos ? std::string::npos
                                                                         : bar2 - bar - 1);
        if (!out.empty()) out += ";;";
        out += label + " (" + pattern + ")";
        if (bar2 == std::string::npos) break;
        pos = bar2 + 1;
    }
    return out;
}

bool ReportOutputWriter::writeWholeFile(const std::filesystem::path& file, const std::string& bytes,
                                        std::string* error) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out) out.close();
    if (!out) {
        if (error) *error = "No se pudo escribir el archivo " + file.string() + ".";
        return false;
    }
    return true;
}

}  // namespace tv::report
