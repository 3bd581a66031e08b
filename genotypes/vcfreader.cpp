#include "vcfreader.h"

#include "variantcodes.h"
#include "vcfline.h"

#include <QFile>
#include <QSet>

#include <htslib/hts.h>
#include <htslib/bgzf.h>
#include <htslib/kstring.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace {

QByteArray pathOf(const QString &file)
{
    return QFile::encodeName(file);
}

// The records that an index counts, over every sequence; -1 when it does
// not keep the counts.
qint64 indexedRecords(const hts_idx_t *idx)
{
    if (!idx)
        return -1;
    qint64 total = 0;
    const int sequences = hts_idx_nseq(idx);
    for (int tid = 0; tid < sequences; ++tid) {
        uint64_t mapped = 0, unmapped = 0;
        if (hts_idx_get_stat(idx, tid, &mapped, &unmapped) < 0)
            continue;
        total += qint64(mapped + unmapped);
    }
    return total;
}

// Whether the compressed stream hit damage: htslib's reading threads report
// a damaged block as the end of the data, and leave the error here.
bool streamDamaged(htsFile *fp)
{
    return fp->is_bgzf && fp->fp.bgzf && fp->fp.bgzf->errcode != 0;
}

// Whether a BGZF file lacks the empty block that ends every complete one:
// a writer stopped before the end leaves none, and the data read would pass
// for the whole file. Checked before the reading threads start.
bool eofMarkerMissing(htsFile *fp)
{
    return hts_get_format(fp)->compression == bgzf && hts_check_EOF(fp) == 0;
}

QString regionHint(const QString &file, bool bcf)
{
    return bcf ? QStringLiteral("make one with: bcftools index %1").arg(file)
               : QStringLiteral("make one with: tabix -p vcf %1").arg(file);
}

} // namespace

// ---------------------------------------------------------------- VCF text

struct VcfTextReader::Handles
{
    htsFile *fp = nullptr;
    tbx_t *tbx = nullptr;
    hts_itr_t *itr = nullptr;
    kstring_t line = KS_INITIALIZE;

    ~Handles()
    {
        if (itr)
            hts_itr_destroy(itr);
        if (tbx)
            tbx_destroy(tbx);
        if (fp)
            hts_close(fp);
        ks_free(&line);
    }
};

VcfTextReader::VcfTextReader(const QString &file) : GenotypeReader(file), m_h(std::make_unique<Handles>()) {}

VcfTextReader::~VcfTextReader() = default;

std::unique_ptr<GenotypeReader> VcfTextReader::open(const QString &file, void *hts,
                                                    const GenotypeOpenOptions &options, QString *error)
{
    std::unique_ptr<VcfTextReader> reader(new VcfTextReader(file));
    reader->m_h->fp = static_cast<htsFile *>(hts);
    const bool blocked = hts_get_format(reader->m_h->fp)->compression == bgzf;
    reader->m_truncated = eofMarkerMissing(reader->m_h->fp);
    if (!reader->readHeader(error))
        return nullptr;
    // Only once the header has been read: htslib's reading threads, closed
    // after a damaged header, leave a job behind. Not for a region: they
    // can wait for ever on a seek into a damaged block, and a region reads
    // few blocks anyway.
    if (blocked && options.threads > 0 && !options.region)
        hts_set_threads(reader->m_h->fp, options.threads);
    reader->m_groups.groupOf.assign(std::size_t(reader->m_samples.size()), 0);
    reader->m_packed.setGroups(reader->m_groups.groupOf, reader->m_groups.groups);
    if (options.region) {
        if (!blocked) {
            *error = QStringLiteral("%1: --region needs a bgzip-compressed file with an index "
                                    "(bgzip %1, then tabix -p vcf %1.gz)")
                         .arg(file);
            return nullptr;
        }
        if (!reader->setRegion(*options.region, error))
            return nullptr;
    } else if (blocked) {
        reader->m_h->tbx = tbx_index_load3(pathOf(file).constData(), nullptr, HTS_IDX_SILENT_FAIL);
        if (reader->m_h->tbx)
            reader->m_known = indexedRecords(reader->m_h->tbx->idx);
    }
    return reader;
}

