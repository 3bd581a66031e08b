#include "tsvrows.h"

#include "clioptions.h"
#include "testinput.h"

namespace {

// A reader of the JSON that JsonLine writes: objects, arrays of plain
// values, strings, numbers, true, false and null, no spaces.
class Flattener final
{
public:
    Flattener(const QString &text, std::vector<std::pair<QString, QString>> *out) : s(text), out(out) {}

    bool run()
    {
        return object(QString()) && at == s.size();
    }

private:
    bool object(const QString &prefix)
    {
        if (!take(u'{'))
            return false;
        if (take(u'}'))
            return true;
        for (;;) {
            QString key;
            if (!string(&key) || !take(u':'))
                return false;
            const QString path = prefix.isEmpty() ? key : prefix + u'.' + key;
            if (peek() == u'{') {
                if (!object(path))
                    return false;
            } else {
                QString value;
                if (!plainOrArray(&value))
                    return false;
                out->emplace_back(path, value);
            }
            if (take(u'}'))
                return true;
            if (!take(u','))
                return false;
        }
    }

    // An array of arrays (cmh's "strata") is its arrays, each joined by
    // commas, joined by semicolons.
    bool plainOrArray(QString *value, bool inner = false)
    {
        if (!take(u'['))
            return plain(value);
        if (take(u']'))
            return true;
        for (bool first = true;; first = false) {
            QString item;
            const bool nested = !inner && peek() == u'[';
            if (nested ? !plainOrArray(&item, true) : !plain(&item))
                return false;
            if (!first)
                *value += nested ? u';' : u',';
            *value += item;
            if (take(u']'))
                return true;
            if (!take(u','))
                return false;
        }
    }

    bool plain(QString *value)
    {
        if (peek() == u'"')
            return string(value);
        const qsizetype from = at;
        while (at < s.size() && s.at(at) != u',' && s.at(at) != u'}' && s.at(at) != u']')
            ++at;
        if (at == from)
            return false;
        const QStringView word = QStringView(s).mid(from, at - from);
        *value = word == u"null" ? QStringLiteral("NA") : word.toString();
        return true;
    }

    bool string(QString *value)
    {
        if (!take(u'"'))
            return false;
        value->clear();
        while (at < s.size()) {
            const QChar c = s.at(at++);
            if (c == u'"')
                return true;
            if (c != u'\\') {
                value->append(c);
                continue;
            }
            if (at >= s.size())
                return false;
            const QChar e = s.at(at++);
            switch (e.unicode()) {
            case u'n':
            case u'r':
            case u't':
                value->append(u' ');
                break;
            case u'u': {
                bool ok = false;
                const ushort code = QStringView(s).mid(at, 4).toUShort(&ok, 16);
                if (!ok || at + 4 > s.size())
                    return false;
                at += 4;
                value->append(code < 0x20 ? QChar(u' ') : QChar(code));
                break;
            }
            default:
                value->append(e);
            }
        }
        return false;
    }

    QChar peek() const { return at < s.size() ? s.at(at) : QChar(); }
    bool take(char16_t c)
    {
        if (peek() != c)
            return false;
        ++at;
        return true;
    }

    const QString &s;
    std::vector<std::pair<QString, QString>> *out;
    qsizetype at = 0;
};

} // namespace

TsvRows::TsvRows(int testKind)
{
    m_columns = QStringList{QStringLiteral("file"),    QStringLiteral("variant"), QStringLiteral("chrom"),
                            QStringLiteral("pos"),     QStringLiteral("id"),      QStringLiteral("ref"),
                            QStringLiteral("alt"),     QStringLiteral("alleles"), QStringLiteral("n"),
                            QStringLiteral("missing"), QStringLiteral("haploid"), QStringLiteral("test"),
                            QStringLiteral("status")};
    if (testKind == kTestCmh) {
        m_columns << QStringLiteral("p") << QStringLiteral("tested_allele") << QStringLiteral("strata")
                  << QStringLiteral("informative");
        for (const char *field : {"chi2", "p", "chi2_cc", "p_cc"})
            m_columns << QStringLiteral("cmh.") + QLatin1StringView(field);
        m_columns << QStringLiteral("mh.or") << QStringLiteral("mh.or_ci");
        for (const char *test : {"breslow_day.", "tarone."}) {
            for (const char *field : {"chi2", "df", "p"})
                m_columns << QLatin1StringView(test) + QLatin1StringView(field);
        }
        m_columns << QStringLiteral("exact.or") << QStringLiteral("exact.or_ci") << QStringLiteral("exact.p");
    } else if (testKind == TestModels) {
        // The models' figures, each model's own under its name.
        m_columns << QStringLiteral("effect_homozygote_column") << QStringLiteral("allele_freq.cases")
                  << QStringLiteral("allele_freq.controls") << QStringLiteral("hwe_controls.p")
                  << QStringLiteral("hwe_controls.p_midp");
        for (const char *test : {"genotypic", "trend"}) {
            const QString name = QLatin1StringView(test) + u'.';
            m_columns << name + QStringLiteral("chi2");
            if (test[0] == 'g')
                m_columns << name + QStringLiteral("df");
            m_columns << name + QStringLiteral("p_chi2");
            if (test[0] == 'g')
                m_columns << name + QStringLiteral("p_exact") << name + QStringLiteral("p_midp");
        }
        for (const char *model : {"allelic", "dominant", "recessive", "overdominant"}) {
            for (const char *field :
                 {"chi2", "p_chi2", "p_exact", "p_midp", "or", "or_ci", "or_corrected", "or_cmle", "or_cmle_ci"})
                m_columns << QLatin1StringView(model) + u'.' + QLatin1StringView(field);
        }
        for (const char *field : {"or_het", "or_het_ci", "or_het_corrected", "or_hom", "or_hom_ci", "or_hom_corrected"})
            m_columns << QStringLiteral("codominant.") + QLatin1StringView(field);
        m_columns << QStringLiteral("log_additive.or") << QStringLiteral("log_additive.or_ci")
                  << QStringLiteral("log_additive.p_lrt");
    } else {
        m_columns << QStringLiteral("p") << QStringLiteral("method");
        if (testKind == TestChi2)
            m_columns << QStringLiteral("x2") << QStringLiteral("df") << QStringLiteral("yates");
        m_columns << QStringLiteral("samples") << QStringLiteral("seed") << QStringLiteral("ci99");
    }
    m_columns << QStringLiteral("message") << QStringLiteral("stopped");
}

QByteArray TsvRows::header() const
{
    return (m_columns.join(u'\t') + u'\n').toUtf8();
}

bool TsvRows::flatten(const QString &json, std::vector<std::pair<QString, QString>> *fields)
{
    fields->clear();
    return Flattener(json, fields).run();
}

QByteArray TsvRows::row(const QString &json, QStringList *unknown) const
{
    std::vector<std::pair<QString, QString>> fields;
    flatten(json, &fields);
    QStringList cells(m_columns.size(), QStringLiteral("NA"));
    for (const auto &[name, value] : fields) {
        const qsizetype column = m_columns.indexOf(name);
        if (column >= 0)
            cells[column] = value;
        else if (unknown)
            unknown->append(name);
    }
    return (cells.join(u'\t') + u'\n').toUtf8();
}
