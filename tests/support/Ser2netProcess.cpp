#include "tests/support/Ser2netProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

quint16 Ser2netProcess::freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

bool Ser2netProcess::listening(quint16 port)
{
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile f(QString::fromLatin1(table));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray wanted =
            ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
        for (const QByteArray &line : f.readAll().split('\n')) {
            const QList<QByteArray> cols = line.simplified().split(' ');
            // local address, remote address, state (0A: LISTEN)
            if (cols.size() > 3 && cols.at(1).endsWith(wanted) && cols.at(3) == "0A")
                return true;
        }
    }
    return false;
}

bool Ser2netProcess::start(const QString &folder, const QString &device, Mode mode,
                           const QString &line, quint16 port)
{
    m_mode = mode;
    m_port = port != 0 ? port : freePort();
    const QString config = QStringLiteral("%1/ser2net-%2.yaml").arg(folder).arg(m_port);
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(QStringLiteral("%YAML 1.1\n---\n"
                           "connection: &unit\n"
                           "  accepter: %1tcp,127.0.0.1,%2\n"
                           "  connector: serialdev,%3,%4,local\n"
                           "  options:\n"
                           "    kickolduser: true\n")
                .arg(mode == Mode::Rfc2217 ? QStringLiteral("telnet(rfc2217),") : QString())
                .arg(m_port)
                .arg(device, line)
                .toUtf8());
    f.close();
    m_process.setProgram(QStringLiteral("ser2net"));
    m_process.setArguments({QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"),
                            config, QStringLiteral("-P"),
                            QStringLiteral("%1/ser2net-%2.pid").arg(folder).arg(m_port)});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(5000);
    while (!listening(m_port)) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        QThread::msleep(10);
    }
    return true;
}

void Ser2netProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString Ser2netProcess::address() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_mode == Mode::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"))
        .arg(m_port);
}
