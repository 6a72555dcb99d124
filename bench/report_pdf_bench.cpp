// PDF output of a 1,000-page report (about 50,000 detail lines): our own
// writer against Qt's QPdfWriter painting the same pages.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>

#include "platform/report/paginator.h"
#include "platform/report/pdf_writer.h"
#include "platform/report/qt_render.h"

namespace {

using namespace tv::report;

const std::vector<Page>& thousandPages() {
    static const std::vector<Page> pages = [] {
        ReportLayout l;
        l.pageHeader = Band{1000, {Item::value("GLO:EMPRESA", "s60", 1708, 0, 4583, Align::Center),
                                   Item::pageNumber(7385, 0, 250),
                                   Item::fixed("Existencia en almacén", 1708, 208, 4583, Align::Center),
                                   Item::line(0, 885, 8000, 0)}};
        l.detail = Band{182, {Item::value("ART:NoArt", "n_10", 50, 0, 700, Align::Right),
                              Item::value("ART:Descripcion", "s70", 833, 0, 3500),
                              Item::value("ART:Entradas", "n-14.2", 4400, 0, 1100, Align::Right),
                              Item::value("ART:Salidas", "n-14.2", 5600, 0, 1100, Align::Right),
                              Item::value("LOC:EXISTENCIAS", "n-14.2", 6800, 0, 1100, Align::Right)}};
        for (Item& i : l.detail.items) i.font.size = 8;
        Paginator pag(l);
        tv::report::ValueMap rec;
        rec.set("GLO:EMPRESA", tv::Value("EL NOMBRE DE SU EMPRESA"));
        for (int i = 1; i <= 50800; ++i) {
            rec.set("ART:NoArt", tv::Value(i));
            rec.set("ART:Descripcion", tv::Value("Artículo de almacén número " + std::to_string(i)));
            rec.set("ART:Entradas", tv::Value(tv::Decimal::fromScaled(i * 37LL, 2)));
            rec.set("ART:Salidas", tv::Value(tv::Decimal::fromScaled(i * 11LL, 2)));
            rec.set("LOC:EXISTENCIAS", tv::Value(tv::Decimal::fromScaled(i * 26LL, 2)));
            pag.addRecord(rec);
        }
        return pag.finish();
    }();
    return pages;
}

std::filesystem::path scratch(const char* name) {
    return std::filesystem::temp_directory_path() / name;
}

void BM_PdfPageWriter(benchmark::State& state) {
    const auto& pages = thousandPages();
    PdfPageWriter w;
    const auto file = scratch("tv_bench_own.pdf");
    for (auto _ : state) {
        std::string error;
        if (!w.write(file, pages, &error)) state.SkipWithError(error.c_str());
    }
    state.counters["pages"] = static_cast<double>(pages.size());
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file));
    std::filesystem::remove(file);
}
BENCHMARK(BM_PdfPageWriter)->Unit(benchmark::kMillisecond);

void BM_QPdfWriter(benchmark::State& state) {
    const auto& pages = thousandPages();
    const auto file = scratch("tv_bench_qt.pdf");
    for (auto _ : state) {
        QPdfWriter writer(QString::fromStdString(file.string()));
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(1200);
        QPainter p(&writer);
        const double scale = writer.resolution() / 1000.0;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (i > 0) writer.newPage();
            p.save();
            p.scale(scale, scale);
            paintPage(p, pages[i]);
            p.restore();
        }
        p.end();
    }
    state.counters["pages"] = static_cast<double>(pages.size());
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file));
    std::filesystem::remove(file);
}
BENCHMARK(BM_QPdfWriter)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
