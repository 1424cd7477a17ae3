#pragma once

#include <QByteArray>
#include <chrono>
#include <functional>

class QObject;
class UnitLink;

// Pressing a key on the unit and waiting for its display to answer. The unit answers a key only
// through the display frames that follow it, and those arrive as window events: so the wait
// processes the window's events (the display keeps being drawn, the window stays usable) and
// tests the condition after each round.
namespace UnitWait
{

enum class Result {
    Shown,      // the condition held
    PortClosed, // the port closed (or there was none) before it did
    TimedOut,   // it did not hold within the time allowed
    Gone,       // the guard object was destroyed while waiting: touch nothing of the caller's
};

// How often the wait wakes to look at the port and the clock when no event comes.
inline constexpr std::chrono::milliseconds kWakeInterval{10};

// Sends the key code through link, then waits until shown() is true, the port closes, timeout
// has passed or guard is destroyed, whichever comes first. shown() is not called once guard is
// gone.
Result pressAndWait(const UnitLink &link, const QByteArray &code,
                    const std::function<bool()> &shown, std::chrono::milliseconds timeout,
                    QObject *guard);

} // namespace UnitWait
