#include "runpictures.h"

#include "haplotypesrun.h"

#include <cmath>

PicturePtr haplotypesPicture(const HaplotypesRun &run, const QString &place)
{
    if (run.status != 0 || run.figures.entries.empty())
        return nullptr;
    const HaplotypeFigures &f = run.figures;
    pictures::HaplotypeModel model;
    model.title = QStringLiteral("Haplotypes of %1 SNPs, ").arg(f.loci) + place;
    QString subtitle = QStringLiteral("%1; %2 cases, %3 controls; global P = %4 (LRT %5, %6 df)")
                           .arg(run.labels.snps.join(QStringLiteral(", ")))
                           .arg(f.cases)
                           .arg(f.controls)
                           .arg(QString::number(f.p, 'g', 4), QString::number(f.lrt, 'g', 4))
                           .arg(f.df);
    if (f.permutations > 0)
        subtitle += QStringLiteral(", permutation P = %1").arg(QString::number(f.pPerm, 'g', 4));
    model.subtitle = subtitle;
    model.measure = QStringLiteral("Odds ratio, %1% CI").arg(QString::number(f.confLevel * 100.0, 'g', 10));
    for (const HaplotypeEntry &entry : f.entries) {
        pictures::ForestRow row;
        row.label = entry.rare ? QStringLiteral("rare (%1)").arg(entry.pooled) : haplotypeName(entry, run.labels, f.loci);
        row.estimate = entry.oddsRatio;
        row.low = entry.low;
        row.high = entry.high;
        row.pValue = entry.p;
        // Where a group lacks the haplotype the ratio has no place on the axis.
        if (std::isinf(entry.oddsRatio))
            row.note = QStringLiteral("not seen in controls");
        else if (entry.oddsRatio == 0.0)
            row.note = QStringLiteral("not seen in cases");
        else if (std::isnan(entry.oddsRatio))
            row.note = QStringLiteral("no odds ratio");
        model.rows.push_back(row);
        model.cases.push_back(entry.freqCases);
        model.controls.push_back(entry.freqControls);
    }
    return std::make_shared<const pictures::Picture>(std::move(model));
}
