// The pictures, checked by their geometry rather than their pixels. Values
// are read back from the drawn axes as a reader reads them, from the tick
// labels and their places: bar heights against the counts, forest rows
// against the odds ratios; the observed point of the de Finetti diagram
// against the corners weighted by the genotype frequencies; the acceptance
// band against the exact test, a table just inside and one just outside.
// Every text of every picture lies inside 600 x 400 pixels, and each
// export is a file its reader accepts.
#include "textrecorder.h"

#include "contingencyplot.h"
#include "dotplots.h"
#include "fakegrid.h"
#include "haplotypeplot.h"
#include "hwband.h"
#include "hwtwoallele.h"
#include "palette.h"
#include "picturebuilders.h"
#include "ldtriangle.h"
#include "metaplots.h"
#include "pictureexport.h"
#include "picturepainter.h"
#include "runpictures.h"
#include "ternaryplot.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>

using namespace pictures;

namespace {

QFont testFont()
{
    return pictureFont(QFont(QStringLiteral("DejaVu Sans"), 9));
}

// The value at a place on an axis, read from the labelled ticks around it
// (linear, or logarithmic between labels a decade or less apart).
double readAxis(const Axis &axis, double place, double from, double to, bool log)
{
    const std::vector<double> &ticks = axis.ticks();
    if (ticks.size() < 2)
        return qQNaN();
    std::vector<double> values;
    std::vector<double> places;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        values.push_back(QString(axis.labels().at(qsizetype(i))).replace(QChar(0x2212), u'-').toDouble());
        places.push_back(axis.map(ticks[i], from, to));
    }
    std::size_t i = 1;
    while (i + 1 < places.size() && (place - places[i]) * (places[1] - places[0]) > 0.0)
        ++i;
    const double share = (place - places[i - 1]) / (places[i] - places[i - 1]);
    if (log)
        return values[i - 1] * std::pow(values[i] / values[i - 1], share);
    return values[i - 1] + share * (values[i] - values[i - 1]);
}

QStringList strings(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list << QString::fromUtf8(text);
    return list;
}

