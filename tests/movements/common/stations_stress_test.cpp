// Stations posting receipts and issues at once for a while, as a workgroup
// does at machine speed: 4 and 8 processes, and 4 whose members are killed
// at random moments and started again. Prints its figures: documents,
// refusals, documents that had to be typed again (none), and what the
// starts released. Short by default; TALVOR_STRESS_SECONDS sets how long
// each run lasts (minutes for a soak run).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "data/leftovers.h"
#include "movements/issues/issue_posting.h"
#include "movements/receipts/receipt_posting.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/form_station.h"
#include "tests/movements/support/harness.h"
#include "tests/support/child_process.h"

namespace tv::movements {
namespace {

using data::TableId;
using test::ChildTables;
using test::D;
using test::FormStation;
using test::Unfinished;
using Clock = std::chrono::steady_clock;

constexpr int kArticles = 20;

struct Document {
    const FolioRule* rule;
    test::DocumentShape shape;
    bool (*complete)(data::ThreadTableSet&, const LineTracker*);
};
const Document kReceipt{&receipts::kReceiptFolio,
                        {TableId::Entradas, TableId::DetEntradas, "DEN:ENTRADA", "DEN:CodigoArticulo", "DEN:Cantidad",
                         "DEN:CostoUnitario"},
                        receipts::CompleteReceipt};
const Document kIssue{&issues::kIssueFolio,
                      {TableId::Salidas, TableId::DetSalidas, "DES:SALIDA", "DES:CodigoArticulo", "DES:Cantidad",
                       "DES:CostoUnitario"},
                      issues::CompleteIssue};

// What every station counts, in memory the processes share (a killed
// station's counts stay).
struct Figures {
    std::atomic<long long> documents{0}, receipts{0}, issues{0}, lines{0}, cancelled{0};
    std::atomic<long long> refusals{0}, retyped{0};
    std::atomic<long long> starts{0}, reservations{0}, claims{0}, released{0};
    std::atomic<int> stop{0};
};

std::chrono::seconds RunLength() {
    const char* s = std::getenv("TALVOR_STRESS_SECONDS");
    const long n = s != nullptr ? std::atol(s) : 0;
    return std::chrono::seconds(n > 0 ? n : 2);
}

class StationsAtWork : public test::DocumentDb {
protected:
    void SetUp() override {
        DocumentDb::SetUp();
        for (int a = 1; a <= kArticles; ++a)
            AddArticle({.noArt = a, .stock = Decimal(100000000), .average = D(100)});
        AddRecord(TableId::Folios, {{"FOL:ENTRADAS", Value(1)}, {"FOL:SALIDAS", Value(1)}});
        void* m = mmap(nullptr, sizeof(Figures), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(m, MAP_FAILED);
        figures_ = new (m) Figures;
        CloseDb();
    }
    void TearDown() override {
        if (figures_ != nullptr) munmap(figures_, sizeof(Figures));
        DocumentDb::TearDown();
    }

    // One station: a start (releasing what ended stations left), then new
    // documents until told to stop; some are cancelled, as users do.
    int Station(unsigned seed) {
        Figures& k = *figures_;
        ChildTables c;
        data::Released r;
        if (data::ReleaseLeftovers(c.tables, &r) == data::kDone) {
            ++k.starts;
            k.reservations += r.reservations;
            k.claims += r.claims;
            k.released += r.lines;
        }
        std::minstd_rand rnd(seed);
        while (k.stop.load() == 0) {
            const bool receipt = rnd() % 2 == 0;
            const Document& d = receipt ? kReceipt : kIssue;
            FormStation f(c.tables, *d.rule, d.shape);
            const std::size_t said = presenter.count();
            bool ok = f.Open() != 0;
            const int lines = 1 + static_cast<int>(rnd() % 3);
            for (int l = 0; ok && l < lines; ++l) {
                std::this_thread::sleep_for(std::chrono::microseconds(rnd() % 1500));  // the user types
                ok = f.AddLine({1 + static_cast<int>(rnd() % kArticles), Decimal(1), D(100 + rnd() % 50)});
            }
            if (ok && rnd() % 10 == 0) {
                if (f.Cancel()) {
                    ++k.cancelled;
                    continue;
                }
                ok = false;
            }
            if (ok) ok = d.complete(c.tables, &f.Tracker());
            if (!ok) {
                ++k.refusals;
                if (presenter.count() > said)
                    std::fprintf(stderr, "refused: %s: %s\n", presenter.last().caption.c_str(),
                                 presenter.last().text.c_str());
                if (presenter.count() > said && presenter.last().caption == kFolioCaption) ++k.retyped;
                f.Cancel();
                continue;
            }
            ++k.documents;
            ++(receipt ? k.receipts : k.issues);
            k.lines += lines;
        }
        return 0;
    }

    // `count` stations for the run's length; with `killing`, a random one is
    // killed every few hundred milliseconds and another starts in its place.
    long long Run(int count, bool killing) {
        std::vector<pid_t> pids;
        unsigned seed = 1;
        auto startOne = [&] { return tv::test::spawn([this, s = seed++] { return Station(s); }); };
        for (int i = 0; i < count; ++i) pids.push_back(startOne());
        std::minstd_rand rnd(7);
        long long kills = 0;
        // On a busy machine a station's start can outlast the time between
        // kills: the run goes on until some document got through (at most a
        // minute more), so the figures always test something.
        const auto end = Clock::now() + RunLength();
        const auto latest = end + std::chrono::seconds(60);
        while (Clock::now() < end || (figures_->documents.load() == 0 && Clock::now() < latest)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(killing ? 20 + rnd() % 300 : 50));
            if (!killing) continue;
            const std::size_t i = rnd() % pids.size();
            kill(pids[i], SIGKILL);
            tv::test::exitCode(pids[i]);
            ++kills;
            pids[i] = startOne();
        }
        figures_->stop = 1;
        std::vector<int> codes;
        for (pid_t p : pids) codes.push_back(tv::test::exitCode(p));
        EXPECT_EQ(codes, std::vector<int>(pids.size(), 0)) << "every station ended by itself (nobody stuck)";
        return kills;
    }

