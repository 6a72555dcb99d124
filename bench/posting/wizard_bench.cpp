// Generating an order of 1,000 picked lines in the order wizard, beside the
// bare SQLite C API doing the same work.
//
// Both sides pick the lines as the wizard does (every article, quantity and
// cost set in place; not timed). The program generates the order as the
// wizard's last page does; the bare side, in one transaction: takes the
// folio from the counter, passed over the folios a stored order or stored
// lines have, reads the picked lines in the order picked (refusing a line
// without quantity or with a negative cost), and per line reads the article
// by number, raises its ordered quantity and stores the order line; then
// stores the header with the total, advances the counter and notes the
// numbers given.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/posting/posting_bench_support.h"
#include "data/transaction.h"
#include "movements/wizard/order_generation.h"

namespace {

using namespace tv;
using bench::BareSqlite;
using data::TableId;
namespace fs = std::filesystem;

constexpr int kLines = 1000;
constexpr long kDate = 80000;
constexpr const char* kSupplier = "PROV1";
constexpr const char* kWriter = "ANA";
constexpr const char* kPriority = "ALTA";

// What both sides set up: the folio counter, the articles (each below its
// minimum), and before each generation the picked lines.
class WizardDesk : public bench::Desk {
public:
    explicit WizardDesk(const fs::path& file) : Desk(file) {
        {
            data::DataTransaction tx(Tables());
            Put(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(1)}});
            // The generation refuses a supplier that names nobody.
            Put(TableId::Proveedores, {{"PVD:Codigo", Value(kSupplier)}});
            tx.commit();
        }
        Articles(kLines, 5, 0, 20);
        // The wizard opens empty (and its table of picked lines is made).
        movements::wizard::ClearPicked(Tables());
    }
    void Prepare(long long) {
        using namespace movements::wizard;
        ClearPicked(Tables());
        data::DataTransaction tx(Tables());
        data::TableGateway& g = Tables().gateway(TableId::Temporden);
        const int quantity = g.declaration().fieldIndex("TOR:Cantidad");
        const int cost = g.declaration().fieldIndex("TOR:Costo");
        for (int a = 1; a <= kLines; ++a) {
            PickArticle(Tables(), Decimal(a), Selection::BelowMinimum);
            g.BUFFER.set(quantity, Value(15));
            g.BUFFER.set(cost, Value(Decimal::fromScaled(1250, 2)));
            g.UpdateRecord();
        }
        tx.commit();
        Settle();
    }
};

// The program: the wizard's header values, then its generation.
class OurWizard : public WizardDesk {
public:
    explicit OurWizard(const fs::path& file) : WizardDesk(file) {}
    bool Work(long long) {
        movements::wizard::OrderHeader h;
        h.fecha = kDate;
        h.plazo = Decimal(10);
        h.entrega = kDate + 10;
        h.elabora = kWriter;
        h.proveedor = kSupplier;
        h.prioridad = kPriority;
        return movements::wizard::GenerateOrder(Tables(), h).stored;
    }
};

class BareWizard : public WizardDesk {
public:
    explicit BareWizard(const fs::path& file)
        : WizardDesk(file),
          db_(Connection()),
          counter_(db_.PrepareScan("SELECT tv_row, ORDENCOMPRA FROM Folios ORDER BY tv_row LIMIT 1")),
          orderUsed_(db_.Prepare("SELECT 1 FROM Ordenes WHERE Folio=?1 AND tv_pending=0 AND (Folio<>0)")),
          linesUsed_(db_.Prepare("SELECT 1 FROM DetOrdenes WHERE ORDEN=?1 LIMIT 1")),
          article_(db_),
          picked_(db_.PrepareScan("SELECT Articulo, Cantidad, Costo FROM temp.Temporden ORDER BY tv_row")),
          line_(db_.Prepare("INSERT INTO DetOrdenes(ID, ORDEN, Articulo, Cantidad, Costo, Recibido, tv_version, tv_pending)"
                            " VALUES(?1,?2,?3,?4,?5,0,?6,0)")),
          header_(db_.Prepare("INSERT INTO Ordenes(ID, Folio, Fecha, Plazo, Entrega, Elabora, Proveedor, Referencia,"
                              " Prioridad, TOTALARTICULO, TOTALSURTIDO, PorcSurtido, Nota, tv_version, tv_pending)"
                              " VALUES(?1,?2,?3,10,?4,?5,?6,'',?7,?8,0,0,'',?9,0)")),
          advance_(db_.Prepare("UPDATE Folios SET ORDENCOMPRA=?1, tv_version=?2 WHERE tv_row=?3")),
          lineIds_(db_.Numbers(*data::storageDef(TableId::DetOrdenes))),
          headerIds_(db_.Numbers(*data::storageDef(TableId::Ordenes))) {}

