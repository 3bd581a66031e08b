#include "qqcommand.h"

#include "clicommands.h"
#include "cliprocess.h"
#include "jsonscan.h"
#include "pictureexport.h"
#include "qqpoints.h"
#include "standardoutput.h"

#include <QFile>
#include <QGuiApplication>
#include <QLocale>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A point moves by less than this share of its axis when the points are
// thinned; far below a pixel at any size --plot-size allows.
constexpr double kResolution = 1.0 / 10000.0;
constexpr int kBandRanks = 120;

struct PValues
{
    std::vector<double> values;
    qint64 leftOut = 0;   // lines whose status is not 0
    QString test;         // the test the first P-value came from
};

// Reads every line; false, after telling why, at the first line that
// cannot count.
bool readPValues(std::FILE *stream, const QString &name, PValues &read)
{
    char *buffer = nullptr;
    std::size_t capacity = 0;
    qint64 number = 0;
    bool ok = true;
    for (;;) {
        const ssize_t length = ::getline(&buffer, &capacity, stream);
        if (length < 0)
            break;
        ++number;
        std::string_view line(buffer, std::size_t(length));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos)
            continue;
        const JsonScan scan = scanJsonLine(line);
        const QString where = QStringLiteral("%1, line %2").arg(name).arg(number);
        if (!scan.object) {
            cliprocess::printError(QStringLiteral("%1 is not a JSON object; qq reads the lines velmora-cli writes").arg(where));
            ok = false;
            break;
        }
        if (!scan.statusZero) {
            ++read.leftOut;
            continue;
        }
        if (!scan.hasP || !scan.pNumber) {
            cliprocess::printError(QStringLiteral("%1 has status 0 but no P-value").arg(where));
            ok = false;
            break;
        }
        // P = 0 (below the smallest double) counts: its statistic is
        // infinite, which the median takes as any other.
        if (!(scan.p >= 0.0) || !(scan.p <= 1.0)) {
            cliprocess::printError(QStringLiteral("%1 has P = %2, which is not a probability").arg(where).arg(scan.p));
            ok = false;
            break;
        }
        if (read.values.empty())
            read.test = QString::fromUtf8(scan.test.data(), qsizetype(scan.test.size()));
        read.values.push_back(scan.p);
    }
    if (ok && std::ferror(stream)) {
        cliprocess::printError(QStringLiteral("cannot read %1: %2").arg(name, QString::fromLocal8Bit(std::strerror(errno))));
        ok = false;
    }
    std::free(buffer);
    return ok;
}

} // namespace

int runQqCommand(const CliOptions &options)
{
    const QString &name = options.files.at(0);
    const bool standardInput = name == u"-";
    std::FILE *stream = standardInput ? stdin : std::fopen(QFile::encodeName(name).constData(), "rb");
    if (!stream) {
        cliprocess::printError(QStringLiteral("cannot read %1: %2").arg(name, QString::fromLocal8Bit(std::strerror(errno))));
        return ExitFailed;
    }
    PValues read;
    const bool ok = readPValues(stream, standardInput ? QStringLiteral("standard input") : name, read);
    if (!standardInput)
        std::fclose(stream);
    if (!ok)
        return ExitFailed;
    if (read.values.empty()) {
        cliprocess::printError(QStringLiteral("%1 holds no P-value: no line has status 0").arg(name));
        return ExitFailed;
    }
    if (read.leftOut > 0)
        cliprocess::printError(QStringLiteral("qq: %1 lines without status 0 left out").arg(read.leftOut));

    QqPoints points;
    if (qqpoints::compute(read.values, kResolution, kBandRanks, &points) != qqpoints::Finished) {
        cliprocess::printError(QStringLiteral("the Q-Q band or lambda could not be computed"));
        return ExitFailed;
    }
    // The lambda is the command's result: a lost one fails the run, with
    // or without a picture.
    char line[64];
    const int length = std::snprintf(line, sizeof line, "lambda %.6f\n", points.lambda);
    if (!StandardOutput::write(line, std::size_t(length)) || !StandardOutput::flush())
        return ExitFailed;
    if (options.plot.isEmpty())
        return ExitOk;

    pictures::QqModel model;
    const QString file = standardInput ? QStringLiteral("standard input") : name;
    model.title = read.test.isEmpty() ? QStringLiteral("Q-Q plot of the P-values of %1").arg(file)
                                      : QStringLiteral("Q-Q plot of the %1 P-values of %2").arg(read.test, file);
    model.subtitle = QStringLiteral("%1 P-values against their expectation (i \u2212 0.5)/n without association")
                         .arg(QLocale(QLocale::English).toString(points.count));
    model.count = points.count;
    model.zeros = points.zeros;
    model.lambda = points.lambda;
    model.expected = std::move(points.expected);
    model.observed = std::move(points.observed);
    model.bandExpected = std::move(points.bandExpected);
    model.bandLow = std::move(points.bandLow);
    model.bandHigh = std::move(points.bandHigh);
    QString reason;
    if (!pictures::writePicture(pictures::Picture(std::move(model)), options.plot,
                                QSize(options.plotWidth, options.plotHeight), QGuiApplication::font(), &reason)) {
        cliprocess::printError(QStringLiteral("cannot write %1: %2").arg(options.plot, reason));
        return ExitFailed;
    }
    return ExitOk;
}
