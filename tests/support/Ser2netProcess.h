#pragma once

#include <QProcess>
#include <QString>

// Debian's ser2net (4.x, YAML configuration) run for a test: one connection on 127.0.0.1 at a
// free port, in front of a tty, raw or Telnet with RFC 2217; stopped (SIGTERM) at the end.
class Ser2netProcess
{
public:
    enum class Mode { Raw, Rfc2217 };

    Ser2netProcess() = default;
    ~Ser2netProcess() { stop(); }
    Ser2netProcess(const Ser2netProcess &) = delete;
    Ser2netProcess &operator=(const Ser2netProcess &) = delete;

    // Writes the configuration into folder and starts the server in front of device with the
    // line setting ser2net gives it first ("9600n81", "19200e82,rtscts"); port 0: a free one.
    // True once the server listens.
    bool start(const QString &folder, const QString &device, Mode mode,
               const QString &line = QStringLiteral("9600n81"), quint16 port = 0);
    void stop();
    bool running() const { return m_process.state() != QProcess::NotRunning; }

    quint16 port() const { return m_port; }
    // The address qxwatch is given: "tcp://127.0.0.1:PORT" or "rfc2217://127.0.0.1:PORT".
    QString address() const;

    // A TCP port on 127.0.0.1 that nothing listens on right now.
    static quint16 freePort();
    // True while something listens on 127.0.0.1:port (from /proc/net/tcp, without connecting).
    static bool listening(quint16 port);

private:
    QProcess m_process;
    Mode m_mode = Mode::Raw;
    quint16 m_port = 0;
};
