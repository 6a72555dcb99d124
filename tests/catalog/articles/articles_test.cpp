// The article list, the article form and the bar-code list driven as a user
// drives them: real widgets offscreen, each procedure on a logical thread of
// its own over a scratch database, questions answered by a scripted
// presenter.
#include "catalog/articles/articles.h"

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QStyle>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "app/browse/browse_controller.h"
#include "app/browse/vs_find.h"
#include "app/frame/procedures.h"
#include "app/globals.h"
#include "catalog/articles/article_form.h"
#include "catalog/articles/article_list.h"
#include "catalog/articles/article_logic.h"
#include "catalog/catalogue.h"
#include "data/thread_table_set.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/images/jpeg_codec.h"
#include "platform/images/picture_loader.h"
#include "platform/ini/ini_store.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/desktop.h"
#include "platform/ui/dialogs.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

namespace tv::catalog {
namespace {

using test::runFor;
using test::settle;
using test::onThread;

using namespace std::chrono_literals;
using data::TableId;
using ui::EventKind;
namespace af = article_form;
namespace al = article_list;
namespace fs = std::filesystem;

std::string trimmed(const std::string& s) { return std::string(rtrim(s)); }

int artField(const char* name) { return data::decl(TableId::Articulo).fieldIndex(name); }

struct Art {
    long long no;
    std::string desc;
    std::string barcode = {};
    std::string foto = {};
    const char* opening = "0";
    const char* in = "0";
    const char* out = "0";
    std::string notes = {};
};

// ----- pictures made here

using Bytes = std::vector<unsigned char>;

void writeFile(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

QImage twoColours(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, x < w / 2 ? qRgb(220, 20, 20) : qRgb(20, 20, 200));
    return img;
}

// A GIF with a four-colour palette; a clear code every two pixels keeps the
// codes three bits wide.
Bytes makeGif(int w, int h) {
    auto put16 = [](Bytes& b, unsigned v) {
        b.push_back(static_cast<unsigned char>(v & 0xFF));
        b.push_back(static_cast<unsigned char>(v >> 8));
    };
    Bytes b{'G', 'I', 'F', '8', '9', 'a'};
    put16(b, static_cast<unsigned>(w));
    put16(b, static_cast<unsigned>(h));
    b.insert(b.end(), {0x91, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0x2C});
    put16(b, 0);
    put16(b, 0);
    put16(b, static_cast<unsigned>(w));
    put16(b, static_cast<unsigned>(h));
    b.insert(b.end(), {0, 2});
    Bytes lzw;
    unsigned acc = 0;
    int bits = 0;
    auto code = [&](unsigned v) {
        acc |= v << bits;
        bits += 3;
        while (bits >= 8) {
            lzw.push_back(static_cast<unsigned char>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    for (int n = 0; n < w * h; ++n) {
        if (n % 2 == 0) code(4);
        code(static_cast<unsigned>(n % 4));
    }
    code(5);
    if (bits > 0) lzw.push_back(static_cast<unsigned char>(acc & 0xFF));
    for (size_t i = 0; i < lzw.size(); i += 255) {
        const size_t len = std::min<size_t>(255, lzw.size() - i);
        b.push_back(static_cast<unsigned char>(len));
        b.insert(b.end(), lzw.begin() + static_cast<long>(i), lzw.begin() + static_cast<long>(i + len));
    }
    b.insert(b.end(), {0, 0x3B});
    return b;
}

// ----- a procedure running on a thread of its own

struct ProcRun {
    threads::ThreadNo thread = 0;
    bool done = false;
    uint8_t response = 0;
    std::optional<Record> art, alias;  // the thread's buffers when the procedure returned
    ui::Window* top() const { return ui::Window::topOf(thread); }
};

class ArticlesTest : public ::testing::Test {
protected:
    void SetUp() override {
        storage::setDatabasePath(dir.file("talvor.db"));
        ErrorReporter::instance().setUp();
        scope_.emplace(presenter);
        app::globals().UserPermissions.fill(1);
    }
    void TearDown() override {
        for (ProcRun& r : runs_) {
            for (int i = 0; i < 5 && !r.done; ++i) {
                if (ui::Window* w = r.top()) w->post({EventKind::CloseWindow, 0});
                presenter.answer(Answer::Yes);
                settle();
            }
            EXPECT_TRUE(runFor([&r] { return r.done; })) << "the procedure's thread ended";
        }
        app::globals().RunningProcedures.clear();
        SetArticleQueryStore(nullptr);
        scope_.reset();
        storage::setDatabasePath("talvor.db");
    }

    long long seed(const Art& a) {
        long long id = 0;
        onThread([&] {
            data::TableGateway& g = data::tables().ArticuloTableGateway();
            ASSERT_EQ(g.PrepareNewRecord(), data::kDone);
            Record& r = g.BUFFER;
            r.set(artField("ART:NoArt"), Value(a.no));
            r.set(artField("ART:Descripcion"), Value(a.desc));
            r.set(artField("ART:CodigoBarras"), Value(a.barcode));
            r.set(artField("ART:FOTOGRAFIA"), Value(a.foto));
            r.set(artField("ART:ExistenciaAnterior"), Value(*Decimal::parse(a.opening)));
            r.set(artField("ART:Entradas"), Value(*Decimal::parse(a.in)));
            r.set(artField("ART:Salidas"), Value(*Decimal::parse(a.out)));
            r.set(artField("ART:Notas"), Value(a.notes));
            ASSERT_EQ(g.InsertRecord(), data::kDone);
            id = r.number(0).toInt64();
        });
        return id;
    }
    // A field of the article with that number; "<none>" when there is none.
    std::string stored(long long no, const char* field) {
        std::string out = "<none>";
        onThread([&] {
            data::TableGateway& g = data::tables().ArticuloTableGateway();
            g.BUFFER.clear();
            g.BUFFER.set(artField("ART:NoArt"), Value(no));
            if (g.ReadByKey("ART:KeyNoArt") == data::kDone) out = trimmed(g.BUFFER.get(artField(field)).asText());
        });
        return out;
    }
    std::string storedIn(TableId t, long long code, const char* field) {
        std::string out = "<none>";
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(t);
            g.BUFFER.clear();
            g.BUFFER.set(0, Value(code));
            if (g.ReadByKey(0) == data::kDone) out = trimmed(g.BUFFER.get(data::decl(t).fieldIndex(field)).asText());
        });
        return out;
    }
    int64_t count(TableId t) {
        int64_t n = -1;
        onThread([&] { n = data::tables().gateway(t).RecordCount(); });
        return n;
    }

    // The article with that number read into this thread's Articulo buffer.
    static std::function<void()> readArticle(long long no) {
        return [no] {
            data::TableGateway& g = data::tables().ArticuloTableGateway();
            g.BUFFER.clear();
            g.BUFFER.set(artField("ART:NoArt"), Value(no));
            ASSERT_EQ(g.ReadByKey("ART:KeyNoArt"), data::kDone);
        };
    }
    static std::function<void()> prepareInsert() {
        return [] { ASSERT_EQ(data::tables().ArticuloTableGateway().PrepareNewRecord(), data::kDone); };
    }

    ProcRun& start(std::function<void()> procedure, uint8_t request, std::function<void()> before = {}) {
        ProcRun& r = runs_.emplace_back();
        r.thread = threads::start([&r, procedure, request, before] {
            if (before) before();
            threadState().callRequest = request;
            procedure();
            r.response = threadState().callResponse;
            r.art = data::tables().Articulo();
            r.alias = data::tables().AliasArticulos();
            r.done = true;
        }, 512 * 1024);
        return r;
    }
    // Waits until the top window of the run is open, idle and captioned so.
    ui::Window* waitTop(ProcRun& r, const QString& caption, ui::Window* notThis = nullptr) {
        const bool ok = runFor([&] {
            ui::Window* w = r.top();
            return r.done || (w != nullptr && w != notThis && w->isOpen() && !w->hasEvents() && w->caption() == caption);
        });
        if (!ok || r.done) return nullptr;
        settle();
        ui::Window* w = r.top();
        QWidget* top = w->topWidget()->window();
        top->activateWindow();
        QApplication::setActiveWindow(top);
        return w;
    }
    bool waitDone(ProcRun& r) { return runFor([&r] { return r.done; }); }
    void idle(ProcRun& r) {
        runFor([&r] { return r.done || (r.top() != nullptr && !r.top()->hasEvents()); });
        settle();
    }
    void type(ui::Window* w, int control, const QString& text) {
        ui::Control& c = w->at(control);
        c.focus();
        ASSERT_TRUE(runFor([&] { return c.hasFocus(); }));
        if (auto* e = c.as<QLineEdit>()) e->selectAll();
        if (auto* cb = c.as<QComboBox>(); cb != nullptr && cb->lineEdit() != nullptr) cb->lineEdit()->selectAll();
        QTest::keyClicks(c.widget(), text);
    }
    void click(ui::Window* w, int control) {
        QTest::mouseClick(w->at(control).widget(), Qt::LeftButton);
        settle();
    }
    static QTableWidget* table(ui::Window* w) { return w->at(app::kBrowseList).as<QTableWidget>(); }
    static std::vector<std::string> column(ui::Window* w, int c) {
        std::vector<std::string> out;
        QTableWidget* t = table(w);
        for (int i = 0; i < t->rowCount(); ++i) out.push_back(t->item(i, c)->text().trimmed().toStdString());
        return out;
    }
    static std::string selected(ui::Window* w, int c) {
        QTableWidget* t = table(w);
        return t->currentRow() < 0 ? "<none>" : t->item(t->currentRow(), c)->text().trimmed().toStdString();
    }
    void clickRow(ui::Window* w, int row) {
        QTableWidget* t = table(w);
        const QRect cell = t->visualRect(t->model()->index(row, 0));
        QTest::mouseClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        settle();
    }
    void chooseTab(ui::Window* w, int index) {
        w->at(app::kBrowseSheet).as<QTabWidget>()->setCurrentIndex(index);
        settle();
    }
    std::vector<int> shownNumbers() const {
        std::vector<int> v;
        for (const auto& s : presenter.shown()) v.push_back(messageNumber(s.box));
        return v;
    }

    tv::test::ScratchDir dir;
    tv::test::WorkingDir wd{dir.path()};
    ScriptedPresenter presenter;

private:
    std::optional<ScopedPresenter> scope_;
    std::deque<ProcRun> runs_;
};

// ---------------------------------------------------------------- without windows

TEST(ArticleLogic, StockOnHandIsExactAndRoundedHalfAwayFromZero) {
    struct Case {
        const char* opening;
        const char* in;
        const char* out;
        const char* stock;
    };
    const Case cases[] = {
        {"0", "0", "0", "0.00"},      {"10", "5.5", "3.25", "12.25"}, {"0.1", "0.2", "0", "0.30"},
        {"1", "0", "3.5", "-2.50"},   {"999999999.99", "0", "0.01", "999999999.98"},
    };
    for (const Case& k : cases) {
        Record art(data::decl(TableId::Articulo).layout);
        art.set(artField("ART:ExistenciaAnterior"), Value(*Decimal::parse(k.opening)));
        art.set(artField("ART:Entradas"), Value(*Decimal::parse(k.in)));
        art.set(artField("ART:Salidas"), Value(*Decimal::parse(k.out)));
        EXPECT_EQ(StockOnHand(art).toFixed(2), k.stock) << k.opening << " + " << k.in << " - " << k.out;
    }
}

TEST(ArticleLogic, APicturePathThatDoesNotFitTheFieldIsRefusedNotCut) {
    EXPECT_EQ(PicturePathToStore(std::string(255, 'a')), std::string(255, 'a'));
    EXPECT_EQ(PicturePathToStore(std::string(256, 'a')), std::nullopt);
}

TEST(ArticleLogic, TheFrameCanStartTheArticleList) {
    RegisterArticleProcedures();
    EXPECT_TRUE(app::IsRegistered("BrowseArticulo"));
}

// ---------------------------------------------------------------- the form

TEST_F(ArticlesTest, TheFormAddsAnArticleWithANewUnitBrandAndCategoryThroughTheAddForms) {
    ProcRun& r = start(UpdateArticulo, kInsert, prepareInsert());
    ui::Window* w = waitTop(r, QStringLiteral("Altas"));
    ASSERT_NE(w, nullptr);
    type(w, af::kNoArt, QStringLiteral("1001"));
    type(w, af::kDescripcion, QStringLiteral("Taladro"));
    struct Case {
        int combo;
        QString name;
        TableId table;
        const char* nameField;
    };
    const Case cases[] = {
        {af::kUm, QStringLiteral("Pieza"), TableId::Unidades, "UNI:UM"},
        {af::kMarca, QStringLiteral("Truper"), TableId::Marcas, "MAR:Marca"},
        {af::kCategoria, QStringLiteral("Herramientas"), TableId::CatArticulos, "CAR:Descripcion"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name.toStdString());
        type(w, k.combo, k.name);
        QTest::keyClick(w->at(k.combo).widget(), Qt::Key_Return);
        // The catalogue's own form opens as an insert with the name typed in.
        ui::Window* add = waitTop(r, QStringLiteral("Altas"), w);
        ASSERT_NE(add, nullptr);
        EXPECT_EQ(add->at(kCatName).text(), k.name);
        click(add, kCatOk);
        ASSERT_NE(waitTop(r, QStringLiteral("Altas")), nullptr);
        ASSERT_EQ(r.top(), w);
        EXPECT_EQ(w->at(k.combo).as<QComboBox>()->currentText(), QStringLiteral("1 - ") + k.name);
        EXPECT_EQ(storedIn(k.table, 1, k.nameField), k.name.toStdString());
    }
    click(w, af::kOk);
    ASSERT_TRUE(waitDone(r));
    EXPECT_EQ(r.response, kCompleted);
    EXPECT_TRUE(presenter.empty());
    EXPECT_EQ(stored(1001, "ART:Descripcion"), "Taladro");
    EXPECT_EQ(stored(1001, "ART:UM"), "1");
    EXPECT_EQ(stored(1001, "ART:Marca"), "1");
    EXPECT_EQ(stored(1001, "ART:categoria"), "1");
}

// The codes an article holds are kept even when their entry was deleted:
// shown as the code alone, stored back, and an untouched form closes
// without a question. Two entries of one name are told apart by their
// codes, listed in code order, and each can be picked.
TEST_F(ArticlesTest, TheCombosKeepCodesOfDeletedEntriesAndTellEqualNamesApart) {
    auto catalogue = [this](TableId t, const char* nameField, const std::vector<std::string>& names) {
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(t);
            for (const std::string& n : names) {
                ASSERT_EQ(g.PrepareNewRecord(), data::kDone);
                g.BUFFER.set(data::decl(t).fieldIndex(nameField), Value(n));
                ASSERT_EQ(g.InsertRecord(), data::kDone);
            }
        });
    };
    catalogue(TableId::Marcas, "MAR:Marca", {"Truper", "Truper", "Urrea"});
    catalogue(TableId::Unidades, "UNI:UM", {"Pieza"});
    seed({500, "Pinzas"});
    onThread([] {
        data::TableGateway& g = data::tables().ArticuloTableGateway();
        g.BUFFER.clear();
        g.BUFFER.set(artField("ART:NoArt"), Value(500));
        ASSERT_EQ(g.ReadByKey("ART:KeyNoArt"), data::kDone);
        g.BUFFER.set(artField("ART:Marca"), Value(7));      // no brand 7
        g.BUFFER.set(artField("ART:UM"), Value(1));
        g.BUFFER.set(artField("ART:categoria"), Value(4));  // no category at all
        ASSERT_EQ(g.UpdateRecord(), data::kDone);
    });
    // Untouched: no question, nothing changes.
    ProcRun& r = start(UpdateArticulo, kChange, readArticle(500));
    ui::Window* w = waitTop(r, QStringLiteral("Modificaciones"));
    ASSERT_NE(w, nullptr);
    auto* brand = w->at(af::kMarca).as<QComboBox>();
    EXPECT_EQ(brand->currentText(), QStringLiteral("7"));
    EXPECT_EQ(w->at(af::kCategoria).as<QComboBox>()->currentText(), QStringLiteral("4"));
    EXPECT_EQ(w->at(af::kUm).as<QComboBox>()->currentText(), QStringLiteral("1 - Pieza"));
    ASSERT_EQ(brand->count(), 3);
    EXPECT_EQ(brand->itemText(0), QStringLiteral("1 - Truper"));
    EXPECT_EQ(brand->itemText(1), QStringLiteral("2 - Truper"));
    EXPECT_EQ(brand->itemText(2), QStringLiteral("3 - Urrea"));
    click(w, af::kCancel);
    ASSERT_TRUE(waitDone(r));
    EXPECT_TRUE(presenter.empty()) << "no discard-changes question on an untouched form";

