#pragma once

// Helpers shared by the serial component's tests.
#include "comm/CommX.h"
#include "comm/SerialDevice_p.h"
#include "tests/support/PtyPair.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

namespace CommTest
{

inline const QString kCannotOpen = QStringLiteral("ポートをオープンできませんでした");
inline const QString kAlreadyOpen = QStringLiteral("ポートは、すでにオープンされています");
const char kXon = 0x11;
const char kXoff = 0x13;

// The pseudo-terminal pair of the serial component's tests: the test keeps the slave too, to look
// at the output state, and never blocks on the master.
struct Pty : PtyPair {
    Pty() : PtyPair(KeepSlaveOpen | NonBlockingMaster) {}
};

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
