// The README's pictures: the screenshot program runs without a display and
// takes every picture, and the pictures in docs/images are the ones it takes
// now.
//
// On one machine the pictures come out byte for byte the same on every run.
// Across machines the comparison allows a little: the same size exactly,
// and at most 8 pixels off by more than a quarter of the channel range, so
// that antialiasing that differs by a few levels passes while a changed
// label, number or layout fails (one changed digit in a cell alters 17
// pixels). Text rendered in another font would differ everywhere, so the
// comparison needs the pinned font, DejaVu Sans, and is skipped without it.
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kImagesDir = QStringLiteral(VELMORA_SOURCE_DIR "/docs/images");
const QString kExamplesDir = QStringLiteral(VELMORA_SOURCE_DIR "/examples");

// The pictures the README shows.
const QStringList kPictures = {
    QStringLiteral("window-block.png"),
    QStringLiteral("dialog-chi-squared.png"),
    QStringLiteral("window-results.png"),
    QStringLiteral("menu-results.png"),
    QStringLiteral("results-context-menu.png"),
    QStringLiteral("menu-edit.png"),
    QStringLiteral("dialog-recover-documents.png"),
    QStringLiteral("dialog-fisher-2xn.png"),
    QStringLiteral("dialog-refused.png"),
    QStringLiteral("results-risk-cluster.png"),
    QStringLiteral("results-models.png"),
    QStringLiteral("menu-analyse.png"),
    QStringLiteral("dialog-sort.png"),
    QStringLiteral("block-chi-squared.png"),
    QStringLiteral("block-fisher-2xn.png"),
    QStringLiteral("block-hardy-weinberg.png"),
    QStringLiteral("block-gene-interaction.png"),
    QStringLiteral("block-risk-cluster.png"),
    QStringLiteral("block-formulas-allelic.png"),
    QStringLiteral("block-haplotypes.png"),
    QStringLiteral("block-meta-analysis.png"),
    QStringLiteral("plot-chi-squared.png"),
    QStringLiteral("plot-hardy-weinberg.png"),
    QStringLiteral("plot-genotypes.png"),
    QStringLiteral("plot-risk-clusters.png"),
    QStringLiteral("plot-genetic-models.png"),
    QStringLiteral("plot-monte-carlo.png"),
    QStringLiteral("plot-qq.png"),
    QStringLiteral("plot-ld-triangle.png"),
    QStringLiteral("block-two-locus-ld.png"),
    QStringLiteral("plot-haplotypes.png"),
    QStringLiteral("plot-meta-forest.png"),
    QStringLiteral("plot-meta-funnel.png"),
};

constexpr int kChannelTolerance = 64;
constexpr qint64 kDifferingPixels = 8;

// The number of pixels whose colour differs by more than the tolerance in
// some channel; images of equal size.
qint64 differingPixels(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    qint64 differing = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int d = qMax(qMax(qAbs(qRed(p[col]) - qRed(q[col])), qAbs(qGreen(p[col]) - qGreen(q[col]))),
                               qMax(qAbs(qBlue(p[col]) - qBlue(q[col])), qAbs(qAlpha(p[col]) - qAlpha(q[col]))));
            if (d > kChannelTolerance)
                ++differing;
        }
    }
    return differing;
}

} // namespace

class TestScreenshots final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyPictureIsTaken();
    void committedPicturesAreCurrent_data();
    void committedPicturesAreCurrent();
    void noStalePictures();

private:
    QTemporaryDir fresh;
};

void TestScreenshots::initTestCase()
{
    QVERIFY(fresh.isValid());
    QProcess program;
    // No display: the program must get by with the offscreen platform.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VELMORA_SCREENSHOTS), {fresh.path(), kExamplesDir});
    QVERIFY(program.waitForFinished(300000));
    const QByteArray errors = program.readAllStandardError();
    QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0, errors.constData());
}

void TestScreenshots::everyPictureIsTaken()
{
    for (const QString &name : kPictures) {
        const QImage image(QDir(fresh.path()).filePath(name));
        QVERIFY2(!image.isNull(), qPrintable(name));
        QVERIFY2(image.width() >= 100 && image.height() >= 50, qPrintable(name));
    }
}

void TestScreenshots::committedPicturesAreCurrent_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : kPictures)
        QTest::newRow(qPrintable(name)) << name;
}

void TestScreenshots::committedPicturesAreCurrent()
{
    QFETCH(QString, name);
    if (!QFontDatabase::families().contains(QStringLiteral("DejaVu Sans")))
        QSKIP("DejaVu Sans is not installed: the pictures are taken in another font");
    const QImage committed(QDir(kImagesDir).filePath(name));
    const QImage taken(QDir(fresh.path()).filePath(name));
    QVERIFY2(!committed.isNull(), qPrintable(name + QStringLiteral(" is missing: run scripts/screenshots.sh")));
    QVERIFY(!taken.isNull());
    QCOMPARE(taken.size(), committed.size());
    const qint64 differing = differingPixels(taken, committed);
    QVERIFY2(differing <= kDifferingPixels,
             qPrintable(QStringLiteral("%1: %2 pixels differ; run scripts/screenshots.sh").arg(name).arg(differing)));
}

// A picture the program no longer takes would stay in the README unchecked.
void TestScreenshots::noStalePictures()
{
    QStringList committed = QDir(kImagesDir).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    QStringList expected = kPictures;
    expected.sort();
    QCOMPARE(committed, expected);
    QStringList taken = QDir(fresh.path()).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    QCOMPARE(taken, expected);
}

QTEST_MAIN(TestScreenshots)
#include "test_screenshots.moc"
