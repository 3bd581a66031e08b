#include "logfactorial.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <mutex>
#include <new>

namespace {

// Values already computed, shared by the runs of one process: a batch of
// many small tables would otherwise spend most of its time in lgamma.
// Tables up to this many entries (8 MB) are kept; larger ones are built for
// their run alone.
constexpr qint64 kCachedEntries = qint64(1) << 20;

std::vector<double> &cache()
{
    static std::vector<double> values;
    return values;
}

std::mutex cacheMutex;

} // namespace

bool fillLogFactorials(std::vector<double> &table, qint64 n)
{
    if (n >= 0 && n < kCachedEntries) {
        const std::lock_guard<std::mutex> lock(cacheMutex);
        std::vector<double> &known = cache();
        try {
            table.resize(static_cast<size_t>(n) + 1);
            if (known.size() <= static_cast<size_t>(n)) {
                const size_t from = known.size();
                known.resize(static_cast<size_t>(n) + 1);
                for (size_t k = from; k < known.size(); ++k)
                    known[k] = k == 0 ? 0.0 : std::lgamma(static_cast<double>(k) + 1.0);
            }
        } catch (const std::bad_alloc &) {
            table.clear();
            table.shrink_to_fit();
            return false;
        }
        std::copy(known.begin(), known.begin() + static_cast<std::ptrdiff_t>(n) + 1, table.begin());
        return true;
    }

    table.clear();
    if (n < 0)
        return false;
    try {
        table.resize(static_cast<size_t>(n) + 1);
    } catch (const std::bad_alloc &) {
        table.clear();
        table.shrink_to_fit();
        return false;
    }
    table[0] = 0.0;
    for (qint64 k = 1; k <= n; ++k)
        table[static_cast<size_t>(k)] = std::lgamma(static_cast<double>(k) + 1.0);
    return true;
}
