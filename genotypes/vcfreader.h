#pragma once

#include "bedcounts.h"
#include "genotypereader.h"

#include <memory>

// A text VCF (.vcf, or compressed .vcf.gz), read through htslib line by
// line with its decompression threads; the header's #CHROM line names the
// samples, and each record line is decoded by decodeVcfLine. A region is
// read through the file's .tbi or .csi index.
class VcfTextReader final : public GenotypeReader
{
public:
    // A record line longer than this is refused, with a message, rather than
    // copied: a single line of hundreds of megabytes is damage, not data (a
    // million samples' calls take some tens of megabytes).
    static constexpr qint64 MaxRecordBytes = qint64(256) << 20;

    // Takes the opened file (an htsFile) and reads the header.
    static std::unique_ptr<GenotypeReader> open(const QString &file, void *hts, const GenotypeOpenOptions &options,
                                                QString *error);
    ~VcfTextReader() override;

    bool read(RawRecord &record) override;
    bool skip() override;
    qint64 knownRecordCount() const override { return m_known; }
    bool decode(const RawRecord &record, GenotypeTally &tally, VariantIdentity &identity,
                QString *error) const override;
    bool decodeCodes(const RawRecord &record, VariantCodes &codes, QString *error) const override;
    void setGroups(const SampleGroups &groups) override;

private:
    explicit VcfTextReader(const QString &file);
    bool readHeader(QString *error);
    bool setRegion(const RegionSpec &region, QString *error);
    // The next line of the file or region into m_line; false at the end or
    // on an error.
    bool nextLine();
    QString where(const RawRecord &record) const;

    struct Handles;
    std::unique_ptr<Handles> m_h;
    BedCounter m_packed;  // the groups, for records whose calls pack
    std::optional<RegionSpec> m_region;
    qint64 m_lineNumber = 0;
    qint64 m_ordinal = 0;
    qint64 m_known = -1;
};

// A BCF file through htslib: records read by bcf_read (or the .csi index
// for a region), their GT values decoded from the record's own bytes.
class BcfReader final : public GenotypeReader
{
public:
    static std::unique_ptr<GenotypeReader> open(const QString &file, void *hts, const GenotypeOpenOptions &options,
                                                QString *error);
    ~BcfReader() override;

    bool read(RawRecord &record) override;
    bool skip() override;
    qint64 knownRecordCount() const override { return m_known; }
    bool decode(const RawRecord &record, GenotypeTally &tally, VariantIdentity &identity,
                QString *error) const override;
    bool decodeCodes(const RawRecord &record, VariantCodes &codes, QString *error) const override;

private:
    explicit BcfReader(const QString &file);
    bool next(void *record);

    struct Handles;
    std::unique_ptr<Handles> m_h;
    std::optional<RegionSpec> m_region;
    qint64 m_ordinal = 0;
    qint64 m_known = -1;
};
