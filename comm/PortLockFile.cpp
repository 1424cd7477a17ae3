#include "comm/PortLockFile_p.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// A lock file that names no pid may be one that its maker has not written yet; only an older
// one counts as stale.
constexpr int kUnwrittenGraceSeconds = 5;

QSet<QString> &ourLocks()
{
    static QSet<QString> locks;
    return locks;
}

bool processAlive(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// Writes the pid to a new file beside the lock and links it to the lock's name: the link fails
// when someone else made the lock meanwhile, so the lock never exists half written.
bool createLock(const QString &lockPath, int *err)
{
    const QByteArray target = QFile::encodeName(lockPath);
    const QByteArray temp = target + ".qxwatch." + QByteArray::number(::getpid());
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *err = errno;
        return false;
    }
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%10d\n", int(::getpid()));
    const bool written = ::write(fd, text, size_t(n)) == n;
    // A umask must not keep other programs from reading who holds the port.
    ::fchmod(fd, 0644);
    ::close(fd);
    if (!written) {
        *err = EIO;
        ::unlink(temp.constData());
        return false;
    }
    const int linked = ::link(temp.constData(), target.constData());
    *err = linked == 0 ? 0 : errno;
    ::unlink(temp.constData());
    return linked == 0;
}

} // namespace

QString PortLockFile::systemFolder()
{
    const QFileInfo run(QStringLiteral("/run/lock"));
    return run.isDir() ? run.filePath() : QStringLiteral("/var/lock");
}

QString PortLockFile::fileNameFor(const QString &deviceNode)
{
    static const QString dev = QStringLiteral("/dev/");
    QString name =
        deviceNode.startsWith(dev) ? deviceNode.mid(dev.size()) : QFileInfo(deviceNode).fileName();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

qint64 PortLockFile::readPid(const QString &lockPath)
{
    QFile file(lockPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray content = file.read(256);
    // The pid is the first line: "%10d\n" for the uucp suite and minicom, "pid\nname\nhost\n" for
    // QLockFile (QSerialPort).
    bool ok = false;
    const qint64 pid = content.left(content.indexOf('\n')).trimmed().toLongLong(&ok);
    if (ok)
        return pid > 0 ? pid : 0;
    if (content.size() == 4) {
        qint32 binary = 0;
        std::memcpy(&binary, content.constData(), 4);
        return binary > 0 ? binary : 0;
    }
    return 0;
}

PortLockFile::Result PortLockFile::acquire(const QString &folder, const QString &deviceNode)
{
    release();
    m_holderPid = 0;
    if (folder.isEmpty())
        return Result::Unavailable;
    const QString lockPath = QDir(folder).filePath(fileNameFor(deviceNode));
    const QByteArray native = QFile::encodeName(lockPath);
    // Two rounds: another program may make the lock between our look and our link, which the
    // second round then sees as busy.
    for (int round = 0; round < 2; ++round) {
        if (QFileInfo::exists(lockPath)) {
            const qint64 pid = readPid(lockPath);
            const bool ours = pid == ::getpid();
            const bool held = ours ? ourLocks().contains(lockPath) : pid > 0 && processAlive(pid);
            const QDateTime made = QFileInfo(lockPath).lastModified();
            const bool beingWritten =
                pid == 0 && made.isValid() &&
                made.secsTo(QDateTime::currentDateTime()) < kUnwrittenGraceSeconds;
            if (held || beingWritten) {
                m_path = lockPath;
                m_holderPid = pid;
                return Result::Busy;
            }
            // Stale: its process has gone. In a sticky folder another user's stale file is not
            // ours to remove; the device is then used without a lock file of ours.
            if (::unlink(native.constData()) != 0 && errno != ENOENT)
                return Result::Unavailable;
        }
        int err = 0;
        if (createLock(lockPath, &err)) {
            m_path = lockPath;
            m_held = true;
            ourLocks().insert(lockPath);
            return Result::Taken;
        }
        if (err != EEXIST)
            return Result::Unavailable;
    }
    // Made again by someone else each time we looked: theirs.
    m_path = lockPath;
    m_holderPid = readPid(lockPath);
    return Result::Busy;
}

void PortLockFile::release()
{
    if (m_held) {
        // Only a file that still names us: an administrator may have removed ours and
        // another program taken the name since.
        if (readPid(m_path) == ::getpid())
            ::unlink(QFile::encodeName(m_path).constData());
        ourLocks().remove(m_path);
    }
    m_held = false;
    m_path.clear();
}
