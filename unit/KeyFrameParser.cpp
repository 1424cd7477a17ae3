#include "unit/KeyFrameParser.h"

#include "link/Frames.h"

QList<QByteArray> KeyFrameParser::feed(QByteArrayView bytes)
{
    QList<QByteArray> codes;
    for (const char b : bytes) {
        if (m_pending.isEmpty() && b != '*')
            continue;
        m_pending.append(b);
        if (m_pending.size() < Frames::kKeyFrameSize)
            continue;
        if (const auto code = Frames::parseKeyFrame(m_pending)) {
            codes.append(*code);
            m_pending.clear();
            continue;
        }
        // Resynchronise on the next "*" of the rejected bytes, if any.
        const qsizetype next = m_pending.indexOf('*', 1);
        if (next < 0)
            m_pending.clear();
        else
            m_pending.remove(0, next);
    }
    return codes;
}
