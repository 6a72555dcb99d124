#pragma once
// Writers that turn printed pages into a file. The output chooser lists them;
// each asks for its file name with its own title and filter. A writer takes
// the pages one at a time, as the report prints them or as the preview's
// store gives them back, so a long report is never whole in memory.
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/report/page.h"
#include "platform/report/page_store.h"

namespace tv::report {

// One output being written, page by page (a file, the printer).
class PageOutput {
public:
    virtual ~PageOutput() = default;
    // Writes one page. False once the output has failed (error() says why);
    // pages after that are ignored.
    virtual bool add(const Page& page) = 0;
    // Completes the output. A file takes its name only now: one that fails
    // or is never finished leaves a file of that name as it was.
    virtual bool finish() = 0;
    const std::string& error() const { return error_; }

protected:
    bool fail(std::string text) {
        if (error_.empty()) error_ = std::move(text);
        return false;
    }
    std::string error_;
};

// A file written under a temporary name beside it and renamed over the
// chosen name once complete.
class OutputFile {
public:
    explicit OutputFile(std::filesystem::path file);
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool ok() const { return static_cast<bool>(out_); }
    std::ostream& stream() { return out_; }
    const std::filesystem::path& path() const { return file_; }
    // Closes and renames; false (with a sentence in *error) when it failed.
    bool commit(std::string* error);
    // The sentence for a file that could not be written.
    static std::string cannotWrite(const std::filesystem::path& file);

private:
    std::filesystem::path file_, temporary_;
    std::ofstream out_;
    bool committed_ = false;
};

// An output written into a stream (a file, or a string for tests) kept in
// `file`: `make` builds it on the file's stream. nullptr with a sentence in
// *error when the file cannot be created.
std::unique_ptr<PageOutput> fileOutput(const std::filesystem::path& file, std::string* error,
                                       const std::function<std::unique_ptr<PageOutput>(std::ostream&)>& make);

// The pages as one string, through an output `make` builds on a string stream.
std::string renderPages(const std::vector<Page>& pages,
                        const std::function<std::unique_ptr<PageOutput>(std::ostream&)>& make);

class ReportOutputWriter {
public:
    virtual ~ReportOutputWriter() = default;

    virtual std::string name() const = 0;        // shown in the output chooser
    virtual std::string saveTitle() const = 0;   // the file-save dialog's title
    virtual std::string saveFilter() const = 0;  // "Name|*.EXT|All|*.*"
    virtual std::string extension() const = 0;   // ".TXT"

    // Starts writing `file`; nullptr with a sentence in *error when it (or
    // a folder or file beside it) cannot be written.
    virtual std::unique_ptr<PageOutput> open(const std::filesystem::path& file, std::string* error) = 0;

    // Writes every page to `file`, one page at a time. False with a
    // sentence in *error when the file could not be written.
    bool write(const std::filesystem::path& file, const PageList& pages, std::string* error);
    bool write(const std::filesystem::path& file, const std::vector<Page>& pages, std::string* error);

    // Lets a report set the writer's options right before it is used.
    virtual void onOptions() {}

    // The name the user chose, with the writer's extension when its file
    // name (not its folder) has no dot.
    std::filesystem::path withExtension(const std::filesystem::path& chosen) const;
    // The filter in the form Qt's file dialogs take ("Text (*.TXT);;All (*.*)").
    std::string qtFilter() const;

    // A preset output file name; empty: the user names the file.
    std::string outputName;
};

}  // namespace tv::report
