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
#include "haplotypeplot.h"
#include "hwband.h"
#include "hwtwoallele.h"
#include "pictureexport.h"
#include "picturepainter.h"
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

// One of every picture, with long names where names can be long.
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
    all.push_back(haplotypeModel());
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
    void haplotypeBarsAndRatiosShareTheirRows();
    void everyTextInsideThePicture();
    void exportsTheirReadersAccept_data();
    void exportsTheirReadersAccept();
    void unwritableTargetGivesTheSystemsWords();
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

// At the observed allele count, the band holds the least heterozygous table
// that the exact test accepts and not the next one down, which it rejects.
void TestPictures::bandAgainstTheExactTest()
{
    const qint64 homFirst = 60, het = 30, homSecond = 10;
    const TernaryLayout layout = layoutTernary(ternaryModel(homFirst, het, homSecond), QRectF(0, 0, 900, 600), testFont());
    const qint64 n = homFirst + het + homSecond;
    const qint64 second = 2 * homSecond + het;
    HwBandPoint point;
    QCOMPARE(hwband::accepted(n, second, 0.05, &point), int(hwband::Finished));
    double inside = -1.0, outside = -1.0;
    hwtwoallele::pValue(n - (second - point.hetLow) / 2 - point.hetLow, point.hetLow, (second - point.hetLow) / 2, &inside);
    const qint64 below = point.hetLow - 2;
    hwtwoallele::pValue(n - (second - below) / 2 - below, below, (second - below) / 2, &outside);
    QVERIFY(inside > 0.05);
    QVERIFY(outside <= 0.05);
    const double q = double(second) / double(2 * n);
    // A hair inside the accepted table's end, and the rejected table.
    QVERIFY(layout.band.containsPoint(layout.at(q, (double(point.hetLow) + 0.1) / double(n)), Qt::OddEvenFill));
    QVERIFY(!layout.band.containsPoint(layout.at(q, double(below) / double(n)), Qt::OddEvenFill));
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

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
