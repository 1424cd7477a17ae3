#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Finds the key frames in the byte stream the unit receives from the window: "*", a
// two-character code and the XOR of those three bytes as two lower-case hexadecimal digits.
// Bytes outside a frame and frames with a wrong check are dropped silently, as the unit does;
// a "*" inside a rejected frame still starts the next candidate, so one damaged byte costs at
// most the frame it hit. Which codes name a key is the unit's business, not the parser's.
//
// Plain value class: no I/O, no threads; one instance per stream.
class KeyFrameParser
{
public:
    // Takes the next bytes of the stream; returns the codes of the frames they complete, in
    // the order they were received. A frame may be split over any number of calls.
    QList<QByteArray> feed(QByteArrayView bytes);

    // Forgets a frame in progress (after the line was reopened, say).
    void reset() { m_pending.clear(); }

    // Bytes of the frame in progress; 0 while waiting for a "*".
    qsizetype pendingSize() const { return m_pending.size(); }

private:
    QByteArray m_pending; // empty, or starts with "*"
};
