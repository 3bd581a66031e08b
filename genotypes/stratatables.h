#pragma once

#include "varianttable.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

// What a stratified test counts in each stratum's 2 x 2 table: allele
// copies, or individuals carrying the tested allele (dominant) or
// homozygous for it (recessive), as PLINK's --model does for its 2 x 2 tests.
enum class StrataModel { Allelic, Dominant, Recessive };

// One ALT allele of a variant against the rest of its alleles, stratum by
// stratum.
struct StrataSplit
{
    int alt = 0;          // index into the record's ALT alleles
    // The side counted in a and c: the one with fewer copies over all the
    // test's samples (PLINK's A1), the ALT on a tie. The ALT, or the other
    // alleles with copies, joined by commas in the record's order.
    QByteArray tested;
    bool testedIsAlt = true;
    QString rejected;     // why no test runs; empty when one can
    // Per stratum, in the strata file's order: a, b (cases with the tested
    // side and with the other), c, d (the same for controls).
    std::vector<std::array<int, 4>> strata;
};

// The splits of a variant's TableLayout::Strata table, one per ALT allele
// (one for a record without ALT): the tables of each, or the reason the
// record or that ALT cannot be tested. `out` is reused.
void splitStrata(const VariantTable &table, StrataModel model, std::vector<StrataSplit> &out);
