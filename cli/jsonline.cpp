#include "jsonline.h"

#include <QLocale>
#include <QStringList>

#include <charconv>
#include <cmath>

namespace {

// Appends an integer without a temporary string.
template <typename Int>
void appendInteger(QString &out, Int value)
{
    char digits[24];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    out += QLatin1StringView(digits, end.ptr - digits);
}

// Appends `value` as a JSON string.
void appendQuoted(QString &out, QStringView value)
{
    out += u'"';
    const QChar *data = value.data();
    const qsizetype size = value.size();
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = data[i].unicode();
        if (c >= 0x20 && c != u'"' && c != u'\\')
            continue;
        out.append(data + plainFrom, i - plainFrom);
        plainFrom = i + 1;
        switch (c) {
        case u'"':
            out += QLatin1StringView("\\\"");
            break;
        case u'\\':
            out += QLatin1StringView("\\\\");
            break;
        case u'\n':
            out += QLatin1StringView("\\n");
            break;
        case u'\r':
            out += QLatin1StringView("\\r");
            break;
        case u'\t':
            out += QLatin1StringView("\\t");
            break;
        default:
            out += QStringLiteral("\\u%1").arg(c, 4, 16, QChar(u'0'));
        }
    }
    out.append(data + plainFrom, size - plainFrom);
    out += u'"';
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
        body += u',';
    body += u'"';
    body += QLatin1StringView(name);
    body += QLatin1StringView("\":");
}

JsonLine &JsonLine::add(const char *name, const QString &value)
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
    body += value ? QLatin1StringView("true") : QLatin1StringView("false");
    return *this;
}

JsonLine &JsonLine::addNumber(const char *name, double value)
{
    key(name);
    body += number(value);
    return *this;
}

JsonLine &JsonLine::addNull(const char *name)
{
    key(name);
    body += QLatin1StringView("null");
    return *this;
}

JsonLine &JsonLine::addRaw(const char *name, const QString &json)
{
    key(name);
    body += json;
    return *this;
}

JsonLine &JsonLine::append(const JsonLine &other)
{
    if (!other.body.isEmpty()) {
        if (!body.isEmpty())
            body += u',';
        body += other.body;
    }
    return *this;
}

namespace {

template<typename Text>
void appendFieldsTo(QString &body, const Text &fields)
{
    if (!fields.isEmpty()) {
        if (!body.isEmpty())
            body += u',';
        body += fields;
    }
}

} // namespace

JsonLine &JsonLine::appendFields(QLatin1StringView fields)
{
    appendFieldsTo(body, fields);
    return *this;
}

// Variant fields may hold escaped text that is not Latin-1.
JsonLine &JsonLine::appendFields(const QString &fields)
{
    appendFieldsTo(body, fields);
    return *this;
}

QString JsonLine::text() const
{
    return u'{' + body + u'}';
}

QString JsonLine::quoted(const QString &value)
{
    QString out;
    out.reserve(value.size() + 2);
    appendQuoted(out, value);
    return out;
}

QString JsonLine::number(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("null");
    // Qt drops the sign of a negative zero.
    if (value == 0)
        return std::signbit(value) ? QStringLiteral("-0") : QStringLiteral("0");
    // 'g' with the shortest round-trip precision never writes a form that
    // JSON refuses (no "inf", no leading "+", no bare "."), and parsing it
    // gives back the same double.
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
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
