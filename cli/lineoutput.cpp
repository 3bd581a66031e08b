#include "lineoutput.h"

#include "progressline.h"
#include "standardoutput.h"

#include <unistd.h>

LineOutput::LineOutput(ProgressLine &progress)
    : progress(progress), sharesTerminal(::isatty(STDOUT_FILENO) != 0)
{
}

bool LineOutput::write(const QString &line)
{
    return writeLines((line + u'\n').toUtf8());
}

bool LineOutput::writeLines(const QByteArray &lines)
{
    if (lines.isEmpty())
        return !StandardOutput::failed();
    if (sharesTerminal)
        progress.erase();
    const bool written = StandardOutput::write(lines);
    return sharesTerminal ? StandardOutput::flush() : written;
}
