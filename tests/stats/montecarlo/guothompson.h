#pragma once

// Guo and Thompson's (1992) genotype table of nine alleles, 8297
// individuals: about 2e56 tables share its allele counts, beyond every
// exact method. Given as the lower triangle by rows; returned as the 9 x 9
// upper triangle, row-major, that a user types into the grid.

#include <vector>

inline std::vector<int> guoThompsonTable()
{
    const std::vector<std::vector<int>> lower = {
        {1236}, {120, 3}, {18, 0, 0}, {982, 55, 7, 249}, {32, 1, 0, 12, 0},
        {2582, 132, 20, 1162, 29, 1312}, {6, 0, 0, 4, 0, 4, 0}, {2, 0, 0, 0, 0, 0, 0, 0},
        {115, 5, 2, 53, 1, 149, 0, 0, 4}};
    std::vector<int> upper(81, 0);
    for (size_t i = 0; i < 9; ++i)
        for (size_t j = 0; j <= i; ++j)
            upper[j * 9 + i] = lower[i][j];
    return upper;
}
