#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

// Builds one JSON object on one line, keys in the order they are added.
// Doubles are written in the shortest form that reads back to the same
// double; NaN and infinities, which JSON lacks, are written as null.
// The object is held in UTF-8, the form it is written out in, so that a
// line goes to standard output without passing through a QString.
class JsonLine final
{
public:
    JsonLine();

    JsonLine &add(const char *key, QStringView value);
    JsonLine &add(const char *key, const QString &value) { return add(key, QStringView(value)); }
    JsonLine &add(const char *key, const char *value);
    JsonLine &add(const char *key, int value);
    JsonLine &add(const char *key, qint64 value);
    JsonLine &add(const char *key, bool value);
    JsonLine &addNumber(const char *key, double value);
    JsonLine &addNull(const char *key);
    // A value already written as JSON (an array or an object).
    JsonLine &addRaw(const char *key, const QString &json);
    // The fields of another object, after this one's.
    JsonLine &append(const JsonLine &other);
    // Fields already written as JSON ("key":value,...), after this one's.
    JsonLine &appendFields(QByteArrayView utf8);
    JsonLine &appendFields(const QString &fields);

    // Drops every field, keeping the memory for the next object.
    void clear() { body.resize(0); }

    // The object, without a line end.
    QString text() const;
    // Appends the object and a line end to `out`, in UTF-8.
    void writeLine(QByteArray &out) const;

    static QString quoted(const QString &value);
    static QString number(double value);
    // Appends `value` as number() writes it.
    static void appendNumber(QByteArray &out, double value);
    static QString intArray(const std::vector<int> &values);
    static QString stringArray(const QStringList &values);

private:
    void key(const char *name);

    QByteArray body;
};
