#pragma once
// The writers a report can save its pages with, in the order they were
// registered (text, HTML, PDF), and the saving itself.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/report/page_writer.h"

namespace tv::report {

class OutputTargetChooser {
public:
    // Asks for a file name with the writer's title and filter (Qt form);
    // nullopt when the user cancels. The window layer's save dialog goes here.
    using AskFileName = std::function<std::optional<std::string>(const std::string& title,
                                                                 const std::string& qtFilter)>;
    // Tells the user that a file could not be written.
    using ShowError = std::function<void(const std::string& text)>;

    void add(std::unique_ptr<ReportOutputWriter> writer);
    std::size_t count() const { return writers_.size(); }
    std::vector<std::string> names() const;
    ReportOutputWriter* writer(std::size_t index) const;

    void setAskFileName(AskFileName f) { ask_ = std::move(f); }
    void setShowError(ShowError f) { showError_ = std::move(f); }
    bool showsErrors() const { return static_cast<bool>(showError_); }

    // Writes the pages with writer `index` to `chosen` (with the writer's
    // extension when its file name has none). False, after telling the user,
    // when it could not. The written path goes to *written.
    bool save(std::size_t index, const std::filesystem::path& chosen, const PageList& pages,
              std::filesystem::path* written = nullptr);
    // Asks for the file name first (the writer's preset name when it has one).
    // False when the user cancelled or the file could not be written.
    bool saveAs(std::size_t index, const PageList& pages, std::filesystem::path* written = nullptr);

    const std::string& lastError() const { return lastError_; }

private:
    std::vector<std::unique_ptr<ReportOutputWriter>> writers_;
    AskFileName ask_;
    ShowError showError_;
    std::string lastError_;
};

}  // namespace tv::report
