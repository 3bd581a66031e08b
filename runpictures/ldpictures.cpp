#include "ldpictures.h"

#include "ldrun.h"

#include <QLocale>

#include <cmath>

namespace {

pictures::LdTriangleModel modelOf(const LdMatrix &matrix, bool byR2)
{
    pictures::LdTriangleModel model;
    model.title = matrix.title;
    model.names = matrix.names;
    model.chroms = matrix.chroms;
    model.positions = matrix.positions;
    model.byR2 = byR2;
    model.dprime = matrix.dprime;
    model.lod = matrix.lod;
    model.r2 = matrix.r2;
    return model;
}

} // namespace

PicturePtr ldTrianglePicture(const LdMatrix &matrix, bool byR2)
{
    pictures::LdTriangleModel model = modelOf(matrix, byR2);
    qint64 estimated = 0;
    for (const double v : matrix.r2)
        estimated += std::isnan(v) ? 0 : 1;
    const QLocale english(QLocale::English);
    model.subtitle = QStringLiteral("%1 SNPs, %2 pairs with an estimate; coloured by %3")
                         .arg(english.toString(qint64(matrix.names.size())), english.toString(estimated),
                              byR2 ? QStringLiteral("r\u00b2") : QStringLiteral("D' and its LOD"));
    return std::make_shared<const pictures::Picture>(std::move(model));
}

PicturePtr ldPicture(const LdRun &run, const QString &place)
{
    if (run.status != 0)
        return nullptr;
    LdMatrix matrix;
    matrix.title = QStringLiteral("Two-locus LD, ") + place;
    matrix.names = {QStringLiteral("A (rows)"), QStringLiteral("B (columns)")};
    matrix.reset();
    matrix.set(0, 1, run.figures);
    pictures::LdTriangleModel model = modelOf(matrix, false);
    const twolocus::Figures &f = run.figures;
    model.subtitle = QStringLiteral("D' = %1 (bounds %2 to %3), r\u00b2 = %4, LOD = %5, %6 individuals")
                         .arg(QString::number(f.dprime, 'g', 4), QString::number(f.dprimeLow, 'g', 3),
                              QString::number(f.dprimeHigh, 'g', 3), QString::number(f.r2, 'g', 4),
                              QString::number(f.lod, 'g', 4))
                         .arg(f.n);
    return std::make_shared<const pictures::Picture>(std::move(model));
}
