#include "ldlines.h"

#include "jsonline.h"

#include <charconv>
#include <cmath>

namespace {

void appendInteger(QByteArray &out, qint64 value)
{
    char digits[24];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, end.ptr - digits);
}

// A text as JSON writes it: the tool's own identifiers need no escaping,
// but a file's may hold anything.
void appendJsonText(QByteArray &out, const QByteArray &utf8)
{
    out += JsonLine::quoted(QString::fromUtf8(utf8)).toUtf8();
}

// A text in a TSV field: a tab or line break would split the row.
void appendTsvText(QByteArray &out, const QByteArray &utf8)
{
    QByteArray text = utf8;
    text.replace('\t', ' ').replace('\n', ' ').replace('\r', ' ');
    out += text;
}

void appendNumbers(QByteArray &out, const double *values, int count, char separator)
{
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out += separator;
        JsonLine::appendNumber(out, values[i]);
    }
}

} // namespace

LdLines::Identity LdLines::identity(const VariantIdentity &id) const
{
    Identity out;
    for (const char *suffix : {"a", "b"}) {
        QByteArray &to = *suffix == 'a' ? out.asFirst : out.asSecond;
        if (m_tsv) {
            appendTsvText(to, id.chrom);
            to += '\t';
            appendInteger(to, id.pos);
            to += '\t';
            appendTsvText(to, id.id);
            to += '\t';
            continue;
        }
        to += QByteArray("\"chrom_") + suffix + "\":";
        appendJsonText(to, id.chrom);
        to += QByteArray(",\"pos_") + suffix + "\":";
        appendInteger(to, id.pos);
        to += QByteArray(",\"id_") + suffix + "\":";
        appendJsonText(to, id.id);
        to += ',';
    }
    return out;
}

QByteArray LdLines::header() const
{
    if (!m_tsv)
        return {};
    return "chrom_a\tpos_a\tid_a\tchrom_b\tpos_b\tid_b\tn\tfreq_a\tfreq_b\thaplotypes\troots\td\tdprime\tr2\tlod\t"
           "dprime_ci\tphased_r2\n";
}

void LdLines::append(QByteArray &out, const Identity &a, const Identity &b, const twolocus::Figures &f,
                     double phasedR2) const
{
    const double figures[4] = {f.d, f.dprime, f.r2, f.lod};
    const double bounds[2] = {f.dprimeLow, f.dprimeHigh};
    if (m_tsv) {
        out += a.asFirst;
        out += b.asSecond;
        appendInteger(out, f.n);
        out += '\t';
        JsonLine::appendNumber(out, f.freqA);
        out += '\t';
        JsonLine::appendNumber(out, f.freqB);
        out += '\t';
        appendNumbers(out, f.haplotypes, 4, ',');
        out += '\t';
        // Each root's frequencies and log-likelihood; roots apart by ";".
        for (std::size_t r = 0; r < f.roots.size(); ++r) {
            if (r > 0)
                out += ';';
            appendNumbers(out, f.roots[r].haplotypes, 4, ',');
            out += ',';
            JsonLine::appendNumber(out, f.roots[r].loglik);
        }
        out += '\t';
        appendNumbers(out, figures, 4, '\t');
        out += '\t';
        appendNumbers(out, bounds, 2, ',');
        out += '\t';
        if (std::isnan(phasedR2))
            out += "NA";
        else
            JsonLine::appendNumber(out, phasedR2);
        out += '\n';
        return;
    }
    out += '{';
    out += a.asFirst;
    out += b.asSecond;
    out += "\"n\":";
    appendInteger(out, f.n);
    out += ",\"freq_a\":";
    JsonLine::appendNumber(out, f.freqA);
    out += ",\"freq_b\":";
    JsonLine::appendNumber(out, f.freqB);
    // The best root's frequencies are written once and copied.
    const qsizetype start = out.size() + qsizetype(sizeof(",\"haplotypes\":[") - 1);
    out += ",\"haplotypes\":[";
    appendNumbers(out, f.haplotypes, 4, ',');
    const QByteArray best = out.mid(start);
    out += "],\"roots\":[";
    for (std::size_t r = 0; r < f.roots.size(); ++r) {
        out += r > 0 ? ",{\"haplotypes\":[" : "{\"haplotypes\":[";
        if (r == 0)
            out += best;
        else
            appendNumbers(out, f.roots[r].haplotypes, 4, ',');
        out += "],\"loglik\":";
        JsonLine::appendNumber(out, f.roots[r].loglik);
        out += '}';
    }
    out += "],\"d\":";
    JsonLine::appendNumber(out, f.d);
    out += ",\"dprime\":";
    JsonLine::appendNumber(out, f.dprime);
    out += ",\"r2\":";
    JsonLine::appendNumber(out, f.r2);
    out += ",\"lod\":";
    JsonLine::appendNumber(out, f.lod);
    out += ",\"dprime_ci\":[";
    appendNumbers(out, bounds, 2, ',');
    out += ']';
    if (!std::isnan(phasedR2)) {
        out += ",\"phased_r2\":";
        JsonLine::appendNumber(out, phasedR2);
    }
    out += "}\n";
}
