#include "tests/support/PtyPair.h"

#include <QFile>
#include <cerrno>

#include <pty.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[128];
    int slave = -1;
    if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
        m_master = -1;
        return;
    }
    // The program opens the slave itself; the pair stays alive through the master.
    ::close(slave);
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyPair::writeAll(const QByteArray &bytes) const
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QString writeSettingsFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write the settings file %s", qPrintable(path));
    return path;
}
