#pragma once

#include "blockrun.h"
#include "varianttable.h"

#include <QString>

#include <string>

// How a variant's test runs: exact within a budget of work, Monte Carlo
// beyond it.
struct VariantBudget
{
    // Work units an exact run may do (CalcWorkAllowance, exactbudget); 0:
    // none, every variant gets the estimate.
    quint64 exactUnits = 0;
    qint64 monteCarloSamples = 100000;  // B of the fallback
    quint64 seed = 0;                   // the run's seed
};

struct VariantOutcome
{
    bool ok = false;              // tested, status 0
    bool stopped = false;         // Ctrl+C
    bool needsMonteCarlo = false; // the exact run was over budget: no line yet
    QString line;                 // one JSON object
};

// The fields that name a variant in its line: "variant" (number, 1-based
// in the file or region), "chrom", "pos", "id", "ref", "alt" (a list),
// "alleles" (with copies), "n", "missing", "haploid"; as JSON, without
// braces.
QString variantFields(const VariantTable &table, qint64 number);
// The same fields, appended in UTF-8; with onlyAlt >= 0, "alt" lists that
// ALT allele alone (the line of one ALT of a split site; none if there is
// no such ALT).
void appendVariantFields(std::string &out, const VariantTable &table, qint64 number, int onlyAlt = -1);

// The key of a variant's Monte Carlo stream: the 64-bit FNV-1a hash of
// CHROM, POS (decimal), REF and the ALT alleles joined by commas, each of
// the four followed by a tab. It depends on nothing but the variant, so
// its estimate is the same in any chunk, order or thread.
quint64 variantKey(const VariantIdentity &identity);

// The variant's test through the same checks and run functions as a table
// (runBlock), exact under the budget's allowance. When the exact run goes
// over the allowance or out of memory, needsMonteCarlo is set instead of a
// line. Runs on any thread.
VariantOutcome runVariantExact(const VariantTable &table, qint64 number, const TestSettings &settings,
                               const VariantBudget &budget, const QString &file, TestInput &input);

// What every line of a file's variants starts with, as JSON strings in
// UTF-8 (JsonLine::quoted): the file's name and the test's.
struct VariantLineNames
{
    QByteArray file;
    QByteArray test;
};
VariantLineNames variantLineNames(const QString &file, const TestSettings &settings);

// The line of a two-allele variant's exact Hardy-Weinberg test, written
// straight from its counts into `out` (UTF-8, no line end): the bytes of
// runVariantExact's line, without cell texts, checks (the counts of a
// table that is not rejected pass them) or QString. False, `out` cleared,
// for any other test or variant, and when the sum was stopped: those go
// through runVariantExact.
bool twoAlleleHweLine(const VariantTable &table, qint64 number, const TestSettings &settings,
                      const VariantBudget &budget, const VariantLineNames &names, QByteArray &out);

// The Monte Carlo estimate of a variant over budget, its seed derived from
// the run's seed and variantKey(); on the main thread (it uses
// settings.threads of its own).
VariantOutcome runVariantMonteCarlo(const VariantTable &table, qint64 number, const TestSettings &settings,
                                    const VariantBudget &budget, const QString &file, TestInput &input,
                                    const ProgressDisplay &progress);

// The line for a record that could not be read or decoded (number 0: none
// of the file's records in particular): "status":"error" and the message.
QString variantErrorLine(const TestSettings &settings, const QString &file, qint64 number, const QString &message);