    bool Work(long long) {
        if (!db_.Begin()) return false;
        // The counter's folio, passed over those a stored order or stored lines have.
        int64_t folio = 1;
        if (sqlite3_step(counter_) == SQLITE_ROW) folio = std::max<int64_t>(1, sqlite3_column_int64(counter_, 1));
        sqlite3_reset(counter_);
        while (used(orderUsed_, folio) || used(linesUsed_, folio)) ++folio;
        struct Line {
            int64_t article, quantity, cost;
        };
        std::vector<Line> lines;
        while (sqlite3_step(picked_) == SQLITE_ROW)
            lines.push_back({sqlite3_column_int64(picked_, 0), bench::ToCents(sqlite3_column_double(picked_, 1)),
                             bench::ToCents(sqlite3_column_double(picked_, 2))});
        sqlite3_reset(picked_);
        for (const Line& l : lines)
            if (l.quantity <= 0 || l.cost < 0) return db_.Rollback();
        int64_t lineId = BareSqlite::LastNumber(lineIds_), total = 0;
        const int64_t firstLine = lineId;
        for (const Line& l : lines) {
            if (!article_.Read(l.article)) continue;   // gone since it was picked: left out
            if (!article_.SetOrdered(article_.ordered + l.quantity)) return db_.Rollback();
            sqlite3_bind_int64(line_, 1, ++lineId);
            sqlite3_bind_int64(line_, 2, folio);
            sqlite3_bind_int64(line_, 3, l.article);
            sqlite3_bind_double(line_, 4, bench::FromCents(l.quantity));
            sqlite3_bind_double(line_, 5, bench::FromCents(l.cost));
            sqlite3_bind_int64(line_, 6, db_.Version());
            if (!BareSqlite::Run(line_)) return db_.Rollback();
            total += l.quantity;
        }
        if (!bench::FitsCents(total, 11)) return db_.Rollback();
        const int64_t headerId = BareSqlite::LastNumber(headerIds_) + 1;
        sqlite3_bind_int64(header_, 1, headerId);
        sqlite3_bind_int64(header_, 2, folio);
        sqlite3_bind_int64(header_, 3, kDate);
        sqlite3_bind_int64(header_, 4, kDate + 10);
        BareSqlite::BindText(header_, 5, kWriter);
        BareSqlite::BindText(header_, 6, kSupplier);
        BareSqlite::BindText(header_, 7, kPriority);
        sqlite3_bind_double(header_, 8, bench::FromCents(total));
        sqlite3_bind_int64(header_, 9, db_.Version());
        if (!BareSqlite::Run(header_)) return db_.Rollback();
        if (!db_.AdvanceCounter(counter_, advance_, folio)) return db_.Rollback();
        if (lineId > firstLine) db_.NoteNumber(lineIds_, lineId);
        db_.NoteNumber(headerIds_, headerId);
        return db_.Commit();
    }

private:
    static bool used(sqlite3_stmt* s, int64_t folio) {
        sqlite3_bind_int64(s, 1, folio);
        return BareSqlite::One(s) != 0;
    }
    BareSqlite db_;
    sqlite3_stmt *counter_, *orderUsed_, *linesUsed_;
    bench::BareArticle article_;
    sqlite3_stmt *picked_, *line_, *header_, *advance_;
    BareSqlite::Numbering lineIds_, headerIds_;
};

[[maybe_unused]] const bool registered = bench::RegisterPair<OurWizard, BareWizard>(
    "GenerateOrder1000Lines", "order generation of 1,000 lines", 1, kLines);

}  // namespace
