// Writes the 48 tables of the Fisher suite (suite.h) as a batch text file
// for velmora-cli: each table as N rows of two tab-separated counts (the
// grid has 26 columns, too few for the 30-column tables the other way
// round), tables separated by an empty line, in the suite's order.
#include "suite.h"

#include <cstdio>

int main()
{
    bool first = true;
    for (const fisherbench::Table &t : fisherbench::suite()) {
        if (!first)
            std::printf("\n");
        first = false;
        for (size_t j = 0; j < t.x.size(); ++j)
            std::printf("%d\t%d\n", t.x[j], t.c[j] - t.x[j]);
    }
    return 0;
}
