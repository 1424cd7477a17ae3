#include "link/UnitLink.h"

#include "link/CommPort.h"
#include "link/Frames.h"

bool UnitLink::isPortOpen() const
{
    return m_port && m_port->isOpen();
}

void UnitLink::SendKey(const QByteArray &code) const
{
    if (m_port)
        m_port->SendString(Frames::keyFrame(code));
}