ContingencyModel barModel()
{
    ContingencyModel model;
    model.title = QStringLiteral("Chi-squared test, B2:D3");
    model.groupAxis = QStringLiteral("Column of the block");
    model.groups = {QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")};
    model.series = {QStringLiteral("Row 2"), QStringLiteral("Row 3")};
    model.observed = {45, 72, 33, 60, 55, 20};
    model.expected = {55.263157894736842, 66.842105263157890, 27.894736842105264,
                      49.736842105263158, 60.157894736842103, 25.105263157894736};
    model.residual = {-1.38, 0.63, 0.97, 1.46, -0.67, -1.02};
    return model;
}

ForestModel forestModel()
{
    ForestModel model;
    model.title = QStringLiteral("Genetic models, B2:D3");
    model.measure = QStringLiteral("Odds ratio with its 95% interval (log scale)");
    model.rows = {{QStringLiteral("Allelic"), 1.52, 1.11, 2.08, 0.0087, {}},
                  {QStringLiteral("Dominant"), 1.9, 1.05, 3.44, 0.033, {}},
                  {QStringLiteral("Recessive"), 0.61, 0.3, 1.24, 0.17, {}},
                  {QStringLiteral("Heterozygote advantage"), qQNaN(), qQNaN(), qQNaN(), qQNaN(),
                   QStringLiteral("not estimable: a zero count")}};
    return model;
}

TernaryModel ternaryModel(qint64 homFirst, qint64 het, qint64 homSecond)
{
    TernaryModel model;
    model.title = QStringLiteral("Exact Hardy-Weinberg test, B2:C3");
    model.alleles = {QStringLiteral("A1"), QStringLiteral("A2")};
    model.homFirst = homFirst;
    model.het = het;
    model.homSecond = homSecond;
    const qint64 n = homFirst + het + homSecond;
    std::vector<HwBandPoint> band;
    hwband::band(n, 0.05, 240, 2 * homSecond + het, &band);
    for (const HwBandPoint &point : band)
        model.band.push_back({double(point.alleleCount) / double(2 * n), double(point.hetLow) / double(n),
                              double(point.hetHigh) / double(n)});
    return model;
}

// Haplotypes of a region: the reference, two others, the rare pool with
// an open interval.
HaplotypeModel haplotypeModel()
{
    HaplotypeModel model;
    model.title = QStringLiteral("Haplotypes of 10 SNPs, rs1..rs10 of a candidate gene.vcf");
    model.measure = QStringLiteral("Odds ratio with its 95% interval (log scale)");
    model.cases = {0.40, 0.30, 0.05, 0.25};
    model.controls = {0.50, 0.15, 0.10, 0.25};
    model.rows = {{QStringLiteral("1122121211"), 1.0, qQNaN(), qQNaN(), 0.01, QString()},
                  {QStringLiteral("2211212122"), 2.5, 1.6, 3.9, 1e-5, QString()},
                  {QStringLiteral("1212121212"), 0.625, 0.3, 1.3, 0.2, QString()},
                  {QStringLiteral("rare (12)"), 1.25, 0.05, 40.0, 0.7, QString()}};
    return model;
}

// A meta-analysis forest plot of one subgroup: Ueda's interval runs far
// past the axis' left end and Vos's to infinity, Wirth is left out.
MetaForestModel metaForestModel()
{
    using Kind = MetaForestRow::Kind;
    MetaForestModel model;
    model.title = QStringLiteral("Meta-analysis, allelic model: forest plot of B2:G7 of studies.sp");
    model.subtitle = QStringLiteral("5 studies; effect allele counted by columns D and G; squares: DerSimonian-Laird weights");
    model.measure = QStringLiteral("Odds ratio with its 95% interval (log scale)");
    model.rows = {{Kind::Heading, QStringLiteral("European ancestry"), qQNaN(), qQNaN(), qQNaN(), qQNaN(), qQNaN(),
                   qQNaN(), QString()},
                  {Kind::Study, QStringLiteral("  Aarnio and colleagues 2004"), 1.39, 1.09, 1.77, 30.0, qQNaN(),
                   qQNaN(), QString()},
                  {Kind::Study, QStringLiteral("  Bello 2006"), 1.16, 0.86, 1.54, 25.0, qQNaN(), qQNaN(), QString()},
                  {Kind::Study, QStringLiteral("  Ueda 2010 *"), 0.9, 0.004, 2.1, 5.0, qQNaN(), qQNaN(), QString()},
                  {Kind::Study, QStringLiteral("  Vos 2012"), 2.4, 1.3, qInf(), 10.0, qQNaN(), qQNaN(), QString()},
                  {Kind::Diamond, QStringLiteral("  Subtotal (DL)"), 1.3, 1.1, 1.5, qQNaN(), qQNaN(), qQNaN(),
                   QString()},
                  {Kind::Study, QStringLiteral("Wirth 2015"), qQNaN(), qQNaN(), qQNaN(), qQNaN(), qQNaN(), qQNaN(),
                   QStringLiteral("left out: no exposed or no unexposed individuals")},
                  {Kind::Diamond, QStringLiteral("Fixed (Mantel-Haenszel)"), 1.25, 1.12, 1.4, qQNaN(), qQNaN(),
                   qQNaN(), QString()},
                  {Kind::Diamond, QStringLiteral("Random (DerSimonian-Laird)"), 1.3, 1.08, 1.56, qQNaN(), 0.7, 2.4,
                   QString()}};
    model.footer = {QStringLiteral("Heterogeneity: I\u00b2 = 28.2%, \u03c4\u00b2 = 0.004546 (DL), Q = 18.11 on 4 df, "
                                   "P = 0.001"),
                    QStringLiteral("Bar under the random diamond: the 95% prediction interval 0.7 to 2.4")};
    return model;
}

FunnelModel funnelModel()
{
    FunnelModel model;
    model.title = QStringLiteral("Meta-analysis, allelic model: funnel plot of B2:G7 of studies.sp");
    model.subtitle = QStringLiteral("5 studies; limits about the fixed-effect estimate");
    model.points = {{0.33, 0.12, false}, {0.15, 0.15, false}, {-0.1, 0.6, false}, {0.9, 0.3, false},
                    {-0.4, 0.3, true}};
    model.centre = 0.22;
    model.adjusted = 0.18;
    model.footer = QStringLiteral("Egger P = 0.04; Begg P = 0.08; trim-and-fill: 1 studies added on the left, OR 1.2");
    return model;
}

// One of every picture, with long names where names can be long.
// An LD triangle of `count` SNPs with long names, D' falling with distance.
LdTriangleModel ldModel(int count, bool byR2)
{
    LdTriangleModel ld;
    ld.title = QStringLiteral("LD of region.vcf.gz");
    ld.byR2 = byR2;
    for (int i = 0; i < count; ++i) {
        ld.names.append(QStringLiteral("rs%1").arg(100000 + i * 37));
        ld.chroms.append(QStringLiteral("7"));
        ld.positions.push_back(117000000 + qint64(i) * 1500);
    }
    for (int i = 0; i < count; ++i)
        for (int j = i + 1; j < count; ++j) {
            ld.dprime.push_back(j - i > 40 ? qQNaN() : 1.0 / (j - i));
            ld.lod.push_back(8.0 / (j - i));
            ld.r2.push_back(0.9 / (j - i));
        }
    return ld;
}

std::vector<Picture> everyPicture()
{
    std::vector<Picture> all;
    ContingencyModel bars = barModel();
    bars.title = QStringLiteral("Chi-squared test, A1:C2, table 123456 of a rather long file name from a "
                                "genome-wide batch of association tables.tsv");
    all.push_back(bars);
    ContingencyModel wide;
    wide.title = QStringLiteral("Fisher 2xN test, A1:AD2");
    wide.groupAxis = QStringLiteral("Row of the block");
    wide.series = {QStringLiteral("Column A"), QStringLiteral("Column B")};
    for (int g = 0; g < 60; ++g)
        wide.groups.append(QString::number(g + 1));
    for (int s = 0; s < 2; ++s)
        for (int g = 0; g < 60; ++g) {
            wide.observed.push_back(double((g * 7 + s * 3) % 11));
            wide.expected.push_back(5.0);
            wide.residual.push_back(((g * 7 + s * 3) % 11 - 5.0) / std::sqrt(5.0));
        }
    all.push_back(wide);
    all.push_back(ternaryModel(300, 500, 200));
    GenotypeHeatMapModel heat;
    heat.title = QStringLiteral("Exact Hardy-Weinberg test, B2:J10");
    const int K = 9;
    for (int i = 0; i < K; ++i)
        heat.alleles.append(QStringLiteral("A%1").arg(i + 1));
    for (int c = 0; c < K * K; ++c) {
        heat.observed.push_back(c % 13);
        heat.expected.push_back(6.5);
        heat.residual.push_back((c % 13 - 6.5) / std::sqrt(6.5));
    }
    all.push_back(heat);
    HistogramModel histogram;
    histogram.title = QStringLiteral("Monte Carlo chi-squared test, B2:D3");
    histogram.statistic = QStringLiteral("Chi-squared statistic");
    histogram.binWidth = 0.25;
    for (int b = 0; b < 64; ++b)
        histogram.counts.push_back(qint64(10000.0 * std::exp(-b / 8.0)));
    histogram.observed = 15.9;
    all.push_back(histogram);
    all.push_back(forestModel());
    ClusterDotModel clusters;
    clusters.title = QStringLiteral("Risk clusters, B2:M3");
    clusters.ratioAxis = QStringLiteral("Frequency ratio, Controls / Patients (log scale)");
    for (int f = 0; f < 12; ++f)
        clusters.dots.push_back({QStringLiteral("Factor with a long name %1").arg(f + 1), f % 4 + 1,
                                 0.2 * (f + 1), f == 3});
    clusters.clusterRatios = {0.5, 1.0, 1.5, 2.0};
    all.push_back(clusters);
    QqModel qq;
    qq.title = QStringLiteral("Q-Q plot of the chi2 P-values of snps.jsonl");
    qq.count = 1000;
    qq.lambda = 1.034712;
    for (int i = 1; i <= 1000; ++i) {
        qq.expected.push_back(-std::log10((i - 0.5) / 1000.0));
        qq.observed.push_back(-std::log10((i - 0.5) / 1000.0) * 1.05);
    }
    qq.bandExpected = {3.3, 1.0, 0.0};
    qq.bandLow = {2.5, 0.8, 0.0};
    qq.bandHigh = {4.5, 1.2, 0.01};
    all.push_back(qq);
    all.push_back(ldModel(12, false));
    all.push_back(ldModel(300, true));
    all.push_back(haplotypeModel());
    all.push_back(metaForestModel());
    all.push_back(funnelModel());
    return all;
}

} // namespace

