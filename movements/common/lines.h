#pragma once
// A document's lines: reading them in key order, checking that each names a
// stored article, and keeping track of the lines a form stored, so that
// cancelling a new document deletes exactly those.
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "data/tables.h"
#include "data/thread_table_set.h"
#include "movements/common/unit_of_work.h"
#include "platform/types/record.h"

namespace tv::movements {

// Keeps a table handle's current and reserved records across reads of
// its own (a form that read a record rewrites that one, not the last
// record a check read through the same handle).
class KeepHandle {
public:
    explicit KeepHandle(storage::Table* t) : t_(t) {
        if (t_ != nullptr) saved_ = t_->handleState();
    }
    ~KeepHandle() {
        if (t_ != nullptr) t_->restoreHandleState(saved_);
    }
    KeepHandle(const KeepHandle&) = delete;
    KeepHandle& operator=(const KeepHandle&) = delete;

private:
    storage::Table* t_;
    storage::Table::HandleState saved_{};
};

// Where a document's lines are: their table, id, link to the header and article.
struct LineRule {
    data::TableId lines{};
    const char* idField = nullptr;       // "DEN:ID"
    const char* idKey = nullptr;         // "DEN:KeyId"
    const char* linkKey = nullptr;       // "DEN:KeyEntrada"
    const char* linkField = nullptr;     // "DEN:ENTRADA"
    const char* articleField = nullptr;  // "DEN:CodigoArticulo"
};

// The lines of document `link`, in key order (read through a copy: the
// thread's line buffer is left as it was). Without a posting (a form) a
// read error ends the list early; with one it is recorded.
std::vector<Record> ReadLines(data::ThreadTableSet& tables, const LineRule& rule, const Value& link);
std::vector<Record> ReadLines(Posting& p, const LineRule& rule, const Value& link);
// The same, one line at a time, for documents too long to hold whole as
// records: `each` sees every line in key order; false after a read error
// (recorded in the posting).
bool ForEachLine(Posting& p, const LineRule& rule, const Value& link, const std::function<void(const Record&)>& each);
// Whether document `link` has any line.
bool HasLines(data::ThreadTableSet& tables, const LineRule& rule, const Value& link);

// The article a line names.
Decimal LineArticle(const LineRule& rule, const Record& line);

// In a unit: refuses, naming the article, when a line names an article that
// is not stored (or 0). The Articulo buffer holds the last article read.
bool CheckLineArticles(Posting& p, const LineRule& rule, const std::vector<Record>& lines);
// In a unit: refuses, naming the article, a line whose quantity is not
// greater than zero (or, with the cost, whose cost is negative).
bool CheckQuantity(Posting& p, const Decimal& article, const Decimal& quantity);
bool CheckQuantityAndCost(Posting& p, const Decimal& article, const Decimal& quantity, const Decimal& cost);
// Article numbers as a message names them: "1, 2 y 3"; a long list names
// its first ten ("..., 10 y 25 más").
std::string ArticleList(const std::vector<Decimal>& articles);
// The refusal's text for one article ("El artículo 12 ...").
std::string MissingArticleText(const Decimal& article);
inline constexpr const char* kMissingArticleCaption = "Artículo no encontrado";

// The lines a form stored for its new document, by id.
class LineTracker {
public:
    explicit LineTracker(LineRule rule) : rule_(rule) {}

    const LineRule& Rule() const { return rule_; }
    void Add(long long id) { ids_.insert(id); }
    void Remove(long long id) { ids_.erase(id); }
    bool Holds(long long id) const { return ids_.count(id) != 0; }
    bool Empty() const { return ids_.empty(); }
    std::size_t Size() const { return ids_.size(); }
    const std::set<long long>& Ids() const { return ids_; }

    // After the line form ran with `request` on the line in the buffer: a
    // completed insert is this form's line now, a completed delete is gone.
    void AfterLineForm(const Record& line, uint8_t request, uint8_t response);
    // The line just stored in the buffer (a line copied from elsewhere).
    void AddStored(const Record& line);
    // How many lines of document `link` this form did not store (another
    // form's new document with the same folio, or lines left behind).
    long long Foreign(data::ThreadTableSet& tables, const Value& link) const;
    // The same over lines of the document already read.
    long long Foreign(const data::ThreadTableSet& tables, const std::vector<Record>& lines) const;
    // Deletes the lines it holds that are still stored, and runs `also` (the
    // new header's release), in one unit; false (after its message) when
    // that could not be done: then nothing was deleted.
    bool DeleteStored(data::ThreadTableSet& tables, const std::function<bool(Posting&)>& also = {});

private:
    // Whether its ids are of a file the connection no longer has (one was
    // put in place of it): then they name nobody's lines. The first look
    // ties the tracker to the file open then.
    bool Stale(const data::ThreadTableSet& tables) const;

    LineRule rule_;
    std::set<long long> ids_;
    mutable std::optional<uint64_t> file_;
};

}  // namespace tv::movements