    // Saved after another change: the codes stay.
    ProcRun& r2 = start(UpdateArticulo, kChange, readArticle(500));
    w = waitTop(r2, QStringLiteral("Modificaciones"));
    ASSERT_NE(w, nullptr);
    type(w, af::kDescripcion, QStringLiteral("Pinzas de presion"));
    click(w, af::kOk);
    ASSERT_TRUE(waitDone(r2));
    EXPECT_EQ(r2.response, kCompleted);
    EXPECT_EQ(stored(500, "ART:Marca"), "7");
    EXPECT_EQ(stored(500, "ART:categoria"), "4");

    // The second of two equal names is picked.
    ProcRun& r3 = start(UpdateArticulo, kChange, readArticle(500));
    w = waitTop(r3, QStringLiteral("Modificaciones"));
    ASSERT_NE(w, nullptr);
    brand = w->at(af::kMarca).as<QComboBox>();
    brand->setFocus();
    brand->setCurrentIndex(1);
    QTest::keyClick(brand, Qt::Key_Tab);
    settle();
    click(w, af::kOk);
    ASSERT_TRUE(waitDone(r3));
    EXPECT_EQ(stored(500, "ART:Marca"), "2");
    EXPECT_TRUE(presenter.empty());
}

TEST_F(ArticlesTest, ADuplicateOrZeroArticleNumberIsRefusedAndTheFormStaysOpen) {
    seed({100, "Martillo", ""});
    ProcRun& r = start(UpdateArticulo, kInsert, prepareInsert());
    ui::Window* w = waitTop(r, QStringLiteral("Altas"));
    ASSERT_NE(w, nullptr);
    type(w, af::kDescripcion, QStringLiteral("Serrucho"));
    struct Case {
        QString number;
        std::vector<int> messages;  // shown by this attempt
        bool beeps;
    };
    const Case cases[] = {
        {QStringLiteral("100"), {15}, false},  // the table refuses the repeated key
        {QStringLiteral("0"), {}, true},       // required: zero is no number
        {QString(), {}, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.number.toStdString());
        presenter.clear();
        const int beeps = ui::beepCount();
        type(w, af::kNoArt, k.number);
        if (k.number.isEmpty()) w->at(af::kNoArt).as<QLineEdit>()->clear();
        click(w, af::kOk);
        idle(r);
        EXPECT_FALSE(r.done);
        EXPECT_EQ(shownNumbers(), k.messages);
        EXPECT_EQ(ui::beepCount() > beeps, k.beeps);
        if (k.beeps) {
            EXPECT_TRUE(w->at(af::kNoArt).hasFocus());
        }
    }
    type(w, af::kNoArt, QStringLiteral("101"));
    click(w, af::kOk);
    ASSERT_TRUE(waitDone(r));
    EXPECT_EQ(r.response, kCompleted);
    EXPECT_EQ(stored(101, "ART:Descripcion"), "Serrucho");
    EXPECT_EQ(stored(100, "ART:Descripcion"), "Martillo");
    EXPECT_EQ(count(TableId::Articulo), 2);
}

TEST_F(ArticlesTest, TheStockOnHandIsShownAndViewModeChangesNothing) {
    seed({7, "Pintura", "", "", "10", "5.5", "3.25", "lata de un litro"});
    struct Case {
        uint8_t request;
        const char* caption;
        const char* stock;
    };
    const Case cases[] = {
        {kInsert, "Altas", "0.00"},
        {kChange, "Modificaciones", "12.25"},
        {kView, "Consulta", "12.25"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.caption);
        ProcRun& r = start(UpdateArticulo, k.request, k.request == kInsert ? prepareInsert() : readArticle(7));
        ui::Window* w = waitTop(r, QString::fromUtf8(k.caption));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->at(af::kExistencia).text(), QString::fromUtf8(k.stock));
        EXPECT_TRUE(w->at(af::kExistencia).readOnly());
        EXPECT_TRUE(w->at(af::kEntradas).readOnly());
        const bool view = k.request == kView;
        // The key of a stored article stays as it is.
        EXPECT_EQ(w->at(af::kNoArt).disabled(), k.request == kChange);
        for (int c : {af::kNoArt, af::kDescripcion, af::kCodigoBarras, af::kModelo, af::kMaximo, af::kPicturePath})
            EXPECT_EQ(w->at(c).readOnly(), view || (c == af::kNoArt && k.request == kChange)) << c;
        for (int c : {af::kUm, af::kMarca, af::kCategoria, af::kPictureButton})
            EXPECT_EQ(w->at(c).disabled(), view) << c;
        if (view) {
            EXPECT_EQ(w->at(af::kNotas).text(), QStringLiteral("lata de un litro"));
            QTest::keyClicks(w->at(af::kDescripcion).widget(), QStringLiteral("zzz"));
            click(w, af::kOk);
            ASSERT_TRUE(waitDone(r));
            EXPECT_EQ(r.response, kCancelled) << "view always answers cancelled";
        } else {
            click(w, af::kCancel);
            ASSERT_TRUE(waitDone(r));
        }
    }
    EXPECT_EQ(stored(7, "ART:Descripcion"), "Pintura");
    EXPECT_EQ(stored(7, "ART:Entradas"), "5.5");
    EXPECT_EQ(count(TableId::Articulo), 1);
    EXPECT_TRUE(presenter.empty());
}

