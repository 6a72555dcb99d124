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

std::vector<SampleArticle> sampleArticles(int count = 50);
std::vector<ValueMap> sampleRecords(const std::vector<SampleArticle>& articles);
ValueMap sampleGlobals();
// `logo` is a picture file for the page header (may be empty: no picture).
ReportLayout sampleLayout(const std::filesystem::path& logo = {});
// Writes a small JPEG file and returns its path.
std::filesystem::path writeSampleJpeg(const std::filesystem::path& dir);

// The texts of a page grouped into rows (same top), each row left to right.
std::vector<std::vector<std::string>> textRows(const Page& page);

}  // namespace tv::report::test
