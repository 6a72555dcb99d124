// What the forms of the documents do alike, driven through each document's
// own windows (receipts, issues, orders) as a user drives them: another
// document's lines under a folio typed are shown but not changed or deleted,
// change and delete requests are refused before any window opens, and view
// mode leaves the lines scrolling without their buttons.
#include <QTableWidget>

#include "movements/common/document_form.h"
#include "movements/issues/issue_controls.h"
#include "movements/issues/issues.h"
#include "movements/orders/order_controls.h"
#include "movements/orders/orders.h"
#include "movements/receipts/receipt_controls.h"
#include "movements/receipts/receipts.h"
#include "platform/threads/thread_state.h"
#include "platform/types/date.h"
#include "tests/movements/issues/issue_fixture.h"
#include "tests/movements/orders/order_fixture.h"
#include "tests/movements/receipts/receipt_fixture.h"
#include "tests/movements/support/document_ui.h"
#include "tests/movements/support/harness.h"

namespace tv::movements {
namespace {

using data::TableId;
using tv::test::onThread;
using tv::test::runFor;
using tv::test::settle;
namespace L = doc_list_ui;
namespace R = line_ui;

// One document as its windows and its posting see it.
struct Document {
    const char* name;
    void (*list)();
    void (*form)();
    TableId lines;
    const FolioRule* rule;
    int folio, linesList, lineInsert, lineChange, lineDelete, ok, cancel;  // the form's controls
    // Stores document `folio` with one line of article 10, as its form does.
    bool (*store)(data::ThreadTableSet& t, long long folio);
};

const Document kDocuments[] = {
    {"receipt", receipts::BrowseEntradas, receipts::UpdateEntradas, TableId::DetEntradas, &receipts::kReceiptFolio,
     receipts::form_ui::kFolio,
     receipts::form_ui::kLines, receipts::form_ui::kLineInsert, receipts::form_ui::kLineChange,
     receipts::form_ui::kLineDelete, receipts::form_ui::kOk, receipts::form_ui::kCancel,
     [](data::ThreadTableSet& t, long long folio) {
         receipts::test::Enter(t, {.folio = folio, .type = 1, .lines = {{10, Decimal(1), Decimal(2)}}});
         return receipts::CompleteReceipt(t);
     }},
    {"issue", issues::BrowseSalidas, issues::UpdateSalidas, TableId::DetSalidas, &issues::kIssueFolio, issues::form_ui::kFolio,
     issues::form_ui::kLines, issues::form_ui::kLineInsert, issues::form_ui::kLineChange,
     issues::form_ui::kLineDelete, issues::form_ui::kOk, issues::form_ui::kCancel,
     [](data::ThreadTableSet& t, long long folio) {
         issues::test::Enter(t, {.folio = folio, .type = 1, .date = dateFromYmd(2024, 3, 15), .department = 1,
                                 .lines = {{10, Decimal(1), Decimal(2)}}});
         return issues::CompleteIssue(t);
     }},
    {"order", orders::BrowseOrdenes, orders::UpdateOrdenes, TableId::DetOrdenes, &orders::kOrderFolio, orders::form_ui::kFolio,
     orders::form_ui::kLines, orders::form_ui::kLineInsert, orders::form_ui::kLineChange,
     orders::form_ui::kLineDelete, orders::form_ui::kOk, orders::form_ui::kCancel,
     [](data::ThreadTableSet& t, long long folio) {
         orders::test::Enter(t, {.folio = folio, .lines = {{10, Decimal(1), Decimal(2)}}});
         return orders::CompleteOrder(t);
     }},
};

void PrintTo(const Document& d, std::ostream* os) { *os << d.name; }

// Remembers, at each message, whether the asking thread had a window open.
class WindowAtMessage : public ScriptedPresenter {
public:
    Answer show(const MessageBox& box) override {
        windowOpen.push_back(ui::Window::topOf(threads::current()) != nullptr);
        return ScriptedPresenter::show(box);
    }
    std::vector<bool> windowOpen;
};

class DocumentForms : public test::DocumentUi, public ::testing::WithParamInterface<Document> {
protected:
    void SetUp() override {
        DocumentUi::SetUp();
        insertRows(TableId::Unidades, {{{"UNI:UM", Value("PIEZA")}}});
        insertRows(TableId::TipEntradas, {{{"TEN:Descripcion", Value("COMPRA")}}});
        insertRows(TableId::TipSalidas, {{{"TSA:Descripcion", Value("CONSUMO")}}});
        insertRows(TableId::Deptos, {{{"DEP:Nombre", Value("TALLER")}}});
        insertRows(TableId::Articulo, {{{"ART:NoArt", Value(10)}, {"ART:Descripcion", Value("TORNILLO 1/4")},
                                        {"ART:UM", Value(1)}, {"ART:ExistenciaAnterior", Value(10)}}});
        insertRows(TableId::Folios,
                   {{{"FOL:ENTRADAS", Value(5)}, {"FOL:SALIDAS", Value(5)}, {"FOL:ORDENCOMPRA", Value(5)}}});
    }
    void store(long long folio) {
        onThread([&] { ASSERT_TRUE(GetParam().store(data::tables(), folio)); });
    }
    ui::Window* newDocument() {
        click(list_, L::kInsert);
        return formOn(thread_, list_);
    }
    void cancelNew(ui::Window* f) {
        presenter.answer(Answer::Yes);
        click(f, GetParam().cancel);
        ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    }
};

TEST_P(DocumentForms, AnotherDocumentsLinesUnderAFolioTypedAreShownButNotChangedOrDeleted) {
    const Document& d = GetParam();
    store(5);
    start(d.list);
    ui::Window* f = newDocument();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(text(f, d.folio), "6");
    enter(f, d.folio, QStringLiteral("5"));
    ASSERT_EQ(lines(f, d.linesList)->rowCount(), 1);
    lines(f, d.linesList)->setCurrentCell(0, 0);
    settle();
    for (int button : {d.lineChange, d.lineDelete}) {
        presenter.clear();
        click(f, button);
        ASSERT_EQ(presenter.count(), 1u) << button;
        EXPECT_EQ(presenter.last().caption, kForeignLineCaption);
        EXPECT_EQ(ui::Window::topOf(thread_), f) << "no line form opened";
    }
    EXPECT_EQ(count(d.lines), 1);

    // Under its own folio the form's own line opens in the line form.
    presenter.clear();
    enter(f, d.folio, QStringLiteral("6"));
    EXPECT_EQ(lines(f, d.linesList)->rowCount(), 0);
    click(f, d.lineInsert);
    ui::Window* l = formOn(thread_, f);
    ASSERT_NE(l, nullptr);
    enter(l, R::kCodigo, QStringLiteral("10"));
    enter(l, R::kCantidad, QStringLiteral("1"));
    enter(l, R::kCosto, QStringLiteral("2"));
    click(l, R::kOk);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == f; })) << presenter.last().text;
    settle();
    ASSERT_EQ(lines(f, d.linesList)->rowCount(), 1);
    lines(f, d.linesList)->setCurrentCell(0, 0);
    settle();
    click(f, d.lineChange);
    l = formOn(thread_, f);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->caption(), QStringLiteral("Modificaciones"));
    click(l, R::kCancel);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == f; }));
    EXPECT_TRUE(presenter.empty()) << presenter.last().caption;
    cancelNew(f);
    EXPECT_EQ(count(d.lines), 1);  // the stored document's line, untouched
    closeList();
}

