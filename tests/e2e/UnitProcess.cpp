#include "tests/e2e/UnitProcess.h"

#include <QFileInfo>

bool UnitProcess::start(const QStringList &extra)
{
    m_process.setProgram(QStringLiteral(QXUNIT_PATH));
    m_process.setArguments(QStringList{"--link", m_link} + extra);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(5000))
            return false;
    }
    m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return QFileInfo::exists(m_link);
}

void UnitProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
