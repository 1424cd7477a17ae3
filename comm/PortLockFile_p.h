#pragma once

#include <QString>
#include <QtGlobal>

// A UUCP lock file for a serial device, the convention minicom, QSerialPort-based tools and the
// uucp suite share: "LCK..<device name>" in the system's lock folder, holding the holder's pid
// as ten ASCII characters and a newline. A lock file whose process is gone is stale and removed;
// ours is removed when we let go of the device.
//
// Thread contract: window thread only. The set of lock files this process holds is shared by
// every instance (two components in one program must keep each other out as well) and only
// touched on the window thread.
class PortLockFile
{
public:
    enum class Result {
        Taken,       // the lock file is ours now
        Busy,        // a live process holds it: see holderPid()
        Unavailable, // the folder cannot take a lock file; the device is used without one
    };

    PortLockFile() = default;
    ~PortLockFile() { release(); }
    PortLockFile(const PortLockFile &) = delete;
    PortLockFile &operator=(const PortLockFile &) = delete;

    // /run/lock where it exists, else /var/lock.
    static QString systemFolder();
    // The lock file name of a device node: its path below /dev with '/' as '_'
    // (/dev/ttyUSB0 -> LCK..ttyUSB0, /dev/pts/3 -> LCK..pts_3).
    static QString fileNameFor(const QString &deviceNode);
    // The pid a lock file names, or 0 when it names none (empty, garbled, missing). The ASCII
    // form (also QLockFile's, with more lines after the pid) and the old binary four-byte form
    // are read.
    static qint64 readPid(const QString &lockPath);

    // Takes the lock for deviceNode (a canonical path) in folder.
    Result acquire(const QString &folder, const QString &deviceNode);
    // Removes our lock file, if it still names us.
    void release();

    const QString &path() const { return m_path; }
    qint64 holderPid() const { return m_holderPid; }

private:
    QString m_path; // our lock file while held, the busy one after Busy
    bool m_held = false;
    qint64 m_holderPid = 0;
};