TEST_F(ArticlesTest, StoredPicturesAreShownAndABadOneSaysWhy) {
    const QImage img = twoColours(40, 30);
    const std::vector<unsigned char> jpeg = encodeJpeg(img);
    ASSERT_FALSE(jpeg.empty());
    writeFile(dir.file("foto.jpg"), jpeg);
    ASSERT_TRUE(img.save(QString::fromStdString(dir.file("foto.bmp").string()), "BMP"));
    writeFile(dir.file("foto.gif"), makeGif(6, 4));
    writeFile(dir.file("rota.jpg"), Bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2)));
    struct Case {
        std::string path;
        QSize size;          // of the picture shown; empty: none
        const char* message;
    };
    const Case cases[] = {
        {dir.file("foto.jpg").string(), QSize(40, 30), ""},
        {dir.file("foto.bmp").string(), QSize(40, 30), ""},
        {dir.file("foto.gif").string(), QSize(6, 4), ""},
        {dir.file("rota.jpg").string(), {}, picture_errors::kDamaged},
        {dir.file("no_existe.jpg").string(), {}, picture_errors::kMissing},
        {"", {}, ""},
    };
    long long no = 1;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.path);
        seed({no, "Articulo", "", k.path});
        ProcRun& r = start(UpdateArticulo, kView, readArticle(no++));
        ui::Window* w = waitTop(r, QStringLiteral("Consulta"));
        ASSERT_NE(w, nullptr);
        const QPixmap shown = w->at(af::kPicture).as<QLabel>()->pixmap();
        EXPECT_EQ(shown.isNull() ? QSize() : shown.size(), k.size);
        EXPECT_EQ(w->at(af::kPictureMessage).text(), QString::fromUtf8(k.message));
        EXPECT_EQ(w->at(af::kPicturePath).text().toStdString(), k.path) << "the stored path stays as it is";
        click(w, af::kCancel);
        ASSERT_TRUE(waitDone(r));
    }
}