class TestPictures final : public QObject
{
    Q_OBJECT

private slots:
    void barsStandAtTheCounts();
    void observedPointOnTheTernary_data();
    void observedPointOnTheTernary();
    void bandAgainstTheExactTest();
    void forestRowsAtTheOddsRatios();
    void clusterDotsGroupedByCluster();
    void ldTriangleColoursAndPlaces_data();
    void ldTriangleColoursAndPlaces();
    void haplotypeBarsAndRatiosShareTheirRows();
    void metaForestTitleWholeAndCutsMarked_data();
    void metaForestTitleWholeAndCutsMarked();
    void everyTextInsideThePicture();
    void exportsTheirReadersAccept_data();
    void exportsTheirReadersAccept();
    void unwritableTargetGivesTheSystemsWords();
    void namesBesideTheBlock_data();
    void namesBesideTheBlock();
    void manySeriesNeverShareAColour();
    void residualsLeftOutAreSaidSo_data();
    void residualsLeftOutAreSaidSo();
    void heatMapAxesHaveTitles();
};

void TestPictures::barsStandAtTheCounts()
{
    const ContingencyModel model = barModel();
    const ContingencyLayout layout = layoutContingency(model, QRectF(0, 0, 600, 400), testFont());
    const Frame &frame = layout.frame;
    const auto count = [&](double y) { return readAxis(frame.y, y, frame.plot.bottom(), frame.plot.top(), false); };
    QCOMPARE(layout.expectedBars.size(), model.expected.size());
    for (std::size_t i = 0; i < model.expected.size(); ++i) {
        QVERIFY(std::fabs(count(layout.expectedBars[i].top()) - model.expected[i]) < 1e-9);
        QVERIFY(std::fabs(count(layout.observedBars[i].top()) - model.observed[i]) < 1e-9);
        QVERIFY(std::fabs(count(layout.expectedBars[i].bottom())) < 1e-9);
        // Each pair stands over its column's label.
        const int group = int(i % 3);
        QVERIFY(layout.observedBars[i].left() > frame.xCentre(group) - frame.xBand() / 2.0);
        QVERIFY(layout.expectedBars[i].right() < frame.xCentre(group) + frame.xBand() / 2.0);
    }
}

