#include "bench/posting/posting_bench_support.h"

#include <chrono>
#include <stdexcept>
#include <string>

#include "data/transaction.h"
#include "platform/errors/error_reporter.h"
#include "platform/threads/thread_state.h"

namespace tv::bench {

using data::TableId;

Desk::Desk(const std::filesystem::path& file) : conn_(file), tables_(conn_) {
    ErrorReporter::instance().setUp();
    if (data::CreateAllTables(tables_) != data::kDone) throw std::runtime_error("could not make the tables");
}

Desk::Desk(const storage::Connection::Server& server) : conn_(server), tables_(conn_) {
    ErrorReporter::instance().setUp();
    if (!conn_.openStatus().ok()) throw std::runtime_error("could not reach the server: " + conn_.openStatus().text);
    if (data::CreateAllTables(tables_) != data::kDone) throw std::runtime_error("could not make the tables");
}

void Desk::Put(TableId t, const std::vector<std::pair<const char*, Value>>& values) {
    data::TableGateway& g = tables_.gateway(t);
    g.BUFFER.clear();
    for (const auto& [f, v] : values) g.BUFFER.set(g.declaration().fieldIndex(f), v);
    if (g.InsertRecord() != data::kDone) throw std::runtime_error("could not store a record of " + g.declaration().label);
}

void Desk::Articles(int count, long long stock, long long average, long long minimum) {
    data::DataTransaction tx(tables_, std::chrono::seconds(30));
    for (int a = 1; a <= count; ++a)
        Put(TableId::Articulo, {{"ART:NoArt", Value(a)},
                                {"ART:Descripcion", Value("ARTICULO " + std::to_string(a))},
                                {"ART:ExistenciaAnterior", Value(stock)},
                                {"ART:COSTOPROMEDIO", Value(average)},
                                {"ART:StockMinimo", Value(minimum)}});
    if (!tx.commit()) throw std::runtime_error("could not store the articles");
}

NewDocument OpenDocument(Desk& desk, const movements::FolioRule& rule, long long folio, int lines,
                         const std::function<void(Record& line, int i)>& fill) {
    data::ThreadTableSet& tables = desk.Tables();
    NewDocument doc{movements::LineTracker(rule.lines), 0};
    data::DataTransaction tx(tables, std::chrono::seconds(30));
    data::TableGateway& header = tables.gateway(rule.header);
    if (header.PrepareNewRecord() != data::kDone) throw std::runtime_error("could not reserve a header");
    doc.headerRow = header.file()->reservedRow();
    data::TableGateway& g = tables.gateway(rule.lines.lines);
    const int link = g.declaration().fieldIndex(rule.lines.linkField);
    for (int i = 0; i < lines; ++i) {
        if (g.PrepareNewRecord([&](Record& r) { r.set(link, Value(folio)); }) != data::kDone)
            throw std::runtime_error("could not reserve a line");
        fill(g.BUFFER, i);
        if (g.InsertRecord() != data::kDone) throw std::runtime_error("could not store a line");
        doc.tracker.AfterLineForm(g.BUFFER, kInsert, kCompleted);
    }
    if (!tx.commit()) throw std::runtime_error("could not store the lines");
    desk.Settle();
    return doc;
}

}  // namespace tv::bench