bool VcfTextReader::readHeader(QString *error)
{
    kstring_t &line = m_h->line;
    const auto next = [&]() {
        const int r = hts_getline(m_h->fp, '\n', &line);
        if (r >= 0)
            ++m_lineNumber;
        return r;
    };
    int r = next();
    if (r < 0 || std::strncmp(line.s, "##fileformat=VCF", 16) != 0) {
        *error = r < -1 || streamDamaged(m_h->fp) ? QStringLiteral("%1: cannot be read (damaged compression or a read error)").arg(m_file)
                        : QStringLiteral("%1: not a VCF file (it does not start with ##fileformat=VCF)").arg(m_file);
        return false;
    }
    for (;;) {
        r = next();
        if (r < 0) {
            *error = r < -1 || streamDamaged(m_h->fp)
                         ? QStringLiteral("%1: cannot be read past line %2 (damaged compression or a read error)")
                               .arg(m_file)
                               .arg(m_lineNumber)
                         : QStringLiteral("%1: the header ends without its #CHROM line").arg(m_file);
            return false;
        }
        if (std::strncmp(line.s, "##", 2) == 0)
            continue;
        break;
    }
    QByteArray header(line.s, qsizetype(line.l));
    while (header.endsWith('\r'))
        header.chop(1);
    const QList<QByteArray> columns = header.split('\t');
    static const char *const kFixed[] = {"#CHROM", "POS", "ID", "REF", "ALT", "QUAL", "FILTER", "INFO"};
    bool fixedOk = columns.size() >= 8 && (columns.size() == 8 || columns.at(8) == "FORMAT");
    for (int i = 0; fixedOk && i < 8; ++i)
        fixedOk = columns.at(i) == kFixed[i];
    if (!fixedOk) {
        *error = QStringLiteral("%1, line %2: the #CHROM line does not name CHROM to INFO (and FORMAT) as VCF does")
                     .arg(m_file)
                     .arg(m_lineNumber);
        return false;
    }
    QSet<QString> seen;
    for (qsizetype i = 9; i < columns.size(); ++i) {
        const QString id = QString::fromUtf8(columns.at(i));
        if (id.isEmpty() || seen.contains(id)) {
            *error = QStringLiteral("%1, line %2: sample %3 is %4")
                         .arg(m_file)
                         .arg(m_lineNumber)
                         .arg(i - 8)
                         .arg(id.isEmpty() ? QStringLiteral("unnamed") : QStringLiteral("named twice (%1)").arg(id));
            return false;
        }
        seen.insert(id);
        m_samples.append(id);
    }
    return true;
}

bool VcfTextReader::setRegion(const RegionSpec &region, QString *error)
{
    m_h->tbx = tbx_index_load3(pathOf(m_file).constData(), nullptr, HTS_IDX_SILENT_FAIL);
    if (!m_h->tbx) {
        *error = QStringLiteral("%1: --region needs the file's index (%1.tbi or %1.csi), and there is none; %2")
                     .arg(m_file, regionHint(m_file, false));
        return false;
    }
    const int tid = tbx_name2id(m_h->tbx, region.chrom.constData());
    if (tid < 0) {
        *error = QStringLiteral("%1: chromosome %2 of --region %3 is not in the file's index")
                     .arg(m_file, QString::fromUtf8(region.chrom), region.text());
        return false;
    }
    m_h->itr = tbx_itr_queryi(m_h->tbx, tid, region.from - 1, region.to > 0 ? region.to : HTS_POS_MAX);
    if (!m_h->itr) {
        *error = QStringLiteral("%1: the index cannot serve --region %2").arg(m_file, region.text());
        return false;
    }
    m_region = region;
    return true;
}

bool VcfTextReader::nextLine()
{
    for (;;) {
        errno = 0;
        const int r = m_h->itr ? tbx_itr_next(m_h->fp, m_h->tbx, m_h->itr, &m_h->line)
                               : hts_getline(m_h->fp, '\n', &m_h->line);
        if (r == -1 && !streamDamaged(m_h->fp))
            return atEnd(m_ordinal);
        if (r < 0 && errno == ENOMEM)
            return fail(QStringLiteral("%1: the record after line %2 is too long to hold in memory")
                            .arg(m_file)
                            .arg(m_lineNumber));
        if (r < 0) {
            return fail(m_h->itr ? QStringLiteral("%1: cannot be read past record %2 of region %3 "
                                                  "(damaged compression or index, or a read error)")
                                       .arg(m_file)
                                       .arg(m_ordinal)
                                       .arg(m_region->text())
                                 : QStringLiteral("%1: cannot be read past line %2 (damaged compression or a read error)")
                                       .arg(m_file)
                                       .arg(m_lineNumber));
        }
        if (!m_h->itr)
            ++m_lineNumber;
        // An empty line carries no record.
        if (m_h->line.l == 0 || (m_h->line.l == 1 && m_h->line.s[0] == '\r'))
            continue;
        // The index gives the records that overlap the region; the region's
        // own are those that start in it.
        if (m_region) {
            const qint64 pos = vcfLinePosition(m_h->line.s, qsizetype(m_h->line.l));
            if (pos >= 0 && !m_region->containsPos(pos))
                continue;
        }
        return true;
    }
}

