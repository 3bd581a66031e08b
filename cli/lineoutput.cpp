#include "lineoutput.h"

#include "picturesink.h"
#include "progressline.h"
#include "standardoutput.h"

#include <unistd.h>

LineOutput::LineOutput(ProgressLine &progress, PictureSink *plots)
    : progress(progress), plots(plots), sharesTerminal(::isatty(STDOUT_FILENO) != 0)
{
}

bool LineOutput::write(const QString &line, const PicturePtr &picture)
{
    return writeLines((line + u'\n').toUtf8(), {picture});
}

bool LineOutput::writeLines(const QByteArray &lines, const std::vector<PicturePtr> &pictures)
{
    if (lines.isEmpty())
        return !StandardOutput::failed();
    if (plots) {
        const qsizetype count = lines.count('\n');
        for (qsizetype i = 0; i < count; ++i)
            plots->add(std::size_t(i) < pictures.size() ? pictures[std::size_t(i)] : nullptr);
    }
    if (sharesTerminal)
        progress.erase();
    const bool written = StandardOutput::write(lines);
    return sharesTerminal ? StandardOutput::flush() : written;
}
