#include "bedreader.h"

#include "variantcodes.h"

#include <QFileInfo>
#include <QSet>

#include <cstring>

namespace {

constexpr uchar kMagic[3] = {0x6c, 0x1b, 0x01};
constexpr qint64 kMaxPosition = qint64(1) << 62;

QList<QByteArray> splitFields(const QByteArray &line)
{
    return line.simplified().split(' ');
}

struct Field
{
    const char *begin;
    const char *end;
    QByteArray bytes() const { return QByteArray(begin, end - begin); }
    bool operator==(const QByteArray &other) const
    {
        return end - begin == other.size() && std::memcmp(begin, other.constData(), std::size_t(end - begin)) == 0;
    }
};

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool isBlankLine(QByteArrayView line)
{
    for (const char c : line) {
        if (!isBlank(c))
            return false;
    }
    return true;
}

// The whitespace-separated fields of a line, up to `max` (one more is
// counted, not kept, so that a longer line shows); the count.
int splitLine(QByteArrayView line, Field *fields, int max)
{
    const char *p = line.constData();
    const char *end = p + line.size();
    int n = 0;
    for (;;) {
        while (p < end && isBlank(*p))
            ++p;
        if (p == end)
            return n;
        const char *start = p;
        while (p < end && !isBlank(*p))
            ++p;
        if (n < max)
            fields[n] = Field{start, p};
        if (++n > max)
            return n;
    }
}

// A .bim line's fields, checked: CHROM, ID, cM, POS, A1, A2.
bool bimFields(QByteArrayView line, Field *fields, qint64 *pos, QString *why)
{
    const int n = splitLine(line, fields, 6);
    if (n != 6) {
        *why = QStringLiteral("%1 columns, 6 expected (CHROM, ID, cM, POS, A1, A2)").arg(n > 6 ? QStringLiteral("more than 6") : QString::number(n));
        return false;
    }
    qint64 value = 0;
    bool ok = fields[3].begin < fields[3].end;
    for (const char *c = fields[3].begin; ok && c < fields[3].end; ++c) {
        ok = *c >= '0' && *c <= '9' && value <= kMaxPosition / 10;
        value = value * 10 + (*c - '0');
    }
    if (!ok) {
        *why = QStringLiteral("POS \"%1\" is not a position").arg(QString::fromUtf8(fields[3].bytes()));
        return false;
    }
    *pos = value;
    return true;
}

} // namespace

// Lines of a text file through a large buffer, each without its line end.
class BedReader::LineReader final
{
public:
    bool open(const QString &path) { file.setFileName(path); return file.open(QIODevice::ReadOnly); }
    QString errorString() const { return file.errorString(); }
    bool failed() const { return error; }

    bool next(QByteArray *line)
    {
        QByteArrayView view;
        if (!next(&view))
            return false;
        setBytes(*line, view.data(), view.size());
        return true;
    }

    // The next line as it stands in the buffer, until the next call.
    bool next(QByteArrayView *line)
    {
        for (;;) {
            const char *data = buffer.constData();
            const void *newline = std::memchr(data + at, '\n', std::size_t(buffer.size() - at));
            if (newline) {
                const qsizetype end = static_cast<const char *>(newline) - data;
                *line = QByteArrayView(data + at, end - at);
                at = end + 1;
                if (line->endsWith('\r'))
                    line->chop(1);
                return true;
            }
            if (eof) {
                if (at >= buffer.size())
                    return false;
                *line = QByteArrayView(data + at, buffer.size() - at);
                at = buffer.size();
                return true;
            }
            buffer.remove(0, at);
            at = 0;
            const qsizetype kept = buffer.size();
            buffer.resize(kept + kChunk);
            const qint64 got = file.read(buffer.data() + kept, kChunk);
            if (got < 0) {
                error = true;
                buffer.resize(kept);
                eof = true;
                continue;
            }
            buffer.resize(kept + qsizetype(got));
            eof = got == 0;
        }
    }

private:
    static constexpr qsizetype kChunk = 1 << 16;
    QFile file;
    QByteArray buffer;
    qsizetype at = 0;
    bool eof = false;
    bool error = false;
};

