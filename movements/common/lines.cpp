#include "movements/common/lines.h"

#include "platform/threads/thread_state.h"

namespace tv::movements {

namespace {

bool sameLink(const Value& a, const Value& b) {
    return a.isText() ? a.asText() == b.asText() : a.asNumber() == b.asNumber();
}

// Walks the lines of `link` through the gateway's handle; the storage
// status of the read that ended the walk.
storage::Status readLines(data::ThreadTableSet& tables, const LineRule& rule, const Value& link,
                          const std::function<void(const Record&)>& each) {
    data::TableGateway& g = tables.gateway(rule.lines);
    if (g.UseOnDemand() != data::kDone || g.file() == nullptr)
        return storage::Status::make(storage::kFileNotFound);
    const data::TableDecl& d = g.declaration();
    const int key = d.keyIndex(rule.linkKey);
    const int field = d.fieldIndex(rule.linkField);
    storage::Table& f = *g.file();
    const KeepHandle keep(&f);
    Record probe(g.BUFFER.layoutPtr());
    probe.clear();
    probe.set(field, link);
    f.setOrder(key);
    f.setPosition(key, probe);
    storage::Status st;
    while ((st = f.next(probe)).ok() && sameLink(probe.get(field), link)) each(probe);
    return st;
}

}  // namespace

std::vector<Record> ReadLines(data::ThreadTableSet& tables, const LineRule& rule, const Value& link) {
    std::vector<Record> out;
    readLines(tables, rule, link, [&out](const Record& line) { out.push_back(line); });
    return out;
}

bool ForEachLine(Posting& p, const LineRule& rule, const Value& link, const std::function<void(const Record&)>& each) {
    if (p.Failed()) return false;
    const storage::Status st = readLines(p.Tables(), rule, link, each);
    if (st.ok() || st.code == storage::kRecordNotAvailable) return true;
    data::TableGateway& g = p.Gateway(rule.lines);
    g.recordError(1, st);
    return p.TableFailed(g);
}

std::vector<Record> ReadLines(Posting& p, const LineRule& rule, const Value& link) {
    std::vector<Record> out;
    ForEachLine(p, rule, link, [&out](const Record& line) { out.push_back(line); });
    return out;
}

bool HasLines(data::ThreadTableSet& tables, const LineRule& rule, const Value& link) {
    data::TableGateway& g = tables.gateway(rule.lines);
    if (g.UseOnDemand() != data::kDone || g.file() == nullptr) return false;
    const data::TableDecl& d = g.declaration();
    Record probe(g.BUFFER.layoutPtr());
    probe.clear();
    probe.set(d.fieldIndex(rule.linkField), link);
    const KeepHandle keep(g.file());
    return g.file()->readByKey(d.keyIndex(rule.linkKey), probe).ok();
}

Decimal LineArticle(const LineRule& rule, const Record& line) {
    return line.number(line.layout().indexOf(rule.articleField));
}

std::string ArticleList(const std::vector<Decimal>& articles) {
    constexpr std::size_t kNamed = 10;
    const std::size_t named = articles.size() > kNamed + 1 ? kNamed : articles.size();
    std::string out;
    for (std::size_t i = 0; i < named; ++i) {
        if (i > 0) out += i + 1 == articles.size() ? " y " : ", ";
        out += articles[i].toText();
    }
    if (named < articles.size()) out += " y " + std::to_string(articles.size() - named) + " más";
    return out;
}

std::string MissingArticleText(const Decimal& article) {
    return "El artículo " + article.toText() +
           " de una línea del documento no existe. Quite la línea o elija otro artículo; no se guardó nada.";
}

bool CheckQuantity(Posting& p, const Decimal& article, const Decimal& quantity) {
    if (p.Failed()) return false;
    if (quantity.sign() <= 0)
        return p.RefuseWith("Cantidad no válida", "La cantidad del artículo " + article.toText() +
                                                      " debe ser mayor que cero; no se guardó nada.");
    return true;
}

bool CheckQuantityAndCost(Posting& p, const Decimal& article, const Decimal& quantity, const Decimal& cost) {
    if (!CheckQuantity(p, article, quantity)) return false;
    if (cost.sign() < 0)
        return p.RefuseWith("Costo no válido", "El costo del artículo " + article.toText() +
                                                   " no puede ser negativo; no se guardó nada.");
    return true;
}

bool CheckLineArticles(Posting& p, const LineRule& rule, const std::vector<Record>& lines) {
    for (const Record& line : lines) {
        const Decimal article = LineArticle(rule, line);
        const int noArt = Posting::Field(data::TableId::Articulo, "ART:NoArt");
        p.Buffer(data::TableId::Articulo).clear();
        p.Buffer(data::TableId::Articulo).setNumber(noArt, article);
        if (!article.isZero() && p.Find(data::TableId::Articulo, "ART:KeyNoArt")) continue;
        if (p.Failed()) return false;
        return p.RefuseWith(kMissingArticleCaption, MissingArticleText(article));
    }
    return !p.Failed();
}

// ---------------------------------------------------------------- LineTracker

void LineTracker::AfterLineForm(const Record& line, uint8_t request, uint8_t response) {
    if (response != kCompleted) return;
    const long long id = line.number(line.layout().indexOf(rule_.idField)).toInt64();
    if (request == kInsert) ids_.insert(id);
    else if (request == kDelete) ids_.erase(id);
}

void LineTracker::AddStored(const Record& line) {
    ids_.insert(line.number(line.layout().indexOf(rule_.idField)).toInt64());
}

bool LineTracker::Stale(const data::ThreadTableSet& tables) const {
    const uint64_t now = tables.connection().fileGeneration();
    if (!file_) file_ = now;
    return *file_ != now;
}

long long LineTracker::Foreign(data::ThreadTableSet& tables, const Value& link) const {
    return Foreign(tables, ReadLines(tables, rule_, link));
}

long long LineTracker::Foreign(const data::ThreadTableSet& tables, const std::vector<Record>& lines) const {
    long long n = 0;
    const bool stale = Stale(tables);
    const int idField = data::decl(rule_.lines).fieldIndex(rule_.idField);
    for (const Record& line : lines)
        if (stale || !Holds(line.number(idField).toInt64())) ++n;
    return n;
}

bool LineTracker::DeleteStored(data::ThreadTableSet& tables, const std::function<bool(Posting&)>& also) {
    if (Stale(tables)) {
        // Its lines went with the file that was replaced: none of the new
        // file's records is deleted for them.
        ids_.clear();
        file_ = tables.connection().fileGeneration();
    }
    if (ids_.empty() && !also) return true;
    data::TableGateway& g = tables.gateway(rule_.lines);
    const Record saved = g.BUFFER;
    const int idField = g.declaration().fieldIndex(rule_.idField);
    const bool ok = RunAsOneUnit(tables, {rule_.lines}, [&](Posting& p) {
        for (long long id : ids_) {
            g.BUFFER.clear();
            g.BUFFER.set(idField, Value(id));
            if (!p.Find(rule_.lines, rule_.idKey)) {
                if (p.Failed()) return false;
                continue;  // already gone
            }
            if (!p.Step("delete line", id)) return false;
            if (g.DeleteCurrentRecord(false) != data::kDone) return p.TableFailed(g);
        }
        return !also || also(p);
    });
    if (ok) {
        ids_.clear();
        g.BUFFER = saved;
    }
    return ok;
}

}  // namespace tv::movements
