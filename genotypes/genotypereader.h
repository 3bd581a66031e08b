#pragma once

#include "genotypetally.h"
#include "regionspec.h"
#include "samplegroups.h"
#include "varianttable.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

struct VariantCodes;

// One record as read from the file, before it is decoded: reading runs on
// one thread in file order, decoding on any thread.
struct RawRecord
{
    QByteArray text;      // VCF: the record's line; .bed: its .bim line
    QByteArray data;      // .bed: the variant's bytes
    std::shared_ptr<void> binary;  // BCF: the record (bcf1_t)
    qint64 line = 0;      // line in the file (VCF text, .bim), 0 where unknown
    qint64 ordinal = 0;   // 1-based among the records read (of the region)
    qsizetype bytes = 0;  // what the record holds, to bound a batch
};

struct GenotypeOpenOptions
{
    std::optional<RegionSpec> region;
    int threads = 1;      // htslib's decompression threads (VCF, BCF)
};

// A genotype file, streamed one record at a time. Reading, skipping and
// counting belong to one thread; decode() is const and may run on many.
class GenotypeReader
{
public:
    virtual ~GenotypeReader() = default;

    const QString &fileName() const { return m_file; }
    const QStringList &sampleIds() const { return m_samples; }
    // Phenotypes that the file holds for its samples (.fam); empty if none.
    virtual std::vector<Phenotype> filePhenotypes() const { return {}; }

    // Sets the group of every sample (from groupSamples); before reading.
    virtual void setGroups(const SampleGroups &groups) { m_groups = groups; }

    // The next record of the file or region; false at the end or on an
    // error (errorString() is then set).
    virtual bool read(RawRecord &record) = 0;
    // Passes over the next record without keeping it.
    virtual bool skip() = 0;
    // The number of records, when the file knows it without a pass (a .bim,
    // an index); -1 otherwise.
    virtual qint64 knownRecordCount() const { return -1; }

    // The record's identity and calls. False, with a message naming the file
    // and the record, when the record is malformed.
    virtual bool decode(const RawRecord &record, GenotypeTally &tally, VariantIdentity &identity,
                        QString *error) const = 0;
    // The record's identity and the call of every sample in a group, as
    // codes (variantcodes.h), in the file's sample order. False as decode().
    virtual bool decodeCodes(const RawRecord &record, VariantCodes &codes, QString *error) const = 0;

    // Why reading stopped early; empty at a clean end.
    const QString &errorString() const { return m_error; }

protected:
    explicit GenotypeReader(const QString &file) : m_file(file) {}
    bool fail(const QString &message)
    {
        m_error = message;
        return false;
    }

    QString m_file;
    QStringList m_samples;
    SampleGroups m_groups;
    QString m_error;
};

// Whether a name is a genotype file: .vcf, .vcf.gz, .vcf.bgz, .bcf or .bed.
bool isGenotypeFileName(const QString &name);

// Opens a genotype file by its name: VCF and BCF through htslib, a .bed
// with the .bim and .fam beside it. Null, with a message naming the file,
// when it cannot be read, is not of its kind, has no index for a region,
// or the region's chromosome is not in it.
std::unique_ptr<GenotypeReader> openGenotypeFile(const QString &name, const GenotypeOpenOptions &options,
                                                 QString *error);