TEST_F(ArticlesTest, ThePictureChooserStoresTheChosenFileAndACancelKeepsThePath) {
    const QImage img = twoColours(20, 10);
    writeFile(dir.file("antes.jpg"), encodeJpeg(img));
    fs::create_directory(dir.file("fotos"));
    const fs::path bmp = dir.file("fotos") / "nueva.bmp";
    ASSERT_TRUE(img.save(QString::fromStdString(bmp.string()), "BMP"));
    seed({5, "Taladro", "", dir.file("antes.jpg").string()});
    const fs::path cwd = fs::current_path();
    ProcRun& r = start(UpdateArticulo, kChange, readArticle(5));
    ui::Window* w = waitTop(r, QStringLiteral("Modificaciones"));
    ASSERT_NE(w, nullptr);
    auto dialog = [] {
        QFileDialog* found = nullptr;
        runFor([&] {
            for (QWidget* d : ui::openDialogs())
                if (auto* f = qobject_cast<QFileDialog*>(d); f != nullptr && f->isVisible()) found = f;
            return found != nullptr;
        });
        return found;
    };
    struct Case {
        bool choose;
        fs::path expected;
    };
    const Case cases[] = {{true, bmp}, {false, bmp}};
    for (const Case& k : cases) {
        w->post({EventKind::Accepted, af::kPictureButton});
        QFileDialog* d = dialog();
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Select A File"));
        EXPECT_EQ(d->nameFilters(), (QStringList{QStringLiteral("Imagenes (*.jpg)"), QStringLiteral("Archivos BMP (*.bmp)"),
                                                 QStringLiteral("Archivos GIF (*.gif)")}));
        if (k.choose) {
            d->setDirectory(QString::fromStdString(bmp.parent_path().string()));
            d->selectNameFilter(QStringLiteral("Archivos BMP (*.bmp)"));
            d->selectFile(QString::fromStdString(bmp.string()));
            static_cast<QDialog*>(d)->done(QDialog::Accepted);
        } else {
            d->reject();
        }
        idle(r);
        EXPECT_EQ(w->at(af::kPicturePath).text().toStdString(), k.expected.string());
        EXPECT_EQ(w->at(af::kPicture).as<QLabel>()->pixmap().size(), QSize(20, 10));
        EXPECT_EQ(fs::current_path(), cwd) << "the working folder, where the tables are, stays";
    }
    click(w, af::kOk);
    ASSERT_TRUE(waitDone(r));
    EXPECT_EQ(r.response, kCompleted);
    EXPECT_EQ(stored(5, "ART:FOTOGRAFIA"), bmp.string());
}

