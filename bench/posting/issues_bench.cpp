// Completing an issue of 1,000 lines beside the bare SQLite C API doing the
// same work.
//
// Both sides make the issue as its windows do (the header reserved by the
// list, the lines stored by the line form and held by the form's tracker;
// not timed). The program completes it as the form's "Aceptar" does; the
// bare side, in one transaction: checks the folio and that every line under
// it is the form's own, reads the issue type and the lines, and per line
// reads the article by number, checks the issue's total of that article
// against its stock at its first line, rewrites its issues total and adds a
// ledger row; then advances the folio counter, completes the reserved
// header and notes the numbers given.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <map>
#include <string>
#include <vector>

#include "bench/posting/posting_bench_support.h"
#include "data/transaction.h"
#include "movements/issues/issue_posting.h"

namespace {

using namespace tv;
using bench::BareSqlite;
using data::TableId;
namespace fs = std::filesystem;

constexpr int kArticles = 200;
constexpr int kLines = 1000;
constexpr long long kStock = 100000000;   // never short: every issue posts
constexpr long kDate = 80000;
constexpr const char* kReference = "VALE-1";

// What both sides set up: the issue type, the folio counter, the articles,
// and before each issue its reserved header and its lines.
class IssueDesk : public bench::DocumentDesk {
public:
    explicit IssueDesk(const fs::path& file)
        : DocumentDesk(file, {&movements::issues::kIssueFolio, kLines, kArticles, "DES:Cantidad", Value(2),
                              "DES:CostoUnitario", Value(Decimal::fromScaled(750, 2))}) {
        {
            data::DataTransaction tx(Tables());
            Put(TableId::TipSalidas, {{"TSA:Descripcion", Value("CONSUMO")}});
            Put(TableId::Folios, {{"FOL:SALIDAS", Value(1)}});
            tx.commit();
        }
        Articles(kArticles, kStock);
    }
};

// The program: the form's header values, then its completion.
class OurIssues : public IssueDesk {
public:
    using IssueDesk::IssueDesk;
    bool Work(long long folio) {
        Record& h = Tables().buffer(TableId::Salidas);
        const data::TableDecl& d = data::decl(TableId::Salidas);
        h.set(d.fieldIndex("SAL:Folio"), Value(folio));
        h.set(d.fieldIndex("SAL:TIPO"), Value(1));
        h.set(d.fieldIndex("SAL:Fecha"), Value(kDate));
        h.set(d.fieldIndex("SAL:RECIBE"), Value(1));
        h.set(d.fieldIndex("SAL:Referencia"), Value(kReference));
        return movements::issues::CompleteIssue(Tables(), &Document().tracker);
    }
};

class BareIssues : public IssueDesk {
public:
    explicit BareIssues(const fs::path& file)
        : IssueDesk(file),
          db_(Connection()),
          article_(db_),
          ledger_(db_),
          folioUsed_(db_.Prepare("SELECT 1 FROM Salidas WHERE Folio=?1 AND tv_pending=0 AND (Folio<>0)")),
          type_(db_.Prepare("SELECT Descripcion FROM TipSalidas WHERE Codigo=?1 AND (Codigo<>0)")),
          lineRows_(db_.Prepare("SELECT ID, CodigoArticulo, Cantidad FROM DetSalidas WHERE SALIDA=?1 ORDER BY tv_row")),
          counter_(db_.PrepareScan("SELECT tv_row, SALIDAS FROM Folios ORDER BY tv_row LIMIT 1")),
          advance_(db_.Prepare("UPDATE Folios SET SALIDAS=?1, tv_version=?2 WHERE tv_row=?3")),
          header_(db_.Prepare("UPDATE Salidas SET Folio=?1, TIPO=1, Fecha=?2, RECIBE=1, PROVEEDOR='', Referencia=?3,"
                              " tv_version=?4, tv_pending=0, tv_owner=NULL WHERE tv_row=?5 AND tv_pending=1")) {}

    bool Work(long long folio) {
        if (!db_.Begin()) return false;
        sqlite3_bind_int64(folioUsed_, 1, folio);
        if (BareSqlite::One(folioUsed_) != 0) return db_.Rollback();
        // The lines, each one the form's own, and what the issue takes of each article.
        struct Line {
            int64_t article, quantity;
        };
        std::vector<Line> lines;
        std::map<int64_t, int64_t> wanted;
        sqlite3_bind_int64(lineRows_, 1, folio);
        while (sqlite3_step(lineRows_) == SQLITE_ROW) {
            if (Document().tracker.Ids().count(sqlite3_column_int64(lineRows_, 0)) == 0) {
                sqlite3_reset(lineRows_);
                return db_.Rollback();
            }
            lines.push_back({sqlite3_column_int64(lineRows_, 1), bench::ToCents(sqlite3_column_double(lineRows_, 2))});
            wanted[lines.back().article] += lines.back().quantity;
        }
        sqlite3_reset(lineRows_);
        sqlite3_bind_int64(type_, 1, 1);
        std::string concepto;
        if (sqlite3_step(type_) == SQLITE_ROW) concepto = BareSqlite::ColumnText(type_, 0);
        sqlite3_reset(type_);
        const std::string document = "SAL-" + std::to_string(folio);
        ledger_.Begin();
        std::map<int64_t, bool> checked;
        for (const Line& l : lines) {
            if (l.quantity <= 0 || !article_.Read(l.article)) return db_.Rollback();
            const int64_t stock = article_.Stock();
            bool& seen = checked[l.article];
            if (!seen) {
                seen = true;
                if (wanted[l.article] > stock) return db_.Rollback();
            }
            if (!article_.SetIssues(article_.issues + l.quantity) ||
                !ledger_.Add({l.article, kDate, document, concepto, kReference, 0, l.quantity, stock - l.quantity, 0, 0}))
                return db_.Rollback();
        }
        if (!db_.AdvanceCounter(counter_, advance_, folio)) return db_.Rollback();
        sqlite3_bind_int64(header_, 1, folio);
        sqlite3_bind_int64(header_, 2, kDate);
        BareSqlite::BindText(header_, 3, kReference);
        sqlite3_bind_int64(header_, 4, db_.Version());
        sqlite3_bind_int64(header_, 5, Document().headerRow);
        if (!BareSqlite::Run(header_) || sqlite3_changes(db_.db()) != 1) return db_.Rollback();
        ledger_.End();
        return db_.Commit();
    }

private:
    BareSqlite db_;
    bench::BareArticle article_;
    bench::BareLedger ledger_;
    sqlite3_stmt *folioUsed_, *type_, *lineRows_, *counter_, *advance_, *header_;
};

[[maybe_unused]] const bool registered =
    bench::RegisterPair<OurIssues, BareIssues>("Issue1000Lines", "issue of 1,000 lines", 1, kLines);

}  // namespace
