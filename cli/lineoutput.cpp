#include "lineoutput.h"

#include "progressline.h"

#include <cstdio>
#include <unistd.h>

LineOutput::LineOutput(ProgressLine &progress)
    : progress(progress), sharesTerminal(::isatty(STDOUT_FILENO) != 0)
{
}

void LineOutput::write(const QString &line)
{
    writeLines((line + u'\n').toUtf8());
}

void LineOutput::writeLines(const QByteArray &lines)
{
    if (lines.isEmpty())
        return;
    if (sharesTerminal)
        progress.erase();
    std::fwrite(lines.constData(), 1, std::size_t(lines.size()), stdout);
    if (sharesTerminal)
        std::fflush(stdout);
}