// A folio another station's open form holds is passed over when a new
// document opens, and a line under it is refused with that reason; once
// that station's program has ended, the folio is free again.
TEST_P(DocumentForms, AFolioAnotherStationsFormHoldsIsPassedOverAndRefusedWithTheReason) {
    const Document& d = GetParam();
    auto elsewhere = std::make_unique<test::ChildTables>();
    ASSERT_TRUE(TryHoldFolio(elsewhere->tables, *d.rule, 5));
    start(d.list);
    ui::Window* f = newDocument();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(text(f, d.folio), "6");
    enter(f, d.folio, QStringLiteral("5"));
    click(f, d.lineInsert);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, kFolioCaption);
    EXPECT_NE(presenter.last().text.find("es de otro documento que se está capturando"), std::string::npos)
        << presenter.last().text;
    EXPECT_EQ(ui::Window::topOf(thread_), f) << "no line form opened";
    EXPECT_TRUE(f->at(d.folio).hasFocus());
    cancelNew(f);
    elsewhere.reset();
    f = newDocument();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(text(f, d.folio), "5");
    cancelNew(f);
    closeList();
}

TEST_P(DocumentForms, ChangeAndDeleteAreRefusedBeforeAnyWindowOpens) {
    const Document& d = GetParam();
    store(5);
    WindowAtMessage watch;
    ScopedPresenter scope(watch);
    for (const auto& [request, message] : {std::pair{kChange, 41}, std::pair{kDelete, 14}}) {
        uint8_t response = 0;
        onThread([&, request = request] {
            threadState().callRequest = request;
            d.form();
            response = threadState().callResponse;
        });
        EXPECT_EQ(response, kCancelled);
        ASSERT_FALSE(watch.empty());
        EXPECT_EQ(messageNumber(watch.last()), message);
        EXPECT_FALSE(watch.windowOpen.back()) << "the refusal came with the form open";
    }
    EXPECT_EQ(watch.count(), 2u);
    EXPECT_EQ(count(d.lines), 1);
}

TEST_P(DocumentForms, ViewModeScrollsTheLinesWithoutTheirButtons) {
    const Document& d = GetParam();
    store(5);
    start(d.list);
    click(list_, L::kView);
    ui::Window* f = formOn(thread_, list_);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->caption(), QStringLiteral("Consulta"));
    EXPECT_EQ(lines(f, d.linesList)->rowCount(), 1);
    EXPECT_FALSE(f->at(d.linesList).disabled());
    for (int button : {d.lineInsert, d.lineChange, d.lineDelete}) EXPECT_TRUE(f->at(button).hidden()) << button;
    click(f, d.ok);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    EXPECT_TRUE(presenter.empty());
    closeList();
}

INSTANTIATE_TEST_SUITE_P(EachDocument, DocumentForms, ::testing::ValuesIn(kDocuments),
                         [](const ::testing::TestParamInfo<Document>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace tv::movements
