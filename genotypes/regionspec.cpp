#include "regionspec.h"

namespace {

// Positions beyond 2^62 would overflow htslib's arithmetic.
constexpr qint64 kMaxPosition = qint64(1) << 62;

bool readPosition(QString digits, qint64 *out)
{
    digits.remove(u',');
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok, 10);
    if (!ok || value < 1 || value > kMaxPosition || digits.startsWith(u'+'))
        return false;
    *out = value;
    return true;
}

} // namespace

std::optional<RegionSpec> RegionSpec::parse(const QString &text, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<RegionSpec> {
        if (error)
            *error = QStringLiteral("bad region \"%1\": %2 (write it like 1:10000-20000)").arg(text, why);
        return std::nullopt;
    };
    RegionSpec region;
    // Chromosome names may hold colons (HLA contigs): the positions follow
    // the last one.
    const qsizetype colon = text.lastIndexOf(u':');
    const QString chrom = colon < 0 ? text : text.left(colon);
    if (chrom.isEmpty() || chrom.contains(u'\t') || chrom.contains(u' '))
        return fail(QStringLiteral("no chromosome"));
    region.chrom = chrom.toUtf8();
    if (colon < 0)
        return region;
    const QString range = text.mid(colon + 1);
    const qsizetype dash = range.indexOf(u'-');
    if (dash < 0)
        return fail(QStringLiteral("FROM-TO expected after the colon"));
    if (!readPosition(range.left(dash), &region.from))
        return fail(QStringLiteral("FROM is not a position"));
    if (!readPosition(range.mid(dash + 1), &region.to))
        return fail(QStringLiteral("TO is not a position"));
    if (region.to < region.from)
        return fail(QStringLiteral("TO is before FROM"));
    return region;
}

QString RegionSpec::text() const
{
    QString out = QString::fromUtf8(chrom);
    if (from > 1 || to > 0)
        out += u':' + QString::number(from) + u'-' + (to > 0 ? QString::number(to) : QString());
    return out;
}
