#pragma once

#include "haplotypeassoc.h"
#include "runreport.h"

#include <QStringList>

struct TestInput;

// What the report calls the loci and their alleles.
struct HaplotypeLabels
{
    QStringList snps;     // one name per locus
    QStringList alleles;  // two per locus: allele 1, allele 2; empty: "1" and "2"
};

// One haplotype run: the Results entry and the figures behind it (set
// when status is 0). Statuses: haplotypeassoc::Status.
struct HaplotypesRun : RunReport
{
    HaplotypeFigures figures;
    HaplotypeLabels labels;
    QString error;  // a failure's reason, plain text
};

// The run on a sample from anywhere (a block, a genotype file's SNPs).
// Calls progress(100) before the work and progress(-1) after it.
HaplotypesRun runHaplotypesTest(const HaplotypeSample &sample, const HaplotypeLabels &labels,
                                const HaplotypeSettings &settings, const ProgressDisplay &progress,
                                ReportText text = ReportText::Full);

// The block that the haplotypes check left in `in`: genotype codes in
// bufA (individual-major, -1 missing), case status in bufB, the names in
// factorNames and alleleNames, the options in its haplotype fields.
HaplotypesRun runHaplotypesTest(const TestInput &in, quint64 seed, const ProgressDisplay &progress);

// A haplotype as "1" (allele 1) and "2" (allele 2) per locus, first
// locus first; "rare" for the pool.
QString haplotypeDigits(const HaplotypeEntry &entry, int loci);
// The same in the labels' allele names ("A-G-T"; "ACGT" when every name
// is one character).
QString haplotypeName(const HaplotypeEntry &entry, const HaplotypeLabels &labels, int loci);

// The Results entry's tables, after its headline.
QString haplotypesReport(const HaplotypeFigures &figures, const HaplotypeLabels &labels);