// ---------------------------------------------------------------- the list

class ArticleListTest : public ArticlesTest {
protected:
    void seedFour() {
        seed({30, "Martillo", "AB-77"});
        seed({10, "Serrucho", "00123"});
        seed({20, "Lapiz rojo", "", "", "0", "0", "0", "de madera"});
        seed({40, "Brocha", "9"});
    }
    ui::Window* openList(ProcRun& r) { return waitTop(r, QStringLiteral("Articulo registrados")); }
};

TEST_F(ArticleListTest, TheTabsOrderByNumberAndDescriptionAndTheirEntriesLocate) {
    seedFour();
    ProcRun& r = start(BrowseArticulo, 0);
    ui::Window* w = openList(r);
    ASSERT_NE(w, nullptr);
    auto* sheet = w->at(app::kBrowseSheet).as<QTabWidget>();
    EXPECT_EQ(sheet->tabText(0), QStringLiteral("Por No. Art."));
    EXPECT_EQ(sheet->tabText(1), QString::fromUtf8("Por descripción"));
    EXPECT_EQ(column(w, 0), (std::vector<std::string>{"10", "20", "30", "40"}));
    EXPECT_EQ(column(w, 3), (std::vector<std::string>{"00123", "", "AB-77", "9"})) << "bar codes shown as stored";
    struct Case {
        int tab;
        int entry;
        QString typed;
        std::vector<std::string> descriptions;
        std::string selected;
    };
    const Case cases[] = {
        {0, al::kLocateNoArt, QStringLiteral("25"), {"Serrucho", "Lapiz rojo", "Martillo", "Brocha"}, "Martillo"},
        {1, al::kLocateDescripcion, QStringLiteral("lap"), {"Brocha", "Lapiz rojo", "Martillo", "Serrucho"}, "Lapiz rojo"},
        {0, al::kLocateNoArt, QStringLiteral("40"), {"Serrucho", "Lapiz rojo", "Martillo", "Brocha"}, "Brocha"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed.toStdString());
        chooseTab(w, k.tab);
        EXPECT_EQ(column(w, 1), k.descriptions);
        w->at(k.entry).setText(k.typed);
        w->post({EventKind::Accepted, k.entry});
        idle(r);
        EXPECT_EQ(selected(w, 1), k.selected);
    }
    click(w, app::kBrowseClose);
    ASSERT_TRUE(waitDone(r));
    EXPECT_EQ(r.response, kCancelled);
}