    // The next start releases what is left; afterwards nothing is, and
    // every stored document's lines were posted once.
    void ExpectWhole(const char* what, long long kills) {
        data::Released r;
        ASSERT_EQ(data::ReleaseLeftovers(tables(), &r), data::kDone);
        const Figures& k = *figures_;
        std::printf("%s, %llds: %lld documents (%lld receipts, %lld issues) with %lld lines, %lld cancelled, "
                    "%lld refusals, %lld retyped; %lld killed, %lld starts released %lld reservations, %lld folios "
                    "and %lld lines; the last start released %lld\n",
                    what, static_cast<long long>(RunLength().count()), k.documents.load(), k.receipts.load(),
                    k.issues.load(), k.lines.load(), k.cancelled.load(), k.refusals.load(), k.retyped.load(), kills,
                    k.starts.load(), k.reservations.load(), k.claims.load(), k.released.load(), r.total());
        EXPECT_EQ(k.refusals.load(), 0);
        EXPECT_EQ(k.retyped.load(), 0);
        EXPECT_GT(k.documents.load(), 0);
        EXPECT_EQ(CountUnfinished(), Unfinished{});
        if (kills == 0) {
            EXPECT_EQ(r.total(), 0) << "stations that closed their forms leave nothing";
            EXPECT_EQ(Count(TableId::Entradas), k.receipts.load());
            EXPECT_EQ(Count(TableId::Salidas), k.issues.load());
            EXPECT_EQ(Count(TableId::Kardex), k.lines.load());
        }
        // Killed after a commit, a document is stored though not counted.
        EXPECT_EQ(Count(TableId::Kardex),
                  Count(TableId::DetEntradas) + Count(TableId::DetSalidas)) << "every stored line posted once";
        EXPECT_TRUE(LedgerMatchesTotals());
        EXPECT_TRUE(IntegrityOk());
    }

    Figures* figures_ = nullptr;
};

TEST_F(StationsAtWork, FourStationsPostingAtOnce) {
    ExpectWhole("4 stations", Run(4, false));
}

TEST_F(StationsAtWork, EightStationsPostingAtOnce) {
    ExpectWhole("8 stations", Run(8, false));
}

TEST_F(StationsAtWork, FourStationsKilledAtRandomMoments) {
    ExpectWhole("4 stations, killed at random", Run(4, true));
}

}  // namespace
}  // namespace tv::movements
