#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Writes every byte or reports failure. A short write (a full disk, a file size limit) is a
// failure too; QFile would report such a write as done.
bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The mode the written file gets: the old file's, or what a newly created file would get.
mode_t modeFor(const QByteArray &target)
{
    struct stat old {
    };
    if (::stat(target.constData(), &old) == 0)
        return old.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    // Through a link the file it points to is replaced, not the link.
    const QByteArray target = QFile::encodeName(info.isSymLink() ? info.symLinkTarget() : path);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    bool written = fd >= 0;
    if (written) {
        written = writeAll(fd, bytes) && ::fchmod(fd, modeFor(target)) == 0 && ::fsync(fd) == 0;
        written = ::close(fd) == 0 && written;
        written = written && ::rename(temporary.constData(), target.constData()) == 0;
        if (!written)
            ::unlink(temporary.constData());
    }
    return written;
}