bool VcfTextReader::read(RawRecord &record)
{
    if (!nextLine())
        return false;
    if (m_h->line.l > std::size_t(MaxRecordBytes)) {
        return fail(QStringLiteral("%1, %2: a record of %3 MB, more than the %4 MB a record may hold")
                        .arg(m_file, m_h->itr ? QStringLiteral("record %1 of region %2").arg(m_ordinal + 1).arg(m_region->text())
                                              : QStringLiteral("line %1").arg(m_lineNumber))
                        .arg(qint64(m_h->line.l >> 20))
                        .arg(MaxRecordBytes >> 20));
    }
    try {
        record.text.resize(qsizetype(m_h->line.l));
    } catch (const std::bad_alloc &) {
        return fail(QStringLiteral("%1, line %2: the record is too long to hold in memory").arg(m_file).arg(m_lineNumber));
    }
    std::memcpy(record.text.data(), m_h->line.s, m_h->line.l);
    record.line = m_h->itr ? 0 : m_lineNumber;
    record.ordinal = ++m_ordinal;
    record.bytes = record.text.size();
    return true;
}

bool VcfTextReader::skip()
{
    if (!nextLine())
        return false;
    ++m_ordinal;
    return true;
}

QString VcfTextReader::where(const RawRecord &record) const
{
    // CHROM:POS as the line has them, when it has them.
    const QList<QByteArray> head = record.text.left(200).split('\t');
    QString place;
    if (head.size() >= 2)
        place = QStringLiteral(" (%1:%2)").arg(QString::fromUtf8(head.at(0)), QString::fromUtf8(head.at(1)));
    if (record.line > 0)
        return QStringLiteral("%1, line %2%3").arg(m_file).arg(record.line).arg(place);
    return QStringLiteral("%1, record %2 of region %3%4").arg(m_file).arg(record.ordinal).arg(m_region->text(), place);
}

void VcfTextReader::setGroups(const SampleGroups &groups)
{
    GenotypeReader::setGroups(groups);
    m_packed.setGroups(m_groups.groupOf, m_groups.groups);
}

bool VcfTextReader::decode(const RawRecord &record, GenotypeTally &tally, VariantIdentity &identity,
                           QString *error) const
{
    QString why;
    if (decodeVcfLine(record.text.constData(), record.text.size(), int(m_samples.size()), m_groups.groupOf.data(),
                      m_groups.groups, tally, identity, &why, &m_packed))
        return true;
    *error = where(record) + QStringLiteral(": ") + why;
    return false;
}

// ---------------------------------------------------------------- BCF

struct BcfReader::Handles
{
    htsFile *fp = nullptr;
    bcf_hdr_t *hdr = nullptr;
    hts_idx_t *idx = nullptr;
    hts_itr_t *itr = nullptr;
    bcf1_t *scratch = nullptr;
    int gtId = -1;

    ~Handles()
    {
        if (scratch)
            bcf_destroy(scratch);
        if (itr)
            hts_itr_destroy(itr);
        if (idx)
            hts_idx_destroy(idx);
        if (hdr)
            bcf_hdr_destroy(hdr);
        if (fp)
            hts_close(fp);
    }
};

BcfReader::BcfReader(const QString &file) : GenotypeReader(file), m_h(std::make_unique<Handles>()) {}

BcfReader::~BcfReader() = default;

