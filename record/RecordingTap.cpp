#include "record/RecordingTap.h"

#include "record/LineRecorder.h"

bool RecordingTap::SendString(const QByteArray &text)
{
    const bool queued = m_port.SendString(text);
    if (queued && m_recorder.isRecording())
        m_recorder.sent(text);
    return queued;
}

int RecordingTap::ReadChar()
{
    const int value = m_port.ReadChar();
    if (value >= 0 && m_recorder.isRecording()) {
        const char byte = char(value);
        m_recorder.received(&byte, 1);
    }
    return value;
}
