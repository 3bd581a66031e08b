// Drawing each picture at the Results window's size (600 x 400) and at the
// export's default (1200 x 800, drawn at 600 x 400 scaled twice), layout
// included: the goal is under 50 ms, so that a new Results entry shows at
// once. Beside it the figures behind the largest pictures: the
// Hardy-Weinberg acceptance band from 10^3 to 2 x 10^9 individuals (the
// most a table's counts allow) with its drawing, and the Q-Q points of a
// million P-values.
#include "hwband.h"
#include "picturepainter.h"
#include "qqpoints.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

using namespace pictures;

namespace {

QFont benchFont()
{
    return pictureFont(QFont(QStringLiteral("DejaVu Sans"), 9));
}

TernaryModel ternary(qint64 n)
{
    TernaryModel model;
    model.title = QStringLiteral("Exact Hardy-Weinberg test, B2:C3");
    model.alleles = {QStringLiteral("A1"), QStringLiteral("A2")};
    model.homFirst = n * 49 / 100;
    model.het = n * 41 / 100;
    model.homSecond = n - model.homFirst - model.het;
    std::vector<HwBandPoint> band;
    if (hwband::band(n, 0.05, 240, 2 * model.homSecond + model.het, &band) != hwband::Finished)
        return model;
    for (const HwBandPoint &point : band)
        model.band.push_back({double(point.alleleCount) / double(2 * n), double(point.hetLow) / double(n),
                              double(point.hetHigh) / double(n)});
    return model;
}

QqModel qqModel(int count)
{
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::vector<double> p(static_cast<std::size_t>(count));
    for (double &value : p)
        value = 1.0 - uniform(random);
    QqPoints points;
    qqpoints::compute(p, 1e-4, 120, &points);
    QqModel model;
    model.title = QStringLiteral("Q-Q plot");
    model.count = points.count;
    model.lambda = points.lambda;
    model.expected = points.expected;
    model.observed = points.observed;
    model.bandExpected = points.bandExpected;
    model.bandLow = points.bandLow;
    model.bandHigh = points.bandHigh;
    return model;
}

// One of each plot, at realistic sizes.
std::vector<Picture> pictures()
{
    std::vector<Picture> all;
    ContingencyModel bars;
    bars.title = QStringLiteral("Fisher 2xN test, B2:AE3");
    bars.series = {QStringLiteral("Row 2"), QStringLiteral("Row 3")};
    for (int g = 0; g < 30; ++g)
        bars.groups.append(QString::number(g + 1));
    for (int i = 0; i < 60; ++i) {
        bars.observed.push_back(i % 9);
        bars.expected.push_back(4.5);
        bars.residual.push_back((i % 9 - 4.5) / std::sqrt(4.5));
    }
    all.push_back(bars);
    all.push_back(ternary(1000));
    GenotypeHeatMapModel heat;
    heat.title = QStringLiteral("Exact Hardy-Weinberg test, B2:J10");
    for (int i = 0; i < 9; ++i)
        heat.alleles.append(QStringLiteral("A%1").arg(i + 1));
    for (int c = 0; c < 81; ++c) {
        heat.observed.push_back(c % 13);
        heat.expected.push_back(6.5);
        heat.residual.push_back((c % 13 - 6.5) / std::sqrt(6.5));
    }
    all.push_back(heat);
    HistogramModel histogram;
    histogram.statistic = QStringLiteral("Chi-squared statistic");
    histogram.binWidth = 0.1;
    for (int b = 0; b < 200; ++b)
        histogram.counts.push_back(qint64(1e5 * std::exp(-b / 20.0)));
    histogram.observed = 9.3;
    all.push_back(histogram);
    ForestModel forest;
    forest.measure = QStringLiteral("Odds ratio (95% interval, log scale)");
    for (int r = 0; r < 6; ++r)
        forest.rows.push_back({QStringLiteral("Model %1").arg(r), 0.5 + r * 0.4, 0.3 + r * 0.3, 0.9 + r * 0.6, 0.01, {}});
    all.push_back(forest);
    ClusterDotModel clusters;
    clusters.ratioAxis = QStringLiteral("Frequency ratio");
    for (int f = 0; f < 40; ++f)
        clusters.dots.push_back({QStringLiteral("Factor %1").arg(f), f % 5 + 1, 0.3 + 0.05 * f, false});
    clusters.clusterRatios = {0.5, 0.8, 1.1, 1.5, 2.0};
    all.push_back(clusters);
    all.push_back(qqModel(1000000));
    return all;
}

void draw(benchmark::State &state)
{
    const Picture picture = pictures().at(std::size_t(state.range(0)));
    const QSize size = state.range(1) == 0 ? QSize(600, 400) : QSize(1200, 800);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    const QFont font = benchFont();
    const QSizeF logical = logicalSize(size);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.scale(size.width() / logical.width(), size.height() / logical.height());
        paintPicture(painter, picture, QRectF(QPointF(0, 0), logical), font);
    }
    state.SetLabel(pictureTitle(picture).isEmpty() ? std::to_string(state.range(0)) : pictureTitle(picture).toStdString());
}

// The band's figures and the diagram drawn, at the window's size.
void hardyWeinbergPicture(benchmark::State &state)
{
    const qint64 n = state.range(0);
    const QFont font = benchFont();
    QImage image(QSize(600, 400), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        const Picture picture = ternary(n);
        QPainter painter(&image);
        paintPicture(painter, picture, QRectF(0, 0, 600, 400), font);
    }
}

// The band's figures alone.
void hardyWeinbergBand(benchmark::State &state)
{
    std::vector<HwBandPoint> band;
    for (auto _ : state)
        hwband::band(state.range(0), 0.05, 240, state.range(0), &band);
}

void qqFigures(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(qqModel(int(state.range(0))).lambda);
}

} // namespace

BENCHMARK(draw)->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(hardyWeinbergPicture)
    ->Arg(1000)->Arg(20000)->Arg(20001)->Arg(1000000)->Arg(10000000)->Arg(100000000)->Arg(2000000000)
    ->Unit(benchmark::kMillisecond);
// 20,000 individuals: the most with an edge for every allele count.
BENCHMARK(hardyWeinbergBand)->Arg(1000)->Arg(20000)->Arg(1000000)->Arg(2000000000)->Unit(benchmark::kMillisecond);
BENCHMARK(qqFigures)->Arg(1000000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