TEST_F(ArticleListTest, ReturnInALocatorEntryLocatesFromTheFirstPress) {
    // The user's own keys: Return pressed in the entry, not an event posted for it.
    seedFour();
    ProcRun& r = start(BrowseArticulo, 0);
    ui::Window* w = openList(r);
    ASSERT_NE(w, nullptr);
    struct Case {
        int tab;
        int entry;
        QString typed;
        std::string selected;
    };
    const Case cases[] = {
        {0, al::kLocateNoArt, QStringLiteral("25"), "Martillo"},  // right after the window opens
        {0, al::kLocateNoArt, QStringLiteral("15"), "Lapiz rojo"},
        {1, al::kLocateDescripcion, QStringLiteral("se"), "Serrucho"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed.toStdString());
        if (w->at(app::kBrowseSheet).as<QTabWidget>()->currentIndex() != k.tab) chooseTab(w, k.tab);
        type(w, k.entry, k.typed);
        QTest::keyClick(w->at(k.entry).widget(), Qt::Key_Return);
        idle(r);
        EXPECT_EQ(selected(w, 1), k.selected);
        EXPECT_TRUE(w->at(k.entry).hasFocus()) << "the entry keeps the focus for the next search";
    }
    click(w, app::kBrowseClose);
    ASSERT_TRUE(waitDone(r));
}

// "&Elegir" stands on the first tab; the columns are wide enough for their
// heading and what their picture shows; letters typed into the number
// locator are refused once and cleared.
TEST_F(ArticleListTest, ElegirOnTheFirstTabColumnsThatFitAndARefusedLocatorIsCleared) {
    seed({7, "Taladro", "7501234567890"});
    ProcRun& r = start(BrowseArticulo, 0);
    ui::Window* w = openList(r);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->at(app::kBrowseSelect).parent(), app::kBrowseFirstTab);
    EXPECT_EQ(w->at(app::kBrowseSelect).statusText(), QStringLiteral("Elegir producto"));
    QTableWidget* t = w->at(app::kBrowseList).as<QTableWidget>();
    ASSERT_NE(t, nullptr);
    // The view draws a cell's text inside margins: the column holds both.
    const int margins = 2 * (t->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, t) + 1);
    for (int c = 0; c < t->columnCount(); ++c) {
        const QString head = t->horizontalHeaderItem(c)->text();
        EXPECT_GE(t->columnWidth(c), t->horizontalHeader()->fontMetrics().horizontalAdvance(head))
            << head.toStdString();
        if (t->item(0, c) != nullptr && c != 1)  // the description may be cut, as designed
            EXPECT_GE(t->columnWidth(c), t->fontMetrics().horizontalAdvance(t->item(0, c)->text()) + margins)
                << head.toStdString();
    }
    EXPECT_EQ(t->item(0, 3)->text(), QStringLiteral("7501234567890"));
    type(w, al::kLocateNoArt, QStringLiteral("abc"));
    QTest::keyClick(w->at(al::kLocateNoArt).widget(), Qt::Key_Return);
    idle(r);
    EXPECT_EQ(presenter.count(), 1u);
    EXPECT_TRUE(w->at(al::kLocateNoArt).text().isEmpty()) << "the refused text is cleared";
    QTest::keyClick(w->at(al::kLocateNoArt).widget(), Qt::Key_Return);
    idle(r);
    EXPECT_EQ(presenter.count(), 1u) << "the message does not come back";
    click(w, app::kBrowseClose);
    ASSERT_TRUE(waitDone(r));
}

TEST_F(ArticleListTest, TheExcelButtonFollowsRight61AndStartsTheExportOnItsOwnThread) {
    seedFour();
    int started = 0;
    threads::ThreadNo exportThread = 0;
    app::RegisterProcedure(kFiltroArtExcel, [&] {
        ++started;
        exportThread = threads::current();
    });
    for (uint8_t right : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE(int(right));
        app::globals().UserPermissions[kRightArticleExcel] = right;
        ProcRun& r = start(BrowseArticulo, 0);
        ui::Window* w = openList(r);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->at(al::kExcel).disabled(), right == 0);
        EXPECT_EQ(w->at(al::kExcel).text(), QStringLiteral("E&xcel"));
        EXPECT_FALSE(w->at(al::kFilter).disabled()) << "nothing else depends on the right";
        w->post({EventKind::Accepted, al::kExcel});
        idle(r);
        EXPECT_EQ(started, right == 0 ? 0 : 1);
        click(w, app::kBrowseClose);
        ASSERT_TRUE(waitDone(r));
        if (right != 0) {
            EXPECT_NE(exportThread, r.thread) << "a thread of its own";
        }
    }
    app::RegisterProcedure(kFiltroArtExcel, {});
}

