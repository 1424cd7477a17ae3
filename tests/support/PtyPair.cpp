#include "tests/support/PtyPair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace
{

// How long a write waits for room on a full line before it gives up.
constexpr int kWriteTimeoutMs = 10000;

} // namespace

PtyPair::PtyPair(Options options)
{
    char name[128] = {};
    int slave = -1;
    if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
        m_master = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    if (options & KeepSlaveOpen)
        m_slave = slave;
    else
        ::close(slave); // the pair stays alive through the master
    if (options & NonBlockingMaster)
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

bool PtyPair::writeAll(const QByteArray &bytes) const
{
    QElapsedTimer waited;
    waited.start();
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN && waited.elapsed() < kWriteTimeoutMs) {
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 10);
            continue;
        }
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void PtyPair::send(const QByteArray &bytes) const
{
    QCOMPARE(::write(m_master, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
}

QByteArray PtyPair::take() const
{
    QByteArray out;
    for (;;) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN))
            return out;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            return out;
        out.append(buf, n);
    }
}

QByteArray PtyPair::collect(qsizetype count, int ms) const
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < count && t.elapsed() < ms) {
        pollfd p{m_master, POLLIN, 0};
        ::poll(&p, 1, 50);
        got += take();
        QCoreApplication::processEvents();
    }
    return got;
}

bool PtyPair::outputStopped() const
{
    pollfd p{m_slave, POLLOUT, 0};
    return m_slave >= 0 && ::poll(&p, 1, 0) == 0;
}

QString writeSettingsFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write the settings file %s", qPrintable(path));
    return path;
}
