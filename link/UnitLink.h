#pragma once

#include <QByteArray>

class CommPort;

// The monitor unit as the window's areas reach it: the port that key frames go out on and
// received bytes are read from, and the unit's state as the last good display frame gave it.
// The port is the serial port component in the program; anything else that plays CommPort (a
// scripted port in tests, a recording played back) can take its place, and everything that
// reads the unit through this link follows.
//
// Thread contract: window thread only.
class UnitLink
{
public:
    CommPort *port() const { return m_port; }
    void setPort(CommPort *port) { m_port = port; }
    bool isPortOpen() const;

    // Sends the key frame of a two-character key code. With no port, or a closed one, nothing
    // is sent and nothing is reported: the display frames are the unit's only answer.
    void SendKey(const QByteArray &code) const;

    // When the bytes being read were received, in microseconds since 1970 (UTC): the recorded
    // time while the port plays a recording, the wall clock otherwise.
    qint64 frameTimeUs() const;

    // Header A of the last good display frame: the unit's debug state, and bit mode.
    bool DebugMode() const { return m_debugMode; }
    bool BitMode() const { return m_bitMode; }
    void setDebugMode(bool on) { m_debugMode = on; }
    void setBitMode(bool on) { m_bitMode = on; }

private:
    CommPort *m_port = nullptr;
    bool m_debugMode = false;
    bool m_bitMode = false;
};
