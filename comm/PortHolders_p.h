#pragma once

#include "comm/CommFailure.h"

#include <QList>
#include <QSet>
#include <QString>
#include <sys/types.h>

// Who else has a tty: what /proc tells about other processes, the way fuser and lslocks find
// out. Only processes whose /proc entries this user may read can be seen: as a normal user
// that is the user's own processes (and every holder of /proc/locks), as root all of them.
//
// Thread contract: plain functions, no shared state; any thread.
class PortHolders
{
public:
    // The index of a Unix98 pseudo-terminal slave (/dev/pts/N), or -1 for any other device.
    static int ptyIndex(dev_t rdev);

    // Other processes than this one that have the character device rdev open. For a pty slave
    // a process that also holds its master is the far end of the line, not a second user, and
    // is not counted (a simulator keeps a slave open so its master sees no hang-up).
    static QList<CommFailure::Holder> openers(dev_t rdev,
                                              const QString &procRoot = QStringLiteral("/proc"));

    // The process holding a flock on the file (fsDev, inode), from /proc/locks.
    static CommFailure::Holder flockHolder(dev_t fsDev, ino_t inode,
                                           const QString &procRoot = QStringLiteral("/proc"));

    // /proc/<pid>/comm, empty when it cannot be read.
    static QString commandOf(qint64 pid, const QString &procRoot = QStringLiteral("/proc"));

    // The controlling terminals (as device numbers) of the getty processes: lines a login
    // prompt waits on, no place for another program.
    static QSet<quint64> gettyTerminals(const QString &procRoot = QStringLiteral("/proc"));
};
