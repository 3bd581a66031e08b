#pragma once

#include <QDateTime>
#include <QStringList>

// What a Results entry says about its run, so that it can be repeated and
// told apart from another: the test and its options, the block and the
// document it was read from, and when it started.
struct RunContext
{
    QString test;
    QStringList options;
    QString range;
    QString document;
    QDateTime started;

    bool isEmpty() const { return test.isEmpty(); }
    // The time a run starts; `clock` replaces the system's where set (the
    // README's pictures show a fixed time).
    static QDateTime now();
    static QDateTime (*clock)();
    // One line, e.g. "Chi-squared test, Yates correction; B2:C3 of
    // chi-squared.sp; 2026-05-01 14:03:22".
    QString text() const;
};
