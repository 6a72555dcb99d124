// The issue windows driven as a user drives them (offscreen, real widgets):
// an issue added through the list with lines picked by number and by bar
// code, lines refused for short stock, the issue listed and viewed, the
// printout saved as PDF, a completion refused when the stock fell,
// cancelling, and the refused requests.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "app/printout/document_printout.h"
#include "movements/issues/issue_controls.h"
#include "movements/issues/issue_posting.h"
#include "movements/issues/issues.h"
#include "platform/ini/ini_store.h"
#include "platform/threads/thread_state.h"
#include "tests/app/printout/printout_driver.h"
#include "tests/movements/issues/issue_fixture.h"
#include "tests/movements/support/document_ui.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::issues {
namespace {

using data::TableId;
using test::D;
using tv::test::onThread;
using tv::test::runFor;
using tv::test::settle;
namespace pt = tv::test;  // the printout driver
namespace L = list_ui;
namespace F = form_ui;
namespace R = line_ui;

class IssueUi : public movements::test::DocumentUi {
protected:
    void SetUp() override {
        DocumentUi::SetUp();
        app::SetPrintoutPlacementStore(&ini);
        insertRows(TableId::Unidades, {{{"UNI:UM", Value("PIEZA")}}});
        insertRows(TableId::TipSalidas, {{{"TSA:Descripcion", Value("CONSUMO")}}, {{"TSA:Descripcion", Value("MERMA")}}});
        insertRows(TableId::Deptos, {{{"DEP:Nombre", Value("MANTENIMIENTO")}}, {{"DEP:Nombre", Value("TALLER")}}});
        insertRows(TableId::Proveedores, {{{"PVD:Codigo", Value("PROV1")}, {"PVD:Nombre", Value("FERRETERA DEL NORTE")}}});
        insertRows(TableId::Articulo,
                   {{{"ART:NoArt", Value(10)}, {"ART:Descripcion", Value("TORNILLO 1/4")}, {"ART:UM", Value(1)},
                     {"ART:CodigoBarras", Value("750100")}, {"ART:ExistenciaAnterior", Value(4)}},
                    {{"ART:NoArt", Value(20)}, {"ART:Descripcion", Value("TUERCA 1/4")}, {"ART:UM", Value(1)},
                     {"ART:CodigoBarras", Value("750200")}, {"ART:ExistenciaAnterior", Value(5)}}});
        insertRows(TableId::Folios, {{{"FOL:SALIDAS", Value(5)}}});
    }
    void TearDown() override {
        app::SetPrintoutPlacementStore(nullptr);
        DocumentUi::TearDown();
    }

    ui::Window* issueForm() { return formOn(thread_, list_); }
    ui::Window* lineForm(ui::Window* issue) { return formOn(thread_, issue); }
    // A new issue from the list, with its date typed.
    ui::Window* newIssue() {
        click(list_, L::kInsert);
        ui::Window* f = issueForm();
        if (f != nullptr) enter(f, F::kFecha, QStringLiteral("15/03/2024"));
        return f;
    }
    // Opens the line form for a new line and fills it; leaves it open.
    ui::Window* fillLine(ui::Window* issue, const QString& article, const QString& barcode, const QString& quantity,
                         const QString& cost) {
        click(issue, F::kLineInsert);
        ui::Window* l = lineForm(issue);
        if (l == nullptr) return nullptr;
        if (!article.isEmpty()) enter(l, R::kCodigo, article);
        if (!barcode.isEmpty()) {
            enter(l, R::kBarras, barcode);
            EXPECT_TRUE(l->at(R::kCantidad).hasFocus());  // a bar code found moves on to the quantity
        }
        enter(l, R::kCantidad, quantity);
        enter(l, R::kCosto, cost);
        return l;
    }
    // "Aceptar" on the line form; true when it closed.
    bool acceptLine(ui::Window* issue, ui::Window* line) {
        const std::size_t shown = presenter.count();
        click(line, R::kOk);
        runFor([&] { return ui::Window::topOf(thread_) == issue || presenter.count() != shown; });
        settle();
        return ui::Window::topOf(thread_) == issue;
    }
    std::string lastMessage() const { return presenter.empty() ? std::string() : presenter.last().text; }
    void addLine(ui::Window* issue, const QString& article, const QString& barcode, const QString& quantity,
                 const QString& cost) {
        ui::Window* l = fillLine(issue, article, barcode, quantity, cost);
        ASSERT_NE(l, nullptr);
        ASSERT_TRUE(acceptLine(issue, l)) << lastMessage();
        settle();
    }
    void storeIssue(const test::Issue& i) {
        onThread([&] {
            test::Enter(data::tables(), i);
            ASSERT_TRUE(CompleteIssue(data::tables()));
        });
    }
    // "Cancelar" on a new issue, answering "¿Desea Ud.cancelar?" with Yes.
    void cancelNew(ui::Window* f) {
        presenter.answer(Answer::Yes);
        click(f, F::kCancel);
        ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    }
    long long folioCounter() {
        long long n = 0;
        onThread([&] { n = FolioCounter(data::tables(), kIssueFolio); });
        return n;
    }

