#include "progressline.h"

#include "calcactivity.h"
#include "calcpoll.h"

#include <algorithm>
#include <system_error>

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A run shorter than this shows nothing at all.
constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

void writeAll(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, data, std::size_t(left));
        if (written <= 0)
            return;
        data += written;
        left -= written;
    }
}

int terminalWidth()
{
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

ProgressLine::ProgressLine(bool enabled, const QString &test)
    : enabled(enabled), test(test), started(Clock::now())
{
    if (!enabled)
        return;
    try {
        thread = std::thread([this] { loop(); });
    } catch (const std::system_error &) {
        // The line is a courtesy: without a thread to draw it, none.
        enabled = false;
    }
}

ProgressLine::~ProgressLine()
{
    if (!enabled)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        quit = true;
        eraseLocked();
    }
    wake.notify_all();
    thread.join();
}

void ProgressLine::setFile(const QString &name, int tables)
{
    if (!enabled)
        return;
    std::lock_guard<std::mutex> lock(mutex);
    file = name;
    tableCount = tables;
    table = 0;
    block.clear();
}

void ProgressLine::setBlock(int tableIndex, const QString &blockText)
{
    if (!enabled)
        return;
    std::lock_guard<std::mutex> lock(mutex);
    table = tableIndex;
    block = blockText;
}

void ProgressLine::engineProgress(int maximum)
{
    if (!enabled)
        return;
    std::lock_guard<std::mutex> lock(mutex);
    if (maximum >= 1)
        calcActivity.reset();
    engineMaximum = maximum >= 1 ? maximum : 0;
}

void ProgressLine::erase()
{
    if (!enabled)
        return;
    std::lock_guard<std::mutex> lock(mutex);
    eraseLocked();
}

void ProgressLine::eraseLocked()
{
    if (!visible)
        return;
    writeAll(QByteArrayLiteral("\r\033[K"));
    visible = false;
}

void ProgressLine::loop()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!quit) {
        wake.wait_for(lock, kRedrawInterval);
        if (!quit && Clock::now() - started >= kQuietStart)
            draw();
    }
}

void ProgressLine::draw()
{
    QString line = QStringLiteral("velmora-cli ") + test + QStringLiteral(": ") + file;
    if (tableCount > 1)
        line += QStringLiteral(" table %1/%2").arg(table).arg(tableCount);
    else if (tableCount < 0 && table > 1)
        line += QStringLiteral(" table %1").arg(table);
    if (!block.isEmpty())
        line += u' ' + block;
    if (engineMaximum > 0) {
        // The engines write the counter on the main thread without any
        // ordering; an atomic read of the aligned int is all this display
        // needs, a value a stage old does no harm.
        const int value = __atomic_load_n(&calcProgressValue, __ATOMIC_RELAXED);
        // A share, not stages: some engines count in finer steps than stages.
        const qint64 percent = std::clamp<qint64>(qint64(value) * 100 / engineMaximum, 0, 100);
        line += QStringLiteral(" %1%").arg(percent);
        // Where the share cannot be foreseen, what is known shows it moving.
        const QString known = calcActivity.text();
        if (!known.isEmpty())
            line += QStringLiteral(" (") + known + u')';
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started);
    line += QStringLiteral(" %1 s").arg(qint64(seconds.count()));
    // A line that wraps could no longer be rewritten in place.
    const int width = terminalWidth() - 1;
    if (line.size() > width)
        line.truncate(qMax(0, width));
    writeAll("\r\033[K" + line.toUtf8());
    visible = true;
}