std::unique_ptr<GenotypeReader> BcfReader::open(const QString &file, void *hts, const GenotypeOpenOptions &options,
                                                QString *error)
{
    std::unique_ptr<BcfReader> reader(new BcfReader(file));
    Handles &h = *reader->m_h;
    h.fp = static_cast<htsFile *>(hts);
    reader->m_truncated = eofMarkerMissing(h.fp);
    h.hdr = bcf_hdr_read(h.fp);
    if (!h.hdr) {
        *error = QStringLiteral("%1: the BCF header cannot be read").arg(file);
        return nullptr;
    }
    // As for a VCF: after the header, and not for a region.
    if (options.threads > 0 && !options.region)
        hts_set_threads(h.fp, options.threads);
    h.scratch = bcf_init();
    h.gtId = bcf_hdr_id2int(h.hdr, BCF_DT_ID, "GT");
    const int samples = bcf_hdr_nsamples(h.hdr);
    for (int s = 0; s < samples; ++s)
        reader->m_samples.append(QString::fromUtf8(h.hdr->samples[s]));
    reader->m_groups.groupOf.assign(std::size_t(samples), 0);
    h.idx = bcf_index_load3(pathOf(file).constData(), nullptr, HTS_IDX_SILENT_FAIL);
    if (options.region) {
        const RegionSpec &region = *options.region;
        if (!h.idx) {
            *error = QStringLiteral("%1: --region needs the file's index (%1.csi), and there is none; %2")
                         .arg(file, regionHint(file, true));
            return nullptr;
        }
        const int tid = bcf_hdr_name2id(h.hdr, region.chrom.constData());
        if (tid < 0) {
            *error = QStringLiteral("%1: chromosome %2 of --region %3 is not in the file's header")
                         .arg(file, QString::fromUtf8(region.chrom), region.text());
            return nullptr;
        }
        h.itr = bcf_itr_queryi(h.idx, tid, region.from - 1, region.to > 0 ? region.to : HTS_POS_MAX);
        if (!h.itr) {
            *error = QStringLiteral("%1: the index cannot serve --region %2").arg(file, region.text());
            return nullptr;
        }
        reader->m_region = region;
    } else {
        reader->m_known = indexedRecords(h.idx);
    }
    return reader;
}

bool BcfReader::next(void *record)
{
    bcf1_t *rec = static_cast<bcf1_t *>(record);
    for (;;) {
        const int r = m_h->itr ? bcf_itr_next(m_h->fp, m_h->itr, rec) : bcf_read(m_h->fp, m_h->hdr, rec);
        if (r == -1 && !streamDamaged(m_h->fp))
            return atEnd(m_ordinal);
        if (r < 0)
            return fail(QStringLiteral("%1: record %2 cannot be read (a damaged file or a read error)")
                            .arg(m_file)
                            .arg(m_ordinal + 1));
        if (m_region && !m_region->containsPos(qint64(rec->pos) + 1))
            continue;
        ++m_ordinal;
        return true;
    }
}

bool BcfReader::read(RawRecord &record)
{
    if (!record.binary || record.binary.use_count() != 1)
        record.binary = std::shared_ptr<void>(bcf_init(), [](void *p) { bcf_destroy(static_cast<bcf1_t *>(p)); });
    if (!next(record.binary.get()))
        return false;
    const bcf1_t *rec = static_cast<const bcf1_t *>(record.binary.get());
    record.line = 0;
    record.ordinal = m_ordinal;
    record.bytes = qsizetype(rec->shared.l + rec->indiv.l);
    return true;
}

bool BcfReader::skip()
{
    return next(m_h->scratch);
}