void TestPictures::observedPointOnTheTernary_data()
{
    QTest::addColumn<qint64>("homFirst");
    QTest::addColumn<qint64>("het");
    QTest::addColumn<qint64>("homSecond");
    QTest::newRow("all heterozygotes") << qint64(0) << qint64(20) << qint64(0);
    QTest::newRow("first homozygotes") << qint64(7) << qint64(0) << qint64(0);
    QTest::newRow("mixed") << qint64(10) << qint64(5) << qint64(3);
    QTest::newRow("large") << qint64(300000) << qint64(500000) << qint64(200000);
}

// The point is the mean of the three corners weighted by the genotype
// frequencies, and the corners make an equilateral triangle.
void TestPictures::observedPointOnTheTernary()
{
    QFETCH(qint64, homFirst);
    QFETCH(qint64, het);
    QFETCH(qint64, homSecond);
    const TernaryLayout layout = layoutTernary(ternaryModel(homFirst, het, homSecond), QRectF(0, 0, 900, 600), testFont());
    const double n = double(homFirst + het + homSecond);
    const QPointF expected = (layout.homFirst * double(homFirst) + layout.het * double(het)
                              + layout.homSecond * double(homSecond)) / n;
    QVERIFY(QLineF(layout.observed, expected).length() < 1e-9);
    const double side = QLineF(layout.homFirst, layout.homSecond).length();
    QVERIFY(std::fabs(QLineF(layout.homFirst, layout.het).length() - side) < 1e-9);
    QVERIFY(std::fabs(QLineF(layout.homSecond, layout.het).length() - side) < 1e-9);
}

// Every table of a sample of 120 (241 allele counts, more than the 240
// points asked) lies inside the drawn band exactly when the exact test
// accepts it: a rejected table's own point is outside, an accepted one's
// is inside once moved a tenth of a heterozygote off the edge it may lie on
// (where a single table is accepted, the band is a line there, and is
// left out).
void TestPictures::bandAgainstTheExactTest()
{
    const qint64 homFirst = 72, het = 36, homSecond = 12;
    const qint64 n = homFirst + het + homSecond;
    const TernaryLayout layout = layoutTernary(ternaryModel(homFirst, het, homSecond), QRectF(0, 0, 900, 600), testFont());
    for (qint64 second = 0; second <= 2 * n; ++second) {
        HwBandPoint edges;
        QCOMPARE(hwband::accepted(n, second, 0.05, &edges), int(hwband::Finished));
        const double q = double(second) / double(2 * n);
        for (qint64 h = second % 2; h <= std::min(second, 2 * n - second); h += 2) {
            double p = -1.0;
            hwtwoallele::pValue(n - (second - h) / 2 - h, h, (second - h) / 2, &p);
            if (p > 0.05 && edges.hetLow == edges.hetHigh)
                continue;
            const double nudge = p <= 0.05 ? 0.0 : h == edges.hetHigh ? -0.1 : 0.1;
            const QPointF at = layout.at(q, (double(h) + nudge) / double(n));
            QVERIFY2(layout.band.containsPoint(at, Qt::OddEvenFill) == (p > 0.05),
                     qPrintable(QStringLiteral("allele count %1, %2 heterozygotes, P %3").arg(second).arg(h).arg(p)));
        }
    }
}

void TestPictures::forestRowsAtTheOddsRatios()
{
    const ForestModel model = forestModel();
    const ForestLayout layout = layoutForest(model, QRectF(0, 0, 600, 400), testFont());
    const Frame &frame = layout.frame;
    const auto ratio = [&](double x) { return readAxis(frame.x, x, frame.plot.left(), frame.plot.right(), true); };
    QCOMPARE(layout.estimates.size(), model.rows.size());
    for (std::size_t i = 0; i + 1 < model.rows.size(); ++i) {
        const ForestRow &row = model.rows[i];
        QVERIFY(std::fabs(ratio(layout.estimates[i].x()) / row.estimate - 1.0) < 1e-9);
        QVERIFY(std::fabs(ratio(layout.intervals[i].x1()) / row.low - 1.0) < 1e-9);
        QVERIFY(std::fabs(ratio(layout.intervals[i].x2()) / row.high - 1.0) < 1e-9);
        // Rows top to bottom in the model's order, on their labels.
        QCOMPARE(layout.estimates[i].y(), frame.yCentre(int(i)));
        QCOMPARE(layout.pTexts.at(qsizetype(i)), QString::number(row.pValue, 'g', 6));
    }
    QVERIFY(std::fabs(ratio(layout.oneX) - 1.0) < 1e-9);
    QVERIFY(std::isnan(layout.estimates.back().x()));
}

