#pragma once

#include "comm/LineMarkDecoder_p.h"

#include <QByteArray>

class SerialDevice;

// The received data bytes the component has taken from the driver and its reader has not read
// yet, parity marks removed. It is bounded: what does not fit stays in the driver, which holds
// the sender back, so a reader that keeps reading loses nothing.
//
// Thread contract: window thread only.
class ReceiveBuffer
{
public:
    enum class Drain { Ok, Lost, Failed };

    // Takes what the driver holds, up to `keep` bytes waiting in all. Only when the reader took
    // nothing since the buffer filled are further bytes read and dropped, as an overflowing
    // input queue drops them: left in the driver they would wake the receive thread again and
    // again. Lost: the device has gone (the caller reports it); Failed: another read error.
    Drain drain(SerialDevice &device, qsizetype keep);

    // Copies up to size waiting bytes out; returns how many.
    qsizetype take(char *buffer, qsizetype size);

    qsizetype waiting() const { return m_data.size() - m_pos; }

    // Forgets the waiting bytes; reset() also forgets a mark split across reads.
    void clear();
    void reset();

private:
    QByteArray m_data;
    qsizetype m_pos = 0;
    LineMarkDecoder m_decoder;
};
