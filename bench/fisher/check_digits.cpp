// Checks the digits the approximate Fisher test guarantees, on random tables
// (randomtables.h): for every table the exact variant gives the reference
// P-value, and the approximate test at each accuracy d from 1 to 9 must
// come within 10^-d of it, without status 12. A release-built program: the
// full run takes minutes. Prints one line per accuracy (misses, statuses,
// how often the exact variant was run instead, time against the exact
// runs) and exits 1 when any table misses its digits or ends with a status
// other than 0 or 10 (stopped at the time cap).
//
//   check_digits [--tables=1000] [--seed=20250101] [--columns=100]
//                [--total=1000] [--cap_s=60] [--budget_mb=4096]
//                [--no_fallback] [--verbose] [--suite]
//
// Each run is stopped after --cap_s seconds (through the stop flag the
// engines poll) within a budget of --budget_mb MiB. A table whose exact run
// does not finish is replaced by a new random one, and counted.
// --no_fallback never runs the exact variant in place of the approximate
// one (the figures that set where it pays). Where the plan of a run is the
// exact variant from the start, its value and time are the exact run's. --suite takes the 48 tables of
// the benchmark suite (suite.h) instead of random ones.
#include "randomtables.h"
#include "runcap.h"
#include "suite.h"

#include "calcpoll.h"
#include "dfex.h"
#include "fisherapprox.h"
#include "membudget.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

int capSeconds = 60;

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct PerDigits
{
    int misses = 0;
    double worst = 0.0;  // largest |P - exact| / 10^-d
    std::map<int, int> statuses;
    std::map<int, int> routes;
    double time = 0.0;
    double timeWhereApproximate = 0.0;
    double exactTimeWhereApproximate = 0.0;
};

const char *routeName(int route)
{
    switch (fisherapprox::Route(route)) {
    case fisherapprox::Route::Approximate:
        return "approximate";
    case fisherapprox::Route::ExactTies:
        return "exact(ties)";
    case fisherapprox::Route::ExactUnit:
        return "exact(unit)";
    case fisherapprox::Route::ExactBracket:
        return "exact(bracket)";
    }
    return "?";
}

} // namespace

