#pragma once

#include <QtGlobal>

#include <vector>

// ln(k!) for k = 0..n, each from std::lgamma, so the table does not drift as
// a running sum does (2e-8 at n = 200,000). Returns false, leaving the table
// empty, when it cannot be allocated. The values are cached for the
// process; engines on several threads at once (a genotype batch) share the
// cache under a lock.
bool fillLogFactorials(std::vector<double> &table, qint64 n);