BedReader::BedReader(const QString &file) : GenotypeReader(file) {}

BedReader::~BedReader() = default;

bool BedReader::parseBimLine(const QByteArray &line, BimFields *fields, QString *why)
{
    Field parts[6];
    if (!bimFields(line, parts, &fields->pos, why))
        return false;
    fields->chrom = parts[0].bytes();
    fields->id = parts[1].bytes();
    fields->a1 = parts[4].bytes();
    fields->a2 = parts[5].bytes();
    return true;
}

std::unique_ptr<GenotypeReader> BedReader::open(const QString &file, const GenotypeOpenOptions &options,
                                                QString *error)
{
    std::unique_ptr<BedReader> reader(new BedReader(file));
    const QString prefix = file.left(file.size() - 4);
    reader->m_bim = prefix + QStringLiteral(".bim");
    const QString fam = prefix + QStringLiteral(".fam");
    for (const QString &companion : {reader->m_bim, fam}) {
        if (!QFileInfo::exists(companion)) {
            *error = QStringLiteral("%1: its %2 is missing (a .bed needs the .bim and .fam of the same name)")
                         .arg(file, companion);
            return nullptr;
        }
    }
    if (!reader->readFam(fam, error))
        return nullptr;
    reader->m_groups.groupOf.assign(std::size_t(reader->m_samples.size()), 0);
    reader->m_counter.setGroups(reader->m_groups.groupOf, 1);
    if (!reader->scanBim(options, error))
        return nullptr;

    QFile &bed = reader->m_bed;
    bed.setFileName(file);
    if (!bed.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *error = QStringLiteral("%1: cannot be read (%2)").arg(file, bed.errorString());
        return nullptr;
    }
    uchar magic[3] = {0, 0, 0};
    const qint64 got = bed.read(reinterpret_cast<char *>(magic), 3);
    if (got != 3 || magic[0] != kMagic[0] || magic[1] != kMagic[1] || magic[2] > 1) {
        *error = got != 3 ? QStringLiteral("%1: too short for a .bed (%2 bytes)").arg(file).arg(qMax<qint64>(got, 0))
                          : QStringLiteral("%1: not a PLINK 1 .bed (wrong magic number %2 %3 %4, 6c 1b 01 expected)")
                                .arg(file)
                                .arg(magic[0], 2, 16, QChar(u'0'))
                                .arg(magic[1], 2, 16, QChar(u'0'))
                                .arg(magic[2], 2, 16, QChar(u'0'));
        return nullptr;
    }
    if (magic[2] != kMagic[2]) {
        *error = QStringLiteral("%1: a sample-major .bed, which is not read (rewrite it with plink --make-bed)").arg(file);
        return nullptr;
    }
    const qint64 expected = 3 + reader->m_variants * qint64(reader->m_counter.bytesPerVariant());
    if (bed.size() != expected) {
        *error = QStringLiteral("%1: %2 bytes, but the %3 variants of %4 and %5 samples of %6 need %7 bytes")
                     .arg(file)
                     .arg(bed.size())
                     .arg(reader->m_variants)
                     .arg(reader->m_bim)
                     .arg(reader->m_samples.size())
                     .arg(fam)
                     .arg(expected);
        return nullptr;
    }
    reader->m_region = options.region;
    reader->m_lines = std::make_unique<LineReader>();
    if (!reader->m_lines->open(reader->m_bim)) {
        *error = QStringLiteral("%1: cannot be read (%2)").arg(reader->m_bim, reader->m_lines->errorString());
        return nullptr;
    }
    return reader;
}

