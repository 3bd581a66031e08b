#pragma once

#include <QString>
#include <QStringList>
#include <QtNumeric>

#include <variant>
#include <vector>

// What each picture draws: plain figures that the caller fills from a run.
// Nothing here knows a test's engine; one painter per model draws it (see
// picturepainter.h), so every device shows the same picture.
namespace pictures {

// Observed against expected counts of a table, as grouped bars: one group
// per category along the x axis, one colour per series within it.
struct ContingencyModel
{
    QString title;
    QString subtitle;
    QString groupAxis;          // what the groups are ("Column of the block")
    QStringList groups;         // one label per group, along x
    QStringList series;         // one label (and colour) per series
    // Per cell, series-major: index = series * groups + group.
    std::vector<double> observed;
    std::vector<double> expected;
    std::vector<double> residual;  // (O - E) / sqrt(E); NaN where E = 0
};

// One allele count of the band that the exact test accepts, as frequencies
// of the n individuals.
struct BandSlice
{
    double alleleFrequency = 0.0;  // of the second allele
    double hetLow = 0.0;           // heterozygote frequencies accepted
    double hetHigh = 0.0;
};

// The de Finetti diagram of a two-allele sample: the first allele's
// homozygotes at the left corner, the second's at the right, the
// heterozygotes at the top.
struct TernaryModel
{
    QString title;
    QString subtitle;
    QStringList alleles;  // two names
    qint64 homFirst = 0;
    qint64 het = 0;
    qint64 homSecond = 0;
    double level = 0.05;
    std::vector<BandSlice> band;  // sorted by allele frequency; empty: none drawn
};

// A K-allele genotype table as a heat map of (O - E) / sqrt(E), the cells on
// and above the diagonal.
struct GenotypeHeatMapModel
{
    QString title;
    QString subtitle;
    QStringList alleles;           // K names
    std::vector<double> observed;  // K x K, row-major
    std::vector<double> expected;
    std::vector<double> residual;
};

// A histogram of a simulated statistic in fixed bins, with the observed
// value; samples at or above it count as extreme.
struct HistogramModel
{
    QString title;
    QString subtitle;
    QString statistic;            // the x axis' label, with its unit
    double binStart = 0.0;
    double binWidth = 1.0;
    std::vector<qint64> counts;   // samples per bin
    qint64 below = 0;             // samples left of the first bin
    qint64 above = 0;             // right of the last
    double observed = 0.0;
};

// One row of a forest plot: an estimate with its interval and P-value.
struct ForestRow
{
    QString label;
    double estimate = qQNaN();
    double low = qQNaN();
    double high = qQNaN();
    double pValue = qQNaN();
    QString note;  // shown instead when there is no estimate
};

struct ForestModel
{
    QString title;
    QString subtitle;
    QString measure;  // the x axis' label ("Odds ratio (95% interval, log scale)")
    std::vector<ForestRow> rows;
};

// Each factor's frequency ratio, grouped by its cluster.
struct ClusterDot
{
    QString factor;
    int cluster = 1;        // 1-based
    double ratio = 1.0;
    bool corrected = false; // a zero count replaced by 0.5
};

struct ClusterDotModel
{
    QString title;
    QString subtitle;
    QString ratioAxis;                 // "Frequency ratio, Controls / Cases"
    std::vector<ClusterDot> dots;      // in any order
    std::vector<double> clusterRatios; // one per cluster, 1-based order
};

// -log10 P against its expectation under the uniform distribution, with the
// pointwise 95% band and the genomic-control lambda.
struct QqModel
{
    QString title;
    QString subtitle;
    qint64 count = 0;
    qint64 zeros = 0;  // P = 0: an infinite observed, drawn beyond the axis
    double lambda = qQNaN();
    std::vector<double> expected;
    std::vector<double> observed;
    std::vector<double> bandExpected;
    std::vector<double> bandLow;
    std::vector<double> bandHigh;
};

// A meta-analysis' forest plot: one row per study (a square whose area is
// its weight, on its interval), subgroup headings with their own diamonds,
// and the pooled diamonds at the foot, the random one with its prediction
// interval as a bar. Also the leave-one-out plot (rows "without study").
struct MetaForestRow
{
    enum class Kind { Study, Heading, Diamond };
    Kind kind = Kind::Study;
    QString label;
    double estimate = qQNaN();
    double low = qQNaN();
    double high = qQNaN();
    double weight = qQNaN();          // percent; NaN: the plain square
    double predictionLow = qQNaN();   // a diamond's prediction interval
    double predictionHigh = qQNaN();
    QString note;                     // shown instead when there is no estimate
};

struct MetaForestModel
{
    QString title;
    QString subtitle;
    QString measure;                  // the x axis' label
    std::vector<MetaForestRow> rows;  // top to bottom
    QStringList footer;               // I2, tau2, Q's P
};

// The funnel plot: each study's log odds ratio against its standard error
// (0 at the top), the pooled fixed-effect estimate's line with the pseudo
// limits estimate +- z SE, and the studies trim-and-fill added, hollow.
struct FunnelPoint
{
    double logOr = 0.0;
    double se = 0.0;
    bool filled = false;  // added by trim-and-fill
};

struct FunnelModel
{
    QString title;
    QString subtitle;
    std::vector<FunnelPoint> points;
    double centre = 0.0;              // log odds ratio of the funnel's axis
    double adjusted = qQNaN();        // trim-and-fill's estimate, log scale
    double z = 1.959963984540054;     // the pseudo limits' quantile
    QString footer;
};

// The linkage disequilibrium of a region as a triangle of diamonds under
// its SNPs, one per pair: coloured by D' with its LOD (the classic scheme)
// or by r2.
struct LdTriangleModel
{
    QString title;
    QString subtitle;
    QStringList names;              // the SNPs in order, along the top
    QStringList chroms;             // of each SNP
    std::vector<qint64> positions;  // of each SNP, for the ruler
    bool byR2 = false;
    // Per pair i < j, row-major over i then j; NaN where there is none.
    std::vector<double> dprime;
    std::vector<double> lod;
    std::vector<double> r2;
};

// Haplotype frequencies in cases and controls as paired bars, one row per
// haplotype (the pooled rare ones last), with each haplotype's odds ratio
// against the first as a forest plot beside them.
struct HaplotypeModel
{
    QString title;
    QString subtitle;
    QString measure;                 // the forest's x axis
    std::vector<double> cases;       // frequency per row
    std::vector<double> controls;
    std::vector<ForestRow> rows;     // label, odds ratio, interval, P (the reference's without
                                     // interval); the note where the ratio is 0 or infinite
};

using Picture = std::variant<ContingencyModel, TernaryModel, GenotypeHeatMapModel, HistogramModel, ForestModel,
                             ClusterDotModel, QqModel, MetaForestModel, FunnelModel, LdTriangleModel, HaplotypeModel>;

} // namespace pictures
