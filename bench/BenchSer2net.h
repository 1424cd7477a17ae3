#pragma once
// Debian's ser2net (4.x, YAML configuration) for a benchmark: one connection on 127.0.0.1 at a
// free port in front of a tty, raw or Telnet with RFC 2217. (The tests have their own; benches
// may not include tests/.)
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench
{

class Ser2net
{
public:
    enum class Mode { Raw, Rfc2217 };

    ~Ser2net() { stop(); }

    bool start(const QString &folder, const QString &device, Mode mode)
    {
        m_mode = mode;
        m_port = freePort();
        const QString config = QStringLiteral("%1/ser2net-%2.yaml").arg(folder).arg(m_port);
        QFile f(config);
        if (m_port == 0 || !f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        f.write(QStringLiteral("%YAML 1.1\n---\nconnection: &unit\n"
                               "  accepter: %1tcp,127.0.0.1,%2\n"
                               "  connector: serialdev,%3,9600o81,local\n")
                    .arg(mode == Mode::Rfc2217 ? QStringLiteral("telnet(rfc2217),") : QString())
                    .arg(m_port)
                    .arg(device)
                    .toUtf8());
        f.close();
        m_process.setProgram(QStringLiteral("ser2net"));
        m_process.setArguments({"-n", "-u", "-c", config, "-P",
                                QStringLiteral("%1/ser2net-%2.pid").arg(folder).arg(m_port)});
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        // Listening when a connect succeeds; ser2net opens the device only for a client, and
        // this probe's connection is closed before the window's comes.
        const QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a = loopback(m_port);
            const bool up = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
            ::close(fd);
            if (up)
                return true;
            QThread::msleep(10);
        }
        return false;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString address() const
    {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(m_mode == Mode::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"))
            .arg(m_port);
    }

private:
    static sockaddr_in loopback(quint16 port)
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        return a;
    }
    static quint16 freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = loopback(0);
        socklen_t len = sizeof a;
        quint16 port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(fd);
        return port;
    }

    QProcess m_process;
    Mode m_mode = Mode::Raw;
    quint16 m_port = 0;
};

} // namespace bench
