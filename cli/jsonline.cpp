#include "jsonline.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

void JsonLine::key(const char *name)
{
    if (!body.isEmpty())
        body += u',';
    body += quoted(QString::fromLatin1(name));
    body += u':';
}

JsonLine &JsonLine::add(const char *name, const QString &value)
{
    key(name);
    body += quoted(value);
    return *this;
}

JsonLine &JsonLine::add(const char *name, const char *value)
{
    return add(name, QString::fromUtf8(value));
}

JsonLine &JsonLine::add(const char *name, int value)
{
    key(name);
    body += QString::number(value);
    return *this;
}

JsonLine &JsonLine::add(const char *name, qint64 value)
{
    key(name);
    body += QString::number(value);
    return *this;
}

JsonLine &JsonLine::add(const char *name, bool value)
{
    key(name);
    body += value ? QStringLiteral("true") : QStringLiteral("false");
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
    body += QStringLiteral("null");
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

QString JsonLine::text() const
{
    return u'{' + body + u'}';
}

QString JsonLine::quoted(const QString &value)
{
    QString out;
    out.reserve(value.size() + 2);
    out += u'"';
    for (QChar c : value) {
        switch (c.unicode()) {
        case u'"':
            out += QStringLiteral("\\\"");
            break;
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
            else
                out += c;
        }
    }
    out += u'"';
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
