#include "samplegroups.h"

#include "genotypetally.h"
#include "textlines.h"

#include <QSet>

static_assert(2 * StrataAssignment::kMaxStrata <= GenotypeTally::kMaxGroups, "a group per stratum's cases and controls");

bool readSampleLines(const QString &path, const SampleLineTaker &take, QString *error)
{
    TextLines lines;
    if (!lines.open(path, TextLines::Kinds::RegularOrPipe, error))
        return false;
    QByteArray line;
    while (lines.next(&line)) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#'))
            continue;
        const QList<QByteArray> fields = trimmed.simplified().split(' ');
        QString why;
        if (!take(fields, &why)) {
            *error = QStringLiteral("%1, line %2: %3").arg(path).arg(lines.lineNumber()).arg(why);
            return false;
        }
    }
    if (lines.failed()) {
        *error = lines.errorString();
        return false;
    }
    return true;
}

QString SampleGroups::phenotypeSummary(const QString &file) const
{
    if (!stratumCases.empty())
        return QStringLiteral("%1: %2 cases and %3 controls in %4 strata; %5 samples without a phenotype and %6 "
                              "without a stratum left out")
            .arg(file)
            .arg(cases)
            .arg(controls)
            .arg(stratumCases.size())
            .arg(withoutPhenotype)
            .arg(withoutStratum);
    return QStringLiteral("%1: %2 cases and %3 controls; %4 samples without a phenotype left out")
        .arg(file)
        .arg(cases)
        .arg(controls)
        .arg(withoutPhenotype);
}

QString SampleGroups::strataRefusal(const QString &file, const StrataAssignment &strata) const
{
    if (strataNotFound > 0)
        return QStringLiteral("%1: %2 of the samples given strata are not in it (the first: %3)")
            .arg(file)
            .arg(strataNotFound)
            .arg(firstStrataNotFound);
    QStringList empty;
    for (std::size_t s = 0; s < stratumCases.size(); ++s) {
        if (stratumCases[s] + stratumControls[s] == 0)
            empty << strata.names.at(qsizetype(s));
    }
    if (!empty.isEmpty())
        return QStringLiteral("%1: no sample with a phenotype is in stratum %2")
            .arg(file, empty.join(QStringLiteral(", ")));
    return QString();
}

bool readSampleList(const QString &path, QStringList *ids, QString *error)
{
    QSet<QString> seen;
    return readSampleLines(path, [&](const QList<QByteArray> &fields, QString *why) {
        if (fields.size() != 1) {
            *why = QStringLiteral("one sample ID per line expected, found %1 fields").arg(fields.size());
            return false;
        }
        const QString id = QString::fromUtf8(fields.first());
        if (!seen.contains(id)) {
            seen.insert(id);
            ids->append(id);
        }
        return true;
    }, error);
}

bool readPhenotypes(const QString &path, QHash<QString, Phenotype> *pheno, QString *error)
{
    return readSampleLines(path, [&](const QList<QByteArray> &fields, QString *why) {
        if (fields.size() != 2) {
            *why = QStringLiteral("a sample ID and its phenotype (1 or 2) expected, found %1 fields")
                       .arg(fields.size());
            return false;
        }
        const QString id = QString::fromUtf8(fields.at(0));
        if (pheno->contains(id)) {
            *why = QStringLiteral("sample %1 is listed twice").arg(id);
            return false;
        }
        const QByteArray &code = fields.at(1);
        pheno->insert(id, code == "1" ? Phenotype::Control : code == "2" ? Phenotype::Case : Phenotype::None);
        return true;
    }, error);
}

