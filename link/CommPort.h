#pragma once

#include <QByteArray>

// What the window needs of a serial port: send a text, read one received byte. TCommX is the
// real one; tests put a scripted fake in its place.
//
// Thread contract: called on the window thread only.
class CommPort
{
public:
    virtual ~CommPort() = default;

    // Queues text for sending. Returns false (and sends nothing) while the port is closed.
    virtual bool SendString(const QByteArray &text) = 0;

    // The next received byte, 0..255, or -1 when none could be read (time-out, port closed).
    virtual int ReadChar() = 0;

    virtual bool isOpen() const = 0;

    // The time (microseconds since 1970, UTC) at which the byte ReadChar returned last was
    // received, for a port that plays bytes received earlier (a recording); -1 for a port whose
    // bytes are read as they arrive, where the time is now.
    virtual qint64 recordedTimeUs() const { return -1; }
};
