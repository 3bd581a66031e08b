#include "variantcodesreader.h"

#include <QHash>

#include <cstring>

namespace {

// The ID of a text record without decoding it: the third tab-separated
// field of a VCF line, the second field of a .bim line. Null for a BCF
// record, whose ID needs unpacking.
QByteArrayView textRecordId(const RawRecord &record)
{
    if (record.binary || record.text.isEmpty())
        return {};
    const char *p = record.text.constData();
    const char *end = p + record.text.size();
    if (!record.data.isEmpty()) {
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
        for (int field = 0; field < 2; ++field) {
            while (p < end && blank(*p))
                ++p;
            const char *start = p;
            while (p < end && !blank(*p))
                ++p;
            if (field == 1)
                return QByteArrayView(start, p - start);
        }
        return {};
    }
    for (int field = 0; field < 2; ++field) {
        const void *tab = std::memchr(p, '\t', std::size_t(end - p));
        if (!tab)
            return {};
        p = static_cast<const char *>(tab) + 1;
    }
    const void *tab = std::memchr(p, '\t', std::size_t(end - p));
    return QByteArrayView(p, tab ? static_cast<const char *>(tab) - p : end - p);
}

} // namespace

std::unique_ptr<VariantCodesReader> VariantCodesReader::open(const QString &file, const GenotypeOpenOptions &options,
                                                             const SampleChoice &choice, QString *error)
{
    std::unique_ptr<VariantCodesReader> out(new VariantCodesReader);
    out->m_reader = openGenotypeFile(file, options, error);
    if (!out->m_reader)
        return nullptr;
    out->m_groups = groupSamples(out->m_reader->sampleIds(), out->m_reader->filePhenotypes(), choice);
    out->m_reader->setGroups(out->m_groups);
    const QStringList &ids = out->m_reader->sampleIds();
    for (qsizetype s = 0; s < ids.size(); ++s) {
        const qint8 group = out->m_groups.groupOf[std::size_t(s)];
        if (group < 0)
            continue;
        out->m_used.append(ids.at(s));
        out->m_callGroups.push_back(group);
    }
    return out;
}

bool VariantCodesReader::next(VariantCodes &codes)
{
    if (!m_error.isEmpty())
        return false;
    if (!m_reader->read(m_raw)) {
        m_error = m_reader->errorString();
        return false;
    }
    QString error;
    if (!m_reader->decodeCodes(m_raw, codes, &error)) {
        m_error = error;
        return false;
    }
    return true;
}

bool VariantCodesReader::readNamed(const QStringList &ids, std::vector<VariantCodes> *out, QString *error)
{
    QHash<QByteArray, qsizetype> wanted;
    for (qsizetype i = 0; i < ids.size(); ++i) {
        const QByteArray id = ids.at(i).toUtf8();
        if (wanted.contains(id)) {
            *error = QStringLiteral("%1 is named twice").arg(ids.at(i));
            return false;
        }
        wanted.insert(id, i);
    }
    out->assign(std::size_t(ids.size()), VariantCodes());
    std::vector<bool> found(std::size_t(ids.size()), false);
    QString why;
    while (m_error.isEmpty() && m_reader->read(m_raw)) {
        const QByteArrayView id = textRecordId(m_raw);
        if (!id.isNull() && !wanted.contains(id.toByteArray()))
            continue;
        VariantCodes codes;
        if (!m_reader->decodeCodes(m_raw, codes, &why)) {
            m_error = why;
            break;
        }
        const auto at = wanted.constFind(codes.identity.id);
        if (at == wanted.constEnd())
            continue;
        const std::size_t slot = std::size_t(*at);
        if (found[slot]) {
            *error = QStringLiteral("%1: two records carry the ID %2 (%3 and %4)")
                         .arg(fileName(), ids.at(qsizetype(slot)), (*out)[slot].label(), codes.label());
            return false;
        }
        found[slot] = true;
        (*out)[slot] = std::move(codes);
    }
    if (m_error.isEmpty())
        m_error = m_reader->errorString();
    if (!m_error.isEmpty()) {
        *error = m_error;
        return false;
    }
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (!found[i]) {
            *error = QStringLiteral("%1: no variant has the ID %2").arg(fileName(), ids.at(qsizetype(i)));
            return false;
        }
    }
    return true;
}
