#include "logfactorial.h"

#include <cmath>
#include <new>

bool fillLogFactorials(std::vector<double> &table, qint64 n)
{
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
