#pragma once
// Bare libpq completing a receipt the program's posting path completes:
// the same statements, prepared once, in one unit under a write lock.
#include <libpq-fe.h>

#include <cstdint>
#include <set>
#include <string>

namespace tv::bench {

class BareReceipts {
public:
    explicit BareReceipts(const std::string& conninfo);
    ~BareReceipts();
    BareReceipts(const BareReceipts&) = delete;
    BareReceipts& operator=(const BareReceipts&) = delete;
    // Completes the receipt under `folio` whose reserved header is row
    // `headerRow` and whose lines are `lines` (the form's own); false, with
    // nothing stored, when anything is wrong.
    bool Complete(long long folio, const std::set<long long>& lines, int64_t headerRow);

private:
    bool rollback();
    PGconn* c_;
    int64_t version_ = 1;
};

// "" when schemas `a` and `b` hold the same rows in every table of `a`
// (row versions and owners aside: each connection has its own); else the
// first table that differs.
std::string SchemasDiffer(const std::string& conninfo, const std::string& a, const std::string& b);

}  // namespace tv::bench