void TestPictures::clusterDotsGroupedByCluster()
{
    ClusterDotModel model;
    model.dots = {{QStringLiteral("a"), 2, 0.5, false}, {QStringLiteral("b"), 1, 3.0, false},
                  {QStringLiteral("c"), 2, 0.25, true}, {QStringLiteral("d"), 1, 2.0, false}};
    model.clusterRatios = {2.4, 0.4};
    const ClusterDotLayout layout = layoutClusterDots(model, QRectF(0, 0, 600, 400), testFont());
    // Cluster 1 on top, each cluster by rising ratio.
    QCOMPARE(layout.order, (std::vector<int>{3, 1, 2, 0}));
    const Frame &frame = layout.frame;
    for (std::size_t i = 0; i < model.dots.size(); ++i) {
        const double x = readAxis(frame.x, layout.dots[i].x(), frame.plot.left(), frame.plot.right(), true);
        QVERIFY(std::fabs(x / model.dots[i].ratio - 1.0) < 1e-9);
    }
    QVERIFY(layout.clusterBands[0].bottom() <= layout.clusterBands[1].top() + 1e-9);
    QVERIFY(std::fabs(layout.oneX - frame.xAt(1.0)) < 1e-9);
}

// At the smallest size the pictures are laid out for, and at a larger one,
// every text item lies inside the picture.
// The classic scheme's four classes and r2's greys; each diamond below the
// middle of its two SNPs' columns, as deep as they are apart.
void TestPictures::ldTriangleColoursAndPlaces_data()
{
    QTest::addColumn<double>("dprime");
    QTest::addColumn<double>("lod");
    QTest::addColumn<bool>("byR2");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("text");
    QTest::newRow("D' = 1, LOD >= 2") << -1.0 << 2.0 << false << QColor(255, 0, 0) << QString();
    QTest::newRow("D' < 1, LOD >= 2") << 0.5 << 3.0 << false << QColor(255, 112, 112) << QStringLiteral("50");
    QTest::newRow("D' = 1, LOD < 2") << 1.0 << 1.99 << false << QColor(192, 192, 255) << QString();
    QTest::newRow("D' < 1, LOD < 2") << 0.996 << 1.0 << false << QColor(255, 255, 255) << QStringLiteral("99");
    QTest::newRow("no estimate") << qQNaN() << qQNaN() << false << QColor(224, 224, 224) << QString();
    QTest::newRow("r2 0.25") << 0.5 << 1.0 << true << QColor(191, 191, 191) << QStringLiteral("25");
}

void TestPictures::ldTriangleColoursAndPlaces()
{
    QFETCH(double, dprime);
    QFETCH(double, lod);
    QFETCH(bool, byR2);
    QFETCH(QColor, colour);
    QFETCH(QString, text);
    LdTriangleModel model = ldModel(4, byR2);
    model.dprime[0] = dprime;
    model.lod[0] = lod;
    model.r2[0] = dprime * dprime;
    QCOMPARE(ldColour(model, 0), colour);
    QCOMPARE(ldValueText(model, 0), text);
    const LdTriangleLayout layout = layoutLdTriangle(model, QRectF(0, 0, 600, 400), testFont());
    QCOMPARE(layout.diamonds.size(), std::size_t(6));
    std::size_t k = 0;
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = i + 1; j < 4; ++j, ++k) {
            const QPointF centre = layout.diamonds[k].boundingRect().center();
            QVERIFY(std::fabs(centre.x() - (layout.nameAnchors[i].x() + layout.nameAnchors[j].x()) / 2) < 1e-9);
            QVERIFY(std::fabs(layout.diamonds[k].boundingRect().height() - layout.cell) < 1e-9);
            QVERIFY(std::fabs(centre.y() - layout.diamonds[0].boundingRect().center().y() - (j - i - 1) * layout.cell / 2) < 1e-9);
        }
}

