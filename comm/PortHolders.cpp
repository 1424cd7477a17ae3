#include "comm/PortHolders_p.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace
{

// Unix98 pty slaves: majors 136 to 143, 256 minors each.
constexpr unsigned kPtySlaveFirstMajor = 136;
constexpr unsigned kPtySlaveMajors = 8;

QByteArray readSmall(const QByteArray &path)
{
    QFile f(QFile::decodeName(path));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(4096);
}

bool isPid(const char *name)
{
    if (!*name)
        return false;
    for (const char *c = name; *c; ++c) {
        if (*c < '0' || *c > '9')
            return false;
    }
    return true;
}

// The pty index a /dev/ptmx descriptor of another process serves, from its fdinfo; -1 if none.
int masterIndex(const QByteArray &fdinfo)
{
    static const QRegularExpression re(QStringLiteral("(?m)^tty-index:\\s*(\\d+)"));
    const auto m = re.match(QString::fromLatin1(fdinfo));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

int PortHolders::ptyIndex(dev_t rdev)
{
    const unsigned maj = major(rdev);
    if (maj < kPtySlaveFirstMajor || maj >= kPtySlaveFirstMajor + kPtySlaveMajors)
        return -1;
    return int((maj - kPtySlaveFirstMajor) * 256 + minor(rdev));
}

QList<CommFailure::Holder> PortHolders::openers(dev_t rdev, const QString &procRoot)
{
    QList<CommFailure::Holder> out;
    const int pty = ptyIndex(rdev);
    const QByteArray root = QFile::encodeName(procRoot);
    DIR *procDir = ::opendir(root.constData());
    if (!procDir)
        return out;
    const QByteArray self = QByteArray::number(::getpid());
    while (dirent *p = ::readdir(procDir)) {
        if (!isPid(p->d_name) || self == p->d_name)
            continue;
        const QByteArray fdDir = root + '/' + p->d_name + "/fd";
        DIR *fds = ::opendir(fdDir.constData());
        if (!fds)
            continue; // gone, or not ours to look at
        bool holds = false;
        bool farEnd = false;
        while (dirent *f = ::readdir(fds)) {
            if (!isPid(f->d_name))
                continue;
            const QByteArray fdPath = fdDir + '/' + f->d_name;
            char target[256];
            const ssize_t n = ::readlink(fdPath.constData(), target, sizeof target - 1);
            if (n <= 0)
                continue;
            target[n] = 0;
            // Sockets, pipes and the like read "socket:[…]", "anon_inode:…": no device.
            if (target[0] != '/')
                continue;
            if (pty >= 0 && std::strcmp(target + n - std::min<ssize_t>(n, 4), "ptmx") == 0) {
                const QByteArray info = readSmall(root + '/' + p->d_name + "/fdinfo/" + f->d_name);
                if (masterIndex(info) == pty)
                    farEnd = true;
                continue;
            }
            struct stat st {
            };
            if (::stat(fdPath.constData(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev)
                holds = true;
        }
        ::closedir(fds);
        if (holds && !farEnd) {
            CommFailure::Holder h;
            h.kind = CommFailure::Holder::Kind::Open;
            h.pid = QByteArray(p->d_name).toLongLong();
            h.command = commandOf(h.pid, procRoot);
            out.append(h);
        }
    }
    ::closedir(procDir);
    return out;
}

CommFailure::Holder PortHolders::flockHolder(dev_t fsDev, ino_t inode, const QString &procRoot)
{
    CommFailure::Holder h;
    h.kind = CommFailure::Holder::Kind::Flock;
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:89 0 EOF"; the device in hexadecimal.
    const QByteArray locks = readSmall(QFile::encodeName(procRoot) + "/locks");
    const QString wanted = QStringLiteral("%1:%2:%3")
                               .arg(major(fsDev), 2, 16, QLatin1Char('0'))
                               .arg(minor(fsDev), 2, 16, QLatin1Char('0'))
                               .arg(quint64(inode));
    for (const QByteArray &line : locks.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() >= 6 && f.at(1) == "FLOCK" && QString::fromLatin1(f.at(5)) == wanted) {
            h.pid = f.at(4).toLongLong();
            h.command = commandOf(h.pid, procRoot);
            break;
        }
    }
    return h;
}

QString PortHolders::commandOf(qint64 pid, const QString &procRoot)
{
    if (pid <= 0)
        return {};
    const QByteArray comm =
        readSmall(QFile::encodeName(procRoot) + '/' + QByteArray::number(pid) + "/comm");
    return QString::fromLocal8Bit(comm).trimmed();
}

QSet<quint64> PortHolders::gettyTerminals(const QString &procRoot)
{
    QSet<quint64> out;
    const QDir proc(procRoot);
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!isPid(pid.toLatin1().constData()))
            continue;
        if (!commandOf(pid.toLongLong(), procRoot).contains(QLatin1String("getty")))
            continue;
        // stat: "pid (comm) state ppid pgrp session tty_nr ..."; comm may hold blanks.
        const QByteArray stat = readSmall(QFile::encodeName(proc.filePath(pid + "/stat")));
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> f = stat.mid(close + 1).simplified().split(' ');
        if (f.size() < 5)
            continue;
        const quint32 ttyNr = f.at(4).toUInt();
        if (ttyNr == 0)
            continue;
        // The kernel's encoding: major in bits 8..15, minor in bits 0..7 and 20..31.
        const unsigned maj = (ttyNr >> 8) & 0xfff;
        const unsigned min = (ttyNr & 0xff) | ((ttyNr >> 12) & 0xfff00);
        out.insert(quint64(makedev(maj, min)));
    }
    return out;
}
