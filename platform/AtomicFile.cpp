#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile
{
namespace
{

// Links followed before the chain counts as a loop, as the kernel's own limit.
constexpr int kMaxLinks = 40;

// Writes every byte or reports failure. A short write (a full disk, a file size limit) is a
// failure too; QFile would report such a write as done.
bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

QByteArray folderOf(const QByteArray &file)
{
    const qsizetype slash = file.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : file.left(slash);
}

// Follows the chain of links from path. Hand-written because realpath() and Qt's canonical
// paths give nothing for a dangling link, and the user needs to hear which name is missing.
Result resolve(const QByteArray &path, QByteArray *target)
{
    Result r;
    QByteArray current = path;
    for (int depth = 0; depth <= kMaxLinks; ++depth) {
        struct stat st {
        };
        if (::lstat(current.constData(), &st) != 0) {
            r.error = errno;
            *target = current;
            // A new file under its own name is made; a link to nothing is refused.
            if (errno == ENOENT && depth == 0) {
                r.status = Status::Written;
                return r;
            }
            r.status = errno == ENOENT ? Status::DanglingLink : Status::Failed;
            return r;
        }
        if (!S_ISLNK(st.st_mode)) {
            *target = current;
            r.status = Status::Written;
            return r;
        }
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(current.constData(), buffer, sizeof buffer);
        if (n < 0 || n == ssize_t(sizeof buffer)) {
            r.error = n < 0 ? errno : ENAMETOOLONG;
            r.status = Status::Failed;
            *target = current;
            return r;
        }
        const QByteArray link(buffer, qsizetype(n));
        current = link.startsWith('/') ? link : folderOf(current) + '/' + link;
    }
    r.status = Status::LinkLoop;
    r.error = ELOOP;
    *target = current;
    return r;
}

// Judged for the effective user, who opens the file; a file without any write permission is
// refused even to root.
bool mayWrite(const QByteArray &target, const struct stat &st)
{
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) == 0;
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The temporary file, written and renamed over target. Returns false with errno set; creating
// the temporary file failed when *created is false.
bool replaceByRename(const QByteArray &target, const struct stat *old, const QByteArray &bytes,
                     bool *created)
{
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    *created = fd >= 0;
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes);
    if (ok && old && ::geteuid() == 0) {
        // Owner first: changing it clears set-id bits that the mode then puts back. Only root
        // can give the file away (for anyone else it is theirs already); kept where it can be.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0) {
        }
    }
    ok = ok && ::fchmod(fd, old ? (old->st_mode & 07777) : newFileMode()) == 0;
    ok = ok && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        errno = error;
        return false;
    }
    syncFolder(folderOf(target));
    return true;
}

bool replaceInPlace(const QByteArray &target, const QByteArray &bytes)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {
    };
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) {
        ok = false;
        errno = EINVAL;
    }
    if (ok && !bytes.isEmpty()) {
        // Reserving the space first finds a full disk or a size limit before any byte changes.
        // fallocate itself, not posix_fallocate, whose stand-in for file systems without it
        // writes zeros. Where the file system has none, the writes below are still checked.
        if (::fallocate(fd, 0, 0, off_t(bytes.size())) != 0 && errno != EOPNOTSUPP &&
            errno != ENOSYS) {
            ok = false;
        }
    }
    ok = ok && writeAll(fd, bytes);
    ok = ok && ::ftruncate(fd, off_t(bytes.size())) == 0;
    ok = ok && ::fsync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 && ok)
        return false;
    errno = error;
    return ok;
}

} // namespace

QString finalTarget(const QString &path)
{
    QByteArray target;
    const Result r = resolve(QFile::encodeName(path), &target);
    return r.status == Status::Written ? QFile::decodeName(target) : QString();
}

Result replace(const QString &path, const QByteArray &bytes)
{
    QByteArray target;
    Result r = resolve(QFile::encodeName(path), &target);
    r.target = QFile::decodeName(target);
    if (r.status != Status::Written)
        return r;
    r.error = 0;

    struct stat st {
    };
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        r.status = Status::NotRegular;
        return r;
    }
    if (exists && !mayWrite(target, st)) {
        r.status = Status::ReadOnly;
        r.error = EACCES;
        return r;
    }

    // A rename would leave the file's other names with the old content.
    if (!exists || st.st_nlink <= 1) {
        bool created = false;
        if (replaceByRename(target, exists ? &st : nullptr, bytes, &created))
            return r;
        // Only a folder that cannot take the temporary file sends an existing file to the
        // write in place; any other failure stands.
        if (!exists || created) {
            r.status = Status::Failed;
            r.error = errno;
            return r;
        }
    }
    r.inPlace = true;
    if (!replaceInPlace(target, bytes)) {
        r.status = Status::Failed;
        r.error = errno;
    }
    return r;
}

QString problem(const QString &path, const Result &result)
{
    const QString base =
        QCoreApplication::translate("AtomicFile", "ファイル %1 を作成できません").arg(path);
    switch (result.status) {
    case Status::Written:
        return {};
    case Status::DanglingLink:
        return base + QCoreApplication::translate("AtomicFile", "（リンク先 %1 がありません）")
                          .arg(result.target);
    case Status::LinkLoop:
        return base +
               QCoreApplication::translate("AtomicFile", "（シンボリックリンクが循環しています）");
    case Status::NotRegular:
        return base +
               QCoreApplication::translate("AtomicFile", "（%1 は通常のファイルではありません）")
                   .arg(result.target);
    case Status::ReadOnly:
    case Status::Failed:
        break;
    }
    return base;
}

} // namespace AtomicFile

bool writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    return bool(AtomicFile::replace(path, bytes));
}