TEST_F(ArticleListTest, ASavedQueryComesBackFromTheIniFileWhenTheListIsOpenedAgain) {
    seedFour();
    const fs::path file = dir.file("talvor.INI");
    auto qbeWindow = [] {
        ui::Window* found = nullptr;
        runFor([&] {
            for (ui::Window* w : ui::Window::openWindows())
                if (w->caption() == QStringLiteral("Busquedas - Seteos") && w->isOpen()) found = w;
            return found != nullptr;
        });
        settle();
        return found;
    };
    auto savedList = [](ui::Window* q) { return q->control("?QUERIES")->as<QTableWidget>(); };
    {
        IniStore ini(file);
        SetArticleQueryStore(&ini);
        ProcRun& r = start(BrowseArticulo, 0);
        ui::Window* w = openList(r);
        ASSERT_NE(w, nullptr);
        click(w, al::kFilter);
        ui::Window* q = qbeWindow();
        ASSERT_NE(q, nullptr);
        auto* value = q->control("?VALUE2")->as<QLineEdit>();
        value->setFocus();
        QTest::keyClicks(value, QStringLiteral("MAR"));
        q->control("?SHEET")->as<QTabWidget>()->setCurrentIndex(1);
        auto* name = q->control("?QUERYNAME")->as<QLineEdit>();
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("Martillos"));
        QTest::mouseClick(q->control("?SAVEQUERY")->widget(), Qt::LeftButton);
        ASSERT_TRUE(runFor([&] { return savedList(q)->rowCount() == 1; }));
        QTest::mouseClick(q->control("?OK")->widget(), Qt::LeftButton);
        idle(r);
        EXPECT_EQ(column(w, 1), std::vector<std::string>{"Martillo"}) << "the filter applied";
        click(w, app::kBrowseClose);
        ASSERT_TRUE(waitDone(r));
        SetArticleQueryStore(nullptr);
    }
    // Kept in the file under the list's own section.
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("[QBE-BrowseArticulo]"), std::string::npos) << text;
    EXPECT_NE(text.find("Martillos"), std::string::npos) << text;

    // The program starts again: a new store on the same file.
    IniStore ini(file);
    SetArticleQueryStore(&ini);
    ProcRun& r = start(BrowseArticulo, 0);
    ui::Window* w = openList(r);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(column(w, 1).size(), 4u) << "the filter lasted only while the list was open";
    click(w, al::kFilter);
    ui::Window* q = qbeWindow();
    ASSERT_NE(q, nullptr);
    ASSERT_EQ(savedList(q)->rowCount(), 1);
    EXPECT_EQ(savedList(q)->item(0, 0)->text(), QStringLiteral("Martillos"));
    q->control("?SHEET")->as<QTabWidget>()->setCurrentIndex(1);
    QTest::mouseClick(q->control("?RUNQUERY")->widget(), Qt::LeftButton);
    idle(r);
    EXPECT_EQ(column(w, 1), std::vector<std::string>{"Martillo"});
    click(w, app::kBrowseClose);
    ASSERT_TRUE(waitDone(r));
}

TEST_F(ArticleListTest, ACallerPicksAnArticleInSelectMode) {
    seedFour();
    struct Case {
        uint8_t request;
        int button;
        uint8_t response;
        long long inBuffer;    // ART:NoArt the caller finds afterwards (-1: not a pick)
        const char* notes;
    };
    const Case cases[] = {
        {kSelect, app::kBrowseSelect, kCompleted, 20, "de madera"},  // the whole record, read again
        {kSelect, app::kBrowseClose, kCancelled, 40, ""},            // the caller's record back
        {0, app::kBrowseSelect, kCompleted, -1, ""},                 // from the menu "&Elegir" only closes
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.button);
        ProcRun& r = start(BrowseArticulo, k.request, readArticle(40));
        ui::Window* w = openList(r);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->at(app::kBrowseSelect).tip(), QStringLiteral("Elegir producto"));
        EXPECT_FALSE(w->at(app::kBrowseSelect).disabled());
        clickRow(w, 1);
        EXPECT_EQ(selected(w, 0), "20");
        click(w, k.button);
        ASSERT_TRUE(waitDone(r));
        if (k.request == kSelect) {
            EXPECT_EQ(r.response, k.response);
        }
        ASSERT_TRUE(r.art.has_value());
        if (k.inBuffer < 0) continue;
        EXPECT_EQ(r.art->number(artField("ART:NoArt")).toInt64(), k.inBuffer);
        EXPECT_EQ(trimmed(r.art->get(artField("ART:Notas")).asText()), k.notes);
    }
}

TEST_F(ArticleListTest, TheListOpensTheFormOnTheHighlightedArticle) {
    seedFour();
    ProcRun& r = start(BrowseArticulo, 0);
    ui::Window* w = openList(r);
    ASSERT_NE(w, nullptr);
    clickRow(w, 2);
    click(w, app::kBrowseChange);
    ui::Window* f = waitTop(r, QStringLiteral("Modificaciones"), w);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->at(af::kNoArt).text(), QStringLiteral("30"));
    type(f, af::kDescripcion, QStringLiteral("Martillo de bola"));
    click(f, af::kOk);
    ASSERT_NE(waitTop(r, QStringLiteral("Articulo registrados")), nullptr);
    EXPECT_EQ(column(w, 1)[2], "Martillo de bola");
    EXPECT_EQ(stored(30, "ART:Descripcion"), "Martillo de bola");
    click(w, app::kBrowseClose);
    ASSERT_TRUE(waitDone(r));
}

