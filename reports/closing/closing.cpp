#include "reports/closing/closing.h"

#include <chrono>
#include <functional>
#include <vector>

#include "data/transaction.h"
#include "platform/errors/error_reporter.h"

namespace tv::reports {

using data::kDone;
using data::TableGateway;
using data::TableId;
using data::ThreadTableSet;

namespace {

constexpr int kMsgTransaction = 24;

// Field indexes, looked up once.
struct Fields {
    int artNoArt, artEntradas, artSalidas, artAnterior, artCosto;
    int karArticulo, karFecha, karDocumento, karConcepto, karReferencia, karEntrada, karSalida, karExistencia,
        karCostoUnitario, karCostoPromedio;
    int ordPorcSurtido, ordFolio;
    int dorOrden, dorCantidad, dorRecibido;

    Fields() {
        const auto& art = data::decl(TableId::Articulo);
        artNoArt = art.fieldIndex("ART:NoArt");
        artEntradas = art.fieldIndex("ART:Entradas");
        artSalidas = art.fieldIndex("ART:Salidas");
        artAnterior = art.fieldIndex("ART:ExistenciaAnterior");
        artCosto = art.fieldIndex("ART:COSTOPROMEDIO");
        const auto& kar = data::decl(TableId::Kardex);
        karArticulo = kar.fieldIndex("KAR:ARTICULO");
        karFecha = kar.fieldIndex("KAR:Fecha");
        karDocumento = kar.fieldIndex("KAR:Documento");
        karConcepto = kar.fieldIndex("KAR:Concepto");
        karReferencia = kar.fieldIndex("KAR:Referencia");
        karEntrada = kar.fieldIndex("KAR:Entrada");
        karSalida = kar.fieldIndex("KAR:Salida");
        karExistencia = kar.fieldIndex("KAR:Existencia");
        karCostoUnitario = kar.fieldIndex("KAR:COSTOUNITARIO");
        karCostoPromedio = kar.fieldIndex("KAR:COSTOPROMEDIO");
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

// The tables the closing reads or writes, headers first; the line tables are
// reached by the headers' cascades.
constexpr TableId kTables[] = {TableId::Kardex,      TableId::Entradas,   TableId::DetEntradas,
                               TableId::Salidas,     TableId::DetSalidas, TableId::Ordenes,
                               TableId::DetOrdenes,  TableId::Articulo};

class Closing {
public:
    Closing(ThreadTableSet& set, long today, ClosingProgress* progress)
        : set_(set), today_(today), progress_(progress != nullptr ? progress : &silent_) {}

    bool ledger() {
        TableGateway& kar = set_.KardexTableGateway();
        const int64_t total = kar.RecordCount();
        if (total < 0) return false;
        progress_->passStarted(ClosingPass::Ledger, total);
        if (kar.DeleteAllRecords() != kDone) {
            kar.ShowLastError();  // shown once the unit has been rolled back
            return false;
        }
        result.ledgerRowsDeleted = total;
        progress_->advanced(ClosingPass::Ledger, total);
        return true;
    }

    bool receipts() { return documents(TableId::Entradas, "ENT:KeyFolio", ClosingPass::Receipts, {}, result.receiptsDeleted); }
    bool issues() { return documents(TableId::Salidas, "SAL:KeyFolio", ClosingPass::Issues, {}, result.issuesDeleted); }

    // Only an order at exactly 100 % whose every line has been received in
    // full: a percentage rounded up to 100 with a line still pending keeps
    // the order, as does one without lines.
    bool orders() {
        const Fields& f = fields();
        Record& ord = set_.Ordenes();
        return documents(TableId::Ordenes, "ORD:KeyFolio", ClosingPass::Orders,
                         [&]() -> int {
                             if (ord.raw(f.ordPorcSurtido) != 100) return 0;
                             return fullyReceived(ord.raw(f.ordFolio));
                         },
                         result.ordersDeleted);
    }

    bool articles() {
        const Fields& f = fields();
        TableGateway& art = set_.ArticuloTableGateway();
        TableGateway& kar = set_.KardexTableGateway();
        Record& a = art.BUFFER;
        Record& k = kar.BUFFER;
        const int64_t total = art.RecordCount();
        if (total < 0) return false;
        progress_->passStarted(ClosingPass::Articles, total);
        a.clear();
        if (art.SetPositionToStart() != kDone) return false;
        int64_t done = 0;
        while (art.ReadNext() == kDone) {
            progress_->advanced(ClosingPass::Articles, ++done);
            // Another station's form holds this number for an article it has
            // not stored yet: rewriting it would store a blank article.
            if (art.file()->currentPending()) continue;
            // The stock on hand. The opening stock is 0 in every article this
            // system writes; should one hold more, it is carried too rather
            // than lost.
            const long long stock = a.raw(f.artAnterior) + a.raw(f.artEntradas) - a.raw(f.artSalidas);
            k.clear();
            k.setRaw(f.karArticulo, a.raw(f.artNoArt));
            k.setRaw(f.karFecha, today_);
            k.setText(f.karDocumento, "1");
            k.setText(f.karConcepto, "INVENTARIO INICIAL");
            k.setText(f.karReferencia, "");
            k.setRaw(f.karEntrada, stock);
            k.setRaw(f.karSalida, 0);
            k.setRaw(f.karExistencia, stock);
            // The article's own average cost; a cost too wide for the
            // ledger's cost fields is left out rather than cut.
            const Value cost(a.number(f.artCosto));
            if (k.setChecked(f.karCostoUnitario, cost) != StoreStatus::Ok ||
                k.setChecked(f.karCostoPromedio, cost) != StoreStatus::Ok) {
                k.setRaw(f.karCostoUnitario, 0);
                k.setRaw(f.karCostoPromedio, 0);
            }
            if (kar.InsertRecord() != kDone) return false;
            a.setRaw(f.artEntradas, stock);
            a.setRaw(f.artSalidas, 0);
            a.setRaw(f.artAnterior, 0);
            if (art.UpdateFields(carried_) != kDone) return false;
            ++result.articlesCarried;
        }
        return art.ATEOF != 0;  // else a read failed (and said so)
    }

    ClosingResult result;

private:
    // Every header reached through its folio key from folio 0 (a document
    // with a folio of 0 or below is not reached and stays), deleted with its
    // lines when `take` says 1; 0 keeps it, -1 is a failure.
    bool documents(TableId id, const char* folioKey, ClosingPass pass, const std::function<int()>& take,
                   int64_t& deleted) {
        TableGateway& g = set_.gateway(id);
        data::TableRelations& rel = set_.relations(id);
        const int64_t total = g.RecordCount();
        if (total < 0) return false;
        progress_->passStarted(pass, total);
        g.BUFFER.clear();
        if (g.SetPositionByKey(g.declaration().keyIndex(folioKey)) != kDone) return false;
        int64_t done = 0;
        while (g.ReadNext() == kDone) {
            progress_->advanced(pass, ++done);
            const int t = take ? take() : 1;
            if (t < 0) return false;
            if (t == 0) {
                ++result.ordersKept;
                continue;
            }
            if (rel.DeleteWithRelated(false) != kDone) return false;
            ++deleted;
        }
        return g.ATEOF != 0;
    }

    // 1 when the order has lines and every one is received in full, 0 when
    // not, -1 when its lines could not be read.
    int fullyReceived(long long folio) {
        const Fields& f = fields();
        TableGateway& dor = set_.DetOrdenesTableGateway();
        Record& l = dor.BUFFER;
        l.clear();
        l.setRaw(f.dorOrden, folio);
        if (dor.SetPositionByKey(dor.declaration().keyIndex("DOR:KeyOrden")) != kDone) return -1;
        int lines = 0;
        while (dor.ReadNext() == kDone) {
            if (l.raw(f.dorOrden) != folio) return lines > 0 ? 1 : 0;
            ++lines;
            if (l.raw(f.dorRecibido) < l.raw(f.dorCantidad)) return 0;
        }
        if (dor.ATEOF == 0) return -1;
        return lines > 0 ? 1 : 0;
    }

    ThreadTableSet& set_;
    long today_;
    // What the closing rewrites of an article; its keys stay as they are.
    const std::vector<int> carried_ = {fields().artEntradas, fields().artSalidas, fields().artAnterior};
    ClosingProgress silent_;
    ClosingProgress* progress_;
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
    // Every table is opened before the write lock is taken: an open may have
    // to show a message.
    std::vector<TableGateway*> opened;
    struct Closer {
        std::vector<TableGateway*>& list;
        ~Closer() {
            for (TableGateway* g : list) g->CloseTable();
        }
    } closer{opened};
    for (TableId t : kTables) {
        TableGateway& g = set.gateway(t);
        if (g.OpenTable() != kDone) {
            ShowClosingNotDone();
            return {};
        }
        opened.push_back(&g);
        if (g.UseOnDemand() != kDone) {
            ShowClosingNotDone();
            return {};
        }
    }

    Closing closing(set, today, progress);
    {
        data::DataTransaction tx(set, std::chrono::milliseconds(kClosingLockWaitMs));
        if (!tx.ok()) {
            tx.rollback();
            set.KardexTableGateway().report(kMsgTransaction, tx.status());
            ShowClosingNotDone();
            return {};
        }
        const bool ok = closing.ledger() && closing.receipts() && closing.issues() && closing.orders() &&
                        closing.articles();
        // Rolling back (or a failed commit) shows what the table layer had to
        // say; only then the closing says it was not done.
        if (ok && tx.commit()) {
            closing.result.done = true;
            return closing.result;
        }
        if (!ok) tx.rollback();
    }
    ShowClosingNotDone();
    return {};
}

}  // namespace tv::reports