    IniStore ini{dir.file("talvor.INI")};
};

TEST_F(IssueUi, AnIssueAddedThroughTheListWithLinesByNumberAndByBarcode) {
    start(BrowseSalidas);
    EXPECT_EQ(list_->caption(), QString::fromUtf8("Salidas de almacén"));
    EXPECT_TRUE(list_->at(L::kChange).hidden());
    EXPECT_TRUE(list_->at(L::kDelete).hidden());
    ui::Window* f = newIssue();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->caption(), QStringLiteral("Altas"));
    EXPECT_EQ(text(f, F::kFolio), "5");
    enter(f, F::kTipo, QStringLiteral("MERMA"));
    EXPECT_EQ(text(f, F::kTipoDesc), "MERMA");
    enter(f, F::kDepto, QStringLiteral("TALLER"));
    EXPECT_EQ(text(f, F::kDeptoName), "TALLER");
    auto* suppliers = f->at(F::kProveedor).as<QComboBox>();
    ASSERT_EQ(suppliers->count(), 2);  // none, and PROV1
    suppliers->setCurrentIndex(1);
    emit suppliers->activated(1);
    settle();
    EXPECT_EQ(text(f, F::kNombre), "FERRETERA DEL NORTE");
    enter(f, F::kReferencia, QStringLiteral("VALE-77"));

    addLine(f, QStringLiteral("10"), {}, QStringLiteral("3"), QStringLiteral("12.50"));
    addLine(f, {}, QStringLiteral("750200"), QStringLiteral("2"), QStringLiteral("1.00"));
    EXPECT_EQ(cells(lines(f, F::kLines), 0), (std::vector<std::string>{"10", "20"}));
    EXPECT_EQ(cells(lines(f, F::kLines), 5), (std::vector<std::string>{"37.50", "2.00"}));
    EXPECT_TRUE(f->at(F::kFolio).readOnly());  // the lines carry the folio
    EXPECT_EQ(count(TableId::Kardex), 0);     // nothing posted before "Aceptar"
    EXPECT_TRUE(allColumnsShow(lines(f, F::kLines)));

    click(f, F::kOk);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    settle();
    EXPECT_TRUE(presenter.empty()) << lastMessage();
    // The list shows the issue under its folio, its lines below it.
    EXPECT_EQ(cells(table(), 1), (std::vector<std::string>{"5"}));
    EXPECT_EQ(cells(table(), 2), (std::vector<std::string>{"MERMA"}));
    EXPECT_EQ(cells(table(), 3), (std::vector<std::string>{"15/03/2024"}));
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 1), (std::vector<std::string>{"TORNILLO 1/4", "TUERCA 1/4"}));
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 2), (std::vector<std::string>{"PIEZA", "PIEZA"}));
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 3), (std::vector<std::string>{"3.00", "2.00"}));
    EXPECT_EQ(text(list_, L::kTypeName), "MERMA");
    EXPECT_TRUE(allColumnsShow(table()));
    EXPECT_TRUE(allColumnsShow(lines(list_, L::kLinesList)));
    EXPECT_EQ(articleField(10, "ART:Salidas"), Decimal(3));
    EXPECT_EQ(articleField(20, "ART:Salidas"), Decimal(2));
    EXPECT_EQ(count(TableId::Kardex), 2);
    EXPECT_EQ(folioCounter(), 6);
    EXPECT_EQ(stored(TableId::Salidas, "SAL:PROVEEDOR"), (std::vector<std::string>{"1 PROV1"}));
    EXPECT_EQ(stored(TableId::Salidas, "SAL:RECIBE"), (std::vector<std::string>{"1 2"}));

    // Viewed: every entry read-only, its lines shown, nothing posted again.
    click(list_, L::kView);
    f = issueForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->caption(), QStringLiteral("Consulta"));
    EXPECT_EQ(text(f, F::kFolio), "5");
    EXPECT_EQ(text(f, F::kDeptoName), "TALLER");
    EXPECT_EQ(text(f, F::kNombre), "FERRETERA DEL NORTE");
    EXPECT_TRUE(f->at(F::kFolio).readOnly());
    EXPECT_TRUE(f->at(F::kProveedor).disabled());
    EXPECT_TRUE(f->at(F::kLineInsert).hidden());
    EXPECT_EQ(cells(lines(f, F::kLines), 0), (std::vector<std::string>{"10", "20"}));
    click(f, F::kOk);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    EXPECT_EQ(count(TableId::Kardex), 2);
    EXPECT_TRUE(presenter.empty());
    closeList();
}