namespace {

struct GtCodes
{
    int vectorEnd;
    int missing;
};

// The GT values of every sample, `Int` wide: each sample's values end at
// the vector's end mark; a value codes (allele + 1) * 2 + phase, 0 for a
// missing allele.
template <typename Int>
bool countCalls(const bcf_fmt_t &gt, int samples, int alleles, const qint8 *groupOf, GenotypeTally &tally,
                GtCodes codes, QString *why)
{
    // The usual call, two values both naming an allele of the record (a
    // value codes (allele + 1) * 2 + phase), is counted at once; anything
    // else (missing, haploid, more values) the general way.
    const int limit = (alleles + 1) << 1;
    for (int s = 0; s < samples; ++s) {
        const int group = groupOf[s];
        const uint8_t *q = gt.p + std::size_t(s) * std::size_t(gt.size);
        if (gt.n == 2) {
            Int raw[2];
            std::memcpy(raw, q, sizeof raw);
            const int v0 = int(raw[0]), v1 = int(raw[1]);
            if (v0 >= 2 && v1 >= 2 && v0 < limit && v1 < limit) {
                if (group >= 0)
                    tally.addDiploid(group, (v0 >> 1) - 1, (v1 >> 1) - 1);
                continue;
            }
        }
        int ploidy = 0;
        bool missing = false;
        int a = 0, b = 0;
        for (int j = 0; j < gt.n; ++j) {
            Int raw;
            std::memcpy(&raw, q + std::size_t(j) * sizeof(Int), sizeof(Int));
            const int v = int(raw);
            if (v == codes.vectorEnd)
                break;
            ++ploidy;
            if (v == codes.missing || bcf_gt_is_missing(v)) {
                missing = true;
                continue;
            }
            const int allele = bcf_gt_allele(v);
            if (allele < 0 || allele >= alleles) {
                *why = QStringLiteral("sample %1: a genotype names allele %2, but the record has %3 alleles")
                           .arg(s + 1)
                           .arg(allele)
                           .arg(alleles);
                return false;
            }
            (j == 0 ? a : b) = allele;
        }
        if (group < 0)
            continue;
        if (missing || ploidy == 0 || ploidy > 2)
            tally.addMissing();
        else if (ploidy == 1)
            tally.addHaploid();
        else
            tally.addDiploid(group, a, b);
    }
    return true;
}

} // namespace

bool BcfReader::decode(const RawRecord &record, GenotypeTally &tally, VariantIdentity &identity,
                       QString *error) const
{
    bcf1_t *rec = static_cast<bcf1_t *>(record.binary.get());
    const bcf_hdr_t *hdr = m_h->hdr;
    const char *chrom = bcf_hdr_id2name(hdr, rec->rid);
    const auto failWith = [&](const QString &why) {
        *error = QStringLiteral("%1, record %2%3 (%4:%5): %6")
                     .arg(m_file)
                     .arg(record.ordinal)
                     .arg(m_region ? QStringLiteral(" of region ") + m_region->text() : QString())
                     .arg(chrom ? QString::fromUtf8(chrom) : QStringLiteral("?"))
                     .arg(qint64(rec->pos) + 1)
                     .arg(why);
        return false;
    };
    if (!chrom)
        return failWith(QStringLiteral("its CHROM is not in the header"));
    if (rec->errcode != 0)
        return failWith(QStringLiteral("htslib finds it malformed (error code %1)").arg(rec->errcode));
    if (bcf_unpack(rec, BCF_UN_STR | BCF_UN_FMT) != 0 || rec->n_allele < 1 || !rec->d.allele)
        return failWith(QStringLiteral("its alleles or sample columns cannot be unpacked"));
    const int samples = int(m_samples.size());
    if (int(rec->n_sample) != samples)
        return failWith(QStringLiteral("%1 samples, %2 expected").arg(rec->n_sample).arg(samples));

    const auto set = [](QByteArray &to, const char *text) { setBytes(to, text, qsizetype(std::strlen(text))); };
    set(identity.chrom, chrom);
    identity.pos = qint64(rec->pos) + 1;
    set(identity.id, rec->d.id ? rec->d.id : ".");
    set(identity.ref, rec->d.allele[0]);
    identity.alts.resize(rec->n_allele - 1);
    for (int i = 1; i < rec->n_allele; ++i)
        set(identity.alts[i - 1], rec->d.allele[i]);
    const int alleles = rec->n_allele;
    tally.reset(alleles, m_groups.groups);

    const bcf_fmt_t *gt = nullptr;
    for (int i = 0; i < int(rec->n_fmt) && m_h->gtId >= 0; ++i) {
        if (rec->d.fmt[i].id == m_h->gtId)
            gt = &rec->d.fmt[i];
    }
    const qint8 *groupOf = m_groups.groupOf.data();
    if (!gt) {
        for (int s = 0; s < samples; ++s)
            tally.addMissing(groupOf[s] >= 0 ? 1 : 0);
        return true;
    }
    const int width = gt->type == BCF_BT_INT8 ? 1 : gt->type == BCF_BT_INT16 ? 2 : gt->type == BCF_BT_INT32 ? 4 : 0;
    const uint8_t *begin = reinterpret_cast<const uint8_t *>(rec->indiv.s);
    const bool inside = width > 0 && gt->n >= 1 && gt->size == gt->n * width && begin && gt->p >= begin
                        && qint64(gt->p - begin) + qint64(gt->size) * samples <= qint64(rec->indiv.l);
    if (!inside)
        return failWith(QStringLiteral("its GT values are malformed"));
    QString why;
    bool ok = false;
    switch (width) {
    case 1:
        ok = countCalls<int8_t>(*gt, samples, alleles, groupOf, tally, {bcf_int8_vector_end, bcf_int8_missing}, &why);
        break;
    case 2:
        ok = countCalls<int16_t>(*gt, samples, alleles, groupOf, tally, {bcf_int16_vector_end, bcf_int16_missing},
                                 &why);
        break;
    default:
        ok = countCalls<int32_t>(*gt, samples, alleles, groupOf, tally, {bcf_int32_vector_end, bcf_int32_missing},
                                 &why);
        break;
    }
    return ok || failWith(why);
}

