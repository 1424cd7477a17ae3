#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RegularFile
{
namespace
{

Stamp stampFrom(const struct stat &st)
{
    Stamp s;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QCoreApplication::translate("RegularFile", "フォルダ");
    if (S_ISFIFO(mode))
        return QStringLiteral("FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QCoreApplication::translate("RegularFile", "デバイス");
    if (S_ISSOCK(mode))
        return QCoreApplication::translate("RegularFile", "ソケット");
    return QCoreApplication::translate("RegularFile", "通常のファイル以外");
}

Result failure(int error)
{
    Result r;
    r.error = error;
    if (error == ENOENT || error == ENOTDIR)
        r.status = Status::Missing;
    else if (error == EACCES || error == EPERM)
        r.status = Status::Denied;
    else
        r.status = Status::Failed;
    return r;
}

Result notRegular(mode_t mode)
{
    Result r;
    r.status = Status::NotRegular;
    r.kind = kindOf(mode);
    return r;
}

} // namespace

Result read(const QString &path, qint64 maxBytes)
{
    const QByteArray name = QFile::encodeName(path);
    // Looked at before the open: opening a terminal device would already raise its lines.
    struct stat before {
    };
    if (::stat(name.constData(), &before) != 0)
        return failure(errno);
    if (!S_ISREG(before.st_mode))
        return notRegular(before.st_mode);

    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failure(errno);
    struct stat st {
    };
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return failure(error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return notRegular(st.st_mode);
    }
    Result r;
    r.stamp = stampFrom(st);
    if (maxBytes >= 0 && qint64(st.st_size) > maxBytes) {
        ::close(fd);
        r.status = Status::TooLarge;
        return r;
    }
    // Read to the end, however the size changes meanwhile, but never past the limit.
    r.bytes.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            r.error = errno;
            r.status = Status::Failed;
            r.bytes.clear();
            ::close(fd);
            return r;
        }
        if (n == 0)
            break;
        if (maxBytes >= 0 && r.bytes.size() + n > maxBytes) {
            r.status = Status::TooLarge;
            r.bytes.clear();
            ::close(fd);
            return r;
        }
        r.bytes.append(buffer, qsizetype(n));
    }
    ::close(fd);
    r.status = Status::Read;
    return r;
}

std::optional<Stamp> stampOf(const QString &path)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return stampFrom(st);
}

QString problem(const QString &path, const Result &result)
{
    switch (result.status) {
    case Status::Read:
        return {};
    case Status::Missing:
        return QCoreApplication::translate("RegularFile", "ファイルが見つかりません");
    case Status::Denied:
        return QCoreApplication::translate("RegularFile", "ファイルアクセスが拒否されました");
    case Status::NotRegular:
        return QCoreApplication::translate(
                   "RegularFile", "ファイル %1 は通常のファイルではないため開けません（%2）")
            .arg(path, result.kind);
    case Status::TooLarge:
        return QCoreApplication::translate("RegularFile",
                                           "ファイル %1 は大きすぎるため開けません（%2 バイト）")
            .arg(path)
            .arg(result.stamp.size);
    case Status::Failed:
        break;
    }
    return QCoreApplication::translate("RegularFile", "ファイル %1 を読み込めません（%2）")
        .arg(path, QString::fromLocal8Bit(std::strerror(result.error)));
}

} // namespace RegularFile