// The line form's stock check: the stock shown, a quantity beyond it
// refused, the issue's other lines of the article counted, a changed line
// counted once.
TEST_F(IssueUi, LinesBeyondTheStockAreRefused) {
    start(BrowseSalidas);
    ui::Window* f = newIssue();
    ASSERT_NE(f, nullptr);
    ui::Window* l = fillLine(f, QStringLiteral("10"), {}, QStringLiteral("4.01"), QStringLiteral("1"));
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(text(l, R::kExistencia), "4.00");
    EXPECT_EQ(text(l, R::kDescripcion), "TORNILLO 1/4");
    EXPECT_FALSE(acceptLine(f, l));
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().text, "Existencia insuficiente");
    EXPECT_EQ(ui::Window::topOf(thread_), l);
    EXPECT_TRUE(l->at(R::kCantidad).hasFocus());
    presenter.clear();
    enter(l, R::kCantidad, QStringLiteral("4"));  // equal to the stock
    ASSERT_TRUE(acceptLine(f, l));
    settle();
    // A second line of the same article: 4 + 1 is more than 4.
    l = fillLine(f, QStringLiteral("10"), {}, QStringLiteral("1"), QStringLiteral("1"));
    ASSERT_NE(l, nullptr);
    EXPECT_FALSE(acceptLine(f, l));
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().text, "Existencia insuficiente");
    presenter.clear();
    presenter.answer(Answer::Yes);
    click(l, R::kCancel);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == f; }));
    settle();
    EXPECT_EQ(lines(f, F::kLines)->rowCount(), 1);
    // The stored line changed from 4 to 3: its own 4 does not count against it.
    lines(f, F::kLines)->setCurrentCell(0, 0);
    click(f, F::kLineChange);
    l = lineForm(f);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->caption(), QStringLiteral("Modificaciones"));
    enter(l, R::kCantidad, QStringLiteral("3"));
    ASSERT_TRUE(acceptLine(f, l)) << lastMessage();
    settle();
    EXPECT_EQ(cells(lines(f, F::kLines), 3), (std::vector<std::string>{"3.00"}));
    // A number that names no article opens the article list; leaving it
    // keeps the focus on the number.
    click(f, F::kLineInsert);
    l = lineForm(f);
    ASSERT_NE(l, nullptr);
    enter(l, R::kCodigo, QStringLiteral("99"));
    ui::Window* picker = formOn(thread_, l);
    ASSERT_NE(picker, nullptr);
    picker->post({ui::EventKind::CloseWindow, 0});
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == l; }));
    settle();
    EXPECT_TRUE(l->at(R::kCodigo).hasFocus());
    presenter.answer(Answer::Yes);
    click(l, R::kCancel);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == f; }));
    EXPECT_EQ(count(TableId::Kardex), 0);
    cancelNew(f);
    EXPECT_EQ(count(TableId::DetSalidas), 0);  // the cancelled issue's lines are gone
    EXPECT_EQ(count(TableId::Salidas), 0);
    closeList();
}

// The stock fell after the lines were entered (another station issued the
// article): "Aceptar" is refused naming the article, nothing is posted, the
// form stays open; with the line lowered the issue posts once.
TEST_F(IssueUi, ACompletionRefusedWhenTheStockFellPostsNothing) {
    start(BrowseSalidas);
    ui::Window* f = newIssue();
    ASSERT_NE(f, nullptr);
    addLine(f, QStringLiteral("20"), {}, QStringLiteral("4"), QStringLiteral("2"));
    addLine(f, QStringLiteral("10"), {}, QStringLiteral("2"), QStringLiteral("2"));
    storeIssue({.folio = 40, .lines = {{20, Decimal(3), D(0)}}});
    click(f, F::kOk);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Existencia insuficiente");
    EXPECT_NE(presenter.last().text.find("artículo 20"), std::string::npos) << lastMessage();
    EXPECT_EQ(ui::Window::topOf(thread_), f);
    EXPECT_EQ(articleField(10, "ART:Salidas"), Decimal(0));
    EXPECT_EQ(articleField(20, "ART:Salidas"), Decimal(3));
    EXPECT_EQ(count(TableId::Kardex), 1);
    presenter.clear();
    lines(f, F::kLines)->setCurrentCell(0, 0);
    click(f, F::kLineChange);
    ui::Window* l = lineForm(f);
    ASSERT_NE(l, nullptr);
    enter(l, R::kCantidad, QStringLiteral("2"));
    ASSERT_TRUE(acceptLine(f, l)) << lastMessage();
    settle();
    click(f, F::kOk);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    EXPECT_TRUE(presenter.empty()) << lastMessage();
    EXPECT_EQ(articleField(20, "ART:Salidas"), Decimal(5));
    EXPECT_EQ(articleField(10, "ART:Salidas"), Decimal(2));
    EXPECT_EQ(count(TableId::Kardex), 3);
    EXPECT_EQ(cells(table(), 1), (std::vector<std::string>{"5", "40"}));
    closeList();
}