namespace tv::bench {

void DocumentDesk::Prepare(long long folio) {
    const data::TableDecl& d = data::decl(lines_.rule->lines.lines);
    const int article = d.fieldIndex(lines_.rule->lines.articleField), quantity = d.fieldIndex(lines_.quantityField),
              cost = d.fieldIndex(lines_.costField);
    doc_ = OpenDocument(*this, *lines_.rule, folio, lines_.count, [&](Record& l, int i) {
        l.set(article, Value((folio + i) % lines_.articles + 1));
        l.set(quantity, lines_.quantity);
        l.set(cost, lines_.cost);
    });
}

BareArticle::BareArticle(BareSqlite& db)
    : db_(db),
      read_(db.Prepare("SELECT tv_row, ExistenciaAnterior, Entradas, Salidas, COSTOPROMEDIO, Pedido FROM Articulo"
                       " WHERE NoArt=?1 AND tv_pending=0 AND (NoArt<>0)")),
      receipts_(db.Prepare("UPDATE Articulo SET Entradas=?1, tv_version=?2 WHERE tv_row=?3")),
      issues_(db.Prepare("UPDATE Articulo SET Salidas=?1, tv_version=?2 WHERE tv_row=?3")),
      ordered_(db.Prepare("UPDATE Articulo SET Pedido=?1, tv_version=?2 WHERE tv_row=?3")),
      receiptsAndAverage_(db.Prepare("UPDATE Articulo SET Entradas=?1, tv_version=?2, COSTOPROMEDIO=?4 WHERE tv_row=?3")) {}

bool BareArticle::Read(int64_t noArt) {
    sqlite3_bind_int64(read_, 1, noArt);
    const bool found = sqlite3_step(read_) == SQLITE_ROW;
    if (found) {
        row = sqlite3_column_int64(read_, 0);
        opening = ToCents(sqlite3_column_double(read_, 1));
        receipts = ToCents(sqlite3_column_double(read_, 2));
        issues = ToCents(sqlite3_column_double(read_, 3));
        average = ToCents(sqlite3_column_double(read_, 4));
        ordered = ToCents(sqlite3_column_double(read_, 5));
    }
    sqlite3_reset(read_);
    return found;
}

bool BareArticle::set(sqlite3_stmt* s, int64_t cents) {
    if (!FitsCents(cents, 11)) return false;
    sqlite3_bind_double(s, 1, FromCents(cents));
    sqlite3_bind_int64(s, 2, db_.Version());
    sqlite3_bind_int64(s, 3, row);
    return BareSqlite::Run(s);
}

bool BareArticle::SetReceipts(int64_t cents) { return set(receipts_, cents); }
bool BareArticle::SetIssues(int64_t cents) { return set(issues_, cents); }
bool BareArticle::SetOrdered(int64_t cents) { return set(ordered_, cents); }

bool BareArticle::SetReceiptsAndAverage(int64_t receiptsCents, int64_t averageCents) {
    if (!FitsCents(averageCents, 11)) return false;
    sqlite3_bind_double(receiptsAndAverage_, 4, FromCents(averageCents));
    return set(receiptsAndAverage_, receiptsCents);
}

BareLedger::BareLedger(BareSqlite& db)
    : db_(db),
      numbers_(db.Numbers(*data::storageDef(TableId::Kardex))),
      insert_(db.Prepare("INSERT INTO Kardex(ID, ARTICULO, Fecha, Documento, Concepto, Referencia, Entrada, Salida,"
                         " Existencia, COSTOUNITARIO, COSTOPROMEDIO, tv_version, tv_pending)"
                         " VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,0)")) {}

void BareLedger::Begin() { first_ = last_ = BareSqlite::LastNumber(numbers_); }

bool BareLedger::Add(const LedgerValues& v) {
    if (!FitsCents(v.in, 11) || !FitsCents(v.out, 11) || !FitsCents(v.stock, 11) || !FitsCents(v.unitCost, 9) ||
        !FitsCents(v.averageCost, 9))
        return false;
    sqlite3_bind_int64(insert_, 1, last_ + 1);
    sqlite3_bind_int64(insert_, 2, v.article);
    sqlite3_bind_int64(insert_, 3, v.date);
    BareSqlite::BindText(insert_, 4, v.document);
    BareSqlite::BindText(insert_, 5, v.concepto);
    BareSqlite::BindText(insert_, 6, v.reference);
    sqlite3_bind_double(insert_, 7, FromCents(v.in));
    sqlite3_bind_double(insert_, 8, FromCents(v.out));
    sqlite3_bind_double(insert_, 9, FromCents(v.stock));
    sqlite3_bind_double(insert_, 10, FromCents(v.unitCost));
    sqlite3_bind_double(insert_, 11, FromCents(v.averageCost));
    sqlite3_bind_int64(insert_, 12, db_.Version());
    if (!BareSqlite::Run(insert_)) return false;
    ++last_;
    return true;
}

void BareLedger::End() {
    if (last_ > first_) db_.NoteNumber(numbers_, last_);
}

}  // namespace tv::bench