// Each row's two bars end at its frequencies, on the row of its label, and
// its odds ratio stands on the same row of the forest at its value.
void TestPictures::haplotypeBarsAndRatiosShareTheirRows()
{
    const HaplotypeModel model = haplotypeModel();
    const HaplotypeLayout layout = layoutHaplotypes(model, QRectF(0, 0, 600, 400), testFont());
    const Frame &bars = layout.bars;
    const Frame &ratios = layout.ratios;
    const auto freq = [&](double x) { return readAxis(bars.x, x, bars.plot.left(), bars.plot.right(), false); };
    const auto ratio = [&](double x) { return readAxis(ratios.x, x, ratios.plot.left(), ratios.plot.right(), true); };
    QVERIFY(bars.plot.right() < ratios.plot.left());
    for (std::size_t i = 0; i < model.rows.size(); ++i) {
        QVERIFY(std::fabs(freq(layout.caseBars[i].right()) - model.cases[i]) < 1e-9);
        QVERIFY(std::fabs(freq(layout.controlBars[i].right()) - model.controls[i]) < 1e-9);
        QVERIFY(std::fabs(freq(layout.caseBars[i].left())) < 1e-9);
        // Cases above controls, both within the row's band.
        QCOMPARE(layout.caseBars[i].bottom(), bars.yCentre(int(i)));
        QCOMPARE(layout.controlBars[i].top(), bars.yCentre(int(i)));
        QVERIFY(layout.caseBars[i].top() > bars.yCentre(int(i)) - bars.yBand() / 2.0);
        QCOMPARE(layout.estimates[i].y(), bars.yCentre(int(i)));
        QVERIFY(std::fabs(ratio(layout.estimates[i].x()) / model.rows[i].estimate - 1.0) < 1e-9);
        QCOMPARE(layout.pTexts.at(qsizetype(i)), QString::number(model.rows[i].pValue, 'g', 6));
    }
    // The reference has no interval; the others' ends at their limits.
    QVERIFY(layout.intervals.front().isNull());
    for (std::size_t i = 1; i < model.rows.size(); ++i) {
        QVERIFY(std::fabs(ratio(layout.intervals[i].x1()) / model.rows[i].low - 1.0) < 1e-9);
        QVERIFY(std::fabs(ratio(layout.intervals[i].x2()) / model.rows[i].high - 1.0) < 1e-9);
    }
    QVERIFY(std::fabs(ratio(layout.oneX) - 1.0) < 1e-9);
}

void TestPictures::metaForestTitleWholeAndCutsMarked_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("600 x 400") << QSize(600, 400);
    QTest::newRow("900 x 600") << QSize(900, 600);
    QTest::newRow("1200 x 800") << QSize(1200, 800);
}

// The axis' title is drawn whole inside the picture, under the tick
// labels, though the plot beside the estimate and weight columns is
// narrower than it. An interval that runs past an end of the axis stops
// there open (an arrow head); the others end at their limits.
void TestPictures::metaForestTitleWholeAndCutsMarked()
{
    QFETCH(QSize, size);
    const MetaForestModel model = metaForestModel();
    const QRectF area(QPointF(0, 0), QSizeF(size));
    const MetaForestLayout layout = layoutMetaForest(model, area, testFont());
    const Frame &frame = layout.frame;
    TextRecorder recorder(size);
    {
        QPainter painter(&recorder);
        paintMetaForest(painter, model, area, testFont());
    }
    int titles = 0;
    for (const TextRecorder::Text &text : recorder.texts())
        if (text.text == model.measure) {
            ++titles;
            QVERIFY(area.adjusted(-0.5, -0.5, 0.5, 0.5).contains(text.rect));
            QVERIFY(text.rect.top() > frame.plot.bottom());
        }
    QCOMPARE(titles, 1);

    const auto ratio = [&](double x) { return readAxis(frame.x, x, frame.plot.left(), frame.plot.right(), true); };
    const auto near = [&](double x, double value) { return std::fabs(ratio(x) / value - 1.0) < 1e-9; };
    for (std::size_t i = 0; i < model.rows.size(); ++i) {
        const MetaForestRow &row = model.rows[i];
        const QLineF line = row.kind == MetaForestRow::Kind::Diamond ? layout.predictions[i] : layout.intervals[i];
        const double low = row.kind == MetaForestRow::Kind::Diamond ? row.predictionLow : row.low;
        const double high = row.kind == MetaForestRow::Kind::Diamond ? row.predictionHigh : row.high;
        if (std::isnan(low)) {
            QVERIFY(line.isNull() && !layout.openLow[i] && !layout.openHigh[i]);
            continue;
        }
        const bool pastLeft = low < frame.x.low(), pastRight = !(high < frame.x.high());
        QCOMPARE(layout.openLow[i], pastLeft);
        QCOMPARE(layout.openHigh[i], pastRight);
        QVERIFY(pastLeft ? line.x1() == frame.plot.left() : near(line.x1(), low));
        QVERIFY(pastRight ? line.x2() == frame.plot.right() : near(line.x2(), high));
        if (row.kind == MetaForestRow::Kind::Study)
            QVERIFY(near(layout.squares[i].center().x(), row.estimate));
    }
    QVERIFY(layout.openLow[3] && layout.openHigh[4]);  // Ueda's and Vos's
}

