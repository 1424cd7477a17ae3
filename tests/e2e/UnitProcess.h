#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// build/qxunit run as a child process for a test: started with a link path, stopped (SIGTERM)
// and waited for at the end.
class UnitProcess
{
public:
    explicit UnitProcess(QString linkPath) : m_link(std::move(linkPath)) {}
    ~UnitProcess() { stop(); }

    // Starts the unit; true once it printed its device and the link exists.
    bool start(const QStringList &extra = {});
    void stop();

    const QString &link() const { return m_link; }
    const QString &device() const { return m_device; }

private:
    QString m_link;
    QString m_device;
    QProcess m_process;
};
