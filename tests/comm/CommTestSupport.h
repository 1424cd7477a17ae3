#pragma once

// Pseudo-terminal helpers shared by the serial component's tests.
#include "comm/CommX.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

namespace CommTest
{

inline const QString kCannotOpen = QStringLiteral("ポートをオープンできませんでした");
inline const QString kAlreadyOpen = QStringLiteral("ポートは、すでにオープンされています");
const char kXon = 0x11;
const char kXoff = 0x13;

// One pseudo-terminal pair: the component opens the slave by its path, the test plays the far
// end on the master. The test keeps its own slave descriptor only to look at the output state.
struct Pty {
    int master = -1;
    int slave = -1;
    QString path;

    Pty()
    {
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            path = QString::fromLocal8Bit(name);
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty()
    {
        closeMaster();
        if (slave >= 0)
            ::close(slave);
    }
    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    void send(const QByteArray &bytes) const
    {
        QCOMPARE(::write(master, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    // Everything the master can read right now.
    QByteArray take() const
    {
        QByteArray out;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(master, buf, sizeof buf)) > 0)
            out.append(buf, n);
        return out;
    }
    // Whether the line's output is stopped (XOFF) as seen by the driver.
    bool outputStopped() const
    {
        pollfd p{slave, POLLOUT, 0};
        return ::poll(&p, 1, 0) == 0;
    }
};

// Reads from the master until `count` bytes have come, for at most `ms`.
inline QByteArray collect(Pty &pty, qsizetype count, int ms = 5000)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < count && t.elapsed() < ms) {
        pollfd p{pty.master, POLLIN, 0};
        ::poll(&p, 1, 50);
        got += pty.take();
        QCoreApplication::processEvents();
    }
    return got;
}

inline QByteArray pattern(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char('A' + i % 26);
    return b;
}

inline void useDevice(TCustomCommX &comm, const QString &path)
{
    comm.setPortResolver([path](int port) { return port == 1 ? path : QString(); });
}

inline QString openError(TCustomCommX &comm)
{
    try {
        comm.Open();
    } catch (const ECommError &e) {
        return e.message();
    }
    return {};
}

} // namespace CommTest
