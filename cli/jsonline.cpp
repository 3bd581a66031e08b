#include "jsonline.h"

#include <QLocale>
#include <QStringList>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Appends an integer without a temporary string.
template <typename Int>
void appendInteger(QByteArray &out, Int value)
{
    char digits[24];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, end.ptr - digits);
}

bool plainAscii(char16_t c)
{
    return c >= 0x20 && c < 0x80 && c != u'"' && c != u'\\';
}

// Appends `value` as a JSON string in UTF-8. The characters escaped are all
// ASCII, which no multi-byte UTF-8 sequence contains, so a run of other
// characters is converted whole, as the entire text would be.
void appendQuoted(QByteArray &out, QStringView value)
{
    out += '"';
    const char16_t *data = value.utf16();
    const qsizetype size = value.size();
    qsizetype i = 0;
    while (i < size) {
        qsizetype end = i;
        if (plainAscii(data[i])) {
            while (end < size && plainAscii(data[end]))
                ++end;
            const qsizetype at = out.size();
            out.resize(at + (end - i));
            char *to = out.data() + at;
            for (qsizetype k = i; k < end; ++k)
                *to++ = char(data[k]);
        } else if (data[i] >= 0x80) {
            while (end < size && data[end] >= 0x80)
                ++end;
            out += value.mid(i, end - i).toUtf8();
        } else {
            end = i + 1;
            switch (data[i]) {
            case u'"':
                out += "\\\"";
                break;
            case u'\\':
                out += "\\\\";
                break;
            case u'\n':
                out += "\\n";
                break;
            case u'\r':
                out += "\\r";
                break;
            case u'\t':
                out += "\\t";
                break;
            default: {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(data[i]));
                out += escaped;
            }
            }
        }
        i = end;
    }
    out += '"';
}

} // namespace

JsonLine::JsonLine()
{
    // One line of a batch fits, so that it grows at most once.
    body.reserve(160);
}

// Keys are the tool's own identifiers, which need no escaping.
void JsonLine::key(const char *name)
{
    if (!body.isEmpty())
        body += ',';
    body += '"';
    body += name;
    body += "\":";
}

JsonLine &JsonLine::add(const char *name, QStringView value)
{
    key(name);
    appendQuoted(body, value);
    return *this;
}

JsonLine &JsonLine::add(const char *name, const char *value)
{
    return add(name, QString::fromUtf8(value));
}

JsonLine &JsonLine::add(const char *name, int value)
{
    key(name);
    appendInteger(body, value);
    return *this;
}

JsonLine &JsonLine::add(const char *name, qint64 value)
{
    key(name);
    appendInteger(body, value);
    return *this;
}

JsonLine &JsonLine::add(const char *name, bool value)
{
    key(name);
    body += value ? "true" : "false";
    return *this;
}

JsonLine &JsonLine::addNumber(const char *name, double value)
{
    key(name);
    appendNumber(body, value);
    return *this;
}

JsonLine &JsonLine::addNull(const char *name)
{
    key(name);
    body += "null";
    return *this;
}

JsonLine &JsonLine::addRaw(const char *name, const QString &json)
{
    key(name);
    body += json.toUtf8();
    return *this;
}

JsonLine &JsonLine::append(const JsonLine &other)
{
    return appendFields(QByteArrayView(other.body));
}

JsonLine &JsonLine::appendFields(QByteArrayView utf8)
{
    if (!utf8.isEmpty()) {
        if (!body.isEmpty())
            body += ',';
        body += utf8;
    }
    return *this;
}

// Variant fields may hold escaped text that is not ASCII.
JsonLine &JsonLine::appendFields(const QString &fields)
{
    return appendFields(QByteArrayView(fields.toUtf8()));
}

QString JsonLine::text() const
{
    return u'{' + QString::fromUtf8(body) + u'}';
}

void JsonLine::writeLine(QByteArray &out) const
{
    out += '{';
    out += body;
    out += "}\n";
}

QString JsonLine::quoted(const QString &value)
{
    QByteArray out;
    out.reserve(value.size() + 2);
    appendQuoted(out, value);
    return QString::fromUtf8(out);
}

void JsonLine::appendNumber(QByteArray &out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
    } else if (value == 0) {
        // Qt drops the sign of a negative zero.
        out += std::signbit(value) ? "-0" : "0";
    } else if (std::fabs(value) < 1e16) {
        // The shortest form that reads back to the value, fixed or exponent
        // as Qt's form below chooses: the two differ only for integers of
        // 17 digits or more, which this would print exactly.
        char digits[32];
        const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
        out.append(digits, end.ptr - digits);
    } else {
        // 'g' with the shortest round-trip precision never writes a form
        // that JSON refuses (no "inf", no leading "+", no bare "."), and
        // parsing it gives back the same double.
        out += QString::number(value, 'g', QLocale::FloatingPointShortest).toLatin1();
    }
}

QString JsonLine::number(double value)
{
    QByteArray out;
    appendNumber(out, value);
    return QString::fromLatin1(out);
}

QString JsonLine::intArray(const std::vector<int> &values)
{
    QString out = QStringLiteral("[");
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += u',';
        out += QString::number(values[i]);
    }
    out += u']';
    return out;
}

QString JsonLine::stringArray(const QStringList &values)
{
    QString out = QStringLiteral("[");
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += u',';
        out += quoted(values.at(i));
    }
    out += u']';
    return out;
}