void TestPictures::everyTextInsideThePicture()
{
    for (const QSize &size : {QSize(600, 400), QSize(1000, 450)}) {
        for (const Picture &picture : everyPicture()) {
            TextRecorder recorder(size);
            {
                QPainter painter(&recorder);
                paintPicture(painter, picture, QRectF(QPointF(0, 0), QSizeF(size)), testFont());
            }
            QVERIFY(recorder.texts().size() >= 5);
            const QRectF area = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(-0.5, -0.5, 0.5, 0.5);
            for (const TextRecorder::Text &text : recorder.texts())
                QVERIFY2(area.contains(text.rect),
                         qPrintable(QStringLiteral("%1: \"%2\" at %3,%4 %5x%6")
                                        .arg(pictureTitle(picture), text.text)
                                        .arg(text.rect.x())
                                        .arg(text.rect.y())
                                        .arg(text.rect.width())
                                        .arg(text.rect.height())));
        }
    }
}

void TestPictures::exportsTheirReadersAccept_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QSize>("size");
    QTest::newRow("png default") << int(PictureFormat::Png) << kDefaultExportSize;
    QTest::newRow("png 700x500") << int(PictureFormat::Png) << QSize(700, 500);
    QTest::newRow("svg") << int(PictureFormat::Svg) << kDefaultExportSize;
    QTest::newRow("pdf") << int(PictureFormat::Pdf) << kDefaultExportSize;
}

void TestPictures::exportsTheirReadersAccept()
{
    QFETCH(int, format);
    QFETCH(QSize, size);
    for (const Picture &picture : everyPicture()) {
        const QByteArray bytes = renderPicture(picture, PictureFormat(format), size, testFont());
        switch (PictureFormat(format)) {
        case PictureFormat::Png: {
            const QImage image = QImage::fromData(bytes, "PNG");
            QCOMPARE(image.size(), size);
            // Not blank: the picture's ink covers part of it.
            QVERIFY(image.pixelColor(size.width() / 2, size.height() / 2) != QColor(Qt::black)
                    || image.pixelColor(5, 5) == QColor(Qt::white));
            break;
        }
        case PictureFormat::Svg: {
            QXmlStreamReader xml(bytes);
            while (!xml.atEnd())
                xml.readNext();
            QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
            QSvgRenderer renderer(bytes);
            QVERIFY(renderer.isValid());
            QCOMPARE(renderer.viewBoxF().size(), logicalSize(size));
            QVERIFY(bytes.contains(pictureTitle(picture).toHtmlEscaped().toUtf8()));
            break;
        }
        case PictureFormat::Pdf: {
            QVERIFY(bytes.startsWith("%PDF-"));
            QVERIFY(bytes.trimmed().endsWith("%%EOF"));
            QCOMPARE(bytes.count("/Type /Page\n"), qsizetype(1));
            QVERIFY(bytes.contains("/MediaBox [0 0 900"));
            break;
        }
        }
    }
}

void TestPictures::unwritableTargetGivesTheSystemsWords()
{
    QTemporaryDir dir;
    QString reason;
    QVERIFY(!writePicture(barModel(), dir.filePath(QStringLiteral("missing/plot.png")), kDefaultExportSize,
                          testFont(), &reason));
    QVERIFY2(reason.contains(QStringLiteral("No such file or directory")), qPrintable(reason));
    QVERIFY(!writePicture(barModel(), dir.filePath(QStringLiteral("plot.gif")), kDefaultExportSize, testFont(), &reason));
    QVERIFY(writePicture(barModel(), dir.filePath(QStringLiteral("plot.PDF")), kDefaultExportSize, testFont(), &reason));
}

// The labels of a block's pictures: the names typed beside it where each
// cell of that side holds a text that is not a number, else the grid's row
// numbers and column letters, and for alleles their numbers.
void TestPictures::namesBesideTheBlock_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QString>("block");  // top,left,rows,columns (0-based)
    QTest::addColumn<QStringList>("series");
    QTest::addColumn<QStringList>("groups");
    // A de Finetti diagram's two alleles, named by the side that has two names.
    QTest::addColumn<QStringList>("alleles");
    QTest::newRow("names on both sides")
        << "A1:Haplotype,H1,H2,H3|Cases,8,3,0|Controls,2,6,4" << "1,1,2,3"
        << strings({"Cases", "Controls"}) << strings({"H1", "H2", "H3"}) << strings({"Cases", "Controls"});
    QTest::newRow("no names: the grid's") << "B2:8,3,0|2,6,4" << "1,1,2,3"
        << strings({"Row 2", "Row 3"}) << strings({"B", "C", "D"}) << strings({"1", "2"});
    QTest::newRow("a number beside is data, not a name")
        << "A1:x,H1,H2,7|Cases,8,3,0|9,2,6,4" << "1,1,2,3"
        << strings({"Row 2", "Row 3"}) << strings({"B", "C", "D"}) << strings({"1", "2"});
    QTest::newRow("an empty name cell: no names on that side")
        << "A1:x,H1,~,H3|Cases,8,3,0|Controls,2,6,4" << "1,1,2,3"
        << strings({"Cases", "Controls"}) << strings({"B", "C", "D"}) << strings({"Cases", "Controls"});
    QTest::newRow("more rows than columns: columns give the colours")
        << "A1:~,Cases,Controls|A/A,8,2|A/G,3,6|G/G,0,4" << "1,1,3,2"
        << strings({"Cases", "Controls"}) << strings({"A/A", "A/G", "G/G"}) << strings({"Cases", "Controls"});
    QTest::newRow("the block at the grid's edge") << "A1:8,3|2,6" << "0,0,2,2"
        << strings({"Row 1", "Row 2"}) << strings({"A", "B"}) << strings({"1", "2"});
}

