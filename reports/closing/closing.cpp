#include "reports/closing/closing.h"

#include <functional>
#include <vector>

#include "movements/common/stock.h"
#include "movements/common/unit_of_work.h"
#include "platform/errors/error_reporter.h"

namespace tv::reports {

using data::kDone;
using data::TableGateway;
using data::TableId;
using data::ThreadTableSet;
using movements::Posting;

namespace {

// Field indexes, looked up once.
struct Fields {
    int artNoArt, artEntradas, artSalidas, artAnterior, artCosto;
    int ordPorcSurtido, ordFolio;
    int dorOrden, dorCantidad, dorRecibido;

    Fields() {
        const auto& art = data::decl(TableId::Articulo);
        artNoArt = art.fieldIndex("ART:NoArt");
        artEntradas = art.fieldIndex("ART:Entradas");
        artSalidas = art.fieldIndex("ART:Salidas");
        artAnterior = art.fieldIndex("ART:ExistenciaAnterior");
        artCosto = art.fieldIndex("ART:COSTOPROMEDIO");
        const auto& ord = data::decl(TableId::Ordenes);
        ordPorcSurtido = ord.fieldIndex("ORD:PorcSurtido");
        ordFolio = ord.fieldIndex("ORD:Folio");
        const auto& dor = data::decl(TableId::DetOrdenes);
        dorOrden = dor.fieldIndex("DOR:ORDEN");
        dorCantidad = dor.fieldIndex("DOR:Cantidad");
        dorRecibido = dor.fieldIndex("DOR:Recibido");
    }
};

const Fields& fields() {
    static const Fields f;
    return f;
}

// The five passes, each a step of the unit of work for every record it reads
// (the test hook of the postings: "ledger", "receipt" n, "issue" n, "order"
// n, "article" n).
class Closing {
public:
    Closing(ThreadTableSet& set, long today, ClosingProgress* progress)
        : set_(set), today_(today), progress_(progress != nullptr ? progress : &silent_) {}

    bool Run(Posting& p) {
        return Ledger(p) &&
               Documents(p, TableId::Entradas, "ENT:KeyFolio", ClosingPass::Receipts, "receipt", {},
                         result.receiptsDeleted) &&
               Documents(p, TableId::Salidas, "SAL:KeyFolio", ClosingPass::Issues, "issue", {},
                         result.issuesDeleted) &&
               Orders(p) && Articles(p);
    }

    ClosingResult result;

private:
    bool Ledger(Posting& p) {
        TableGateway& kar = set_.KardexTableGateway();
        const int64_t total = kar.RecordCount();
        if (total < 0) return p.TableFailed(kar);
        progress_->passStarted(ClosingPass::Ledger, total);
        if (!p.Step("ledger")) return false;
        if (kar.DeleteAllRecords() != kDone) return p.TableFailed(kar);
        result.ledgerRowsDeleted = total;
        progress_->advanced(ClosingPass::Ledger, total);
        return true;
    }

    // Only an order at exactly 100 % whose every line has been received in
    // full: a percentage rounded up to 100 with a line still pending keeps
    // the order, as does one without lines.
    bool Orders(Posting& p) {
        const Fields& f = fields();
        Record& ord = set_.Ordenes();
        return Documents(p, TableId::Ordenes, "ORD:KeyFolio", ClosingPass::Orders, "order",
                         [&]() -> int {
                             if (ord.raw(f.ordPorcSurtido) != 100) return 0;
                             return FullyReceived(p, ord.raw(f.ordFolio));
                         },
                         result.ordersDeleted);
    }

    bool Articles(Posting& p) {
        TableGateway& art = set_.ArticuloTableGateway();
        const int64_t total = art.RecordCount();
        if (total < 0) return p.TableFailed(art);
        progress_->passStarted(ClosingPass::Articles, total);
        art.BUFFER.clear();
        if (art.SetPositionToStart() != kDone) return p.TableFailed(art);
        int64_t done = 0;
        for (bool more = true; more;) {
            if (!ReadBatch(art, more)) return p.TableFailed(art);
            if (!CarryBatch(p, done)) return false;
        }
        return true;
    }

    bool CarryBatch(Posting& p, int64_t& done) {
        const Fields& f = fields();
        TableGateway& art = set_.ArticuloTableGateway();
        Record& a = art.BUFFER;
        for (Read& read : batch_) {
            progress_->advanced(ClosingPass::Articles, ++done);
            if (!p.Step("article", done)) return false;
            // Another station's form holds this number for an article it has
            // not stored yet: rewriting it would store a blank article.
            if (read.pending) continue;
            MakeCurrent(art, read);
            // The stock on hand. The opening stock is 0 in every article this
            // system writes; should one hold more, it is carried too rather
            // than lost.
            const Decimal stock = movements::StockOnHand(a);
            const Decimal cost = a.number(f.artCosto);
            movements::LedgerRow row;
            row.article = a.number(f.artNoArt);
            row.date = today_;
            row.document = "1";
            row.concepto = "INVENTARIO INICIAL";
            row.in = stock;
            row.stock = stock;
            // The article's own average cost, in both cost fields.
            row.unitCost = cost;
            row.averageCost = cost;
            if (!movements::AddLedgerRow(p, row)) return false;
            if (!p.Store(TableId::Articulo, f.artEntradas, Value(stock))) return false;
            a.setRaw(f.artSalidas, 0);
            a.setRaw(f.artAnterior, 0);
            if (art.UpdateFieldsQuiet(carried_) != kDone) return p.TableFailed(art);
            ++result.articlesCarried;
        }
        return true;
    }

