#pragma once
// A small stock report used by the report engine's tests: 50 articles in
// three categories and several brands, grouped by category and brand, with
// subtotals, a running total, a report footer, a box, a picture and check boxes.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/report/layout.h"
#include "platform/report/page.h"
#include "platform/report/record_source.h"

namespace tv::report::test {

struct SampleArticle {
    int noArt;
    std::string descripcion;
    int categoria;
    int marca;
    long long existenciasCents;  // LOC:EXISTENCIAS in hundredths
    bool activo;
};

SampleArticle sampleArticle(int noArt);
std::vector<SampleArticle> sampleArticles(int count = 50);
ValueMap sampleRecord(const SampleArticle& article);
std::vector<ValueMap> sampleRecords(const std::vector<SampleArticle>& articles);

// The same articles made one at a time as they are read, however many: a
// long report that takes no memory of its own.
class GeneratedArticles : public RecordSource {
public:
    explicit GeneratedArticles(long long count) : count_(count) {}
    bool next() override;
    Value value(std::string_view name) const override;
    double fractionRead() const override { return count_ > 0 ? static_cast<double>(read_) / count_ : 1; }

private:
    long long count_, read_ = 0;
    ValueMap current_;
};
ValueMap sampleGlobals();
// `logo` is a picture file for the page header (may be empty: no picture).
ReportLayout sampleLayout(const std::filesystem::path& logo = {});
// Writes a small JPEG file and returns its path.
std::filesystem::path writeSampleJpeg(const std::filesystem::path& dir);

// The sample report over `count` articles, laid out.
std::vector<Page> samplePages(const std::filesystem::path& logo = {}, long long count = 50);
// A whole file's bytes.
std::string readFile(const std::filesystem::path& p);

// The texts of a page grouped into rows (same top), each row left to right.
std::vector<std::vector<std::string>> textRows(const Page& page);

}  // namespace tv::report::test
