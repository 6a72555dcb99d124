#include "platform/report/page_writer.h"

#include <sstream>


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

bool ReportOutputWriter::write(const std::filesystem::path& file, const PageList& pages, std::string* error) {
    onOptions();
    std::unique_ptr<PageOutput> out = open(file, error);
    if (!out) return false;
    Page page;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        pages.read(i, page);
        if (!out->add(page)) break;
    }
    if (out->finish()) return true;
    if (error) *error = out->error().empty() ? OutputFile::cannotWrite(file) : out->error();
    return false;
}

bool ReportOutputWriter::write(const std::filesystem::path& file, const std::vector<Page>& pages,
                               std::string* error) {
    return write(file, VectorPageList(pages), error);
}

OutputFile::OutputFile(std::filesystem::path file) : file_(std::move(file)) {
    temporary_ = file_;
    temporary_ += ".part";
    out_.open(temporary_, std::ios::binary | std::ios::trunc);
}

OutputFile::~OutputFile() {
    if (committed_) return;
    if (out_.is_open()) out_.close();
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
}

bool OutputFile::commit(std::string* error) {
    if (out_.is_open()) out_.close();
    std::error_code ec;
    if (out_) std::filesystem::rename(temporary_, file_, ec);
    if (!out_ || ec) {
        if (error) *error = cannotWrite(file_);
        return false;
    }
    committed_ = true;
    return true;
}

namespace {

class FileBacked : public PageOutput {
public:
    explicit FileBacked(const std::filesystem::path& file) : file_(file) {}
    bool open(const std::function<std::unique_ptr<PageOutput>(std::ostream&)>& make) {
        if (!file_.ok()) return false;
        inner_ = make(file_.stream());
        return inner_ != nullptr;
    }
    bool add(const Page& page) override {
        if (!error_.empty()) return false;
        if (!inner_->add(page)) return fail(inner_->error());
        if (!file_.ok()) return fail(OutputFile::cannotWrite(file_.path()));
        return true;
    }
    bool finish() override {
        if (!error_.empty()) return false;
        if (!inner_->finish()) return fail(inner_->error());
        std::string why;
        if (!file_.commit(&why)) return fail(why);
        return true;
    }

private:
    OutputFile file_;
    std::unique_ptr<PageOutput> inner_;
};

}  // namespace

std::unique_ptr<PageOutput> fileOutput(const std::filesystem::path& file, std::string* error,
                                       const std::function<std::unique_ptr<PageOutput>(std::ostream&)>& make) {
    auto out = std::make_unique<FileBacked>(file);
    if (!out->open(make)) {
        if (error) *error = OutputFile::cannotWrite(file);
        return nullptr;
    }
    return out;
}

std::string renderPages(const std::vector<Page>& pages,
                        const std::function<std::unique_ptr<PageOutput>(std::ostream&)>& make) {
    std::ostringstream out;
    std::unique_ptr<PageOutput> o = make(out);
    for (const Page& p : pages) o->add(p);
    o->finish();
    return out.str();
}

std::string OutputFile::cannotWrite(const std::filesystem::path& file) {
    return "No se pudo escribir el archivo " + file.string() + ".";
}

}  // namespace tv::report
