#pragma once
// Writers that turn printed pages into a file. The output chooser lists them;
// each asks for its file name with its own title and filter.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/report/page.h"

namespace tv::report {

class ReportOutputWriter {
public:
    virtual ~ReportOutputWriter() = default;

    virtual std::string name() const = 0;        // shown in the output chooser
    virtual std::string saveTitle() const = 0;   // the file-save dialog's title
    virtual std::string saveFilter() const = 0;  // "Name|*.EXT|All|*.*"
    virtual std::string extension() const = 0;   // ".TXT"

    // Writes every page to `file`. False with a sentence in *error when the
    // file (or a file beside it) could not be written.
    virtual bool write(const std::filesystem::path& file, const std::vector<Page>& pages,
                       std::string* error) = 0;

    // Lets a report set the writer's options right before it is used.
    virtual void onOptions() {}

    // The name the user chose, with the writer's extension when its file
    // name (not its folder) has no dot.
    std::filesystem::path withExtension(const std::filesystem::path& chosen) const;
    // The filter in the form Qt's file dialogs take ("Text (*.TXT);;All (*.*)").
    std::string qtFilter() const;

    // A preset output file name; empty: the user names the file.
    std::string outputName;

protected:
    // Writes `bytes` as the whole of `file`; false with a sentence in *error.
    static bool writeWholeFile(const std::filesystem::path& file, const std::string& bytes, std::string* error);
};

}  // namespace tv::report
