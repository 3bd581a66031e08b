#pragma once

#include "bedcounts.h"
#include "genotypereader.h"

#include <QFile>

#include <memory>

// A PLINK 1 binary fileset: PREFIX.bed with PREFIX.bim and PREFIX.fam
// beside it, the .bed in variant-major mode. The .fam is read whole (one
// line per sample: its ID is FID_IID, as PLINK 2 names samples in a VCF,
// and column 6 its phenotype); the .bim is checked in one pass first (its
// line count fixes the .bed's size), then read with the .bed one variant at
// a time. REF is the .bim's second allele (A2) and ALT its first (A1), as
// PLINK 2 writes them to a VCF.
class BedReader final : public GenotypeReader
{
public:
    static std::unique_ptr<GenotypeReader> open(const QString &file, const GenotypeOpenOptions &options,
                                                QString *error);
    ~BedReader() override;

    std::vector<Phenotype> filePhenotypes() const override { return m_phenotypes; }
    void setGroups(const SampleGroups &groups) override;
    bool read(RawRecord &record) override;
    bool skip() override;
    qint64 knownRecordCount() const override { return m_records; }
    bool decode(const RawRecord &record, GenotypeTally &tally, VariantIdentity &identity,
                QString *error) const override;
    bool decodeCodes(const RawRecord &record, VariantCodes &codes, QString *error) const override;

    // The fields of a .bim line: CHROM, ID, cM, POS, A1, A2.
    struct BimFields
    {
        QByteArray chrom, id, a1, a2;
        qint64 pos = 0;
    };
    // False with the reason when the line is not six fields with a position.
    static bool parseBimLine(const QByteArray &line, BimFields *fields, QString *why);

private:
    class LineReader;

    explicit BedReader(const QString &file);
    bool readFam(const QString &path, QString *error);
    bool scanBim(const GenotypeOpenOptions &options, QString *error);
    // The next .bim line in the region (or any), with its number; false at
    // the end of the .bim.
    bool nextBimLine(QByteArray *line, qint64 *number, qint64 *variant);
    // The next record, its bytes read when `record` is given.
    bool advance(RawRecord *record);
    bool readBed(char *out, qsizetype bytes);

    QString m_bim;
    std::vector<Phenotype> m_phenotypes;
    BedCounter m_counter;
    QFile m_bed;
    std::unique_ptr<LineReader> m_lines;
    std::optional<RegionSpec> m_region;
    qint64 m_variants = 0;     // lines of the .bim
    qint64 m_records = 0;      // of them in the region
    qint64 m_variantRead = 0;  // .bim lines passed so far
    qint64 m_ordinal = 0;
    qint64 m_bimLine = 0;      // the .bim's line number
    qint64 m_bedVariant = 0;   // the variants before the .bed's position
    QByteArray m_skipped;
    QByteArray m_buffered;     // read ahead from the .bed
    qsizetype m_bufferAt = 0;
};
