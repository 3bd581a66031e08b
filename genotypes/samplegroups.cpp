#include "samplegroups.h"

#include "genotypetally.h"
#include "textlines.h"

#include <QSet>

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
    return QStringLiteral("%1: %2 cases and %3 controls; %4 samples without a phenotype left out")
        .arg(file)
        .arg(cases)
        .arg(controls)
        .arg(withoutPhenotype);
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

SampleGroups groupSamples(const QStringList &fileIds, const std::vector<Phenotype> &filePheno,
                          const SampleChoice &choice)
{
    SampleGroups out;
    out.groups = choice.caseControl ? 2 : 1;
    out.groupOf.assign(std::size_t(fileIds.size()), -1);
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
            ++(p == Phenotype::Case ? out.cases : out.controls);
        }
        out.groupOf[std::size_t(s)] = group;
        ++out.used;
    }
    return out;
}