    // Every header reached through its folio key from folio 0 (a document
    // with a folio of 0 or below is not reached and stays), deleted with its
    // lines when `take` says 1; 0 keeps it, -1 is a failure (recorded).
    bool Documents(Posting& p, TableId id, const char* folioKey, ClosingPass pass, const char* step,
                   const std::function<int()>& take, int64_t& deleted) {
        TableGateway& g = set_.gateway(id);
        data::TableRelations& rel = set_.relations(id);
        const int64_t total = g.RecordCount();
        if (total < 0) return p.TableFailed(g);
        progress_->passStarted(pass, total);
        g.BUFFER.clear();
        if (g.SetPositionByKey(g.declaration().keyIndex(folioKey)) != kDone) return p.TableFailed(g);
        int64_t done = 0;
        for (bool more = true; more;) {
            if (!ReadBatch(g, more)) return p.TableFailed(g);
            for (Read& read : batch_) {
                progress_->advanced(pass, ++done);
                if (!p.Step(step, done)) return false;
                MakeCurrent(g, read);
                const int t = take ? take() : 1;
                if (t < 0) return false;
                if (t == 0) {
                    ++result.ordersKept;
                    continue;
                }
                if (rel.DeleteReadWithRelated() != kDone) {
                    // The table layer's own message is shown with the
                    // rollback; its question whether to try again has no
                    // place inside the unit.
                    g.LASTERROR = 0;
                    return p.TableFailed(g);
                }
                ++deleted;
            }
        }
        return true;
    }

    // A record as read, with what its rewrite or delete is checked against.
    struct Read {
        Record record;
        int64_t row = 0, version = 0;
        bool pending = false;
    };

    // The next records of `g`'s scan, a batch at a time: a write ends the
    // table's scan, which the next read would have to seek again, so each
    // pass reads a batch, then writes. False when a read failed; `more`
    // false once the scan is at its end. The records of the last batch are
    // swapped with the buffer, not copied: a read fills every field, into
    // texts that already have their room.
    bool ReadBatch(TableGateway& g, bool& more) {
        storage::Table& file = *g.file();
        std::size_t n = 0;
        while (n < kBatch && (more = g.ReadNextQuiet() == kDone)) {
            if (n == batch_.size()) {
                batch_.push_back({g.BUFFER, 0, 0, false});
            } else if (batch_[n].record.layoutPtr() == g.BUFFER.layoutPtr()) {
                std::swap(batch_[n].record, g.BUFFER);
            } else {
                batch_[n].record = g.BUFFER;
            }
            batch_[n].row = file.currentRow();
            batch_[n].version = file.currentVersion();
            batch_[n].pending = file.currentPending();
            ++n;
        }
        batch_.erase(batch_.begin() + static_cast<std::ptrdiff_t>(n), batch_.end());
        return more || g.ATEOF != 0;
    }

    // Makes `read` the table's current record again, as it was read.
    static void MakeCurrent(TableGateway& g, Read& read) {
        std::swap(g.BUFFER, read.record);
        g.file()->setCurrent(read.row, read.version);
    }

    static constexpr std::size_t kBatch = 512;

    // 1 when the order has lines and every one is received in full, 0 when
    // not, -1 when its lines could not be read.
    int FullyReceived(Posting& p, long long folio) {
        const Fields& f = fields();
        TableGateway& dor = set_.DetOrdenesTableGateway();
        Record& l = dor.BUFFER;
        l.clear();
        l.setRaw(f.dorOrden, folio);
        if (dor.SetPositionByKey(dor.declaration().keyIndex("DOR:KeyOrden")) != kDone) {
            p.TableFailed(dor);
            return -1;
        }
        int lines = 0;
        while (dor.ReadNextQuiet() == kDone) {
            if (l.raw(f.dorOrden) != folio) return lines > 0 ? 1 : 0;
            ++lines;
            if (l.raw(f.dorRecibido) < l.raw(f.dorCantidad)) return 0;
        }
        if (dor.ATEOF == 0) {
            p.TableFailed(dor);
            return -1;
        }
        return lines > 0 ? 1 : 0;
    }

    ThreadTableSet& set_;
    long today_;
    std::vector<Read> batch_;
    ClosingProgress silent_;
    ClosingProgress* progress_;
    // What the closing rewrites of an article; its keys stay as they are.
    const std::vector<int> carried_ = {fields().artEntradas, fields().artSalidas, fields().artAnterior};
};

}  // namespace

void ShowClosingNotDone() {
    MessageBox box;
    box.caption = "Cierre de período";
    box.text = "El cierre de período no se realizó: los datos quedaron como estaban antes del cierre.";
    box.buttons = MessageBox::Buttons::Ok;
    box.icon = MessageBox::Icon::Error;
    if (MessagePresenter* p = ErrorReporter::instance().presenter()) p->show(box);
}

ClosingResult RunClosing(long today, ClosingProgress* progress, ThreadTableSet& set) {
    Closing closing(set, today, progress);
    movements::UnitOptions options;
    options.primary = TableId::Kardex;
    options.lockTimeout = std::chrono::milliseconds(kClosingLockWaitMs);
    // The unit shows what failed after the rollback; then the closing says
    // that it was not done.
    if (!movements::RunAsOneUnit(set, options, [&](Posting& p) { return closing.Run(p); })) {
        ShowClosingNotDone();
        return {};
    }
    closing.result.done = true;
    return closing.result;
}

}  // namespace tv::reports