bool BedReader::readFam(const QString &path, QString *error)
{
    LineReader lines;
    if (!lines.open(path)) {
        *error = QStringLiteral("%1: cannot be read (%2)").arg(path, lines.errorString());
        return false;
    }
    QSet<QString> seen;
    QByteArray line;
    qint64 number = 0;
    while (lines.next(&line)) {
        ++number;
        if (isBlankLine(line))
            continue;
        const QList<QByteArray> parts = splitFields(line);
        if (parts.size() < 6) {
            *error = QStringLiteral("%1, line %2: %3 columns, 6 expected (FID, IID, father, mother, sex, phenotype)")
                         .arg(path)
                         .arg(number)
                         .arg(parts.size());
            return false;
        }
        const QString id = QString::fromUtf8(parts.at(0) + '_' + parts.at(1));
        if (seen.contains(id)) {
            *error = QStringLiteral("%1, line %2: sample %3 is listed twice").arg(path).arg(number).arg(id);
            return false;
        }
        seen.insert(id);
        m_samples.append(id);
        const QByteArray &code = parts.at(5);
        m_phenotypes.push_back(code == "1" ? Phenotype::Control : code == "2" ? Phenotype::Case : Phenotype::None);
    }
    if (lines.failed()) {
        *error = QStringLiteral("%1: cannot be read (%2)").arg(path, lines.errorString());
        return false;
    }
    return true;
}

bool BedReader::scanBim(const GenotypeOpenOptions &options, QString *error)
{
    LineReader lines;
    if (!lines.open(m_bim)) {
        *error = QStringLiteral("%1: cannot be read (%2)").arg(m_bim, lines.errorString());
        return false;
    }
    QByteArrayView line;
    qint64 number = 0;
    bool chromSeen = false;
    Field fields[6];
    while (lines.next(&line)) {
        ++number;
        if (isBlankLine(line))
            continue;
        QString why;
        qint64 pos = 0;
        if (!bimFields(line, fields, &pos, &why)) {
            *error = QStringLiteral("%1, line %2: %3").arg(m_bim).arg(number).arg(why);
            return false;
        }
        ++m_variants;
        if (options.region && fields[0] == options.region->chrom) {
            chromSeen = true;
            m_records += options.region->containsPos(pos) ? 1 : 0;
        }
    }
    if (lines.failed()) {
        *error = QStringLiteral("%1: cannot be read (%2)").arg(m_bim, lines.errorString());
        return false;
    }
    if (!options.region) {
        m_records = m_variants;
    } else if (!chromSeen) {
        *error = QStringLiteral("%1: chromosome %2 of --region %3 is not in %4")
                     .arg(m_file, QString::fromUtf8(options.region->chrom), options.region->text(), m_bim);
        return false;
    }
    return true;
}

void BedReader::setGroups(const SampleGroups &groups)
{
    GenotypeReader::setGroups(groups);
    m_counter.setGroups(groups.groupOf, groups.groups);
}

bool BedReader::nextBimLine(QByteArray *line, qint64 *number, qint64 *variant)
{
    while (m_lines->next(line)) {
        ++*number;
        if (isBlankLine(*line))
            continue;
        *variant = ++m_variantRead;
        return true;
    }
    if (m_lines->failed())
        return fail(QStringLiteral("%1: cannot be read past line %2").arg(m_bim).arg(*number));
    return false;
}

bool BedReader::advance(RawRecord *record)
{
    const qsizetype bytes = m_counter.bytesPerVariant();
    QByteArray &line = record ? record->text : m_skipped;
    qint64 variant = 0;
    for (;;) {
        if (!nextBimLine(&line, &m_bimLine, &variant))
            return false;
        if (variant > m_variants)
            return fail(QStringLiteral("%1: more lines than when it was first read").arg(m_bim));
        if (!m_region)
            break;
        Field fields[6];
        qint64 pos = 0;
        QString why;
        if (bimFields(line, fields, &pos, &why) && fields[0] == m_region->chrom && m_region->containsPos(pos))
            break;
    }
    ++m_ordinal;
    if (!record)
        return true;
    // The .bed is read only for the variants kept; it moves over the rest
    // by a seek.
    if (m_bedVariant != variant - 1) {
        m_buffered.clear();
        m_bufferAt = 0;
        if (!m_bed.seek(3 + (variant - 1) * qint64(bytes)))
            return fail(QStringLiteral("%1: cannot be read at variant %2").arg(m_file).arg(variant));
    }
    record->data.resize(bytes);
    if (!readBed(record->data.data(), bytes)) {
        return fail(QStringLiteral("%1: ends inside variant %2 (line %3 of %4)")
                        .arg(m_file)
                        .arg(variant)
                        .arg(m_bimLine)
                        .arg(m_bim));
    }
    m_bedVariant = variant;
    record->line = m_bimLine;
    record->ordinal = m_ordinal;
    record->bytes = record->text.size() + record->data.size();
    return true;
}

