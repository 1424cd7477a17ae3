#pragma once

#include <QByteArray>

// Takes the driver's in-band parity marks (PARMRK) out of the received byte stream so that the
// data bytes reach the reader as they came: 0xFF 0xFF is a received 0xFF, 0xFF 0x00 c is the
// byte c received with a parity or framing error (or, with c = 0, a break). A mark may be split
// across reads; the decoder keeps its place between feeds.
//
// The marks are not reported as line errors. A mark cannot tell a parity error from a framing
// error, nor a break from a damaged 0x00, and it is only seen when the window thread reads, after
// the receive notice has gone out. Line errors and breaks are reported from the driver's
// counters instead; on a driver without counters they are not reported at all.
//
// Thread contract: used on the window thread only.
class LineMarkDecoder
{
public:
    void reset() { m_state = State::Data; }
    // Appends the data bytes of raw to out.
    void feed(const char *raw, qsizetype size, QByteArray &out);
    // True while the end of the last feed was inside a mark.
    bool midMark() const { return m_state != State::Data; }

private:
    enum class State { Data, AfterFF, AfterFF00 };
    State m_state = State::Data;
};
