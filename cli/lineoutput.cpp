#include "lineoutput.h"

#include "plotoutput.h"
#include "progressline.h"

#include <cstdio>
#include <unistd.h>

LineOutput::LineOutput(ProgressLine &progress, PlotOutput *plots)
    : progress(progress), plots(plots), sharesTerminal(::isatty(STDOUT_FILENO) != 0)
{
}

void LineOutput::write(const QString &line, const PicturePtr &picture)
{
    writeLines((line + u'\n').toUtf8(), {picture});
}

void LineOutput::writeLines(const QByteArray &lines, const std::vector<PicturePtr> &pictures)
{
    if (lines.isEmpty())
        return;
    if (plots) {
        const qsizetype count = lines.count('\n');
        for (qsizetype i = 0; i < count; ++i)
            plots->add(std::size_t(i) < pictures.size() ? pictures[std::size_t(i)] : nullptr);
    }
    if (sharesTerminal)
        progress.erase();
    std::fwrite(lines.constData(), 1, std::size_t(lines.size()), stdout);
    if (sharesTerminal)
        std::fflush(stdout);
}