bool BedReader::readBed(char *out, qsizetype bytes)
{
    // Large reads: a variant's few hundred bytes each through the device
    // would cost more than counting them. A quarter of a megabyte stays in
    // the processor's cache between the read and the copies out of it (4 MB
    // did not: 7% more time on one thread).
    constexpr qsizetype kBlock = qsizetype(256) << 10;
    while (bytes > 0) {
        if (m_bufferAt == m_buffered.size()) {
            m_buffered.resize(kBlock);
            const qint64 got = m_bed.read(m_buffered.data(), kBlock);
            m_buffered.resize(qMax<qint64>(got, 0));
            m_bufferAt = 0;
            if (got <= 0)
                return false;
        }
        const qsizetype take = qMin(bytes, m_buffered.size() - m_bufferAt);
        std::memcpy(out, m_buffered.constData() + m_bufferAt, std::size_t(take));
        m_bufferAt += take;
        out += take;
        bytes -= take;
    }
    return true;
}

bool BedReader::read(RawRecord &record)
{
    return advance(&record);
}

bool BedReader::skip()
{
    return advance(nullptr);
}

bool BedReader::decode(const RawRecord &record, GenotypeTally &tally, VariantIdentity &identity,
                       QString *error) const
{
    Field fields[6];
    QString why;
    if (!bimFields(record.text, fields, &identity.pos, &why)) {
        *error = QStringLiteral("%1, line %2: %3").arg(m_bim).arg(record.line).arg(why);
        return false;
    }
    setBytes(identity.chrom, fields[0].begin, fields[0].end - fields[0].begin);
    setBytes(identity.id, fields[1].begin, fields[1].end - fields[1].begin);
    setBytes(identity.ref, fields[5].begin, fields[5].end - fields[5].begin);
    identity.alts.resize(1);
    setBytes(identity.alts.first(), fields[4].begin, fields[4].end - fields[4].begin);
    tally.reset(2, m_groups.groups);
    if (record.data.size() != m_counter.bytesPerVariant()) {
        *error = QStringLiteral("%1: variant %2 (line %3 of %4) has the wrong size")
                     .arg(m_file)
                     .arg(record.ordinal)
                     .arg(record.line)
                     .arg(m_bim);
        return false;
    }
    BedCounter::Codes codes[GenotypeTally::kMaxGroups];
    m_counter.count(reinterpret_cast<const uchar *>(record.data.constData()), codes);
    // Allele 0 is REF (A2), allele 1 ALT (A1).
    for (int g = 0; g < m_groups.groups; ++g) {
        tally.addGenotypes(g, 1, 1, codes[g][0]);
        tally.addMissing(codes[g][1]);
        tally.addGenotypes(g, 0, 1, codes[g][2]);
        tally.addGenotypes(g, 0, 0, codes[g][3]);
    }
    return true;
}

bool BedReader::decodeCodes(const RawRecord &record, VariantCodes &codes, QString *error) const
{
    GenotypeTally tally;
    if (!decode(record, tally, codes.identity, error))
        return false;
    bedCodes(reinterpret_cast<const uchar *>(record.data.constData()), int(m_samples.size()),
             m_groups.groupOf.data(), codes.calls);
    codes.ordinal = record.ordinal;
    codes.tallyFlags();
    return true;
}
