#pragma once

#include <utility>
#include <vector>

// A slow clusterization that recomputes every level from scratch: the
// clusters are runs of positions, and their counts, the distances between
// neighbours and G are summed anew from the factors at each level. The
// engine keeps all of these incrementally; this is what it must agree with.
struct ReferenceClusters
{
    std::vector<int> order;                 // input indexes, ascending ratio
    std::vector<double> pValues;            // by number of clusters, 2..K
    int best = 0;
    std::vector<int> clusterOfFactor;       // 1-based, input order
};

ReferenceClusters referenceClusters(const std::vector<std::pair<int, int>> &factors);
