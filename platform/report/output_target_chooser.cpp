#include "platform/report/output_target_chooser.h"


namespace tv::report {

void OutputTargetChooser::add(std::unique_ptr<ReportOutputWriter> writer) {
    if (writer) writers_.push_back(std::move(writer));
}

std::vector<std::string> OutputTargetChooser::names() const {
    std::vector<std::string> out;
    for (const auto& w : writers_) out.push_back(w->name());
    return out;
}

ReportOutputWriter* OutputTargetChooser::writer(std::size_t index) const {
    return index < writers_.size() ? writers_[index].get() : nullptr;
}

bool OutputTargetChooser::save(std::size_t index, const std::filesystem::path& chosen,
                               const PageList& pages, std::filesystem::path* written) {
    lastError_.clear();
    ReportOutputWriter* w = writer(index);
    if (!w) {
        lastError_ = "No hay un formato de salida con ese número.";
    } else if (chosen.empty() || chosen.filename().empty()) {
        lastError_ = "No se indicó el nombre del archivo.";
    } else {
        std::filesystem::path target = w->withExtension(chosen);
        std::string error;
        if (w->write(target, pages, &error)) {
            if (written) *written = target;
            return true;
        }
        lastError_ = error.empty() ? "No se pudo escribir el archivo " + target.string() + "." : error;
    }
    if (showError_) showError_(lastError_);
    return false;
}

bool OutputTargetChooser::saveAs(std::size_t index, const PageList& pages,
                                 std::filesystem::path* written) {
    ReportOutputWriter* w = writer(index);
    if (!w) return save(index, {}, pages, written);
    w->onOptions();
    std::optional<std::string> name;
    if (!w->outputName.empty()) name = w->outputName;
    else if (ask_) name = ask_(w->saveTitle(), w->qtFilter());
    if (!name || name->empty()) return false;
    return save(index, *name, pages, written);
}

}  // namespace tv::report