// ---------------------------------------------------------------- codes

bool VcfTextReader::decodeCodes(const RawRecord &record, VariantCodes &codes, QString *error) const
{
    // The line is checked (and its identity read) as for a test, then its
    // calls read again as codes.
    GenotypeTally tally;
    if (!decode(record, tally, codes.identity, error))
        return false;
    vcfLineCodes(record.text.constData(), record.text.size(), int(m_samples.size()), m_groups.groupOf.data(),
                 codes.calls);
    codes.ordinal = record.ordinal;
    codes.tallyFlags();
    return true;
}

namespace {

// The GT values of the samples in use as codes: a value codes
// (allele + 1) * 2 + phase, 0 for a missing allele; the phase bit of the
// second value says whether the call is phased.
template <typename Int>
void bcfCodes(const bcf_fmt_t &gt, int samples, const qint8 *groupOf, Int vectorEnd, Int missingValue,
              std::vector<quint8> &calls)
{
    for (int s = 0; s < samples; ++s) {
        if (groupOf[s] < 0)
            continue;
        const uint8_t *q = gt.p + std::size_t(s) * std::size_t(gt.size);
        int alleles[2] = {-1, -1};
        int ploidy = 0;
        bool missing = false;
        bool phased = false;
        for (int j = 0; j < gt.n; ++j) {
            Int raw;
            std::memcpy(&raw, q + std::size_t(j) * sizeof(Int), sizeof(Int));
            if (raw == vectorEnd)
                break;
            const int v = int(raw);
            if (j == 1)
                phased = bcf_gt_is_phased(v);
            if (raw == missingValue || bcf_gt_is_missing(v))
                missing = true;
            else if (ploidy < 2)
                alleles[ploidy] = bcf_gt_allele(v);
            ++ploidy;
        }
        if (missing || ploidy == 0 || ploidy > 2)
            calls.push_back(callcode::kMissing);
        else if (ploidy == 1)
            calls.push_back(callcode::haploid(alleles[0]));
        else
            calls.push_back(callcode::diploid(alleles[0], alleles[1], phased));
    }
}

} // namespace

bool BcfReader::decodeCodes(const RawRecord &record, VariantCodes &codes, QString *error) const
{
    // decode() checks the record, unpacks it and reads its identity.
    GenotypeTally tally;
    if (!decode(record, tally, codes.identity, error))
        return false;
    const bcf1_t *rec = static_cast<const bcf1_t *>(record.binary.get());
    const bcf_fmt_t *gt = nullptr;
    for (int i = 0; i < int(rec->n_fmt) && m_h->gtId >= 0; ++i) {
        if (rec->d.fmt[i].id == m_h->gtId)
            gt = &rec->d.fmt[i];
    }
    const int samples = int(m_samples.size());
    const qint8 *groupOf = m_groups.groupOf.data();
    codes.calls.clear();
    codes.ordinal = record.ordinal;
    if (!gt) {
        for (int s = 0; s < samples; ++s) {
            if (groupOf[s] >= 0)
                codes.calls.push_back(callcode::kMissing);
        }
    } else if (gt->type == BCF_BT_INT8) {
        bcfCodes<int8_t>(*gt, samples, groupOf, bcf_int8_vector_end, bcf_int8_missing, codes.calls);
    } else if (gt->type == BCF_BT_INT16) {
        bcfCodes<int16_t>(*gt, samples, groupOf, bcf_int16_vector_end, bcf_int16_missing, codes.calls);
    } else {
        bcfCodes<int32_t>(*gt, samples, groupOf, bcf_int32_vector_end, bcf_int32_missing, codes.calls);
    }
    codes.tallyFlags();
    return true;
}
