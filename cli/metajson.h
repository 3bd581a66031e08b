#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct MetaRun;

// The JSON line of one model of a meta-analysis run (`model`: its index in
// run.models), fields as velmora-cli meta documents them; a missing value
// is null, an infinite limit "inf". `withLists` false leaves out the
// per-study lists (study, leave_one_out, cumulative, subgroups), for the
// flat TSV form.
QByteArray metaJsonLine(const MetaRun &run, int model, const QString &file, int table, bool withLists = true);

// A table the check refuses ("rejected") or a file that cannot be read
// ("error"): the line has the status word, the message and no figures.
QByteArray metaErrorLine(const QString &file, int table, const char *status, const QString &message);
// A run that failed or was stopped: the engine's status number, as the
// other table commands give it.
QByteArray metaFailureLine(const QString &file, int table, int status, const QString &message, bool stopped);

// The TSV columns: the scalar fields of a line, by path.
QStringList metaTsvColumns();
