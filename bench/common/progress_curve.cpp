// Samples the progress value of one long run, the way the window's timer
// reads it, and prints the curve: elapsed seconds and the share of the
// display's maximum, one line per sample. Not a benchmark: a release-built
// program to see whether the value moves with the work.
//
//   progress_curve hwe "LOWER TRIANGLE BY ROWS" [--every_ms=1000] [--cap_s=600]
//   progress_curve fisher FILE [--accuracy=D] [--every_ms=1000] [--cap_s=600]
//
// hwe: the genotype counts of the lower triangle, row by row, separated by
// spaces, commas or bars (1236 | 120, 3 | ...). fisher: a text table of two
// rows (tab- or space-separated counts), or of N rows of two counts. A run
// that passes --cap_s is stopped through the stop flag. The last line gives
// the status and the whole time; "BACK" marks a sample below the one before.
#include "calcpoll.h"
#include "contingencyruns.h"
#include "fisherrun.h"
#include "testinput.h"

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<int> numbersOf(const QString &text)
{
    std::vector<int> values;
    const QStringList parts = text.split(QRegularExpression(QStringLiteral("[\\s,|]+")), Qt::SkipEmptyParts);
    for (const QString &part : parts)
        values.push_back(part.toInt());
    return values;
}

bool hweInput(const QString &text, TestInput &in)
{
    const std::vector<int> cells = numbersOf(text);
    int K = 0;
    while (size_t((K + 1) * (K + 2) / 2) <= cells.size())
        ++K;
    if (K < 2 || size_t(K * (K + 1) / 2) != cells.size())
        return false;
    in.nRows = in.nCols = in.testSize = K;
    std::fill(in.bufA.begin(), in.bufA.end(), 0);
    size_t p = 0;
    for (int i = 0; i < K; ++i)
        for (int j = 0; j <= i; ++j)
            in.bufA[size_t(j * K + i)] = cells[p++];  // the app's block is the upper triangle
    return true;
}

bool fisherInput(const QString &path, int accuracy, TestInput &in)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    if (lines.size() < 2)
        return false;
    std::vector<int> x1 = numbersOf(lines[0]);
    std::vector<int> x2 = numbersOf(lines[1]);
    if (x1.size() == 2 && lines.size() > 2) {
        // N rows of two counts, as the benchmark suite's files.
        x1.clear();
        x2.clear();
        for (const QString &line : lines) {
            const std::vector<int> row = numbersOf(line);
            if (row.size() != 2)
                return false;
            x1.push_back(row[0]);
            x2.push_back(row[1]);
        }
    }
    if (x1.size() != x2.size() || x1.empty())
        return false;
    in.testSize = int(x1.size());
    in.accuracy = accuracy;
    in.total = 0;
    for (size_t j = 0; j < x1.size(); ++j) {
        in.bufC[j] = x1[j];
        in.bufD[j] = x1[j] + x2[j];
        in.total += in.bufD[j];
    }
    return true;
}

int optionValue(const QStringList &args, const QString &name, int fallback)
{
    for (const QString &arg : args) {
        if (arg.startsWith(name + u'='))
            return arg.mid(name.size() + 1).toInt();
    }
    return fallback;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: progress_curve hwe|fisher TABLE [--accuracy=D] [--every_ms=1000] [--cap_s=600]\n");
        return 2;
    }
    const bool hwe = args[0] == QStringLiteral("hwe");
    const int everyMs = optionValue(args, QStringLiteral("--every_ms"), 1000);
    const int capS = optionValue(args, QStringLiteral("--cap_s"), 600);
    TestInput in;
    const bool ok = hwe ? hweInput(args[1], in)
                        : fisherInput(args[1], optionValue(args, QStringLiteral("--accuracy"), 0), in);
    if (!ok) {
        std::fprintf(stderr, "progress_curve: cannot read the table\n");
        return 2;
    }

    std::atomic<int> maximum{0};
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;
    const Clock::time_point started = Clock::now();
    std::thread sampler([&] {
        std::unique_lock<std::mutex> lock(mutex);
        int last = -1;
        for (int tick = 1; !done; ++tick) {
            wake.wait_until(lock, started + std::chrono::milliseconds(qint64(everyMs) * tick), [&] { return done; });
            if (done)
                break;
            const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
            const int value = __atomic_load_n(&calcProgressValue, __ATOMIC_RELAXED);
            const int top = maximum.load();
            std::printf("%8.1f s  %7.4f  (%d/%d)%s\n", seconds, top > 0 ? double(value) / top : 0.0, value, top,
                        value < last ? "  BACK" : "");
            std::fflush(stdout);
            last = value;
            if (seconds >= capS)
                calcStopFlag = 1;
        }
    });

    const ProgressDisplay display = [&](int m) {
        if (m >= 1) {
            calcProgressValue = 0;
            maximum = m;
        }
    };
    RunReport report;
    if (hwe)
        report = runHardyWeinbergTest(in, display);  // the budget of a run the user starts
    else
        report = runFisherTest(in, display);
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    wake.notify_all();
    sampler.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("end %.1f s  status %d  value %d/%d  p %.10g\n", seconds, report.status, calcProgressValue,
                maximum.load(), report.pValue);
    return 0;
}
