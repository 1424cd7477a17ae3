#include "comm/ReceiveBuffer_p.h"

#include "comm/SerialDevice_p.h"

#include <cstring>

ReceiveBuffer::Drain ReceiveBuffer::drain(SerialDevice &device, qsizetype keep)
{
    const bool overflowing = waiting() >= keep;
    char raw[4096];
    for (;;) {
        const qsizetype room = keep - waiting();
        const qsizetype want =
            overflowing ? qsizetype(sizeof raw) : std::min(qsizetype(sizeof raw), room);
        if (want <= 0)
            return Drain::Ok;
        int err = 0;
        const qint64 n = device.readSome(raw, want, &err);
        if (n < 0) {
            return meansDeviceGone(err) ? Drain::Lost : Drain::Failed;
        }
        if (n == 0) {
            // With VMIN=0 an empty read is an empty queue; only poll tells a hang-up.
            return device.hungUp() ? Drain::Lost : Drain::Ok;
        }
        if (m_pos > 0 && m_pos >= m_data.size() / 2) {
            m_data.remove(0, m_pos);
            m_pos = 0;
        }
        QByteArray data;
        if (device.marksLineErrors())
            m_decoder.feed(raw, n, data);
        else
            data = QByteArray(raw, n);
        if (room > 0)
            m_data.append(data.constData(), std::min(room, data.size()));
        if (n < want)
            return Drain::Ok;
    }
}

qsizetype ReceiveBuffer::take(char *buffer, qsizetype size)
{
    const qsizetype n = std::min(size, waiting());
    if (n > 0) {
        memcpy(buffer, m_data.constData() + m_pos, size_t(n));
        m_pos += n;
    }
    if (m_pos == m_data.size())
        clear();
    return n;
}

void ReceiveBuffer::clear()
{
    m_data.clear();
    m_pos = 0;
}

void ReceiveBuffer::reset()
{
    clear();
    m_decoder.reset();
}
