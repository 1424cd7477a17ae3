#include "comm/TtyReturnWatch_p.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMetaObject>

namespace
{

// The folder of path, or the nearest folder above it that exists.
QString nearestFolder(const QString &path)
{
    QString dir = QFileInfo(path).absolutePath();
    while (!QFileInfo(dir).isDir() && dir != QLatin1String("/"))
        dir = QFileInfo(dir).path();
    return dir;
}

} // namespace

TtyReturnWatch::TtyReturnWatch(const QString &address, const QString &lostIdentity, QObject *parent)
    : DeviceReturnWatch(address, parent), m_watcher(new QFileSystemWatcher(this)),
      m_lostIdentity(lostIdentity)
{
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &TtyReturnWatch::folderChanged);
    arm();
    // The device may have come back before the watch was in place.
    if (leadsToNewDevice())
        QMetaObject::invokeMethod(
            this, [this] { changed(); }, Qt::QueuedConnection);
}

void TtyReturnWatch::arm()
{
    QStringList folders{nearestFolder(address())};
    const QFileInfo info(address());
    if (info.isSymLink())
        folders << nearestFolder(info.symLinkTarget());
    folders.removeDuplicates();
    const QStringList watched = m_watcher->directories();
    for (const QString &dir : watched) {
        if (!folders.contains(dir))
            m_watcher->removePath(dir);
    }
    for (const QString &dir : std::as_const(folders)) {
        if (!watched.contains(dir))
            m_watcher->addPath(dir);
    }
}

void TtyReturnWatch::folderChanged()
{
    // A folder that came or went moves the watch nearer to the path or further from it.
    arm();
    if (QFileInfo::exists(address()))
        changed();
}

bool TtyReturnWatch::leadsToNewDevice() const
{
    const QString now = identityOf(address());
    return !now.isEmpty() && now != m_lostIdentity;
}
