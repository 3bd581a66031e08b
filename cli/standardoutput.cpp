#include "standardoutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int StandardOutput::error = 0;

void StandardOutput::guardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() takes the lowest free descriptor, which is this one.
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (opened != -1 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

bool StandardOutput::check(std::size_t written, std::size_t wanted)
{
    if (written == wanted && !std::ferror(stdout))
        return true;
    // A stream in error without errno set has lost bytes all the same.
    error = errno != 0 ? errno : EIO;
    return false;
}

bool StandardOutput::write(const char *data, std::size_t size)
{
    if (failed())
        return false;
    if (size == 0)
        return true;
    errno = 0;
    return check(std::fwrite(data, 1, size, stdout), size);
}

bool StandardOutput::flush()
{
    if (failed())
        return false;
    errno = 0;
    return check(std::fflush(stdout) == 0 ? 0 : 1, 0);
}

QString StandardOutput::failureMessage()
{
    return QStringLiteral("cannot write standard output: ") + QString::fromLocal8Bit(std::strerror(error));
}
