#include "tests/platform/report/sample_report.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include <QImage>

#include "platform/report/page.h"
#include "platform/report/paginator.h"

namespace tv::report::test {

SampleArticle sampleArticle(int i) {
    SampleArticle a;
    a.noArt = i;
    a.categoria = 1 + (i - 1) / 17;
    a.marca = a.categoria * 10 + ((i - 1) % 17) / 6;
    a.existenciasCents = i * 125LL;
    a.activo = i % 3 != 0;
    a.descripcion = i == 7 ? "Tuerca <M8> & \"arandela\"" : "Artículo número " + std::to_string(i);
    return a;
}

std::vector<SampleArticle> sampleArticles(int count) {
    std::vector<SampleArticle> out;
    for (int i = 1; i <= count; ++i) out.push_back(sampleArticle(i));
    return out;
}

ValueMap sampleRecord(const SampleArticle& a) {
    ValueMap m;
    m.set("ART:NoArt", Value(a.noArt));
    m.set("ART:Descripcion", Value(a.descripcion));
    m.set("ART:Categoria", Value(a.categoria));
    m.set("ART:Marca", Value(a.marca));
    m.set("LOC:EXISTENCIAS", Value(Decimal::fromScaled(a.existenciasCents, 2)));
    m.set("ART:Activo", Value(a.activo ? 1 : 0));
    return m;
}

std::vector<ValueMap> sampleRecords(const std::vector<SampleArticle>& articles) {
    std::vector<ValueMap> out;
    for (const SampleArticle& a : articles) out.push_back(sampleRecord(a));
    return out;
}

bool GeneratedArticles::next() {
    if (read_ >= count_) return false;
    current_ = sampleRecord(sampleArticle(static_cast<int>(++read_)));
    return true;
}

Value GeneratedArticles::value(std::string_view name) const {
    return current_.has(name) ? current_.value(name) : sampleGlobals().value(name);
}

ValueMap sampleGlobals() {
    ValueMap g;
    g.set("GLO:EMPRESA", Value("Ferretería López"));
    return g;
}

ReportLayout sampleLayout(const std::filesystem::path& logo) {
    ReportLayout l;
    l.title = "Articulo Report";
    l.pageHeaderArea = {250, 250, 8000, 1000};
    l.detailArea = {250, 1250, 8000, 9250};
    l.pageFooterArea = {250, 10500, 8000, 250};

    Band& ph = l.pageHeader;
    ph.height = 1000;
    ph.items.push_back(Item::value("GLO:EMPRESA", "s60", 1708, 0, 4583, Align::Center));
    ph.items.push_back(Item::pageNumber(7385, 0, 250, Align::Right));
    ph.items.push_back(Item::fixed("Existencia en almacén", 1708, 208, 4583, Align::Center));
    ph.items.push_back(Item::fixed("No Art", 50, 688, 700, Align::Right));
    ph.items.push_back(Item::fixed("Descripción", 854, 688));
    ph.items.push_back(Item::fixed("Activo", 4450, 688));
    ph.items.push_back(Item::fixed("Existencia", 4800, 688, 1500, Align::Right));
    ph.items.push_back(Item::fixed("Acumulado", 6400, 688, 1500, Align::Right));
    ph.items.push_back(Item::line(0, 885, 8000, 0));
    ph.items.push_back(Item::box(0, 0, 1000, 500, 1));
    if (!logo.empty()) ph.items.push_back(Item::image(logo.string(), 100, 100, 300, 300));

    GroupBreak report;  // a break on a value that never changes: the report footer
    report.field = "GLO:EMPRESA";
    report.footer = Band{300, {Item::line(4800, 20, 1500, 0, true),
                               Item::fixed("Total general:", 854, 50),
                               Item::sum("LOC:EXISTENCIAS", "n-14.2", 4800, 50, 1500, TotalReset::Group)}};
    GroupBreak categoria;
    categoria.field = "ART:Categoria";
    categoria.header = Band{250, {Item::fixed("Categoría:", 313, 0), Item::value("ART:Categoria", "n_5", 1400, 0)}};
    categoria.footer = Band{250, {Item::fixed("Total categoría:", 854, 0),
                                  Item::sum("LOC:EXISTENCIAS", "n-14.2", 4800, 0, 1500, TotalReset::Group)}};
    GroupBreak marca;
    marca.field = "ART:Marca";
    marca.header = Band{250, {Item::fixed("Marca:", 500, 0), Item::value("ART:Marca", "n_5", 1400, 0)}};
    marca.footer = Band{250, {Item::fixed("Total marca:", 854, 0),
                              Item::count("n_4", 3000, 0, 500, TotalReset::Group),
                              Item::sum("LOC:EXISTENCIAS", "n-14.2", 4800, 0, 1500, TotalReset::Group)}};
    l.groups = {report, categoria, marca};

    l.detail.height = 250;
    l.detail.items = {Item::value("ART:NoArt", "n_10", 50, 0, 700, Align::Right),
                      Item::value("ART:Descripcion", "s40", 854, 0, 3500),
                      Item::checkBox("ART:Activo", "", 4500, 0),
                      Item::value("LOC:EXISTENCIAS", "n-14.2", 4800, 0, 1500, Align::Right),
                      Item::sum("LOC:EXISTENCIAS", "n-14.2", 6400, 0, 1500, TotalReset::Report)};
    l.pageFooter.height = 250;
    l.pageFooter.items = {Item::fixed("Página", 3800, 0), Item::pageNumber(4400, 0, 300, Align::Left)};
    return l;
}

std::filesystem::path writeSampleJpeg(const std::filesystem::path& dir) {
    QImage img(16, 8, QImage::Format_RGB32);
    img.fill(QColor(200, 30, 30));
    std::filesystem::path p = dir / "logo.jpg";
    img.save(QString::fromStdString(p.string()), "JPEG");
    return p;
}

std::vector<Page> samplePages(const std::filesystem::path& logo, long long count) {
    Paginator pag(sampleLayout(logo));
    GeneratedArticles src(count);
    while (src.next()) pag.addRecord(src);
    return pag.finish();
}

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::vector<std::string>> textRows(const Page& page) {
    std::map<Mils, std::vector<std::pair<Mils, std::string>>> rows;
    for (const Primitive& p : page.items)
        if (p.kind == PrimKind::Text) rows[p.y].push_back({p.x, p.text});
    std::vector<std::vector<std::string>> out;
    for (auto& [y, items] : rows) {
        std::stable_sort(items.begin(), items.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::string> row;
        for (auto& [x, t] : items) row.push_back(t);
        out.push_back(row);
    }
    return out;
}

}  // namespace tv::report::test
