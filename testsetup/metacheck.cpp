#include "metacheck.h"

#include <QCoreApplication>

#include <climits>

namespace {

QString trDialog(const char *text)
{
    return QCoreApplication::translate("SelDialog", text);
}

CheckResult fail(const QString &message)
{
    CheckResult result;
    result.message = QStringLiteral("<font color=\"red\">") + message.toHtmlEscaped() + QStringLiteral("</font>");
    return result;
}

QString column(int c)
{
    return QString(QChar(char16_t(u'A' + c)));
}

} // namespace

bool metaShapeFits(int nRows, int nCols, int leftCol)
{
    return (nCols == 6 || nCols == 4) && nRows >= 1 && leftCol >= 1;
}

QString metaEffectColumns(const TestInput &in, bool effectFirst)
{
    const int offset = effectFirst ? 0 : 2;
    return trDialog("columns %1 and %2").arg(column(in.leftCol + offset), column(in.leftCol + 3 + offset));
}

CheckResult checkMeta(const CellSource &grid, const TestInput &in, const MetaBlockOptions &options, MetaInput *out)
{
    if (!metaShapeFits(in.nRows, in.nCols, in.leftCol))
        return fail(trDialog("Select 4 or 6 columns of counts, one row per study, names at the left"));
    if (in.nRows < 2)
        return fail(trDialog("A meta-analysis needs 2 studies or more"));
    if (options.subgroups && in.leftCol + in.nCols >= 26)
        return fail(trDialog("No column right of the block for the subgroups"));
    MetaInput input;
    input.exposure = in.nCols == 4;
    const int half = in.nCols / 2;
    for (int r = 0; r < in.nRows; ++r) {
        const int row = in.topRow + r;
        MetaStudy study;
        study.row = row;
        study.name = grid.hasItem(row, in.leftCol - 1) ? grid.text(row, in.leftCol - 1).trimmed() : QString();
        if (study.name.isEmpty())
            study.name = trDialog("row %1").arg(row + 1);
        qint64 cases = 0, controls = 0;
        for (int c = 0; c < in.nCols; ++c) {
            const int col = in.leftCol + c;
            const QString where = column(col) + QString::number(row + 1);
            if (!grid.hasItem(row, col))
                return fail(trDialog("Empty cell %1").arg(where));
            const QString text = grid.text(row, col).trimmed();
            bool ok = false;
            const qint64 v = text.contains(QChar(u'\0')) ? -1 : text.toLongLong(&ok, 10);
            if (!ok || v < 0)
                return fail(trDialog("%1 is not a count: %2").arg(where, text));
            if (v > INT_MAX / 4)
                return fail(trDialog("Counts are too large (%1)").arg(where));
            // Genotype counts are kept by copies of the effect allele.
            int slot = c;
            if (!input.exposure && options.effectFirst)
                slot = (c / 3) * 3 + (2 - c % 3);
            study.counts[slot] = v;
            (c < half ? cases : controls) += v;
        }
        if (cases == 0)
            return fail(trDialog("Study %1 (row %2) has no cases").arg(study.name).arg(row + 1));
        if (controls == 0)
            return fail(trDialog("Study %1 (row %2) has no controls").arg(study.name).arg(row + 1));
        if (options.subgroups) {
            const int col = in.leftCol + in.nCols;
            study.subgroup = grid.hasItem(row, col) ? grid.text(row, col).trimmed() : QString();
            if (study.subgroup.isEmpty())
                return fail(trDialog("Study %1 (row %2) has no subgroup in column %3")
                                .arg(study.name)
                                .arg(row + 1)
                                .arg(column(col)));
        }
        input.studies.push_back(study);
    }
    input.subgroups = options.subgroups;
    input.effectColumn = input.exposure ? QString() : metaEffectColumns(in, options.effectFirst);
    input.confLevel = out->confLevel;
    input.hweLevel = out->hweLevel;
    input.model = out->model;
    input.zelenSamples = out->zelenSamples;
    input.seed = out->seed;
    input.threads = out->threads;
    input.source = out->source;
    *out = input;
    CheckResult result;
    result.ok = true;
    result.message = trDialog("<font color=\"green\"> All is good</font>");
    return result;
}
