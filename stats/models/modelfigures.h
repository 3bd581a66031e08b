#pragma once

#include <QString>
#include <QtGlobal>
#include <QtNumeric>

// The figures of the genetic models of one case/control genotype table, as
// plain data for the report, the command line and the pictures. Every
// genotype index below counts copies of the effect allele (0, 1, 2), not
// the block's column order.
//
// A figure is NaN only where its model gives none; the model's reason then
// says why. An odds ratio or a limit may be +infinity (or 0).

// An odds ratio with its interval at the run's confidence level.
struct OddsRatioFigure
{
    double estimate = qQNaN();
    double low = qQNaN();
    double high = qQNaN();
};

// One 2 x 2 comparison of cases and controls: exposed (column 0) against
// unexposed (column 1), exposure counted in copies of the effect allele.
struct TwoByTwoModel
{
    qint64 cases[2] = {0, 0};
    qint64 controls[2] = {0, 0};
    QString reason;           // why the model gives no figures; empty when it does
    double chi2 = qQNaN();    // Pearson, 1 df, without Yates
    double pChi2 = qQNaN();
    double pExact = qQNaN();  // Fisher
    double pMidp = qQNaN();   // Lancaster's mid-p of Fisher's test
    OddsRatioFigure sample;   // cross-product ratio, Woolf's interval
    bool sampleCorrected = false;  // a zero cell: 0.5 was added to every cell
    OddsRatioFigure conditional;   // conditional maximum likelihood, exact interval
};

// The 2 x 3 table of genotypes, 2 df; with a genotype that no case and no
// control has, the 2 x 2 of the other two, 1 df (`reduced` names the empty
// genotype).
struct GenotypicTest
{
    QString reason;
    QString reduced;
    double chi2 = qQNaN();
    int df = 2;
    double pChi2 = qQNaN();
    double pExact = qQNaN();
    double pMidp = qQNaN();
};

// Cochran-Armitage, weights 0, 1, 2: N r^2 with 1 df.
struct TrendTest
{
    QString reason;
    double chi2 = qQNaN();
    double pChi2 = qQNaN();
};

// Sample odds ratios of each genotype against the non-effect homozygote.
struct CodominantFigures
{
    QString hetReason;
    OddsRatioFigure het;      // 1 copy vs 0
    bool hetCorrected = false;
    QString homReason;
    OddsRatioFigure hom;      // 2 copies vs 0
    bool homCorrected = false;
};

// Logistic regression of case status on copies: the per-allele odds ratio,
// its Wald interval and the likelihood-ratio P. With separated groups the
// odds ratio is 0 or infinite, the interval NaN (see reason) and the P
// that of the likelihood's limit.
struct LogAdditiveFigures
{
    QString reason;
    OddsRatioFigure perAllele;
    double pLrt = qQNaN();
};

struct ModelFigures
{
    double confLevel = 0.95;
    // The genotype of the block (0 or 2, in the block's order) that is
    // homozygous for the effect allele: the minor allele over all
    // samples, the last genotype's on a tie.
    int effectGenotype = 2;
    // Genotype counts and percentages of each group, by effect-allele copies.
    qint64 cases[3] = {0, 0, 0};
    qint64 controls[3] = {0, 0, 0};
    double casePercent[3] = {0.0, 0.0, 0.0};
    double controlPercent[3] = {0.0, 0.0, 0.0};
    double freqCases = qQNaN();    // effect-allele frequency
    double freqControls = qQNaN();
    // Exact Hardy-Weinberg test in controls, and its mid-p.
    double hweP = qQNaN();
    double hweMidp = qQNaN();
    GenotypicTest genotypic;
    TrendTest trend;
    TwoByTwoModel allelic;       // allele counts
    TwoByTwoModel dominant;      // carriers vs non-carriers
    TwoByTwoModel recessive;     // effect homozygotes vs the rest
    TwoByTwoModel overdominant;  // heterozygotes vs both homozygotes
    CodominantFigures codominant;
    LogAdditiveFigures logAdditive;
};