int main(int argc, char **argv)
{
    int tables = 1000;
    unsigned long long seed = 20250101ULL;
    int columns = 100;
    int total = 1000;
    qint64 budgetMiB = 4096;
    bool fallback = true;
    bool verbose = false;
    bool suite = false;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (std::strncmp(a, "--tables=", 9) == 0)
            tables = std::atoi(a + 9);
        else if (std::strncmp(a, "--seed=", 7) == 0)
            seed = std::strtoull(a + 7, nullptr, 10);
        else if (std::strncmp(a, "--columns=", 10) == 0)
            columns = std::atoi(a + 10);
        else if (std::strncmp(a, "--total=", 8) == 0)
            total = std::atoi(a + 8);
        else if (std::strncmp(a, "--cap_s=", 8) == 0)
            capSeconds = std::atoi(a + 8);
        else if (std::strncmp(a, "--budget_mb=", 12) == 0)
            budgetMiB = std::atoll(a + 12);
        else if (std::strcmp(a, "--no_fallback") == 0)
            fallback = false;
        else if (std::strcmp(a, "--verbose") == 0)
            verbose = true;
        else if (std::strcmp(a, "--suite") == 0)
            suite = true;
        else {
            std::fprintf(stderr, "unknown option %s\n", a);
            return 2;
        }
    }
    MemoryBudget::setRunLimitOverride(budgetMiB << 20);

    fisherbench::RandomTables source(seed, columns, total);
    const std::vector<fisherbench::Table> suiteTables = fisherbench::suite();
    if (suite)
        tables = int(suiteTables.size());
    size_t drawn = 0;
    PerDigits per[10];
    int replaced = 0;
    double exactTime = 0.0;
    int done = 0;
    while (done < tables) {
        fisherbench::RandomTable t;
        if (suite) {
            if (drawn == suiteTables.size())
                break;
            t.x = suiteTables[drawn].x;
            t.c = suiteTables[drawn].c;
            t.n = suiteTables[drawn].n;
            ++drawn;
        } else {
            t = source.next();
        }
        const int N = int(t.c.size());
        double exact = -1.0;
        auto started = std::chrono::steady_clock::now();
        fisherbench::armCap(capSeconds);
        int status = 0;
        {
            dfex<double> engine(t.n, status);
            if (status == 0)
                status = engine.run(t.x.data(), t.c.data(), N, exact);
        }
        fisherbench::disarmCap();
        const double exactSeconds = seconds(started);
        if (status != 0) {
            ++replaced;
            if (verbose)
                std::printf("unfinished N=%d n=%d: exact status %d after %.1f s\n", N, t.n, status, exactSeconds);
            // A suite table is kept: the approximate runs are timed.
            if (!suite)
                continue;
            exact = std::nan("");
        }
        ++done;
        exactTime += exactSeconds;
        for (int d = 1; d <= 9; ++d) {
            PerDigits &r = per[d];
            // Where the plan is the exact variant from the start, the value
            // is the exact run's above (the same code on the same table):
            // counted, not repeated.
            const fisherapprox::Plan plan = fisherapprox::plan(d, t.x.data(), t.c.data(), N);
            if (fallback && plan.route != fisherapprox::Route::Approximate && !std::isnan(exact)) {
                ++r.statuses[0];
                ++r.routes[int(plan.route)];
                r.time += exactSeconds;
                continue;
            }
            fisherapprox engine(d);
            engine.setExactFallback(fallback);
            double p = -1.0;
            started = std::chrono::steady_clock::now();
            fisherbench::armCap(capSeconds);
            status = engine.run(t.n, t.x.data(), t.c.data(), N, p);
            fisherbench::disarmCap();
            const double took = seconds(started);
            r.time += took;
            ++r.statuses[status];
            ++r.routes[int(engine.route())];
            if (engine.route() == fisherapprox::Route::Approximate) {
                r.timeWhereApproximate += took;
                r.exactTimeWhereApproximate += exactSeconds;
            }
            // A run stopped by the time cap is counted by its status, not
            // as a miss.
            const bool capped = status == 10;
            const double error = std::isnan(exact) || capped ? 0.0 : status == 0 ? std::fabs(p - exact) : 1.0;
            const double target = std::pow(10.0, -d);
            r.worst = std::max(r.worst, error / target);
            if (!(error < target)) {
                ++r.misses;
                std::printf("MISS d=%d N=%d n=%d status=%d P=%.17g exact=%.17g route=%s\n", d, N, t.n, status, p,
                            exact, routeName(int(engine.route())));
            }
            if (verbose)
                std::printf("N=%d n=%d d=%d exact=%.10g (%.3f s) P=%.10g (%.3f s, %s, runs %d, unit %.3g, "
                            "bracket %.3g of 10^-d)\n",
                            N, t.n, d, exact, exactSeconds, p, took, routeName(int(engine.route())),
                            engine.approximateRuns(), engine.unit(),
                            (engine.upperBound() - engine.lowerBound()) / std::pow(10.0, -d));
        }
    }

    std::printf("%d tables (N 2..%d, totals up to %d, seed %llu); %d replaced (exact run unfinished in %d s or "
                "%lld MiB); exact runs took %.2f s\n",
                tables, columns, total, seed, replaced, capSeconds, budgetMiB, exactTime);
    int misses = 0;
    for (int d = 1; d <= 9; ++d) {
        const PerDigits &r = per[d];
        misses += r.misses;
        std::printf("d=%d misses %d worst %.3f of 10^-d, time %.2f s (where approximate: %.2f s, exact there "
                    "%.2f s);",
                    d, r.misses, r.worst, r.time, r.timeWhereApproximate, r.exactTimeWhereApproximate);
        for (const auto &s : r.statuses)
            std::printf(" status %d: %d", s.first, s.second);
        std::printf(";");
        for (const auto &route : r.routes)
            std::printf(" %s %d", routeName(route.first), route.second);
        std::printf("\n");
    }
    std::printf("%d passed, %d failed\n", 9 * tables - misses, misses);
    return misses == 0 ? 0 : 1;
}