// The printout of the issue selected in the list, saved as PDF.
TEST_F(IssueUi, ThePrintoutOfTheSelectedIssueSavedAsPdf) {
    storeIssue({.folio = 31, .type = 1, .date = 0, .department = 2, .supplier = "PROV1", .reference = "VALE-31",
                .lines = {{10, Decimal(3), D(250)}, {20, Decimal(1), D(300)}}});
    storeIssue({.folio = 32});
    start(BrowseSalidas);
    EXPECT_EQ(cells(table(), 1), (std::vector<std::string>{"31", "32"}));
    EXPECT_EQ(text(list_, L::kTypeName), "CONSUMO");
    // The issue without lines cannot be printed.
    table()->setCurrentCell(1, 0);
    settle();
    EXPECT_TRUE(list_->at(L::kPrint).disabled());
    EXPECT_EQ(text(list_, L::kTypeName), "");
    table()->setCurrentCell(0, 0);
    settle();
    ASSERT_FALSE(list_->at(L::kPrint).disabled());
    click(list_, L::kPrint);
    ASSERT_TRUE(pt::cancelPrinterChoice());
    report::PreviewWindowController* preview = pt::waitForPreview();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(pt::saveFromPreview(*preview, pt::kPdfWriter, dir.file("salida31")));
    settle();
    EXPECT_TRUE(std::filesystem::exists(dir.file("salida31.PDF")));
    const std::string pdf = pt::pdfText(dir.file("salida31.PDF"));
    if (!pdf.empty()) {
        for (const char* shown : {"Salida de almacén", "CONSUMO", "TALLER", "Folio:", "31", "Departamento:",
                                  "TORNILLO 1/4", "TUERCA 1/4", "PIEZA", "3.00", "2.50", "7.50", "Importe"})
            EXPECT_NE(pdf.find(shown), std::string::npos) << shown << "\n" << pdf;
        // Neither the supplier nor the reference is printed.
        EXPECT_EQ(pdf.find("FERRETERA"), std::string::npos);
        EXPECT_EQ(pdf.find("VALE-31"), std::string::npos);
    }
    closeList();
}

// A used folio: no line can be added under it, and "Aceptar" is refused
// with message 15.
TEST_F(IssueUi, AUsedFolioIsRefused) {
    storeIssue({.folio = 5, .lines = {{10, Decimal(1), D(100)}}});
    start(BrowseSalidas);
    ui::Window* f = newIssue();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(text(f, F::kFolio), "6");  // the counter moved past the stored one
    enter(f, F::kFolio, QStringLiteral("5"));
    click(f, F::kLineInsert);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Folio no válido");
    EXPECT_EQ(ui::Window::topOf(thread_), f);
    presenter.clear();
    click(f, F::kOk);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(messageNumber(presenter.last()), 15);
    EXPECT_NE(presenter.last().text.find("sal:KeyFolio"), std::string::npos);
    EXPECT_EQ(ui::Window::topOf(thread_), f);
    cancelNew(f);
    closeList();
}

// Issues are looked at, never changed or deleted.
TEST_F(IssueUi, ChangeAndDeleteAreRefused) {
    for (const auto& [request, message] : {std::pair{kChange, 41}, std::pair{kDelete, 14}}) {
        presenter.clear();
        uint8_t response = 0;
        onThread([&, request = request] {
            threadState().callRequest = request;
            UpdateSalidas();
            response = threadState().callResponse;
        });
        EXPECT_EQ(response, kCancelled);
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(messageNumber(presenter.last()), message);
    }
    EXPECT_EQ(count(TableId::Salidas), 0);
}

}  // namespace
}  // namespace tv::movements::issues
