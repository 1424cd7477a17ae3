#pragma once
// The simulated unit, qxunit, as a child process of a benchmark.

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <utility>

#ifndef QXUNIT_PATH
#error "QXUNIT_PATH is the simulated unit's program, from the build"
#endif

namespace bench
{

class UnitProcess
{
public:
    UnitProcess() = default;
    // With a link: qxunit is started with "--link link", and has started once the link exists.
    explicit UnitProcess(QString link) : m_link(std::move(link)) {}
    ~UnitProcess() { stop(); }
    UnitProcess(const UnitProcess &) = delete;
    UnitProcess &operator=(const UnitProcess &) = delete;

    // Starts qxunit with args and waits for the device path it prints first.
    bool start(const QStringList &args)
    {
        m_p.setProgram(QStringLiteral(QXUNIT_PATH));
        m_p.setArguments(m_link.isEmpty() ? args : QStringList{"--link", m_link} + args);
        m_p.start();
        if (!m_p.waitForStarted(5000))
            return false;
        while (!m_p.canReadLine()) {
            if (!m_p.waitForReadyRead(5000))
                return false;
        }
        m_device = QString::fromLocal8Bit(m_p.readLine()).trimmed();
        return m_link.isEmpty() || QFile::exists(m_link);
    }
    void stop()
    {
        if (m_p.state() == QProcess::NotRunning)
            return;
        m_p.terminate();
        if (!m_p.waitForFinished(5000)) {
            m_p.kill();
            m_p.waitForFinished(5000);
        }
    }
    const QString &device() const { return m_device; }

private:
    QString m_link;
    QProcess m_p;
    QString m_device;
};

} // namespace bench