bool readStrata(const QString &path, StrataAssignment *strata, QString *error)
{
    bool first = true;
    const bool read = readSampleLines(path, [&](const QList<QByteArray> &fields, QString *why) {
        const bool header = first && (fields.first().compare("FID", Qt::CaseInsensitive) == 0
                                      || fields.first().compare("IID", Qt::CaseInsensitive) == 0);
        first = false;
        if (header)
            return true;
        if (fields.size() != 2 && fields.size() != 3) {
            *why = QStringLiteral("a sample ID (or FID and IID) and its stratum expected, found %1 fields")
                       .arg(fields.size());
            return false;
        }
        const QString id = fields.size() == 2 ? QString::fromUtf8(fields.at(0))
                                              : QString::fromUtf8(fields.at(0) + '_' + fields.at(1));
        if (strata->of.contains(id)) {
            *why = QStringLiteral("sample %1 is listed twice").arg(id);
            return false;
        }
        const QString name = QString::fromUtf8(fields.last());
        qsizetype index = strata->names.indexOf(name);
        if (index < 0) {
            if (strata->names.size() == StrataAssignment::kMaxStrata) {
                *why = QStringLiteral("more than %1 strata").arg(StrataAssignment::kMaxStrata);
                return false;
            }
            index = strata->names.size();
            strata->names.append(name);
        }
        strata->of.insert(id, int(index));
        strata->samples.append(id);
        return true;
    }, error);
    if (!read)
        return false;
    if (strata->names.size() < 2) {
        *error = strata->names.isEmpty()
                     ? QStringLiteral("%1: no sample has a stratum").arg(path)
                     : QStringLiteral("%1: every sample is in stratum %2; a stratified test needs two or more")
                           .arg(path, strata->names.first());
        return false;
    }
    return true;
}

SampleGroups groupSamples(const QStringList &fileIds, const std::vector<Phenotype> &filePheno,
                          const SampleChoice &choice)
{
    SampleGroups out;
    const bool stratified = choice.caseControl && choice.strata;
    out.groups = stratified ? 2 * int(choice.strata->names.size()) : choice.caseControl ? 2 : 1;
    out.groupOf.assign(std::size_t(fileIds.size()), -1);
    if (stratified) {
        out.stratumCases.assign(std::size_t(choice.strata->names.size()), 0);
        out.stratumControls.assign(std::size_t(choice.strata->names.size()), 0);
        const QSet<QString> present(fileIds.begin(), fileIds.end());
        for (const QString &id : choice.strata->samples) {
            if (present.contains(id))
                continue;
            if (out.strataNotFound++ == 0)
                out.firstStrataNotFound = id;
        }
    }
    QSet<QString> keep;
    if (choice.keep) {
        keep = QSet<QString>(choice.keep->begin(), choice.keep->end());
        const QSet<QString> present(fileIds.begin(), fileIds.end());
        for (const QString &id : *choice.keep)
            out.keptNotFound += present.contains(id) ? 0 : 1;
    }
    for (qsizetype s = 0; s < fileIds.size(); ++s) {
        const QString &id = fileIds.at(s);
        if (choice.keep && !keep.contains(id))
            continue;
        qint8 group = 0;
        if (choice.caseControl) {
            Phenotype p = Phenotype::None;
            if (choice.pheno)
                p = choice.pheno->value(id, Phenotype::None);
            else if (std::size_t(s) < filePheno.size())
                p = filePheno[std::size_t(s)];
            if (p == Phenotype::None) {
                ++out.withoutPhenotype;
                continue;
            }
            group = p == Phenotype::Case ? qint8(GenotypeTally::Case) : qint8(GenotypeTally::Control);
            if (stratified) {
                const auto stratum = choice.strata->of.constFind(id);
                if (stratum == choice.strata->of.cend()) {
                    ++out.withoutStratum;
                    continue;
                }
                group = qint8(2 * *stratum + group);
                ++(p == Phenotype::Case ? out.stratumCases : out.stratumControls)[std::size_t(*stratum)];
            }
            ++(p == Phenotype::Case ? out.cases : out.controls);
        }
        out.groupOf[std::size_t(s)] = group;
        ++out.used;
    }
    return out;
}
