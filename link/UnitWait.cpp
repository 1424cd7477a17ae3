#include "link/UnitWait.h"

#include "link/UnitLink.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>

namespace UnitWait
{

Result pressAndWait(const UnitLink &link, const QByteArray &code,
                    const std::function<bool()> &shown, std::chrono::milliseconds timeout,
                    QObject *guard)
{
    const QPointer<QObject> alive(guard);
    // Sending can itself let events run (a full transmit queue), so the clock starts after it.
    link.SendKey(code);
    const QDeadlineTimer deadline(timeout);
    // Timer events wake the event wait, so that a port closing without a display frame, or a
    // silent unit, is noticed.
    QTimer wake;
    wake.start(kWakeInterval);
    for (;;) {
        if (!alive)
            return Result::Gone;
        if (shown())
            return Result::Shown;
        if (!link.isPortOpen())
            return Result::PortClosed;
        if (deadline.hasExpired())
            return Result::TimedOut;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

} // namespace UnitWait
