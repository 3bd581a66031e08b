#pragma once

#include "genotypereader.h"
#include "samplegroups.h"
#include "variantcodes.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The variants of a genotype file (.vcf, .vcf.gz, .bcf, .bed), or of its
// region, one at a time as per-individual codes: one pass, the file never
// held. The samples in use are those `choice` keeps (and, for cases and
// controls, those with a phenotype), in the file's order.
class VariantCodesReader final
{
public:
    static std::unique_ptr<VariantCodesReader> open(const QString &file, const GenotypeOpenOptions &options,
                                                    const SampleChoice &choice, QString *error);

    const QString &fileName() const { return m_reader->fileName(); }
    const SampleGroups &groups() const { return m_groups; }
    // The samples in use, in the order of every VariantCodes::calls.
    const QStringList &sampleIds() const { return m_used; }
    // The group of each sample in use (GenotypeTally::Case or Control; 0
    // when the samples are not grouped).
    const std::vector<qint8> &callGroups() const { return m_callGroups; }

    // The next variant; false at the end, or on an error (errorString()).
    bool next(VariantCodes &codes);
    // Why reading stopped early; empty at a clean end.
    const QString &errorString() const { return m_error; }

    // The variants named by `ids`, in the order named, from the rest of the
    // file (or region); records of other IDs are passed over without
    // decoding their calls where the format allows. False, with a message
    // naming the file, when an ID is not there or two records carry it.
    bool readNamed(const QStringList &ids, std::vector<VariantCodes> *out, QString *error);

private:
    VariantCodesReader() = default;

    std::unique_ptr<GenotypeReader> m_reader;
    SampleGroups m_groups;
    QStringList m_used;
    std::vector<qint8> m_callGroups;
    RawRecord m_raw;
    QString m_error;
};
