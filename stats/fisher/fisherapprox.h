#pragma once

#include <QtGlobal>

#include <vector>

// The approximate Fisher 2xN test with a guaranteed number of digits after
// the point: the reported P-value differs from the exact one by less than
// 10^-digits.
//
// A run of the approximate variant (dfish) with rounding unit u brackets
// the P-value: rounded lengths fall short of the true ones by less than
// (N - 2) u, so the tables it cannot place lie within that distance of the
// observed length, and the weights it sums are short by at most the factor
// exp((N - 2) u). The unit is chosen so that this error takes half the
// allowance; a bracket narrow enough gives a value within the allowance of
// both ends. Otherwise the run is repeated with a finer unit, or the exact
// variant is run: also at once where the approximate run could not win
// (the unit would be too fine to merge lengths, or the tables that tie with
// the observed one already weigh more than the allowance).
class fisherapprox final
{
public:
    enum class Route {
        Approximate,  // the approximate variant gave the value
        ExactTies,    // exact: the ties with the observed table alone exceed the allowance
        ExactUnit,    // exact: the unit needed is finer than pays (or than 64 bits hold)
        ExactBracket, // exact: the brackets of the approximate runs stayed too wide
    };

    // The finest unit at which the approximate variant still pays for N
    // columns: below it the exact variant, which joins equal lengths, is
    // as fast (measured on the benchmark suite: about 1e-7 for 8 columns,
    // 5e-7 for 12, 3e-6 for 20, 2e-5 for 30; on random tables about 2e-4
    // for 60 to 80 columns).
    static double finestUnit(int N);
    // A bracket too wide asks for a unit this many times finer, once.
    static constexpr double kRefinement = 16.0;
    // The share of 10^-digits the value may be off: the rest is a margin
    // for the rounding of the sums that make the bracket.
    static constexpr double kAllowance = 0.999;

    // What a run starts with: the route (Approximate, ExactTies or
    // ExactUnit), the first unit, the weight of the ties (tables that tie
    // with the observed one for certain) and the longest path in units.
    struct Plan
    {
        Route route = Route::Approximate;
        double unit = 0.0;
        double ties = 0.0;
        double maxUnits = 0.0;
    };
    static Plan plan(int digits, const int *x, const int *c, int N);

    // digits: 1 to 9 (others are refused by run with status 1).
    explicit fisherapprox(int digits) : m_digits(digits) {}

    // The first row x and the column totals c of N columns, capacity as for
    // the engines (the grand total). Statuses as basef::run, and 3 when an
    // engine cannot be built.
    int run(int capacity, const int *x, const int *c, int N, double &pValue);

    // Test and benchmark hook: never run the exact variant instead (a run
    // whose bracket stays too wide reports the middle of its last bracket).
    void setExactFallback(bool on) { m_fallback = on; }
    // Test hook: the first unit (0: chosen from the digits and N).
    void setFirstUnit(double unit) { m_firstUnit = unit; }

    Route route() const { return m_route; }
    int approximateRuns() const { return m_runs; }
    double unit() const { return m_unit; }         // of the last approximate run
    double lowerBound() const { return m_lower; }  // of the last approximate run
    double upperBound() const { return m_upper; }

    // ln of the weight of the tables that are the observed one with the
    // counts of equal-total columns permuted (they tie with it exactly).
    static double logTieWeight(const int *x, const int *c, int N);

private:
    int runExact(int capacity, const int *x, const int *c, int N, double &pValue, Route why);
    int runApproximate(int capacity, const int *x, const int *c, int N, double unit);

    int m_digits;
    bool m_fallback = true;
    double m_firstUnit = 0.0;
    Route m_route = Route::Approximate;
    int m_runs = 0;
    double m_unit = 0.0;
    double m_lower = 0.0;
    double m_upper = 0.0;
    double m_estimate = 0.0;
};
