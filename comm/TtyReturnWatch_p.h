#pragma once

#include "comm/DeviceReturnWatch.h"

#include <QStringList>

class QFileSystemWatcher;

// Watches for a tty's path to lead to a device again: inotify (through QFileSystemWatcher) on
// the folders that hold the path and, for a link, its target (/dev/serial/by-id and /dev for a
// USB adapter). A folder that is not there yet (udev removes an empty by-id folder) is watched
// through the nearest one that is. Sleeps until the file system changes; no polling.
//
// Thread contract: window thread only.
class TtyReturnWatch : public DeviceReturnWatch
{
    Q_OBJECT
public:
    TtyReturnWatch(const QString &address, const QString &lostIdentity, QObject *parent);

private:
    void arm();
    void folderChanged();
    bool leadsToNewDevice() const;

    QFileSystemWatcher *m_watcher;
    QString m_lostIdentity;
};