void TestPictures::namesBesideTheBlock()
{
    QFETCH(QString, grid);
    QFETCH(QString, block);
    QFETCH(QStringList, series);
    QFETCH(QStringList, groups);
    QFETCH(QStringList, alleles);
    const QStringList at = block.split(u',');
    const int top = at.at(0).toInt();
    const int left = at.at(1).toInt();
    const int rows = at.at(2).toInt();
    const int columns = at.at(3).toInt();
    const BlockNames names = blockNames(FakeGrid(grid), top, left, rows, columns);
    const std::vector<double> cells(std::size_t(rows * columns), 1.0);
    const ContingencyModel bars = tableBars(GridBlock{top, left, rows, columns, names.rows, names.columns},
                                            cells, cells, cells, QString(), QString());
    QCOMPARE(bars.series, series);
    QCOMPARE(bars.groups, groups);
    const QStringList alleleNames = names.columns.size() == 2 ? names.columns : names.rows;
    QCOMPARE(deFinetti(1, 2, 3, {}, 0.05, QString(), QString(), alleleNames).alleles, alleles);
}

// Eight colours, then a sequential scale: in a table of up to 26 rows no
// two rows share a colour, and up to eight keep the palette's own.
void TestPictures::manySeriesNeverShareAColour()
{
    for (int count = 1; count <= 26; ++count) {
        QSet<QRgb> seen;
        for (int i = 0; i < count; ++i) {
            seen.insert(palette::series(i, count).rgb());
            if (count <= 8)
                QCOMPARE(palette::series(i, count), palette::series(i));
        }
        QVERIFY2(seen.size() == count, qPrintable(QString::number(count)));
    }
}

// A dense table leaves some pairs no room for their residual: the subtitle
// says so; a small one has room for every residual and says nothing.
void TestPictures::residualsLeftOutAreSaidSo_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<bool>("leftOut");
    QTest::newRow("2 x 3") << 3 << false;
    QTest::newRow("10 x 10") << 10 << true;
}

void TestPictures::residualsLeftOutAreSaidSo()
{
    QFETCH(int, side);
    QFETCH(bool, leftOut);
    ContingencyModel model = barModel();
    model.groups.clear();
    model.series.clear();
    model.observed.clear();
    model.expected.clear();
    model.residual.clear();
    for (int i = 0; i < side; ++i) {
        model.groups.append(QString::number(i + 1));
        model.series.append(QStringLiteral("Row %1").arg(i + 1));
    }
    for (int c = 0; c < side * side; ++c) {
        model.observed.push_back(10.0 + c % 7);
        model.expected.push_back(12.0);
        model.residual.push_back((c % 7 - 2.0) / std::sqrt(12.0));
    }
    model.subtitle = QStringLiteral("P = 0.5; above each pair: (O \u2212 E)/\u221aE");
    const ContingencyLayout layout = layoutContingency(model, QRectF(0, 0, 600, 400), testFont());
    QCOMPARE(layout.residualsLeftOut > 0, leftOut);
    QCOMPARE(layout.titles.subtitle.contains(QStringLiteral("left out")), leftOut);
    int shown = 0;
    for (const QRectF &label : layout.residualLabels)
        shown += !label.isEmpty();
    QCOMPARE(shown + layout.residualsLeftOut, side * side);
}

void TestPictures::heatMapAxesHaveTitles()
{
    GenotypeHeatMapModel heat = std::get<GenotypeHeatMapModel>(everyPicture().at(3));
    TextRecorder recorder(QSize(600, 400));
    {
        QPainter painter(&recorder);
        paintPicture(painter, heat, QRectF(0, 0, 600, 400), testFont());
    }
    QStringList texts;
    for (const TextRecorder::Text &text : recorder.texts())
        texts << text.text;
    QVERIFY(texts.contains(QStringLiteral("First allele of the genotype")));
    QVERIFY(texts.contains(QStringLiteral("Second allele of the genotype")));
}

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