TEST_F(ArticleListTest, FindTakesBarCodesAsTextAndDescriptionsInAnyCase) {
    seedFour();
    ProcRun& r = start(BrowseArticulo, 0);
    ui::Window* w = openList(r);
    ASSERT_NE(w, nullptr);
    struct Case {
        int column;       // row of the find window's column list
        QString value;
        const char* selected;  // No Art
    };
    const Case cases[] = {
        {3, QStringLiteral("0012"), "10"},   // leading zeros kept
        {3, QStringLiteral("b-7"), "30"},    // letters, any case
        {1, QStringLiteral("lapiz"), "20"},  // "Lapiz rojo"
        {0, QStringLiteral("40"), "40"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.value.toStdString());
        QTest::keyClick(table(w), Qt::Key_F3);
        ui::Window* f = nullptr;
        ASSERT_TRUE(runFor([&] {
            for (ui::Window* o : ui::Window::openWindows())
                if (o->caption() == QStringLiteral("Buscar:") && o->isOpen()) f = o;
            return f != nullptr;
        }));
        settle();
        f->at(app::kVsfColumns).as<QTableWidget>()->setCurrentCell(k.column, 0);
        auto* e = f->at(app::kVsfValue).as<QLineEdit>();
        e->clear();
        QTest::keyClicks(e, k.value);
        settle();
        QTest::mouseClick(f->at(app::kVsfFind).as<QPushButton>(), Qt::LeftButton);
        idle(r);
        EXPECT_EQ(selected(w, 0), k.selected);
        EXPECT_TRUE(presenter.empty());
    }
    click(w, app::kBrowseClose);
    ASSERT_TRUE(waitDone(r));
}

// ---------------------------------------------------------------- the bar-code list

TEST_F(ArticleListTest, TheBarcodeListPicksThroughTheAliasAndActsOnTheHighlightedArticle) {
    seedFour();
    ProcRun& r = start(BrowseArticuloBarras, kSelect, readArticle(20));
    ui::Window* w = openList(r);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->at(app::kBrowseSheet).as<QTabWidget>()->tabText(0), QStringLiteral("Por Cod. Barras"));
    // Codes as texts, in text order; the article without a code is not listed.
    EXPECT_EQ(column(w, 0), (std::vector<std::string>{"00123", "9", "AB-77"}));
    EXPECT_EQ(column(w, 2), (std::vector<std::string>{"10", "40", "30"}));

    // "&Ver" and "&Cambiar" open the form on the highlighted row's article.
    struct Case {
        int row;
        int button;
        const char* caption;
        const char* noArt;
    };
    const Case cases[] = {
        {2, app::kBrowseView, "Consulta", "30"},
        {1, app::kBrowseChange, "Modificaciones", "40"},
        {0, app::kBrowseView, "Consulta", "10"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.noArt);
        clickRow(w, k.row);
        click(w, k.button);
        ui::Window* f = waitTop(r, QString::fromUtf8(k.caption), w);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->at(af::kNoArt).text(), QString::fromUtf8(k.noArt));
        if (k.button == app::kBrowseChange) {
            type(f, af::kDescripcion, QStringLiteral("Brocha ancha"));
            click(f, af::kOk);
        } else {
            click(f, af::kCancel);
        }
        ASSERT_NE(waitTop(r, QStringLiteral("Articulo registrados")), nullptr);
        ASSERT_EQ(r.top(), w);
    }
    EXPECT_EQ(stored(40, "ART:Descripcion"), "Brocha ancha");
    EXPECT_EQ(column(w, 1)[1], "Brocha ancha");

    // "&Agregar": the form adds; a cancelled insert leaves nothing behind.
    const int64_t before = count(TableId::Articulo);
    click(w, app::kBrowseInsert);
    ui::Window* f = waitTop(r, QStringLiteral("Altas"), w);
    ASSERT_NE(f, nullptr);
    click(f, af::kCancel);
    ASSERT_NE(waitTop(r, QStringLiteral("Articulo registrados")), nullptr);
    EXPECT_EQ(count(TableId::Articulo), before);
    EXPECT_TRUE(presenter.empty());

    // "&Borrar" deletes the highlighted article after question 11.
    clickRow(w, 1);
    presenter.answer(Answer::Yes);
    click(w, app::kBrowseDelete);
    idle(r);
    EXPECT_EQ(shownNumbers(), std::vector<int>{11});
    EXPECT_EQ(stored(40, "ART:Descripcion"), "<none>");
    EXPECT_EQ(stored(30, "ART:Descripcion"), "Martillo");
    EXPECT_EQ(column(w, 0), (std::vector<std::string>{"00123", "AB-77"}));

    // A pick leaves the article in AliasArticulos; the caller's Articulo stays.
    clickRow(w, 1);
    click(w, app::kBrowseSelect);
    ASSERT_TRUE(waitDone(r));
    EXPECT_EQ(r.response, kCompleted);
    const data::TableDecl& aar = data::decl(TableId::AliasArticulos);
    EXPECT_EQ(r.alias->number(aar.fieldIndex("AAR:NoArt")).toInt64(), 30);
    EXPECT_EQ(trimmed(r.alias->get(aar.fieldIndex("AAR:CodigoBarras")).asText()), "AB-77");
    EXPECT_EQ(r.art->number(artField("ART:NoArt")).toInt64(), 20) << "the caller's article is untouched";
}

TEST_F(ArticlesTest, TheArticleOfABarcodeRowIsReadByItsNumberAndAGoneOneLeavesTheBufferAlone) {
    seed({30, "Martillo", "AB-77"});
    onThread([] {
        data::ThreadTableSet& t = data::tables();
        const int aarNo = data::decl(TableId::AliasArticulos).fieldIndex("AAR:NoArt");
        struct Case {
            long long row;          // AAR:NoArt of the row
            bool found;
            const char* description;  // in Articulo afterwards
        };
        for (const Case& k : {Case{30, true, "Martillo"}, Case{999, false, "del llamador"}}) {
            t.Articulo().clear();
            t.Articulo().set(artField("ART:Descripcion"), Value("del llamador"));
            t.AliasArticulos().set(aarNo, Value(k.row));
            EXPECT_EQ(ReadArticleOfAlias(t), k.found) << k.row;
            EXPECT_EQ(trimmed(t.Articulo().get(artField("ART:Descripcion")).asText()), k.description);
        }
    });
    EXPECT_EQ(ArticleGoneMessage(Decimal(999)), "El artículo 999 ya no existe en el archivo de artículos.");
}

}  // namespace
}  // namespace tv::catalog
