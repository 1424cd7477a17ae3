#include "link/UnitLink.h"

#include "link/CommPort.h"
#include "link/Frames.h"

#include <chrono>

bool UnitLink::isPortOpen() const
{
    return m_port && m_port->isOpen();
}

void UnitLink::SendKey(const QByteArray &code) const
{
    if (m_port)
        m_port->SendString(Frames::keyFrame(code));
}

qint64 UnitLink::frameTimeUs() const
{
    const qint64 recorded = m_port ? m_port->recordedTimeUs() : -1;
    if (recorded >= 0)
        return recorded;
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}
