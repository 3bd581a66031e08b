#include "modeltables.h"

void geneticModelTable(GeneticModel model, const qint64 cs[3], const qint64 us[3], qint64 out[4])
{
    switch (model) {
    case GeneticModel::Allelic:
        out[0] = 2 * cs[2] + cs[1];
        out[1] = 2 * cs[0] + cs[1];
        out[2] = 2 * us[2] + us[1];
        out[3] = 2 * us[0] + us[1];
        return;
    case GeneticModel::Dominant:
        out[0] = cs[1] + cs[2];
        out[1] = cs[0];
        out[2] = us[1] + us[2];
        out[3] = us[0];
        return;
    case GeneticModel::Recessive:
        out[0] = cs[2];
        out[1] = cs[0] + cs[1];
        out[2] = us[2];
        out[3] = us[0] + us[1];
        return;
    case GeneticModel::Overdominant:
        out[0] = cs[1];
        out[1] = cs[0] + cs[2];
        out[2] = us[1];
        out[3] = us[0] + us[2];
        return;
    case GeneticModel::Heterozygote:
        out[0] = cs[1];
        out[1] = cs[0];
        out[2] = us[1];
        out[3] = us[0];
        return;
    case GeneticModel::Homozygote:
        out[0] = cs[2];
        out[1] = cs[0];
        out[2] = us[2];
        out[3] = us[0];
        return;
    }
}

namespace {
const char *const kKeys[kGeneticModelCount] = {"allelic",      "dominant",     "recessive",
                                               "overdominant", "heterozygote", "homozygote"};
}

QString geneticModelKey(GeneticModel model)
{
    return QString::fromLatin1(kKeys[int(model)]);
}

bool geneticModelFromKey(const QString &key, GeneticModel *model)
{
    for (int i = 0; i < kGeneticModelCount; ++i) {
        if (key == QLatin1String(kKeys[i])) {
            *model = GeneticModel(i);
            return true;
        }
    }
    return false;
}
